// Helpers over the service manager functions: a handle that is closed on every
// path, and the size-query protocol of the enumeration and query functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Services.h"

// A service manager or service handle, closed when it goes out of scope.
class TScHandle {
 public:
  explicit TScHandle(plat::Handle handle = 0) : fHandle(handle) {}
  ~TScHandle();
  TScHandle(const TScHandle&) = delete;
  TScHandle& operator=(const TScHandle&) = delete;
  plat::Handle Get() const { return fHandle; }
  explicit operator bool() const { return fHandle != 0; }

 private:
  plat::Handle fHandle;
};

// Opens the local service manager and one of its services.
plat::Handle OpenManager(uint32_t Access);
plat::Handle OpenService(const TScHandle& Manager, const std::string& Name, uint32_t Access);

// The services of Type in State, from a size query that must fail with
// ERROR_MORE_DATA and the real call. When services start between the two calls the
// real call is made once more with the new size; false (entries empty) when that
// fails too or the size query fails otherwise.
bool EnumServices(const TScHandle& Manager, uint32_t Type, uint32_t State,
                  std::vector<plat::EnumServiceEntry>& Entries);
// QueryServiceConfigW after its size query (which must fail with
// ERROR_INSUFFICIENT_BUFFER); SizeKnown tells whether the size query did.
bool QueryConfig(const TScHandle& Service, plat::ServiceConfig& Config, bool& SizeKnown);
// The description, empty when none or when the function is missing.
std::string QueryDescription(const TScHandle& Service);
// The services that depend on Service, in the manager's order (every state).
std::vector<plat::EnumServiceEntry> QueryDependents(const TScHandle& Service);
