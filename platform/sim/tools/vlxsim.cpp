// vlxsim: look at and prepare simulated Windows machines.
//
//   vlxsim [--home DIR] init [--from FILE]
//   vlxsim [--home DIR] show [AREA]
//   vlxsim [--home DIR] reset
//   vlxsim help
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/sim/SimMachine.h"

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "usage: vlxsim [--home DIR] COMMAND\n"
    "\n"
    "Looks at and prepares simulated Windows machines. A machine lives in a home\n"
    "folder ($VLXSIM_HOME, or --home DIR): machine.txt and the folders of its drives.\n"
    "\n"
    "commands:\n"
    "  init [--from FILE]  make a new machine in the home: the default gaming PC, or\n"
    "                      the machine FILE describes (see docs/sim-machine.md)\n"
    "  show [AREA]         print the machine; AREA is one of machine, env, folders,\n"
    "                      drives, registry, files, processes, services, desktop,\n"
    "                      monitors,\n"
    "                      program, other\n"
    "  reset               put the default machine back; drive folders inside the home\n"
    "                      are emptied and seeded again\n"
    "  format [FILE]       print FILE (default: the built-in default machine) in the\n"
    "                      form programs write it; needs no home\n"
    "  help                print this text\n";

const char* const kAreas[] = {"machine",  "env",     "folders",   "drives",
                              "registry", "files",   "processes", "desktop",
                              "monitors", "program", "other",     "services"};

int Fail(const std::string& message) {
  std::cerr << "vlxsim: " << message << "\n";
  return 1;
}

int Usage(const std::string& message) {
  std::cerr << "vlxsim: " << message << "\n\n" << kUsage;
  return 2;
}

bool ReadText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return static_cast<bool>(in) || in.eof();
}

// ---------------------------------------------------------------- show

const char* ArchName(uint16_t a) {
  switch (a) {
    case plat::kPROCESSOR_ARCHITECTURE_INTEL:
      return "x86";
    case plat::kPROCESSOR_ARCHITECTURE_AMD64:
      return "x64";
    case plat::kPROCESSOR_ARCHITECTURE_IA64:
      return "ia64";
    case 12:
      return "arm64";
    default:
      return "unknown";
  }
}

std::string Hex(uint64_t v, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%0*llX", digits, static_cast<unsigned long long>(v));
  return buf;
}

std::string LocalTimeText(double serial) {
  const txt::DateTimeParts p = txt::DecodeDateTime(serial);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day,
                p.hour, p.minute, p.second, p.milliseconds);
  return buf;
}

