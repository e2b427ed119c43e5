#include "diag/uSessionShareMemory.h"

#include <algorithm>
#include <cstring>

#include "platform/Gui.h"
#include "platform/Platform.h"

TSessionShareMemory::TSessionShareMemory() {
  fEvent = plat::OpenEventW(kSessionEventName);
  if (fEvent == 0) fEvent = plat::CreateEventW(false, true, kSessionEventName);
  fMapping = plat::OpenFileMappingW(kSessionMappingName);
  if (fMapping == 0) fMapping = plat::CreateFileMappingW(kSessionMappingName, kSessionMappingSize);
  if (fMapping != 0) fView = plat::MapViewOfFile(fMapping);
}

TSessionShareMemory::~TSessionShareMemory() {
  if (fView) plat::UnmapViewOfFile(fView);
  if (fMapping) plat::CloseHandle(fMapping);
  if (fEvent) plat::CloseHandle(fEvent);
}

std::vector<uint32_t> TSessionShareMemory::ReadProcessIds() {
  std::vector<uint32_t> ids;
  TryReadProcessIds(ids);
  return ids;
}

bool TSessionShareMemory::TryReadProcessIds(std::vector<uint32_t>& ids) {
  ids.clear();
  if (!fView || !fEvent) return false;
  if (plat::WaitForSingleObject(fEvent, 1000) != plat::kWAIT_OBJECT_0) return false;
  uint32_t count = 0;
  std::memcpy(&count, fView, sizeof count);
  count = std::min(count, kSessionMaxEntries);
  ids.resize(count);
  // An empty list leaves ids without storage: nothing to copy.
  if (count > 0)
    std::memcpy(ids.data(), static_cast<const unsigned char*>(fView) + 4, count * sizeof(uint32_t));
  plat::SetEvent(fEvent);
  return true;
}

uint32_t TSessionShareMemory::Lookup(uint32_t Pid) {
  const std::vector<uint32_t> ids = ReadProcessIds();
  for (size_t i = 0; i < ids.size(); ++i)
    if (ids[i] == Pid) return static_cast<uint32_t>(i + 1);
  return 0;
}
