// The host's list of running game processes, shared through a named file mapping
// guarded by a named event. Written by the host, read by the game desktop module.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Types.h"

inline constexpr const char* kSessionEventName = "Corvessa3_SynchronizeEvent";
inline constexpr const char* kSessionMappingName = "Global\\Tavrilo3_SessionMapMemory";
inline constexpr uint32_t kSessionMappingSize = 1028;  // count + 256 process identifiers
inline constexpr uint32_t kSessionMaxEntries = 256;

class TSessionShareMemory {
 public:
  // Opens (or creates signalled) the event and opens (or creates) the mapping.
  TSessionShareMemory();
  ~TSessionShareMemory();
  TSessionShareMemory(const TSessionShareMemory&) = delete;
  TSessionShareMemory& operator=(const TSessionShareMemory&) = delete;

  bool Valid() const { return fView != nullptr; }
  // The valid process identifiers; empty when the lock is not had within 1000 ms.
  std::vector<uint32_t> ReadProcessIds();
  // The same, false (and Ids empty) when the list could not be read in time.
  bool TryReadProcessIds(std::vector<uint32_t>& Ids);
  // 1 + the index of the first valid entry equal to Pid, or 0.
  uint32_t Lookup(uint32_t Pid);

 private:
  plat::Handle fEvent = 0;
  plat::Handle fMapping = 0;
  void* fView = nullptr;
};
