// Sim backend: the registry.
//
// Key handles name a root and the path of names below it (after the 32/64-bit view
// is applied), so they stay valid when another process rewrote the machine; a
// handle whose key was deleted answers ERROR_KEY_DELETED.
//
// Views: a 32-bit program on 64-bit Windows (Machine::wow64) sees HKLM\SOFTWARE\X
// at HKLM\SOFTWARE\WOW6432Node\X unless it asks for KEY_WOW64_64KEY;
// KEY_WOW64_32KEY asks for the 32-bit view from any program. A key opened without
// either flag passes its view on to keys opened below it.
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Text.h"
#include "platform/sim/SimInternal.h"

namespace sim {

namespace {

using plat::kDELETE;
using plat::kGENERIC_ALL;
using plat::kGENERIC_EXECUTE;
using plat::kSYNCHRONIZE;
constexpr int32_t kERROR_BAD_PATHNAME = 161;
constexpr int32_t kERROR_KEY_DELETED = 1018;
constexpr uint32_t kMAXIMUM_ALLOWED = 0x02000000;

struct KeyHandle {
  plat::RegKey root = 0;
  std::vector<std::string> path;
  uint32_t access = 0;
  int view = 0;  // 32 or 64 when chosen, 0 on a 32-bit Windows or for a predefined key
};

struct KeyTable {
  std::mutex mutex;
  std::map<plat::RegKey, KeyHandle> keys;
  plat::RegKey next = 0x1000;
};

KeyTable& Keys() {
  static KeyTable* table = new KeyTable;
  return *table;
}

bool IsPredefined(plat::RegKey key) {
  return key >= 0x80000000u && key <= 0x80000006u;
}

RegKeyNode* Walk(Machine& m, plat::RegKey root, const std::vector<std::string>& path,
                 size_t count = SIZE_MAX) {
  RegKeyNode* node = &RegistryRoot(m, root);
  for (size_t i = 0; i < path.size() && i < count; ++i) {
    const auto it = node->subkeys.find(path[i]);
    if (it == node->subkeys.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

// The key a handle stands for; 0 or a Win32 error.
int32_t Describe(Machine& m, plat::RegKey key, KeyHandle& out) {
  if (IsPredefined(key)) {
    out = KeyHandle{key, {}, RegistryRoot(m, key).allowedAccess, 0};
    return 0;
  }
  KeyTable& t = Keys();
  std::lock_guard<std::mutex> lock(t.mutex);
  const auto it = t.keys.find(key);
  if (it == t.keys.end()) return plat::kERROR_INVALID_HANDLE;
  out = it->second;
  return 0;
}

plat::RegKey AddKey(KeyHandle handle) {
  KeyTable& t = Keys();
  std::lock_guard<std::mutex> lock(t.mutex);
  plat::RegKey k = t.next;
  while (t.keys.count(k))
    k += 4;
  t.next = k + 4;
  t.keys.emplace(k, std::move(handle));
  return k;
}

uint32_t RequestedRights(uint32_t access) {
  uint32_t a =
      access & ~(plat::kKEY_WOW64_32KEY | plat::kKEY_WOW64_64KEY | kSYNCHRONIZE | kMAXIMUM_ALLOWED);
  if (a & plat::kGENERIC_READ) a = (a & ~plat::kGENERIC_READ) | plat::kKEY_READ;
  if (a & plat::kGENERIC_WRITE) a = (a & ~plat::kGENERIC_WRITE) | plat::kKEY_WRITE;
  if (a & kGENERIC_EXECUTE) a = (a & ~kGENERIC_EXECUTE) | plat::kKEY_READ;
  if (a & kGENERIC_ALL) a = (a & ~kGENERIC_ALL) | plat::kKEY_ALL_ACCESS;
  return a;
}

int ViewOf(const Machine& m, uint32_t access, int parentView) {
  if (m.nativeArchitecture == plat::kPROCESSOR_ARCHITECTURE_INTEL) return 0;
  if (access & plat::kKEY_WOW64_64KEY) return 64;
  if (access & plat::kKEY_WOW64_32KEY) return 32;
  if (parentView) return parentView;
  return m.wow64 ? 32 : 64;
}

void Redirect(plat::RegKey root, std::vector<std::string>& path, int view) {
  if (view != 32 || root != plat::kHKEY_LOCAL_MACHINE || path.empty() ||
      !txt::SameText(path[0], "SOFTWARE")) {
    return;
  }
  if (path.size() >= 2 && txt::SameText(path[1], "WOW6432Node")) return;
  path.insert(path.begin() + 1, "WOW6432Node");
}

// The full path of parent + subKey in the view access asks for.
int32_t Target(Machine& m, plat::RegKey parent, const std::string& subKey, uint32_t viewBits,
               KeyHandle& out) {
  KeyHandle p;
  if (const int32_t rc = Describe(m, parent, p)) return rc;
  if (!IsPredefined(parent) && !Walk(m, p.root, p.path)) return kERROR_KEY_DELETED;
  std::vector<std::string> names;
  if (!SplitSubKey(subKey, names)) return kERROR_BAD_PATHNAME;
  out.root = p.root;
  out.view = ViewOf(m, viewBits, p.view);
  out.path = p.path;
  out.path.insert(out.path.end(), names.begin(), names.end());
  Redirect(out.root, out.path, out.view);
  return 0;
}

// The node of an open key and a check of the rights the operation needs.
int32_t OpenNode(Machine& m, plat::RegKey key, uint32_t need, RegKeyNode*& node) {
  KeyHandle h;
  if (const int32_t rc = Describe(m, key, h)) return rc;
  node = Walk(m, h.root, h.path);
  if (!node) return kERROR_KEY_DELETED;
  if (need && (h.access & need) != need) return plat::kERROR_ACCESS_DENIED;
  return 0;
}

int32_t Grant(const RegKeyNode& node, uint32_t access, uint32_t& granted) {
  if (access & kMAXIMUM_ALLOWED) {
    granted = node.allowedAccess;
    return 0;
  }
  granted = RequestedRights(access);
  return (granted & ~node.allowedAccess) ? plat::kERROR_ACCESS_DENIED : 0;
}

}  // namespace

}  // namespace sim

namespace plat {

int32_t RegOpenKeyExW(RegKey parent, const std::string& subKey, uint32_t access, RegKey* result) {
  sim::Op op;
  sim::Machine& m = op.m();
  sim::KeyHandle target;
  if (const int32_t rc = sim::Target(m, parent, subKey, access, target)) return rc;
  const sim::RegKeyNode* node = sim::Walk(m, target.root, target.path);
  if (!node) return kERROR_FILE_NOT_FOUND;
  if (const int32_t rc = sim::Grant(*node, access, target.access)) return rc;
  if (result) *result = sim::AddKey(std::move(target));
  return 0;
}

int32_t RegCreateKeyExW(RegKey parent, const std::string& subKey, uint32_t access, RegKey* result,
                        bool* created) {
  const sim::ChangeCall change;
  sim::Op op;
  sim::Machine& m = op.m();
  sim::KeyHandle target;
  if (const int32_t rc = sim::Target(m, parent, subKey, access, target)) return rc;
  sim::RegKeyNode* node = &sim::RegistryRoot(m, target.root);
  bool isNew = false;
  for (const std::string& name : target.path) {
    const auto it = node->subkeys.find(name);
    if (it != node->subkeys.end()) {
      node = it->second.get();
      isNew = false;
      continue;
    }
    if (!(node->allowedAccess & kKEY_CREATE_SUB_KEY)) {
      if (isNew) op.Changed();
      return kERROR_ACCESS_DENIED;
    }
    auto child = std::make_unique<sim::RegKeyNode>();
    child->name = name;
    sim::RegKeyNode* raw = child.get();
    node->subkeys.emplace(name, std::move(child));
    node = raw;
    isNew = true;
  }
  if (isNew) op.Changed();
  if (const int32_t rc = sim::Grant(*node, access, target.access)) return rc;
  if (created) *created = isNew;
  if (result) *result = sim::AddKey(std::move(target));
  return 0;
}

int32_t RegCloseKey(RegKey key) {
  if (sim::IsPredefined(key)) return 0;
  sim::KeyTable& t = sim::Keys();
  std::lock_guard<std::mutex> lock(t.mutex);
  return t.keys.erase(key) ? 0 : static_cast<int32_t>(kERROR_INVALID_HANDLE);
}

int32_t RegFlushKey(RegKey key) {
  sim::Op op;
  sim::RegKeyNode* node = nullptr;
  return sim::OpenNode(op.m(), key, 0, node);
}

int32_t RegQueryValueExW(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                         uint32_t* size) {
  sim::Op op;
  sim::RegKeyNode* node = nullptr;
  if (const int32_t rc = sim::OpenNode(op.m(), key, kKEY_QUERY_VALUE, node)) return rc;
  if (data && !size) return kERROR_INVALID_PARAMETER;
  for (const sim::RegValue& v : node->values) {
    if (!txt::SameText(v.name, name)) continue;
    if (type) *type = v.type;
    const auto length = static_cast<uint32_t>(v.data.size());
    if (data) {
      if (*size < length) {
        *size = length;
        return kERROR_MORE_DATA;
      }
      std::memcpy(data, v.data.data(), length);
    }
    if (size) *size = length;
    return 0;
  }
  return kERROR_FILE_NOT_FOUND;
}

int32_t RegSetValueExW(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                       uint32_t size) {
  const sim::ChangeCall change;
  sim::Op op;
  sim::RegKeyNode* node = nullptr;
  if (const int32_t rc = sim::OpenNode(op.m(), key, kKEY_SET_VALUE, node)) return rc;
  if (!data && size) return kERROR_INVALID_PARAMETER;
  sim::SetRegistryValue(
      *node, sim::RegValue{name, type, std::string(reinterpret_cast<const char*>(data), size)});
  op.Changed();
  return 0;
}

int32_t RegDeleteValueW(RegKey key, const std::string& name) {
  const sim::ChangeCall change;
  sim::Op op;
  sim::RegKeyNode* node = nullptr;
  if (const int32_t rc = sim::OpenNode(op.m(), key, kKEY_SET_VALUE, node)) return rc;
  for (auto it = node->values.begin(); it != node->values.end(); ++it) {
    if (txt::SameText(it->name, name)) {
      node->values.erase(it);
      op.Changed();
      return 0;
    }
  }
  return kERROR_FILE_NOT_FOUND;
}

int32_t RegDeleteKeyExW(RegKey parent, const std::string& subKey, uint32_t view) {
  const sim::ChangeCall change;
  sim::Op op;
  sim::Machine& m = op.m();
  sim::KeyHandle target;
  if (const int32_t rc = sim::Target(m, parent, subKey, view, target)) return rc;
  if (target.path.empty()) return kERROR_ACCESS_DENIED;  // a predefined key
  sim::RegKeyNode* node = sim::Walk(m, target.root, target.path);
  if (!node) return kERROR_FILE_NOT_FOUND;
  if (!node->subkeys.empty() || !(node->allowedAccess & sim::kDELETE)) {
    return kERROR_ACCESS_DENIED;
  }
  sim::RegKeyNode* above = sim::Walk(m, target.root, target.path, target.path.size() - 1);
  above->subkeys.erase(target.path.back());
  op.Changed();
  return 0;
}

int32_t RegEnumKeyExW(RegKey key, uint32_t index, std::string* name) {
  sim::Op op;
  sim::RegKeyNode* node = nullptr;
  if (const int32_t rc = sim::OpenNode(op.m(), key, kKEY_ENUMERATE_SUB_KEYS, node)) return rc;
  if (index >= node->subkeys.size()) return kERROR_NO_MORE_ITEMS;
  auto it = node->subkeys.begin();
  std::advance(it, index);
  if (name) *name = it->second->name;
  return 0;
}

int32_t RegEnumValueW(RegKey key, uint32_t index, std::string* name, uint32_t* type) {
  sim::Op op;
  sim::RegKeyNode* node = nullptr;
  if (const int32_t rc = sim::OpenNode(op.m(), key, kKEY_QUERY_VALUE, node)) return rc;
  if (index >= node->values.size()) return kERROR_NO_MORE_ITEMS;
  if (name) *name = node->values[index].name;
  if (type) *type = node->values[index].type;
  return 0;
}

}  // namespace plat
