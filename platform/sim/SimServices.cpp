// The simulated service manager: the machine's service table and the service manager
// functions of the seam on it (the machine file reads and writes its "[service NAME]"
// sections).
#include <algorithm>

#include "platform/Text.h"
#include "platform/sim/SimInternal.h"
#include "platform/sim/SimSched.h"
#include "platform/sim/SimServiceTable.h"

namespace sim {

namespace {

// ---------------------------------------------------------------- the table

bool SameName(const std::string& a, const std::string& b) {
  return txt::SameText(a, b);
}

Service* Find(Machine& m, const std::string& name) {
  for (Service& s : m.services)
    if (SameName(s.name, name)) return &s;
  return nullptr;
}

bool Active(const Service& s) {
  return s.state != plat::kSERVICE_STOPPED;
}

plat::ServiceStatus StatusOf(const Service& s, uint64_t now) {
  plat::ServiceStatus st;
  st.type = s.type;
  st.state = s.state;
  st.controlsAccepted = s.state == plat::kSERVICE_RUNNING ? plat::kSERVICE_ACCEPT_STOP : 0;
  st.checkPoint = s.checkPoint;
  st.waitHint = s.waitHint;
  if (s.state == plat::kSERVICE_STOP_PENDING && s.due != 0)
    st.checkPoint = 1 + static_cast<uint32_t>((now - std::min(now, s.pendingSince)) / 100);
  return st;
}

// Bytes of a text in a 32-bit program's buffer: UTF-16 with terminator.
uint32_t TextBytes(const std::string& s) {
  return static_cast<uint32_t>(2 * (txt::Utf8ToUtf16(s).size() + 1));
}

// ENUM_SERVICE_STATUSW of a 32-bit program: two pointers, SERVICE_STATUS, the texts.
uint32_t EntryBytes(const Service& s) {
  return 36 + TextBytes(s.name) + TextBytes(s.displayName);
}

struct ScObject : HandleObject {
  bool manager = false;
  std::string name;
};

std::shared_ptr<ScObject> Sc(plat::Handle h, bool manager) {
  auto obj = LookupHandleAs<ScObject>(h);
  if (!obj || obj->manager != manager) {
    SetError(plat::kERROR_INVALID_HANDLE);
    return nullptr;
  }
  return obj;
}

// The service behind a service handle (error 6 or 1060 when none).
Service* ServiceOf(Op& op, plat::Handle h) {
  auto obj = Sc(h, false);
  if (!obj) return nullptr;
  SettleServices(op.m());
  Service* s = Find(op.m(), obj->name);
  if (!s) SetError(plat::kERROR_SERVICE_DOES_NOT_EXIST);
  return s;
}

// Fills entries from list while they fit; ERROR_MORE_DATA and the bytes of the rest
// when they do not.
bool FillEntries(const std::vector<const Service*>& list, uint32_t bufferBytes, uint64_t now,
                 std::vector<plat::EnumServiceEntry>& entries, uint32_t& bytesNeeded) {
  entries.clear();
  uint32_t used = 0, rest = 0;
  for (const Service* s : list) {
    const uint32_t bytes = EntryBytes(*s);
    if (rest == 0 && used + bytes <= bufferBytes) {
      used += bytes;
      entries.push_back({s->name, s->displayName, StatusOf(*s, now)});
    } else {
      rest += bytes;
    }
  }
  bytesNeeded = rest;
  if (rest == 0) return true;
  SetError(plat::kERROR_MORE_DATA);
  return false;
}

// Every service that needs Name, directly or through others, each after the services
// that need it (the order they can be stopped in).
void CollectDependents(const Machine& m, const std::string& name, std::vector<const Service*>& out,
                       int depth) {
  for (const Service* d : DependentsOf(m, name)) {
    if (depth > 16 || std::find(out.begin(), out.end(), d) != out.end()) continue;
    CollectDependents(m, d->name, out, depth + 1);
    if (std::find(out.begin(), out.end(), d) == out.end()) out.push_back(d);
  }
}

bool StartOne(Machine& m, Service& s, int depth) {
  if (Active(s)) {
    SetError(plat::kERROR_SERVICE_ALREADY_RUNNING);
    return false;
  }
  if (s.startType == plat::kSERVICE_DISABLED) {
    SetError(plat::kERROR_SERVICE_DISABLED);
    return false;
  }
  for (const std::string& need : s.dependsOn) {
    Service* d = Find(m, need);
    if (!d || depth > 16 || (!Active(*d) && !StartOne(m, *d, depth + 1))) {
      SetError(plat::kERROR_SERVICE_DEPENDENCY_FAIL);
      return false;
    }
  }
  s.state = plat::kSERVICE_RUNNING;
  s.checkPoint = 0;
  s.pendingSince = s.due = 0;
  return true;
}

}  // namespace

// ---------------------------------------------------------------- table helpers

std::vector<const Service*> DependentsOf(const Machine& machine, const std::string& name) {
  std::vector<const Service*> out;
  for (const Service& s : machine.services)
    if (std::any_of(s.dependsOn.begin(), s.dependsOn.end(),
                    [&](const std::string& d) { return SameName(d, name); }))
      out.push_back(&s);
  return out;
}

void SettleServices(Machine& machine) {
  const uint64_t now = plat::GetTickCount64();
  for (Service& s : machine.services) {
    if (s.state == plat::kSERVICE_STOP_PENDING && s.due != 0 && now >= s.due) {
      s.state = plat::kSERVICE_STOPPED;
      s.pendingSince = s.due = 0;
      s.checkPoint = 0;
    }
  }
}

size_t OpenServiceHandles() {
  size_t n = 0;
  ForEachHandle([&](plat::Handle, HandleObject& o) { n += dynamic_cast<ScObject*>(&o) ? 1 : 0; });
  return n;
}

}  // namespace sim

