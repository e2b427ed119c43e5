// A program that uses the bug report's handlers and fails with an access violation on a
// worker thread: the structured-exception filter writes the report beside it.
#include <cstdint>

#include "diag/uBugreport.h"
#include "platform/Gui.h"

static int32_t* volatile gNowhere = nullptr;

int main(int, char** argv) {
  InitBugReport({argv[0]});
  const plat::Handle worker = plat::CreateThread([] { *gNowhere = 1; });
  plat::WaitForSingleObject(worker, 30000);
  return 3;  // the filter ends the process with 0 before this
}
