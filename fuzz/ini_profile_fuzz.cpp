// INI files read and changed through the system's profile functions ("Temp.ini",
// "UserWinSvc.ini", ...), over the simulated machine's.
#include "config/IniFiles.h"
#include "fuzz/FuzzHarness.h"

using namespace std::string_literals;

namespace {
const char kFile[] = "C:\\fuzz\\profile.ini";
}

const fuzz::Target fuzz::kTarget = {
    {"[Services_3rd]\r\nSpooler=1\r\n[Win10]\r\nWSearch = 0\r\n",
     "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0v\0"s, "\xEF\xBB\xBF[S]\nk=\xE2\x82\xAC\n[S]\nk=2\n",
     "k=1\n[ a ]\n=x\n[]\nb\n[c\nd=\"quoted\"\n"},
    nullptr,
    [](const std::string& input) {
      fuzz::Machine().WriteFile(kFile, input);
      TIniFile ini(kFile);
      std::vector<std::string> sections, names;
      ini.ReadSections(sections);
      for (const std::string& section : sections) {
        ini.ReadSection(section, names);
        for (const std::string& name : names)
          ini.ReadInteger(section, name, 0);
      }
      try {
        if (!sections.empty()) {
          ini.WriteString(sections.front(), "Added", "1");
          if (!names.empty()) ini.DeleteKey(sections.back(), names.front());
        }
        ini.EraseSection(sections.empty() ? "None" : sections.back());
      } catch (const EIniFileException&) {
        // a refused write is the file's problem, not the reader's
      }
    },
};