void ShowMachine(const sim::Machine& m) {
  const char* product = m.os.productType == plat::kVER_NT_WORKSTATION ? "workstation"
                        : m.os.productType == plat::kVER_NT_SERVER    ? "server"
                                                                      : "domain controller";
  std::cout << "Windows     " << m.os.major << "." << m.os.minor << "." << m.os.build << " ("
            << product << ")";
  if (!m.os.csdVersion.empty()) std::cout << " " << m.os.csdVersion;
  std::cout << ", suite mask " << Hex(m.os.suiteMask, 4) << ", SM_SERVERR2 " << m.serverR2 << "\n";
  std::cout << "processor   " << ArchName(m.nativeArchitecture) << ", " << m.numberOfProcessors
            << " processors; the program is " << ArchName(m.processArchitecture)
            << (m.wow64 ? " under WOW64" : "") << "\n";
  std::cout << "kernel32    IsWow64Process " << (m.hasIsWow64Process ? "yes" : "no")
            << ", GetNativeSystemInfo " << (m.hasGetNativeSystemInfo ? "yes" : "no");
  for (const std::string& name : m.missingExports)
    std::cout << ", no " << name;
  std::cout << "\n";
  std::cout << "screen      " << m.screenWidth << " x " << m.screenHeight << "\n";
  std::cout << "locale      code page " << m.ansiCodePage << ", language "
            << Hex(m.systemDefaultLangId, 4) << ", decimal separator \"" << m.decimalSeparator
            << "\"\n";
  std::cout << "psapi       GetProcessImageFileNameW "
            << (m.hasGetProcessImageFileNameW ? "yes" : "no") << ", GetModuleFileNameExW "
            << (m.hasGetModuleFileNameExW ? "yes" : "no") << ", QueryWorkingSet "
            << (m.hasQueryWorkingSet ? "yes" : "no") << "\n";
  const char* const kTypes[] = {"?", "default", "full", "limited"};
  std::cout << "user        " << m.userName << (m.elevated ? " (elevated" : " (not elevated")
            << ", " << kTypes[m.elevationType < 4 ? m.elevationType : 0] << " token, session "
            << m.session << ")\n";
  std::cout << "privileges ";
  for (const std::string& name : m.enabledPrivileges)
    std::cout << " " << name;
  std::cout << "\n";
  std::cout << "program     " << m.exePath << " (pid " << m.selfPid << ")\n";
  std::cout << "current dir " << m.currentDirectory << "\n";
  std::cout << "system dir  " << m.systemDir << "\n";
  std::cout << "clock       " << (m.manualClock ? "manual" : "real");
  if (m.manualClock) {
    std::cout << ": tick " << m.tickMs << " ms, local time " << LocalTimeText(m.localTime);
  }
  std::cout << "\n";
  for (const auto& [name, value] : m.extra)
    std::cout << name << " = " << value << "\n";
}

void ShowEnv(const sim::Machine& m) {
  for (const auto& [name, value] : m.environment)
    std::cout << name << "=" << value << "\n";
}

void ShowFolders(const sim::Machine& m) {
  for (const auto& [csidl, path] : m.specialFolders) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "CSIDL %-3d ", csidl);
    std::cout << buf << path << "\n";
  }
}

void ShowDrives(const sim::Machine& m) {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const auto folder = m.drives.find(letter);
    const auto device = m.driveDevices.find(letter);
    if (folder == m.drives.end() && device == m.driveDevices.end()) continue;
    std::cout << letter << ":  ";
    if (folder != m.drives.end()) {
      std::string host = folder->second;
      if (!host.empty() && host[0] != '/') host = m.home + "/" + folder->second;
      std::error_code ec;
      std::cout << host << (fs::is_directory(host, ec) ? "" : "  (missing)");
    } else {
      std::cout << "(no contents)";
    }
    if (device != m.driveDevices.end()) std::cout << "  " << device->second;
    std::cout << "\n";
  }
}

std::string ValueText(const sim::RegValue& v) {
  const auto text = [&](const std::string& data) {
    std::string s = txt::Utf16LeBytesToUtf8(data);
    while (!s.empty() && s.back() == '\0')
      s.pop_back();
    return s;
  };
  std::string out;
  switch (v.type) {
    case plat::kREG_SZ:
      return "REG_SZ \"" + text(v.data) + "\"";
    case plat::kREG_EXPAND_SZ:
      return "REG_EXPAND_SZ \"" + text(v.data) + "\"";
    case plat::kREG_MULTI_SZ: {
      out = "REG_MULTI_SZ";
      std::string item;
      const std::string all = text(v.data);
      for (size_t i = 0; i <= all.size(); ++i) {
        if (i == all.size() || all[i] == '\0') {
          if (!item.empty()) out += " \"" + item + "\"";
          item.clear();
        } else {
          item += all[i];
        }
      }
      return out;
    }
    case plat::kREG_DWORD:
      if (v.data.size() == 4) {
        uint32_t n = 0;
        std::memcpy(&n, v.data.data(), 4);
        return "REG_DWORD " + Hex(n, 8) + " (" + std::to_string(n) + ")";
      }
      break;
    case plat::kREG_QWORD:
      if (v.data.size() == 8) {
        uint64_t n = 0;
        std::memcpy(&n, v.data.data(), 8);
        return "REG_QWORD " + Hex(n, 16) + " (" + std::to_string(n) + ")";
      }
      break;
  }
  out = v.type == plat::kREG_BINARY ? "REG_BINARY" : "type " + std::to_string(v.type);
  char buf[4];
  for (size_t i = 0; i < v.data.size() && i < 32; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(v.data[i]));
    out += std::string(" ") + buf;
  }
  if (v.data.size() > 32) out += " ... (" + std::to_string(v.data.size()) + " bytes)";
  return out;
}

