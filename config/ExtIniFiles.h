// A read-only in-memory INI file (language files). The file is read through a
// handle that lets other programs keep reading, writing and deleting it; writes
// change memory only and the file is never written.
#pragma once

#include <string>

#include "config/PSafeIniFile.h"

class TExtIniFile : public TMemIniFile {
 public:
  TExtIniFile();
  // Loads the file when the name is not empty.
  explicit TExtIniFile(const std::string& fileName);

  // Replaces the content by the file's (the byte-order mark decides the encoding,
  // without one the bytes are ANSI). False, with the content unchanged, when the
  // file cannot be read.
  bool LoadFromFile(const std::string& fileName);

  // Does nothing: the file is never changed.
  void UpdateFile() override {}
};
