// The last error after a call through the seam: 0 when the call succeeded. One line
// then says both that a call fails and why:
//   EXPECT_EQ(test::ErrorOf(plat::DeleteFileW(path)), plat::kERROR_ACCESS_DENIED);
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace test {

inline uint32_t ErrorOf(bool ok) {
  return ok ? 0 : plat::GetLastError();
}

// CreateFileW with the handle closed again: 0 when it opened, else the last error.
inline uint32_t OpenError(const std::string& path, uint32_t access, uint32_t share,
                          uint32_t disposition,
                          uint32_t attributes = plat::kFILE_ATTRIBUTE_NORMAL) {
  const plat::Handle h = plat::CreateFileW(path, access, share, disposition, attributes);
  if (h == plat::kInvalidHandle) return plat::GetLastError();
  plat::CloseHandle(h);
  return 0;
}

}  // namespace test
