#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "platform/Platform.h"
#include "platform/Text.h"

#ifndef _WIN32
#include "platform/sim/SimMachine.h"
#endif

namespace test {

void RemoveTree(const std::string& dir) {
  std::vector<plat::FindData> entries;
  if (plat::FindFiles(dir + "\\*", entries)) {
    for (const plat::FindData& e : entries) {
      const std::string path = dir + "\\" + e.name;
      plat::SetFileAttributesW(path, plat::kFILE_ATTRIBUTE_NORMAL);
      if (e.attributes & plat::kFILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        plat::DeleteFileW(path);
      }
    }
  }
  plat::SetFileAttributesW(dir, plat::kFILE_ATTRIBUTE_NORMAL);
  plat::RemoveDirectoryW(dir);
}

struct Sandbox::Impl {
#ifndef _WIN32
  sim::ScopedMachine machine{sim::MachineBuilder()};
#endif
};

Sandbox::Sandbox() : impl_(std::make_unique<Impl>()) {
#ifdef _WIN32
  static std::atomic<int> counter{0};
  const std::string base = plat::GetTempPathW() + "vlxtest_" +
                           std::to_string(plat::GetCurrentProcessId()) + "_" +
                           std::to_string(plat::GetTickCount()) + "_";
  for (int attempt = 0; attempt < 100; ++attempt) {
    dir_ = base + std::to_string(counter++);
    if (plat::CreateDirectoryW(dir_)) return;
  }
  ADD_FAILURE() << "cannot create a sandbox folder under " << plat::GetTempPathW();
#else
  dir_ = "C:\\sandbox";
  if (!plat::CreateDirectoryW(dir_)) {
    ADD_FAILURE() << "cannot create " << dir_ << " (error " << plat::GetLastError() << ")";
  }
#endif
}

Sandbox::~Sandbox() {
#ifdef _WIN32
  RemoveTree(dir_);
#endif
  // Over the sim the machine and its temporary folders go with impl_.
}

std::string Sandbox::Read(const std::string& name) const {
  const plat::Handle h =
      plat::CreateFileW(Path(name), plat::kGENERIC_READ,
                        plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE | plat::kFILE_SHARE_DELETE,
                        plat::kOPEN_EXISTING);
  if (h == plat::kInvalidHandle) {
    ADD_FAILURE() << "cannot open " << Path(name) << " (error " << plat::GetLastError() << ")";
    return {};
  }
  std::string bytes;
  char buffer[65536];
  uint32_t read = 0;
  while (plat::ReadFile(h, buffer, sizeof buffer, &read) && read > 0)
    bytes.append(buffer, read);
  plat::CloseHandle(h);
  return bytes;
}

void Sandbox::Write(const std::string& name, const std::string& bytes) const {
  const plat::Handle h = plat::CreateFileW(Path(name), plat::kGENERIC_WRITE, plat::kFILE_SHARE_READ,
                                           plat::kCREATE_ALWAYS);
  if (h == plat::kInvalidHandle) {
    ADD_FAILURE() << "cannot create " << Path(name) << " (error " << plat::GetLastError() << ")";
    return;
  }
  uint32_t written = 0;
  if (!bytes.empty() &&
      !plat::WriteFile(h, bytes.data(), static_cast<uint32_t>(bytes.size()), &written)) {
    ADD_FAILURE() << "cannot write " << Path(name) << " (error " << plat::GetLastError() << ")";
  }
  plat::CloseHandle(h);
}

bool Sandbox::Exists(const std::string& name) const {
  return plat::GetFileAttributesW(Path(name)) != plat::kINVALID_FILE_ATTRIBUTES;
}

std::string Utf16File(const std::string& text) {
  return std::string("\xFF\xFE", 2) + txt::Utf8ToUtf16LeBytes(text);
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(bytes[i]));
    if (i) out += ' ';
    out += buf;
  }
  return out;
}

}  // namespace test