// ---------------------------------------------------------------- the seam

namespace plat {

using sim::Op;
using sim::SetError;

Handle OpenSCManagerW(uint32_t) {
  auto obj = std::make_shared<sim::ScObject>();
  obj->manager = true;
  return sim::AddHandle(obj);
}

Handle OpenServiceW(Handle manager, const std::string& name, uint32_t) {
  Op op;
  if (!sim::Sc(manager, true)) return 0;
  const sim::Service* s = sim::Find(op.m(), name);
  if (!s) {
    SetError(kERROR_SERVICE_DOES_NOT_EXIST);
    return 0;
  }
  auto obj = std::make_shared<sim::ScObject>();
  obj->name = s->name;
  return sim::AddHandle(obj);
}

bool CloseServiceHandle(Handle handle) {
  if (!sim::LookupHandleAs<sim::ScObject>(handle)) {
    SetError(kERROR_INVALID_HANDLE);
    return false;
  }
  sim::RemoveHandle(handle);
  return true;
}

bool EnumServicesStatusW(Handle manager, uint32_t type, uint32_t state, uint32_t bufferBytes,
                         std::vector<EnumServiceEntry>& entries, uint32_t& bytesNeeded) {
  Op op;
  entries.clear();
  bytesNeeded = 0;
  if (!sim::Sc(manager, true)) return false;
  sim::SettleServices(op.m());
  std::vector<const sim::Service*> list;
  for (const sim::Service& s : op.m().services) {
    const bool active = sim::Active(s);
    if ((s.type & type) &&
        ((state & kSERVICE_ACTIVE && active) || (state & kSERVICE_INACTIVE && !active)))
      list.push_back(&s);
  }
  return sim::FillEntries(list, bufferBytes, GetTickCount64(), entries, bytesNeeded);
}

bool QueryServiceStatus(Handle service, ServiceStatus& status) {
  Op op;
  const sim::Service* s = sim::ServiceOf(op, service);
  if (!s) return false;
  status = sim::StatusOf(*s, GetTickCount64());
  return true;
}

bool QueryServiceConfigW(Handle service, uint32_t bufferBytes, ServiceConfig& config,
                         uint32_t& bytesNeeded) {
  Op op;
  bytesNeeded = 0;
  const sim::Service* s = sim::ServiceOf(op, service);
  if (!s) return false;
  uint32_t size = 36 + sim::TextBytes(s->binaryPath) + sim::TextBytes("") +
                  sim::TextBytes(s->startName) + sim::TextBytes(s->displayName) + 2;
  for (const std::string& d : s->dependsOn)
    size += sim::TextBytes(d);
  if (bufferBytes < size) {
    bytesNeeded = size;
    SetError(kERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  config = ServiceConfig{s->type,      s->startType,  1, s->binaryPath, "", 0, s->dependsOn,
                         s->startName, s->displayName};
  return true;
}

bool HasQueryServiceConfig2W() {
  return true;
}

bool QueryServiceDescription(Handle service, uint32_t bufferBytes, std::string& description,
                             uint32_t& bytesNeeded) {
  Op op;
  bytesNeeded = 0;
  const sim::Service* s = sim::ServiceOf(op, service);
  if (!s) return false;
  const uint32_t size = 4 + (s->description.empty() ? 0 : sim::TextBytes(s->description));
  if (bufferBytes < size) {
    bytesNeeded = size;
    SetError(kERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  description = s->description;
  return true;
}

bool EnumDependentServicesW(Handle service, uint32_t state, uint32_t bufferBytes,
                            std::vector<EnumServiceEntry>& entries, uint32_t& bytesNeeded) {
  Op op;
  entries.clear();
  bytesNeeded = 0;
  const sim::Service* s = sim::ServiceOf(op, service);
  if (!s) return false;
  std::vector<const sim::Service*> all, list;
  sim::CollectDependents(op.m(), s->name, all, 0);
  for (const sim::Service* d : all) {
    const bool active = sim::Active(*d);
    if ((state & kSERVICE_ACTIVE && active) || (state & kSERVICE_INACTIVE && !active))
      list.push_back(d);
  }
  return sim::FillEntries(list, bufferBytes, GetTickCount64(), entries, bytesNeeded);
}

bool ControlService(Handle service, uint32_t control, ServiceStatus& status) {
  const sim::ChangeCall change;
  {
    Op op;
    sim::Service* s = sim::ServiceOf(op, service);
    if (!s) return false;
    const uint64_t now = GetTickCount64();
    status = sim::StatusOf(*s, now);
    if (control == kSERVICE_CONTROL_INTERROGATE) return true;
    if (control != kSERVICE_CONTROL_STOP) {
      SetError(kERROR_INVALID_SERVICE_CONTROL);
      return false;
    }
    if (s->state != kSERVICE_RUNNING) {
      SetError(s->state == kSERVICE_STOPPED ? kERROR_SERVICE_NOT_ACTIVE
                                            : kERROR_SERVICE_CANNOT_ACCEPT_CTRL);
      return false;
    }
    for (const sim::Service* d : sim::DependentsOf(op.m(), s->name)) {
      if (sim::Active(*d)) {
        SetError(kERROR_DEPENDENT_SERVICES_RUNNING);
        return false;
      }
    }
    switch (s->stop) {
      case sim::StopBehaviour::Refuse:
        SetError(s->refuseError);
        return false;
      case sim::StopBehaviour::Never:
        break;
      case sim::StopBehaviour::After:
        s->state = kSERVICE_STOP_PENDING;
        s->pendingSince = now;
        s->due = now + std::max<uint32_t>(s->stopDelayMs, 1);
        break;
      default:
        s->state = kSERVICE_STOPPED;
    }
    if (s->stop != sim::StopBehaviour::Never) {
      op.Changed();
      status = sim::StatusOf(*s, now);
      return true;
    }
  }
  // The handler never returns: the manager gives up after its 30 seconds.
  sim::sched::SleepFor(30000);
  SetError(kERROR_SERVICE_REQUEST_TIMEOUT);
  return false;
}

bool StartServiceW(Handle service) {
  const sim::ChangeCall change;
  Op op;
  sim::Service* s = sim::ServiceOf(op, service);
  if (!s) return false;
  if (!sim::StartOne(op.m(), *s, 0)) return false;
  op.Changed();
  return true;
}

}  // namespace plat
