#include "platform/sim/SimTweaksFile.h"

#include <functional>

#include "platform/Text.h"

namespace sim {
namespace {

bool ToU64(const std::string& text, uint64_t& v) {
  const std::string t = txt::Trim(text);
  if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos || t.size() > 20)
    return false;
  v = std::stoull(t);
  return true;
}

bool ToInt(const std::string& text, int& v) {
  int32_t n = 0;
  if (!txt::TryStrToInt(txt::Trim(text), n)) return false;
  v = n;
  return true;
}

bool ToBool(const std::string& text, bool& v) {
  const std::string t = txt::LowerCase(txt::Trim(text));
  const bool yes = t == "yes" || t == "true" || t == "1";
  if (!yes && t != "no" && t != "false" && t != "0") return false;
  v = yes;
  return true;
}

std::string YesNo(bool b) {
  return b ? "yes" : "no";
}

std::vector<std::string> Items(const std::string& list, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(sep, start);
    if (end == std::string::npos) end = list.size();
    const std::string item = txt::Trim(list.substr(start, end - start));
    if (!item.empty()) out.push_back(item);
    start = end + 1;
  }
  return out;
}

std::string Bad(const std::string& kind, const FileEntry& e, const std::string& want) {
  return "'" + e.name + "' of [" + kind + "] needs " + want + ", not '" + e.value + "'";
}

// The [memory] figures by key.
struct MemoryKey {
  const char* name;
  std::function<uint64_t&(plat::MemoryStatus&)> field;
};
const std::vector<MemoryKey>& MemoryKeys() {
  static const std::vector<MemoryKey> keys = {
      {"totalPhys", [](plat::MemoryStatus& s) -> uint64_t& { return s.totalPhys; }},
      {"availPhys", [](plat::MemoryStatus& s) -> uint64_t& { return s.availPhys; }},
      {"totalPageFile", [](plat::MemoryStatus& s) -> uint64_t& { return s.totalPageFile; }},
      {"availPageFile", [](plat::MemoryStatus& s) -> uint64_t& { return s.availPageFile; }},
      {"totalVirtual", [](plat::MemoryStatus& s) -> uint64_t& { return s.totalVirtual; }},
      {"availVirtual", [](plat::MemoryStatus& s) -> uint64_t& { return s.availVirtual; }},
  };
  return keys;
}

bool ParseMemory(const std::vector<FileEntry>& entries, MachineMemory& mem, std::string& error) {
  for (const FileEntry& e : entries) {
    uint64_t v = 0;
    bool known = false;
    for (const MemoryKey& k : MemoryKeys()) {
      if (e.name != k.name) continue;
      if (!ToU64(e.value, v)) return error = Bad("memory", e, "a number of bytes"), false;
      k.field(mem.status) = v;
      known = true;
    }
    if (known) continue;
    if (e.name == "load") {
      if (!ToU64(e.value, v) || v > 100) return error = Bad("memory", e, "a percentage"), false;
      mem.status.memoryLoad = static_cast<uint32_t>(v);
    } else if (e.name == "script") {
      for (const std::string& item : Items(e.value, ',')) {
        const std::vector<std::string> pair = Items(item, '/');
        uint64_t total = 0, avail = 0;
        if (pair.size() != 2 || !ToU64(pair[0], total) || !ToU64(pair[1], avail))
          return error = Bad("memory", e, "total/available pairs"), false;
        mem.script.emplace_back(total, avail);
      }
    } else if (e.name == "trims") {
      for (const std::string& item : Items(e.value, ',')) {
        if (!ToU64(item, v) || v > UINT32_MAX)
          return error = Bad("memory", e, "process ids"), false;
        mem.trims.push_back(static_cast<uint32_t>(v));
      }
    } else {
      return error = "[memory] has no '" + e.name + "'", false;
    }
  }
  return true;
}

bool ParseClipboard(const std::vector<FileEntry>& entries, MachineClipboard& c,
                    std::string& error) {
  for (const FileEntry& e : entries) {
    if (e.name == "formats") {
      c.formats = Items(e.value, ',');
    } else if (e.name == "heldBy") {
      c.heldBy = e.value;
    } else {
      return error = "[clipboard] has no '" + e.name + "'", false;
    }
  }
  return true;
}

}  // namespace

