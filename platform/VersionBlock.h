// Reading VS_VERSIONINFO blocks (what GetFileVersionInfoW returns), common to both
// backends and to the layers above the seam.
//
// A block is a tree of nodes: wLength, wValueLength, wType (1 = text, counted in
// characters; 0 = binary, counted in bytes), a NUL-terminated UTF-16 key, the
// value and the children, each part aligned to four bytes from the block's start.
#pragma once

#include <string>

namespace verblock {

// VerQueryValueW over a block: "\" gives the fixed file information, a path such
// as "\VarFileInfo\Translation" or "\StringFileInfo\040904B0\FileVersion" gives
// that node's value (text values as UTF-16LE with one terminator). Keys compare
// without regard to case. False with last error 1813 when the node is missing or
// the block is malformed.
bool VerQueryValue(const std::string& block, const std::string& subBlock, std::string& value);

// The key of the first string table under "StringFileInfo" ("040904B0"), empty
// when the block has none.
std::string FirstStringTableKey(const std::string& block);

// A file's version block (GetFileVersionInfoSizeW, then GetFileVersionInfoW); false
// when the file has none.
bool ReadFileBlock(const std::string& path, std::string& block);

// A text value as VerQueryValue gives it (UTF-16LE), up to its first terminator.
std::string ValueText(const std::string& value);

// "\StringFileInfo\LLLLCCCC\" of the block's first translation; empty when the block
// has no translation.
std::string TranslationTablePath(const std::string& block);

}  // namespace verblock
