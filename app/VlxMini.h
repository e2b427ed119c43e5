// The program: start-up, the installation check, the single-instance rule and the
// mini window's message loop. The entry file hands it the command line.
#pragma once

#include <string>
#include <vector>

#include "app/uBoostModules.h"
#include "engine/uBoost.h"

// Params: parameter 0 is the program's own path. Returns the exit code when the
// program ends by leaving its message loop or an early check; most ways out end
// the process from inside (ExitWithNotice).
// Modules: the boost modules the orchestrator builds (those of this build unless a
// test gives others).
int RunVlxMini(const std::vector<std::string>& Params,
               const TBoostModules& Modules = DefaultBoostModules());

// The test exception of the "Debug" parameter.
inline constexpr const char* kBugReportTestText = "VLMXMini BugReport Test";
