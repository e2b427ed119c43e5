// Windows paths on the simulated machine: full paths, drive mapping, case-insensitive
// resolution onto host folders, and the metadata real files cannot carry.
#include <dirent.h>
#include <sys/stat.h>

#include <cctype>

#include "platform/Text.h"
#include "platform/sim/SimInternal.h"

namespace sim {

namespace {

std::vector<std::string> SplitBackslash(const std::string& s) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t pos = s.find('\\', start);
    parts.push_back(s.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
    if (pos == std::string::npos) break;
    start = pos + 1;
  }
  return parts;
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool ValidName(const std::string& name) {
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
        c == '*') {
      return false;
    }
  }
  return true;
}

// The entry of a host folder that is `name` without regard to case (the exact
// spelling wins); empty when there is none.
std::string FindEntry(const std::string& hostDir, const std::string& name) {
  struct stat st {};
  if (::lstat((hostDir + "/" + name).c_str(), &st) == 0) return name;
  DIR* dir = ::opendir(hostDir.c_str());
  if (!dir) return {};
  std::string found;
  while (const dirent* e = ::readdir(dir)) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (txt::SameText(entry, name)) {
      found = entry;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

std::string FullWindowsPath(const Machine& machine, const std::string& path) {
  std::string p = path;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  if (p.empty()) return {};
  if (p.rfind("\\\\?\\", 0) == 0) {
    p = p.substr(4);
    if (p.rfind("UNC\\", 0) == 0) p = "\\\\" + p.substr(4);
  }
  std::string cwd = machine.currentDirectory;
  if (cwd.size() < 2 || !IsDriveLetter(cwd[0]) || cwd[1] != ':') cwd = "C:\\";
  const std::string cwdRest = cwd.size() > 3 ? cwd.substr(3) : std::string();

  std::string prefix;
  std::string rest;
  if (p.rfind("\\\\", 0) == 0) {
    // UNC: \\server\share stays the root.
    const size_t server = p.find('\\', 2);
    const size_t share = server == std::string::npos ? std::string::npos : p.find('\\', server + 1);
    prefix = p.substr(0, share);
    rest = share == std::string::npos ? std::string() : p.substr(share + 1);
  } else if (p.size() >= 2 && IsDriveLetter(p[0]) && p[1] == ':') {
    prefix = p.substr(0, 2);
    if (p.size() > 2 && p[2] == '\\') {
      rest = p.substr(3);
    } else if (Upper(p[0]) == Upper(cwd[0])) {
      rest = cwdRest + "\\" + p.substr(2);
    } else {
      rest = p.substr(2);
    }
  } else if (p[0] == '\\') {
    prefix = cwd.substr(0, 2);
    rest = p.substr(1);
  } else {
    prefix = cwd.substr(0, 2);
    rest = cwdRest + "\\" + p;
  }

  const bool trailing = !rest.empty() && rest.back() == '\\';
  std::vector<std::string> parts;
  for (const std::string& part : SplitBackslash(rest)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  if (!trailing && !parts.empty()) {
    std::string& last = parts.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' '))
      last.pop_back();
    if (last.empty()) parts.pop_back();
  }
  std::string out = prefix + "\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += "\\";
    out += parts[i];
  }
  if (trailing && !parts.empty()) out += "\\";
  return out;
}

std::string DriveRoot(const Machine& machine, char letter) {
  const auto it = machine.drives.find(Upper(letter));
  if (it == machine.drives.end() || it->second.empty()) return {};
  std::string root = it->second;
  if (root[0] != '/' && !machine.home.empty()) root = machine.home + "/" + root;
  while (root.size() > 1 && root.back() == '/')
    root.pop_back();
  return root;
}

