// Path and whole-file helpers built on the platform seam; common to both backends.
#pragma once

#include <cstdint>
#include <string>

namespace fileutil {

// Path pieces of Windows paths ("\" and "/" both count as delimiters; "C:" ends a drive).
std::string ExtractFilePath(const std::string& path);  // with trailing delimiter
std::string ExtractFileDir(const std::string& path);   // without trailing delimiter
std::string ExtractFileName(const std::string& path);
std::string ExtractFileExt(const std::string& path);  // ".log", or empty
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);

bool FileExists(const std::string& path);       // exists and is not a folder
bool DirectoryExists(const std::string& path);  // exists and is a folder
// The longest folder path CreateDirectoryW accepts (MAX_PATH less room for a file name).
inline constexpr size_t kMaxFolderPathChars = 247;
// Creates the folder with every missing level. True when it exists afterwards; a
// longer path than kMaxFolderPathChars is refused (ERROR_FILENAME_EXCED_RANGE).
bool ForceDirectories(const std::string& path);

// Whole-file reads and writes. Reading shares the file with readers and writers.
bool ReadFileBytes(const std::string& path, std::string& bytes);
// Replaces the file's content (CREATE_ALWAYS); keeps the last error on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Appends at the end, creating the file when missing.
bool AppendFileBytes(const std::string& path, const std::string& bytes);
int64_t FileSize(const std::string& path);  // -1 when missing

}  // namespace fileutil
