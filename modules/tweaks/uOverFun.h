// The product's overclocking library "OverDrive.dll": loaded once from the program
// folder while the mini window is created, freed once when it is destroyed. The
// entry points are shared by the process; only the loader writes them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Gui.h"

struct TOverDriveFuns {
  int32_t(VLX_STDCALL* OverClock)(int32_t* gpu, int32_t* mem, int32_t flags) = nullptr;
  int32_t(VLX_STDCALL* Reset)() = nullptr;
  int32_t(VLX_STDCALL* CanOverClock)() = nullptr;
  int32_t(VLX_STDCALL* GetGPUInfo)(void* record) = nullptr;
  int32_t(VLX_STDCALL* GetRange)() = nullptr;
};

// Size of the record GetGPUInfo fills.
constexpr size_t kGPUInfoSize = 424;

// Loads the library by full path and binds its five entry points; with the library or
// any entry point missing none is bound. Writes the load lines to the run log.
void LoadOverDriveDll();
// Frees the library (once) and unbinds the entry points.
void FreeOverDriveDll();
// The bound entry points; all null unless the library loaded completely.
const TOverDriveFuns& OverDriveFuns();