bool Resolve(const Machine& machine, const std::string& path, Resolved& out) {
  out = Resolved{};
  const std::string full = FullWindowsPath(machine, path);
  if (full.size() < 3 || full[1] != ':') {
    SetError(plat::kERROR_PATH_NOT_FOUND);
    return false;
  }
  const char letter = Upper(full[0]);
  const std::string root = DriveRoot(machine, letter);
  struct stat st {};
  if (root.empty() || ::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetError(plat::kERROR_PATH_NOT_FOUND);
    return false;
  }
  std::string rest = full.substr(3);
  out.trailingSlash = !rest.empty() && rest.back() == '\\';
  if (out.trailingSlash) rest.pop_back();
  std::vector<std::string> parts;
  if (!rest.empty()) parts = SplitBackslash(rest);
  for (const std::string& part : parts) {
    if (!ValidName(part)) {
      SetError(123);  // ERROR_INVALID_NAME
      return false;
    }
  }
  out.windows = std::string(1, letter) + ":\\";
  out.host = root;
  if (parts.empty()) {
    out.isRoot = out.exists = out.isDir = out.parentExists = true;
    return true;
  }
  bool ok = true;  // every name so far exists as a folder
  for (size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    if (last) out.parentExists = ok;
    std::string name = parts[i];
    if (ok) {
      const std::string actual = FindEntry(out.host, name);
      if (actual.empty()) {
        ok = false;
      } else {
        name = actual;
        const bool dir = ::stat((out.host + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (last) {
          out.exists = true;
          out.isDir = dir;
        } else if (!dir) {
          ok = false;
        }
      }
    }
    out.host += "/" + name;
    out.windows += name;
    if (!last) out.windows += "\\";
  }
  return true;
}

uint32_t MissingError(const Resolved& r) {
  return r.parentExists ? plat::kERROR_FILE_NOT_FOUND : plat::kERROR_PATH_NOT_FOUND;
}

std::string HostPath(const Machine& machine, const std::string& windowsPath) {
  Resolved r;
  const uint32_t saved = Error();
  const bool ok = Resolve(machine, windowsPath, r);
  SetError(saved);
  return ok ? r.host : std::string();
}

// ---------------------------------------------------------------- metadata

FileMeta* FindMeta(Machine& machine, const std::string& windowsPath) {
  const auto it = machine.files.find(windowsPath);
  return it == machine.files.end() ? nullptr : &it->second;
}

const FileMeta* FindMeta(const Machine& machine, const std::string& windowsPath) {
  const auto it = machine.files.find(windowsPath);
  return it == machine.files.end() ? nullptr : &it->second;
}

uint32_t AttributesOf(const Machine& machine, const Resolved& r) {
  const FileMeta* meta = FindMeta(machine, r.windows);
  const bool stored = meta && meta->attributes;
  if (r.isDir) {
    if (!stored && r.isRoot) {
      return plat::kFILE_ATTRIBUTE_DIRECTORY | plat::kFILE_ATTRIBUTE_HIDDEN |
             plat::kFILE_ATTRIBUTE_SYSTEM;
    }
    uint32_t a = plat::kFILE_ATTRIBUTE_DIRECTORY;
    if (stored) a |= *meta->attributes & ~plat::kFILE_ATTRIBUTE_NORMAL;
    return a;
  }
  if (!stored) return plat::kFILE_ATTRIBUTE_ARCHIVE;
  const uint32_t a = *meta->attributes & ~plat::kFILE_ATTRIBUTE_DIRECTORY;
  return a ? a : plat::kFILE_ATTRIBUTE_NORMAL;
}

bool StoreAttributes(Machine& machine, const Resolved& r, uint32_t attributes) {
  std::optional<uint32_t> value;
  if (r.isDir) {
    const uint32_t extra =
        attributes & ~(plat::kFILE_ATTRIBUTE_NORMAL | plat::kFILE_ATTRIBUTE_DIRECTORY);
    if (extra) value = extra | plat::kFILE_ATTRIBUTE_DIRECTORY;
  } else if (attributes != plat::kFILE_ATTRIBUTE_ARCHIVE) {
    value = attributes;
  }
  FileMeta* meta = FindMeta(machine, r.windows);
  if (!meta) {
    if (!value) return false;
    machine.files[r.windows].attributes = value;
    return true;
  }
  if (meta->attributes == value) return false;
  meta->attributes = value;
  if (!meta->attributes && !meta->version) machine.files.erase(r.windows);
  return true;
}

bool DropMeta(Machine& machine, const std::string& windowsPath) {
  bool changed = machine.files.erase(windowsPath) > 0;
  const std::string prefix = windowsPath + "\\";
  for (auto it = machine.files.begin(); it != machine.files.end();) {
    if (txt::StartsText(prefix, it->first)) {
      it = machine.files.erase(it);
      changed = true;
    } else {
      ++it;
    }
  }
  return changed;
}

}  // namespace sim
