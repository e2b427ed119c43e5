// Private memory of a process, counted from its working-set list.
#pragma once

#include <cstdint>

// Bytes of the process's working set that are not shared (4096 per page). Shared
// pages between 0xC0000000 and 0xE0000000 count as private. 0 when the process
// cannot be opened or its working set holds more than 65,534 pages.
uint32_t GetPrivacyMemory(uint32_t pid);