void ShowKey(const sim::RegKeyNode& key, int depth) {
  const std::string indent(static_cast<size_t>(depth) * 2, ' ');
  std::cout << indent << key.name;
  if (key.allowedAccess != plat::kKEY_ALL_ACCESS) {
    std::cout << "  [access " << Hex(key.allowedAccess, 5) << "]";
  }
  std::cout << "\n";
  for (const sim::RegValue& v : key.values) {
    std::cout << indent << "  . " << (v.name.empty() ? "(default)" : v.name) << " = "
              << ValueText(v) << "\n";
  }
  for (const auto& [name, child] : key.subkeys)
    ShowKey(*child, depth + 1);
}

void ShowRegistry(const sim::Machine& m) {
  for (const auto& [root, node] : m.registry) {
    if (node && (!node->subkeys.empty() || !node->values.empty())) ShowKey(*node, 0);
  }
}

std::string AttributeNames(uint32_t a) {
  static const std::pair<uint32_t, const char*> kNames[] = {
      {0x1, "readonly"}, {0x2, "hidden"},  {0x4, "system"},     {0x10, "directory"},
      {0x20, "archive"}, {0x80, "normal"}, {0x100, "temporary"}};
  std::string out;
  for (const auto& [bit, name] : kNames) {
    if (a & bit) out += (out.empty() ? "" : ", ") + std::string(name);
  }
  return out.empty() ? Hex(a, 8) : out;
}

void ShowFiles(const sim::Machine& m) {
  for (const auto& [path, meta] : m.files) {
    std::cout << path;
    const std::string host = sim::HostPath(m, path);
    std::error_code ec;
    if (host.empty() || !fs::exists(host, ec)) std::cout << "  (not on the drive)";
    std::cout << "\n";
    if (meta.attributes) std::cout << "  attributes " << AttributeNames(*meta.attributes) << "\n";
    if (!meta.version) continue;
    const sim::VersionResource& v = *meta.version;
    std::cout << "  version    " << v.fileVersion[0] << "." << v.fileVersion[1] << "."
              << v.fileVersion[2] << "." << v.fileVersion[3] << " (product " << v.productVersion[0]
              << "." << v.productVersion[1] << "." << v.productVersion[2] << "."
              << v.productVersion[3] << ")\n";
    for (const auto& [table, strings] : v.stringTables) {
      for (const auto& [name, value] : strings) {
        std::cout << "  " << table << " " << name << " = " << value << "\n";
      }
    }
  }
}

const char* PriorityClassName(uint32_t c) {
  switch (c) {
    case plat::kIDLE_PRIORITY_CLASS:
      return "idle";
    case plat::kBELOW_NORMAL_PRIORITY_CLASS:
      return "below";
    case plat::kNORMAL_PRIORITY_CLASS:
      return "normal";
    case plat::kABOVE_NORMAL_PRIORITY_CLASS:
      return "above";
    case plat::kHIGH_PRIORITY_CLASS:
      return "high";
    case plat::kREALTIME_PRIORITY_CLASS:
      return "realtime";
    default:
      return "?";
  }
}

