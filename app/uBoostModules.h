// The boost modules this program contains: the module table the orchestrator walks.
#pragma once

#include "engine/uBoostTable.h"

// Every module of the program in its row, with the language lookup and the memory
// sampler the orchestrator needs.
TBoostModules DefaultBoostModules();
