#include "modules/tweaks/uOverFun.h"

#include <string>

#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"

namespace {

plat::Module gOverDrive = 0;
TOverDriveFuns gFuns;

template <typename Fn>
bool Bind(const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(plat::GetProcAddress(gOverDrive, name));
  if (!fn) LogError(std::string("OverDrive.dll: export ") + name + " not found");
  return fn != nullptr;
}

}  // namespace

void LoadOverDriveDll() {
  FreeOverDriveDll();
  gOverDrive = plat::LoadLibraryW(GetOwnFolder() + "OverDrive.dll");
  if (gOverDrive == 0) {
    LogRun("Load dll Failed");
    return;
  }
  TOverDriveFuns f;
  bool ok = Bind("OverClock", f.OverClock);
  ok = Bind("Reset", f.Reset) && ok;
  ok = Bind("CanOverClock", f.CanOverClock) && ok;
  ok = Bind("GetGPUInfo", f.GetGPUInfo) && ok;
  ok = Bind("GetRange", f.GetRange) && ok;
  if (!ok) {
    LogRun("Load dll fun Failed");
    return;
  }
  gFuns = f;
  LogRun("Load dll fun Succeed");
  LogRun(std::string("Load dll fun CanOverClock ") +
         (gFuns.CanOverClock() == 1 ? "True" : "False"));
}

void FreeOverDriveDll() {
  gFuns = TOverDriveFuns{};
  if (gOverDrive != 0) plat::FreeLibrary(gOverDrive);
  gOverDrive = 0;
}

const TOverDriveFuns& OverDriveFuns() {
  return gFuns;
}
