// Path and text helpers shared by the INI classes (internal to config/).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace inisupport {

// The folder part of a path, without trailing delimiter except for a root
// ("C:\x.ini" -> "C:\", "\x.ini" -> "\", "C:\a\x.ini" -> "C:\a", "x.ini" -> "").
std::string FolderPart(const std::string& path);

// Creates the folder with all missing levels: up to 101 tries, stopping as soon as
// it exists. Does nothing for "", "\" and ".\".
void EnsureFolder(const std::string& folder);

// Reads a whole file through the seam with the given share mode. False with the
// system's last error when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, uint32_t shareMode, std::string& bytes);

// The lines of a text file's bytes: a byte-order mark picks the encoding, without
// one the bytes are ANSI.
std::vector<std::string> DecodeLines(const std::string& bytes);

}  // namespace inisupport
