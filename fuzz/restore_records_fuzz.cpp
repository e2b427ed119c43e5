// "Temp.ini" as a restore finds it: the process records (numeric keys, Base64 start
// commands), the priority records (process identifiers) and the hidden windows of the
// game desktop (window handles), read back by the modules that wrote them.
#include "fuzz/FuzzHarness.h"
#include "modules/process/uProcessBoost.h"
#include "modules/process/uPsPriority.h"
#include "modules/tweaks/uGameDesk.h"

namespace {
const char kFolder[] = "C:\\fuzz\\";
const char kFile[] = "C:\\fuzz\\Temp.ini";
}  // namespace

const fuzz::Target fuzz::kTarget = {
    {"[Process]\r\nnotepad.exe=1024\r\n[Process1]\r\n4242=C:\\Windows\\notepad.exe\r\n"
     "4242_=QzpcV2luZG93c1xub3RlcGFkLmV4ZSAvYQ==\r\n0=x\r\n"
     "[Priority]\r\n4242=64\r\n-1=32768\r\n"
     "[Game Desktop]\r\nHide=1\r\nDeskTopHandle=65538\r\n[Hide]\r\n65540=0\r\n$10=0\r\n",
     "[Process1]\r\n0x10=C:\\Program Files\\A b\\a b.exe\r\n0x10_=!!\r\n"
     "[Priority]\r\n4294967295=x\r\n"},
    nullptr,
    [](const std::string& input) {
      fuzz::Machine().WriteFile(kFile, input);
      {
        TProcessBoost process(kFolder, "", kFile);
        TProcessList list;
        process.ReadProcessFromTempFile(list);
      }
      try {
        TPsPriorityBoost(kFolder, "", kFile).Restore();
      } catch (const EConvertError&) {
        // a key that is no process identifier ends the priority restore
      }
      TGameDesk(kFolder, "", kFile).Restore();
    },
};