void ShowProcesses(const sim::Machine& m) {
  std::printf("%7s %7s %7s %4s %-8s %-16s %s\n", "PID", "PARENT", "THREADS", "PRI", "CLASS", "USER",
              "NAME");
  for (const sim::Process& p : m.processes) {
    std::string flags;
    if (!p.canOpen) flags += " [no open]";
    if (p.access != plat::kPROCESS_ALL_ACCESS) flags += " [access " + Hex(p.access, 4) + "]";
    if (!p.canTerminate) flags += " [no terminate]";
    if (!p.tokenReadable) flags += " [no token]";
    // The program's own token is the machine's.
    const bool self = p.pid == m.selfPid;
    const uint32_t type = self ? m.elevationType : p.elevationType;
    const uint32_t session = self ? m.session : p.session;
    flags += (self ? m.elevated : p.elevated) ? " [elevated]" : " [not elevated]";
    if (type == plat::kTokenElevationTypeFull) flags += " [full token]";
    if (type == plat::kTokenElevationTypeLimited) flags += " [limited token]";
    if (session != 1) flags += " [session " + std::to_string(session) + "]";
    if (p.pid == m.selfPid) flags += " [this program]";
    std::printf("%7u %7u %7u %4d %-8s %-16s %s%s\n", p.pid, p.parentPid, p.threads, p.basePriority,
                PriorityClassName(p.priorityClass), p.owner.c_str(), p.exeFile.c_str(),
                flags.c_str());
    const char* indent = "                                               ";
    if (!p.imagePath.empty()) std::printf("%s%s\n", indent, p.imagePath.c_str());
    if (!p.devicePath.empty()) std::printf("%sdevice %s\n", indent, p.devicePath.c_str());
    if (!p.commandLine.empty()) std::printf("%scommand %s\n", indent, p.commandLine.c_str());
    if (!p.currentDirectory.empty() || p.show != -1)
      std::printf("%sstarted in %s, show %d\n", indent, p.currentDirectory.c_str(), p.show);
    if (p.wsPrivate || p.wsShared || p.wsSharedHigh)
      std::printf("%sworking set %u private, %u shared, %u shared system pages\n", indent,
                  p.wsPrivate, p.wsShared, p.wsSharedHigh);
  }
}

void ShowDesktop(const sim::Machine& m) {
  std::printf("work area %dx%d (taskbar %d), %d dpi, DPI functions %s, foreground lock %u ms\n",
              m.screenWidth, m.screenHeight - m.taskbarHeight, m.taskbarHeight, m.logPixelsY,
              m.hasDpiFunctions ? "present" : "missing", m.foregroundLockTimeout);
  std::printf("message boxes answer %d\n", m.messageBoxAnswer);
  for (size_t i = 0; i < m.windows.size(); ++i) {
    const sim::MachineWindow& w = m.windows[i];
    std::printf("window %-24s \"%s\" handle %llu%s", w.className.c_str(), w.caption.c_str(),
                static_cast<unsigned long long>(sim::MachineWindowHandle(i)),
                w.present ? "" : " [not present]");
    if (w.pid) std::printf(", process %u", w.pid);
    if (!w.parent.empty()) std::printf(", child of %s", w.parent.c_str());
    std::printf(", %s%s, at %d,%d-%d,%d", w.visible ? "visible" : "hidden",
                w.iconic ? " minimised" : "", w.left, w.top, w.right, w.bottom);
    if (w.lastShow >= 0) std::printf(", last shown with %d", w.lastShow);
    std::printf("\n");
  }
  std::string formats;
  for (const std::string& f : m.clipboard.formats)
    formats += (formats.empty() ? "" : ", ") + f;
  std::printf("clipboard %s%s%s\n", formats.empty() ? "empty" : formats.c_str(),
              m.clipboard.heldBy.empty() ? "" : ", held open by ", m.clipboard.heldBy.c_str());
  const plat::MemoryStatus& s = m.memory.status;
  std::printf(
      "memory physical %llu of %llu bytes free, load %u%%, page file %llu of %llu, "
      "virtual %llu of %llu; %zu scripted figures to come\n",
      static_cast<unsigned long long>(s.availPhys), static_cast<unsigned long long>(s.totalPhys),
      s.memoryLoad, static_cast<unsigned long long>(s.availPageFile),
      static_cast<unsigned long long>(s.totalPageFile),
      static_cast<unsigned long long>(s.availVirtual),
      static_cast<unsigned long long>(s.totalVirtual), m.memory.script.size());
  std::printf("random value %d\n", m.randomValue);
  const sim::MachineUpdateAgent& u = m.updateAgent;
  std::string fail;
  for (const std::string& f : u.fail)
    fail += (fail.empty() ? ", failing: " : ", ") + f;
  std::printf("automatic updates level %d, service %s%s%s, save takes %u ms%s\n", u.level,
              u.serviceEnabled ? "enabled" : "disabled", u.readOnly ? ", read-only" : "",
              u.required ? ", required" : "", u.saveDelay, fail.c_str());
}

