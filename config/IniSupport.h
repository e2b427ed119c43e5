// Path and text helpers shared by the INI classes (internal to config/).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace inisupport {

// The folder part of a path, without trailing delimiter except for a root
// ("C:\x.ini" -> "C:\", "\x.ini" -> "\", "C:\a\x.ini" -> "C:\a", "x.ini" -> "").
std::string FolderPart(const std::string& path);

// Creates the folder with all missing levels: up to 101 tries, stopping as soon as
// it exists. Does nothing for "", "\" and ".\".
void EnsureFolder(const std::string& folder);

// The largest INI or language file the program reads (far above any real one; a
// larger file is refused rather than read into a 32-bit process's memory).
inline constexpr int64_t kMaxTextFileBytes = int64_t{64} << 20;

// Reads a whole file through the seam with the given share mode. False with the
// system's last error when it cannot be opened or read, and with
// ERROR_FILE_TOO_LARGE for a file above kMaxTextFileBytes.
bool ReadWholeFile(const std::string& path, uint32_t shareMode, std::string& bytes);

// Runs an access to a file up to a few times over about 100 ms while it fails
// because another program holds the file; the last attempt's result and error stay.
bool RetryWhileHeld(const std::function<bool()>& access);

// The lines of a text file's bytes: a byte-order mark picks the encoding, without
// one the bytes are ANSI.
std::vector<std::string> DecodeLines(const std::string& bytes);

}  // namespace inisupport