bool ParseTweakSection(const std::string& kind, const std::vector<FileEntry>& entries, Machine& m,
                       std::string& error) {
  if (kind == "memory") return ParseMemory(entries, m.memory, error);
  if (kind == "clipboard") return ParseClipboard(entries, m.clipboard, error);
  if (kind == "random") {
    for (const FileEntry& e : entries) {
      int v = 0;
      if (e.name != "value") return error = "[random] has no '" + e.name + "'", false;
      if (!ToInt(e.value, v) || v < 0) return error = Bad("random", e, "a whole number"), false;
      m.randomValue = v;
    }
    return true;
  }
  error = "unknown section [" + kind + "]";
  return false;
}

std::vector<FileSection> TweakSections(const Machine& m) {
  std::vector<FileSection> out;
  FileSection memory{"memory", {{"load", std::to_string(m.memory.status.memoryLoad)}}};
  for (const MemoryKey& k : MemoryKeys()) {
    plat::MemoryStatus s = m.memory.status;
    memory.second.push_back({k.name, std::to_string(k.field(s))});
  }
  std::string list;
  for (const auto& [total, avail] : m.memory.script)
    list += (list.empty() ? "" : ", ") + std::to_string(total) + "/" + std::to_string(avail);
  if (!list.empty()) memory.second.push_back({"script", list});
  list.clear();
  for (uint32_t pid : m.memory.trims)
    list += (list.empty() ? "" : ", ") + std::to_string(pid);
  if (!list.empty()) memory.second.push_back({"trims", list});
  const plat::MemoryStatus& d = MachineMemory().status;
  const plat::MemoryStatus& f = m.memory.status;
  const bool defaults = f.memoryLoad == d.memoryLoad && f.totalPhys == d.totalPhys &&
                        f.availPhys == d.availPhys && f.totalPageFile == d.totalPageFile &&
                        f.availPageFile == d.availPageFile && f.totalVirtual == d.totalVirtual &&
                        f.availVirtual == d.availVirtual;
  if (!defaults || !m.memory.script.empty() || !m.memory.trims.empty())
    out.push_back(std::move(memory));
  if (!m.clipboard.formats.empty() || !m.clipboard.heldBy.empty()) {
    list.clear();
    for (const std::string& f : m.clipboard.formats)
      list += (list.empty() ? "" : ", ") + f;
    FileSection clip{"clipboard", {{"formats", list}}};
    if (!m.clipboard.heldBy.empty()) clip.second.push_back({"heldBy", m.clipboard.heldBy});
    out.push_back(std::move(clip));
  }
  if (m.randomValue != 0) out.push_back({"random", {{"value", std::to_string(m.randomValue)}}});
  return out;
}

bool ParseWindowKey(const FileEntry& e, MachineWindow& w, std::string& error) {
  uint64_t v = 0;
  if (e.name == "pid") {
    if (!ToU64(e.value, v) || v > UINT32_MAX) error = Bad("window", e, "a process id");
    w.pid = static_cast<uint32_t>(v);
  } else if (e.name == "visible") {
    if (!ToBool(e.value, w.visible)) error = Bad("window", e, "yes or no");
  } else if (e.name == "iconic") {
    if (!ToBool(e.value, w.iconic)) error = Bad("window", e, "yes or no");
  } else if (e.name == "rect") {
    const std::vector<std::string> n = Items(e.value, ',');
    if (n.size() != 4 || !ToInt(n[0], w.left) || !ToInt(n[1], w.top) || !ToInt(n[2], w.right) ||
        !ToInt(n[3], w.bottom))
      error = Bad("window", e, "left, top, right, bottom");
  } else if (e.name == "parent") {
    w.parent = e.value;
  } else if (e.name == "lastShow") {
    if (!ToInt(e.value, w.lastShow)) error = Bad("window", e, "a show command");
  } else {
    return false;
  }
  return true;
}

std::vector<FileEntry> WindowKeys(const MachineWindow& w) {
  const MachineWindow d;
  std::vector<FileEntry> out;
  if (w.pid != d.pid) out.push_back({"pid", std::to_string(w.pid)});
  if (w.visible != d.visible) out.push_back({"visible", YesNo(w.visible)});
  if (w.iconic != d.iconic) out.push_back({"iconic", YesNo(w.iconic)});
  if (w.left || w.top || w.right || w.bottom)
    out.push_back({"rect", std::to_string(w.left) + ", " + std::to_string(w.top) + ", " +
                               std::to_string(w.right) + ", " + std::to_string(w.bottom)});
  if (!w.parent.empty()) out.push_back({"parent", w.parent});
  if (w.lastShow != d.lastShow) out.push_back({"lastShow", std::to_string(w.lastShow)});
  return out;
}

}  // namespace sim
