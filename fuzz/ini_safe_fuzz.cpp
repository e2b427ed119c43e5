// INI text as the program's own INI files read it (settings, "Process.ini", ...): a
// selector byte puts no mark, the UTF-8 mark or a UTF-16 mark (LE, BE) in front.
#include <sstream>

#include "config/PSafeIniFile.h"
#include "fuzz/FuzzHarness.h"

using namespace std::string_literals;

namespace {
const std::string kMarks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
}

const fuzz::Target fuzz::kTarget = {
    {std::string(1, '\0') +
         "[Boost]\r\nIsBoost=1\r\nLastboosttime=12/31/2026 23:59:59:999\r\n"
         "; note\r\n[config]\r\nLanguage = Deutsch\r\nRatio=0,5\r\nbare line\r\n",
     std::string(1, '\1') + "[\xC3\x84rger]\nK\xC3\xA9=\xE2\x82\xAC\n[x]\nN=$FF\nM=0x7FFFFFFF\n",
     "\2[\0A\0]\0\r\0\n\0K\0=\0V\0"s, "\3\0[\0S\0]\0\n\0k\0=\0-\0001\0002"s},
    nullptr,
    [](const std::string& input) {
      std::string text = input;
      const uint8_t mark = fuzz::TakeByte(text);
      std::istringstream stream(kMarks[mark % 4] + text);
      fuzz::Machine();
      TSafeIniFile ini;
      ini.LoadFromStream(stream);
      std::vector<std::string> sections, values;
      ini.ReadSections(sections);
      for (const std::string& section : sections) {
        ini.ReadSectionValues(section, values);
        for (const std::string& line : values) {
          const std::string name = line.substr(0, line.find('='));
          ini.ReadInteger(section, name, 0);
          ini.ReadFloat(section, name, 0);
          ini.ReadDateTime(section, name, 0);
        }
      }
      (void)ini.GetText();
    },
};
