// What the host leaves for this program: the user's list files ("UserProcBL.txt",
// "UserProcWL.txt", "User3rdSvcWL.txt", one name a line in any of the text encodings)
// and its shared list of game processes (a count and up to 256 process identifiers).
#include <algorithm>
#include <cstring>

#include "diag/uSessionShareMemory.h"
#include "fuzz/FuzzHarness.h"
#include "modules/process/uProcessBoost.h"
#include "modules/service/uServiceClass.h"
#include "platform/Gui.h"

using namespace std::string_literals;

namespace {
const char kFolder[] = "C:\\fuzz\\";
const char kList[] = "C:\\fuzz\\UserProcBL.txt";
}  // namespace

const fuzz::Target fuzz::kTarget = {
    {"notepad.exe\r\nEXPLORER.EXE\nsteam.exe\r\n\r\n",
     "\xFF\xFEn\0o\0t\0e\0p\0a\0d\0.\0e\0x\0e\0\r\0\n\0"s,
     "\x03\0\0\0\x10\0\0\0\x20\0\0\0\x30\0\0\0"s, std::string(1028, '\xFF')},
    nullptr,
    [](const std::string& input) {
      fuzz::Machine().WriteFile(kList, input);
      static TProcessBoost process(kFolder, "", "");
      std::vector<std::string> list;
      process.LoadFilterDBFile(kList, list);
      TBoostBase::ListContainsText("explorer.exe", list);
      TServices(std::string(kFolder) + "UserWinSvc.ini", kList).IsWhiteListed("Spooler");

      static const plat::Handle mapping =
          plat::CreateFileMappingW(kSessionMappingName, kSessionMappingSize);
      static void* const view = plat::MapViewOfFile(mapping);
      std::memset(view, 0, kSessionMappingSize);
      std::memcpy(view, input.data(), std::min<size_t>(input.size(), kSessionMappingSize));
      TSessionShareMemory games;
      games.Lookup(0x10);
    },
};
