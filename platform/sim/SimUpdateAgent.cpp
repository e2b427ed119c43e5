// Sim backend: COM per thread and the automatic-updates object of the machine
// ([updateagent]). Every call is recorded as a [call N] with its HRESULT; a call the
// machine lists under "fail" answers the failure Windows gives for it. A level set
// through the settings object reaches the machine with Save, which first takes the
// machine's save delay on the machine clock.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/UpdateAgent.h"
#include "platform/sim/SimInternal.h"
#include "platform/sim/SimSched.h"

namespace plat {
namespace {

struct Apartment {
  int count = 0;  // successful initialisations not yet undone
  bool multiThreaded = false;
};
thread_local Apartment tApartment;

// A settings object: the level put but not yet saved.
struct SimSettings {
  std::optional<int32_t> pending;
};
char gUpdatesObject;  // what an AutomaticUpdates object points to

HResult FailureOf(const std::string& function) {
  return function == "CoCreateInstance" ? kREGDB_E_CLASSNOTREG : kE_FAIL;
}

// Records the call; its result is ok unless the machine lists it as failing.
HResult Call(sim::Op& op, const char* library, const std::string& function,
             std::vector<std::string> arguments = {}, HResult ok = kS_OK) {
  const std::vector<std::string>& fail = op.m().updateAgent.fail;
  const HResult hr =
      std::find(fail.begin(), fail.end(), function) != fail.end() ? FailureOf(function) : ok;
  op.m().calls.push_back(sim::LibraryCall{library, function, std::move(arguments), hr});
  op.Changed();
  return hr;
}

HResult Initialise(const char* function, bool multiThreaded, std::vector<std::string> arguments) {
  sim::Op op;
  HResult ok = kS_OK;
  if (tApartment.count > 0)
    ok = tApartment.multiThreaded == multiThreaded ? kS_FALSE : kRPC_E_CHANGED_MODE;
  const HResult hr = Call(op, "ole32.dll", function, std::move(arguments), ok);
  if (Succeeded(hr)) {
    tApartment.multiThreaded = multiThreaded;
    ++tApartment.count;
  }
  return hr;
}

constexpr const char* kObject = "AutomaticUpdates";

// A property read: the call's result, and the value when it succeeded.
template <class T>
HResult Read(const char* function, T& out, T (*value)(const sim::MachineUpdateAgent&)) {
  sim::Op op;
  const HResult hr = Call(op, kObject, function);
  if (Succeeded(hr)) out = value(op.m().updateAgent);
  return hr;
}

}  // namespace

HResult CoInitialize() {
  return Initialise("CoInitialize", false, {});
}

HResult CoInitializeEx(uint32_t flags) {
  return Initialise("CoInitializeEx", (flags & 2) == 0, {std::to_string(flags)});
}

void CoUninitialize() {
  sim::Op op;
  Call(op, "ole32.dll", "CoUninitialize");
  if (tApartment.count > 0) --tApartment.count;
}

AutomaticUpdatesSettings::~AutomaticUpdatesSettings() {
  delete static_cast<SimSettings*>(object_);
}

AutomaticUpdatesSettings& AutomaticUpdatesSettings::operator=(
    AutomaticUpdatesSettings&& other) noexcept {
  if (this != &other) {
    delete static_cast<SimSettings*>(object_);
    object_ = other.object_;
    other.object_ = nullptr;
  }
  return *this;
}

HResult AutomaticUpdatesSettings::NotificationLevel(int32_t& level) {
  if (!object_) return kE_FAIL;
  const std::optional<int32_t> pending = static_cast<SimSettings*>(object_)->pending;
  const HResult hr =
      Read<int32_t>("get_NotificationLevel", level, [](const auto& a) { return a.level; });
  if (Succeeded(hr) && pending) level = *pending;
  return hr;
}

HResult AutomaticUpdatesSettings::SetNotificationLevel(int32_t level) {
  if (!object_) return kE_FAIL;
  sim::Op op;
  const HResult hr = Call(op, kObject, "put_NotificationLevel", {std::to_string(level)});
  if (Succeeded(hr)) static_cast<SimSettings*>(object_)->pending = level;
  return hr;
}

HResult AutomaticUpdatesSettings::ReadOnly(bool& readOnly) {
  if (!object_) return kE_FAIL;
  return Read<bool>("get_ReadOnly", readOnly, [](const auto& a) { return a.readOnly; });
}

HResult AutomaticUpdatesSettings::Required(bool& required) {
  if (!object_) return kE_FAIL;
  return Read<bool>("get_Required", required, [](const auto& a) { return a.required; });
}

HResult AutomaticUpdatesSettings::Save() {
  if (!object_) return kE_FAIL;
  HResult hr = kS_OK;
  uint32_t delay = 0;
  {
    sim::Op op;
    hr = Call(op, kObject, "Save");
    delay = op.m().updateAgent.saveDelay;
  }
  if (!Succeeded(hr)) return hr;
  if (delay) sim::sched::SleepFor(delay);
  const std::optional<int32_t> pending = static_cast<SimSettings*>(object_)->pending;
  if (pending) {
    sim::Op op;
    op.m().updateAgent.level = *pending;
    op.Changed();
  }
  return hr;
}

AutomaticUpdates::~AutomaticUpdates() = default;

HResult AutomaticUpdates::Create() {
  sim::Op op;
  const HResult hr = Call(op, kObject, "CoCreateInstance", {},
                          tApartment.count > 0 ? kS_OK : kCO_E_NOTINITIALIZED);
  if (Succeeded(hr)) object_ = &gUpdatesObject;
  return hr;
}

HResult AutomaticUpdates::ServiceEnabled(bool& enabled) {
  if (!object_) return kE_FAIL;
  return Read<bool>("get_ServiceEnabled", enabled, [](const auto& a) { return a.serviceEnabled; });
}

HResult AutomaticUpdates::Settings(AutomaticUpdatesSettings& settings) {
  if (!object_) return kE_FAIL;
  sim::Op op;
  const HResult hr = Call(op, kObject, "get_Settings");
  if (Succeeded(hr)) {
    AutomaticUpdatesSettings fresh;
    fresh.object_ = new SimSettings;
    settings = std::move(fresh);
  }
  return hr;
}

}  // namespace plat
