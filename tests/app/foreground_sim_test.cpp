// The mini window coming to the front when its start message arrives: each test
// runs the window in a process of its own over a simulated machine, with another
// window of the program in front and the mini window minimised, lets the start
// message through and reports what the window left behind.
#include <gtest/gtest.h>

#include "app/frmMiniBoostUnit.h"
#include "config/UnitGAConfig.h"
#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/SimProgram.h"

namespace {

const std::string kExe = "C:\\Program Files (x86)\\Velmora\\VlxMini.exe";
constexpr int kMinimise = 6;  // SW_MINIMIZE

// What the child saw, as bits of its exit code.
enum : int {
  kStillMinimised = 1,
  kMiniInFront = 2,
  kOtherInFront = 4,
  kLockTimeOutChanged = 8,
  kNoWindow = 16,
  kStartNotHandled = 32,
};

// Runs the window of a "-game" run with the extra parameters until its start
// message has been handled (no boost modules: the pass has nothing to do).
int RunStart(const std::vector<std::string>& extra, bool foregroundLock = false) {
  sim::MachineBuilder builder;
  builder.With([foregroundLock](sim::Machine& m) {
    m.foregroundLockTimeout = 200000;
    m.foregroundLock = foregroundLock;
  });
  test::SimHome home{std::move(builder)};
  const auto result = test::RunSimProgram(home.dir(), [&] {
    std::vector<std::string> params{kExe, "-game"};
    params.insert(params.end(), extra.begin(), extra.end());
    int seen = 0;
    // Another window of this program is in front.
    plat::WindowSpec otherLayout;
    otherLayout.className = "OtherWindow";
    const plat::Hwnd other = plat::CreateAppWindow(otherLayout, nullptr);
    plat::ShowWindow(other, plat::kSW_SHOW);
    plat::SetForegroundWindow(other);

    TfrmMiniBoost form(params, true, TBoostModules{});
    form.Create();
    if (form.Handle() == 0) return static_cast<int>(kNoWindow);
    // Another program's synchronisation message carries nothing the window runs.
    plat::SendMessageW(form.Handle(), kMsgSynchronize, 1, 0x1234);
    plat::ShowWindow(form.Handle(), kMinimise);
    form.Show();
    // The start message is the only one posted: handle what is queued now.
    plat::Message msg;
    while (plat::PeekMessageW(msg))
      plat::DispatchMessageW(msg);
    // The start handler's boost request stamps the settings file.
    std::string settings;
    fileutil::ReadFileBytes(GSettingsFolder + "Velmorix.ini", settings);
    if (txt::DecodeTextFile(settings).find("Lastboosttime=") == std::string::npos)
      seen |= kStartNotHandled;

    if (plat::IsIconic(form.Handle())) seen |= kStillMinimised;
    if (plat::GetForegroundWindow() == form.Handle()) seen |= kMiniInFront;
    if (plat::GetForegroundWindow() == other) seen |= kOtherInFront;
    uint32_t timeout = 0;
    sim::InjectedFaults().failForegroundLockRead = false;
    plat::GetForegroundLockTimeout(timeout);
    if (timeout != 200000) seen |= kLockTimeOutChanged;
    return seen;
  });
  EXPECT_FALSE(result.timedOut);
  return result.exitCode;
}

TEST(ForegroundWindow, TheStartMessageBringsTheWindowToTheFrontAndPutsTheLockBack) {
  // The foreground lock time-out is as it was before.
  EXPECT_EQ(RunStart({}), kMiniInFront);
  // With the lock on, taking the front needs a time-out of 0; the window gets the
  // front all the same and the time-out is back at its value afterwards.
  EXPECT_EQ(RunStart({}, true), kMiniInFront);
  // A time-out that cannot be read is left alone: the lock stays and so does the front.
  sim::InjectedFaults().failForegroundLockRead = true;  // inherited by the child
  EXPECT_EQ(RunStart({}, true), kOtherInFront);
  sim::InjectedFaults().failForegroundLockRead = false;
  // "Auto" in any letter case, after a minus or a slash, in any parameter: the window
  // stays where it is.
  for (const auto& extra :
       std::vector<std::vector<std::string>>{{"-Auto"}, {"/auto"}, {"-x", "-AUTO"}})
    EXPECT_EQ(RunStart(extra), kStillMinimised | kOtherInFront) << extra.back();
}

}  // namespace
