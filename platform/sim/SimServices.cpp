// The simulated service manager: the machine's service table, the service manager
// functions of the seam on it, and its "[service NAME]" sections of the machine file.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "platform/Text.h"
#include "platform/sim/SimInternal.h"
#include "platform/sim/SimSched.h"
#include "platform/sim/SimServiceTable.h"

namespace sim {

namespace {

// ---------------------------------------------------------------- text helpers

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t at; (at = s.find(sep, start)) != std::string::npos; start = at + 1)
    out.push_back(s.substr(start, at - start));
  out.push_back(s.substr(start));
  return out;
}

std::string Join(const std::vector<std::string>& items, const std::string& sep) {
  std::string out;
  for (const std::string& i : items)
    out += (out.empty() ? "" : sep) + i;
  return out;
}

bool ParseU32(const std::string& text, uint32_t& value) {
  int64_t v = 0;
  if (text.empty() || text[0] == '-' || !txt::TryStrToInt64(text, v) || v < 0 || v > 0xFFFFFFFFll)
    return false;
  value = static_cast<uint32_t>(v);
  return true;
}

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

// ---------------------------------------------------------------- machine file

struct Named {
  const char* name;
  uint32_t value;
};
const Named kStates[] = {{"stopped", 1}, {"start-pending", 2},    {"stop-pending", 3},
                         {"running", 4}, {"continue-pending", 5}, {"pause-pending", 6},
                         {"paused", 7}};
const Named kTypes[] = {{"own", 0x10}, {"share", 0x20}, {"driver", 0x01}, {"filesystem", 0x02}};
const Named kStarts[] = {{"boot", 0}, {"system", 1}, {"auto", 2}, {"demand", 3}, {"disabled", 4}};

template <size_t N>
bool FromName(const Named (&table)[N], const std::string& text, uint32_t& value) {
  for (const Named& n : table)
    if (txt::SameText(text, n.name)) return value = n.value, true;
  return ParseU32(text, value);
}
template <size_t N>
std::string ToName(const Named (&table)[N], uint32_t value) {
  for (const Named& n : table)
    if (n.value == value) return n.name;
  return std::to_string(value);
}