// What the program did: its messages to other programs' windows, shell calls,
// message boxes, calls of stand-in libraries and its exit code.
void ShowProgram(const sim::Machine& m) {
  for (const sim::LoggedMessage& x : m.messageLog)
    std::printf("tick %llu %-6s message %u (0x%04X) wParam %llu lParam %lld to %s\n",
                static_cast<unsigned long long>(x.tick), x.sent ? "sent" : "posted", x.message,
                x.message, static_cast<unsigned long long>(x.wParam),
                static_cast<long long>(x.lParam), x.className.c_str());
  for (const sim::ShellCall& c : m.shellCalls)
    std::printf("shell %s \"%s\" %s (in %s, show %d)\n", c.verb.c_str(), c.file.c_str(),
                c.parameters.c_str(), c.directory.c_str(), c.show);
  for (const sim::MessageBoxCall& b : m.messageBoxes)
    std::printf("message box \"%s\": %s (type 0x%X)\n", b.caption.c_str(), b.text.c_str(), b.type);
  for (const sim::LibraryCall& c : m.calls) {
    std::string arguments;
    for (const std::string& a : c.arguments)
      arguments += (arguments.empty() ? "" : ", ") + a;
    std::printf("call %s %s(%s) = %lld\n", c.library.c_str(), c.function.c_str(), arguments.c_str(),
                static_cast<long long>(c.result));
  }
  for (uint32_t pid : m.memory.trims)
    std::printf("working set of process %u trimmed\n", pid);
  if (m.exitCode) std::printf("exit code %u\n", *m.exitCode);
}

void ShowMonitors(const sim::Machine& m) {
  std::cout << sim::DescribeMonitors(m);
}

void ShowOther(const sim::Machine& m) {
  for (const std::string& section : m.unknownSections)
    std::cout << section << "\n";
}

void Show(const sim::Machine& m, const std::string& area) {
  const struct {
    const char* name;
    const char* title;
    void (*show)(const sim::Machine&);
  } kShows[] = {{"machine", "Machine", ShowMachine},
                {"env", "Environment", ShowEnv},
                {"folders", "Special folders", ShowFolders},
                {"drives", "Drives", ShowDrives},
                {"registry", "Registry", ShowRegistry},
                {"files", "Files", ShowFiles},
                {"processes", "Processes", ShowProcesses},
                {"services", "Services",
                 [](const sim::Machine& m) { std::cout << sim::DescribeServices(m); }},
                {"desktop", "Desktop", ShowDesktop},
                {"monitors", "Monitors", ShowMonitors},
                {"program", "What the program did", ShowProgram},
                {"other", "Other sections", ShowOther}};
  bool first = true;
  for (const auto& s : kShows) {
    if (!area.empty() && area != s.name) continue;
    if (area.empty()) {
      if (std::string(s.name) == "other" && m.unknownSections.empty()) continue;
      std::cout << (first ? "" : "\n") << "== " << s.title << " ==\n";
    }
    first = false;
    s.show(m);
  }
}

