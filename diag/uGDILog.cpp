#include "diag/uGDILog.h"

#include "diag/uAppLog.h"
#include "platform/Gui.h"

std::string WithGdiCounts(const std::string& Text) {
  return Text + " GDI:" + std::to_string(plat::GetGuiResources(0)) + "_" +
         std::to_string(plat::GetGuiResources(1)) + "_" + std::to_string(plat::GetGuiResources(2)) +
         "_" + std::to_string(plat::GetGuiResources(4));
}

void LogWithGdi(const std::string& Text) {
  LogRun(WithGdiCounts(Text));
}