std::string Quote(const std::string& s) {
  const bool needs = !s.empty() && (s.front() == '"' || s.front() == ' ' || s.back() == ' ' ||
                                    std::any_of(s.begin(), s.end(), [](char c) {
                                      return static_cast<unsigned char>(c) < 0x20;
                                    }));
  if (!needs) return s;
  std::string out = "\"";
  for (char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

bool Unquote(const std::string& raw, std::string& out) {
  if (raw.empty() || raw.front() != '"') return out = raw, true;
  out.clear();
  size_t i = 1;
  for (; i < raw.size() && raw[i] != '"'; ++i) {
    if (raw[i] != '\\') {
      out += raw[i];
      continue;
    }
    if (++i >= raw.size()) return false;
    switch (raw[i]) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case '0':
        out += '\0';
        break;
      case 'x': {
        uint32_t v = 0;
        if (i + 2 >= raw.size() || !ParseU32("0x" + raw.substr(i + 1, 2), v)) return false;
        out += static_cast<char>(v);
        i += 2;
        break;
      }
      default:
        out += raw[i];
    }
  }
  return i == raw.size() - 1;
}

// One key of a "[service]" section; false with a message on a bad value.
bool ServiceKey(Service& s, const std::string& key, const std::string& value, std::string& why) {
  uint32_t n = 0;
  if (key == "display") {
    s.displayName = value;
  } else if (key == "description") {
    s.description = value;
  } else if (key == "path") {
    s.binaryPath = value;
  } else if (key == "account") {
    s.startName = value;
  } else if (key == "type") {
    if (!FromName(kTypes, value, s.type)) why = "'type' is own, share, driver or a number";
  } else if (key == "state") {
    if (!FromName(kStates, value, s.state)) why = "unknown state '" + value + "'";
  } else if (key == "start") {
    if (!FromName(kStarts, value, s.startType)) why = "unknown start type '" + value + "'";
  } else if (key == "checkPoint" || key == "waitHint") {
    if (!ParseU32(value, n)) why = "'" + key + "' needs a number";
    (key == "checkPoint" ? s.checkPoint : s.waitHint) = n;
  } else if (key == "dependsOn") {
    s.dependsOn.clear();
    for (const std::string& d : Split(value, ','))
      if (!txt::Trim(d).empty()) s.dependsOn.push_back(txt::Trim(d));
  } else if (key == "stop") {
    const std::vector<std::string> w = Split(value, ' ');
    const bool hasNumber = w.size() == 2 && ParseU32(w[1], n);
    if (value == "now") {
      s.stop = StopBehaviour::Now;
    } else if (value == "never") {
      s.stop = StopBehaviour::Never;
    } else if (hasNumber && w[0] == "after") {
      s.stop = StopBehaviour::After;
      s.stopDelayMs = n;
    } else if (hasNumber && w[0] == "refuse") {
      s.stop = StopBehaviour::Refuse;
      s.refuseError = n;
    } else {
      why = "'stop' is now, after MS, refuse CODE or never, not '" + value + "'";
    }
  } else if (key == "pending") {
    const std::vector<std::string> w = Split(value, '-');
    uint32_t a = 0, b = 0;
    if (w.size() != 2 || !ParseU32(w[0], a) || !ParseU32(w[1], b))
      why = "'pending' is SINCE-DUE in machine ticks";
    s.pendingSince = a;
    s.due = b;
  } else {
    why = "unknown service key '" + key + "'";
  }
  return why.empty();
}

std::string StopText(const Service& s) {
  switch (s.stop) {
    case StopBehaviour::After:
      return "after " + std::to_string(s.stopDelayMs);
    case StopBehaviour::Refuse:
      return "refuse " + std::to_string(s.refuseError);
    case StopBehaviour::Never:
      return "never";
    default:
      return "now";
  }
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

bool TakeServiceSections(const std::string& text, Machine& machine, std::string& error) {
  auto& unknown = machine.unknownSections;
  for (auto it = unknown.begin(); it != unknown.end();) {
    const std::vector<std::string> lines = txt::SplitLines(*it);
    const std::string header = lines.empty() ? "" : txt::Trim(lines[0]);
    if (header.rfind("[service ", 0) != 0 || header.back() != ']') {
      ++it;
      continue;
    }
    // The header's line in the file, for messages.
    const size_t at = text.find(lines[0]);
    const int first =
        1 + static_cast<int>(
                std::count(text.begin(), text.begin() + (at == std::string::npos ? 0 : at), '\n'));
    Service s;
    if (!Unquote(txt::Trim(header.substr(9, header.size() - 10)), s.name) || s.name.empty()) {
      error = "line " + std::to_string(first) + ": bad service name";
      return false;
    }
    for (size_t i = 1; i < lines.size(); ++i) {
      const std::string t = txt::Trim(lines[i]);
      if (t.empty() || t[0] == '#' || t[0] == ';') continue;
      const size_t eq = t.find('=');
      std::string value, why;
      if (eq == std::string::npos) {
        why = "expected 'name = value', not '" + t + "'";
      } else if (!Unquote(txt::Trim(t.substr(eq + 1)), value)) {
        why = "bad quoted value";
      } else {
        ServiceKey(s, txt::Trim(t.substr(0, eq)), value, why);
      }
      if (!why.empty()) {
        error = "line " + std::to_string(first + static_cast<int>(i)) + ": " + why;
        return false;
      }
    }
    machine.services.push_back(std::move(s));
    it = unknown.erase(it);
  }
  return true;
}

namespace {

void WriteServices(const std::vector<Service>& services, std::string& out) {
  for (const Service& s : services) {
    out += "\n[service " + Quote(s.name) + "]\n";
    auto line = [&](const char* key, const std::string& value) {
      out += std::string(key) + " = " + Quote(value) + "\n";
    };
    line("display", s.displayName);
    if (!s.description.empty()) line("description", s.description);
    line("path", s.binaryPath);
    line("type", ToName(kTypes, s.type));
    line("start", ToName(kStarts, s.startType));
    if (s.startName != "LocalSystem") line("account", s.startName);
    line("state", ToName(kStates, s.state));
    if (s.checkPoint) line("checkPoint", std::to_string(s.checkPoint));
    if (s.waitHint) line("waitHint", std::to_string(s.waitHint));
    if (s.due) line("pending", std::to_string(s.pendingSince) + "-" + std::to_string(s.due));
    if (!s.dependsOn.empty()) line("dependsOn", Join(s.dependsOn, ", "));
    line("stop", StopText(s));
  }
}

}  // namespace

void WriteServiceSections(const Machine& machine, std::string& out) {
  WriteServices(machine.services, out);
}

std::string DescribeServices(const Machine& machine) {
  std::ostringstream out;
  for (const Service& s : machine.services) {
    out << s.name << "  \"" << s.displayName << "\"  " << ToName(kStates, s.state) << ", "
        << ToName(kStarts, s.startType) << ", stop " << StopText(s) << "\n    " << s.binaryPath
        << "\n";
    if (!s.dependsOn.empty()) out << "    depends on " << Join(s.dependsOn, ", ") << "\n";
    std::vector<std::string> names;
    for (const Service* d : DependentsOf(machine, s.name))
      names.push_back(d->name);
    if (!names.empty()) out << "    dependents " << Join(names, ", ") << "\n";
  }
  return out.str();
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