// ---------------------------------------------------------------- commands

bool HasMachine(const std::string& home) {
  std::error_code ec;
  return fs::exists(home + "/machine.txt", ec);
}

int Init(const std::string& home, const std::string& from) {
  if (HasMachine(home)) {
    return Fail(home + " already holds a machine (use 'vlxsim reset' to go back to the default)");
  }
  std::string text = sim::DefaultMachineText();
  if (!from.empty()) {
    if (!ReadText(from, text)) return Fail("cannot read " + from);
    sim::Machine check;
    std::string error;
    if (!sim::Parse(text, check, error)) return Fail(from + ": " + error);
  }
  try {
    auto session = sim::Session::OpenHome(home, text);
    std::cout << "vlxsim: made a machine in " << session->homeDir() << "\n";
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  return 0;
}

int Reset(const std::string& home) {
  try {
    auto session = sim::Session::OpenHome(home);
    auto lock = session->Lock();
    // Empty the drive folders that live inside the home.
    for (const auto& [letter, folder] : session->machine().drives) {
      if (folder.empty() || folder[0] == '/' || folder.find("..") != std::string::npos) continue;
      std::error_code ec;
      fs::remove_all(session->homeDir() + "/" + folder, ec);
    }
    auto fresh = std::make_unique<sim::Machine>();
    std::string error;
    if (!sim::Parse(sim::DefaultMachineText(), *fresh, error)) return Fail(error);
    fresh->home = session->homeDir();
    if (!sim::Materialize(*fresh, error)) return Fail(error);
    session->Replace(std::move(fresh));
    std::cout << "vlxsim: " << session->homeDir() << " holds the default machine again\n";
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  return 0;
}

int ShowCommand(const std::string& home, const std::string& area) {
  if (!area.empty()) {
    bool known = false;
    for (const char* a : kAreas)
      known |= area == a;
    if (!known) return Usage("unknown area '" + area + "'");
  }
  if (!HasMachine(home)) return Fail(home + " holds no machine (run 'vlxsim init' first)");
  try {
    auto session = sim::Session::OpenHome(home);
    auto lock = session->Lock();
    Show(session->machine(), area);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string home;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--home") {
      if (i + 1 >= args.size()) return Usage("--home needs a folder");
      home = args[++i];
    } else if (args[i] == "-h" || args[i] == "--help") {
      rest.insert(rest.begin(), "help");
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.empty()) return Usage("no command given");
  const std::string command = rest[0];
  if (command == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "format") {
    if (rest.size() > 2) return Usage("format takes at most one file");
    std::string text = sim::DefaultMachineText();
    if (rest.size() == 2 && !ReadText(rest[1], text)) return Fail("cannot read " + rest[1]);
    sim::Machine machine;
    std::string error;
    if (!sim::Parse(text, machine, error)) {
      return Fail((rest.size() == 2 ? rest[1] : std::string("default machine")) + ": " + error);
    }
    std::cout << sim::Serialize(machine);
    return 0;
  }
  if (home.empty()) {
    const char* env = std::getenv("VLXSIM_HOME");
    if (!env || !*env) return Usage("no home: set VLXSIM_HOME or give --home DIR");
    home = env;
  }
  if (command == "init") {
    std::string from;
    for (size_t i = 1; i < rest.size(); ++i) {
      if (rest[i] == "--from") {
        if (i + 1 >= rest.size()) return Usage("--from needs a file");
        from = rest[++i];
      } else {
        return Usage("init: unexpected '" + rest[i] + "'");
      }
    }
    return Init(home, from);
  }
  if (command == "show") {
    if (rest.size() > 2) return Usage("show takes at most one area");
    return ShowCommand(home, rest.size() == 2 ? rest[1] : std::string());
  }
  if (command == "reset") {
    if (rest.size() > 1) return Usage("reset takes no arguments");
    return Reset(home);
  }
  return Usage("unknown command '" + command + "'");
}
