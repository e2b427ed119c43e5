// DDC/CI capability strings as monitors reply them, up to the longest reply read.
#include "display/uMonitorCaps.h"
#include "display/uMonitorInfo.h"
#include "fuzz/FuzzHarness.h"

const fuzz::Target fuzz::kTarget = {
    {"prot(monitor)type(LCD)model(X)vcp(02 04 10 12 14(05 08 0B) 60(01 03) DC(00 02) "
     "DF)mccs_ver(2.1)",
     "((vcp(10 12)))", "vcp(020304 14(0506))", "vcp(00(01 02) 14(0B(01))"},
    "caps",
    [](const std::string& input) {
      const std::string caps = input.substr(0, kMaxCapabilitiesLength);
      ReadCapabilities(caps);
      bool malformed = false;
      AnalyzeVCP(caps, &malformed);
    },
};
