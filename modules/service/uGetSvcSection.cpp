#include "modules/service/uGetSvcSection.h"

#include <array>
#include <utility>

std::string GetSvcSection(const std::string& OSName) {
  static const std::array<std::pair<const char*, const char*>, 7> kSections = {{
      {"Windows 2000", "Services_2000"},
      {"Windows XP", "Services_XP"},
      {"Windows 2003 Server", "Services_XP"},
      {"Windows Vista", "Services_VISTA"},
      {"Windows 7", "Services_WIN7"},
      {"Windows 8", "Services_WIN8"},
      {"Windows 10", "Services_WIN10"},
  }};
  for (const auto& [name, section] : kSections)
    if (OSName == name) return section;
  return {};
}
