// A scratch folder for tests that run on both backends.
//
// Over the sim it installs a fresh default machine for the test (drive C: in a
// temporary host folder) and hands out "C:\sandbox\..." paths; on Windows it makes
// a fresh folder under the temporary folder. Either way the folder is empty at the
// start and removed at the end.
#pragma once

#include <memory>
#include <string>

namespace test {

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // Windows path of the folder, without trailing delimiter.
  const std::string& dir() const { return dir_; }
  // Windows path of an entry in the folder.
  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }

  // Direct file access through the seam, for setting up and checking files.
  std::string Read(const std::string& name) const;
  void Write(const std::string& name, const std::string& bytes) const;
  bool Exists(const std::string& name) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string dir_;
};

// Removes a folder and everything in it (read-only and hidden entries too),
// through the seam.
void RemoveTree(const std::string& dir);

// "FF FE" + UTF-16LE of text: the bytes of a file the program writes.
std::string Utf16File(const std::string& text);
// Hex dump ("FF FE 41 00") for readable assertion failures.
std::string Hex(const std::string& bytes);

}  // namespace test
