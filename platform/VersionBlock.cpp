#include "platform/VersionBlock.h"

#include <cstdint>
#include <vector>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace verblock {

namespace {

struct Node {
  size_t start = 0;
  size_t end = 0;  // start + wLength, within the parent
  uint16_t valueLength = 0;
  uint16_t type = 0;
  std::u16string key;
  size_t valueStart = 0;
  size_t valueBytes = 0;
  size_t childrenStart = 0;
};

uint16_t Word(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}

size_t Align4(size_t n) {
  return (n + 3) & ~static_cast<size_t>(3);
}

bool ReadNode(const std::string& b, size_t at, size_t limit, Node& n) {
  if (at + 6 > limit) return false;
  const uint16_t length = Word(b, at);
  if (length < 6) return false;
  n.start = at;
  n.end = at + length > limit ? limit : at + length;
  n.valueLength = Word(b, at + 2);
  n.type = Word(b, at + 4);
  n.key.clear();
  size_t p = at + 6;
  for (;;) {
    if (p + 2 > n.end) return false;
    const uint16_t c = Word(b, p);
    p += 2;
    if (c == 0) break;
    n.key += static_cast<char16_t>(c);
  }
  n.valueStart = Align4(p);
  n.valueBytes = n.type == 1 ? static_cast<size_t>(n.valueLength) * 2 : n.valueLength;
  if (n.valueStart > n.end) n.valueStart = n.end;
  if (n.valueStart + n.valueBytes > n.end) n.valueBytes = n.end - n.valueStart;
  n.childrenStart = Align4(n.valueStart + n.valueBytes);
  return true;
}

std::vector<Node> Children(const std::string& b, const Node& parent) {
  std::vector<Node> out;
  size_t at = parent.childrenStart;
  while (at + 6 <= parent.end) {
    Node child;
    if (!ReadNode(b, at, parent.end, child)) break;
    out.push_back(child);
    at = Align4(child.end);
  }
  return out;
}

bool FindChild(const std::string& b, const Node& parent, const std::string& key, Node& out) {
  for (const Node& child : Children(b, parent)) {
    if (txt::SameText(txt::Utf16ToUtf8(child.key), key)) {
      out = child;
      return true;
    }
  }
  return false;
}

bool Fail() {
  plat::SetLastError(plat::kERROR_RESOURCE_TYPE_NOT_FOUND);
  return false;
}

}  // namespace

bool VerQueryValue(const std::string& block, const std::string& subBlock, std::string& value) {
  Node node;
  if (!ReadNode(block, 0, block.size(), node)) return Fail();
  bool root = true;
  size_t start = 0;
  while (start <= subBlock.size()) {
    size_t end = subBlock.find('\\', start);
    if (end == std::string::npos) end = subBlock.size();
    const std::string name = subBlock.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    Node child;
    if (!FindChild(block, node, name, child)) return Fail();
    node = child;
    root = false;
  }
  if (root && node.valueBytes == 0) return Fail();  // no fixed file information
  value = block.substr(node.valueStart, node.valueBytes);
  if (node.type == 1 && !root && !value.empty()) {
    // Text: up to the first terminator, then exactly one terminator.
    size_t chars = 0;
    while (chars * 2 + 1 < value.size() && (value[chars * 2] || value[chars * 2 + 1]))
      ++chars;
    value.resize(chars * 2);
    value.append(2, '\0');
  }
  return true;
}

std::string FirstStringTableKey(const std::string& block) {
  Node root, files;
  if (!ReadNode(block, 0, block.size(), root) || !FindChild(block, root, "StringFileInfo", files)) {
    return {};
  }
  const std::vector<Node> tables = Children(block, files);
  return tables.empty() ? std::string() : txt::Utf16ToUtf8(tables.front().key);
}

bool ReadFileBlock(const std::string& path, std::string& block) {
  if (path.empty() || plat::GetFileVersionInfoSizeW(path) == 0) return false;
  return plat::GetFileVersionInfoW(path, block);
}

std::string ValueText(const std::string& value) {
  std::u16string text;
  for (size_t i = 0; i + 1 < value.size(); i += 2) {
    const char16_t c = Word(value, i);
    if (c == 0) break;
    text.push_back(c);
  }
  return txt::Utf16ToUtf8(text);
}

std::string TranslationTablePath(const std::string& block) {
  std::string translation;
  if (!plat::VerQueryValueW(block, "\\VarFileInfo\\Translation", translation) ||
      translation.size() < 4)
    return {};
  return "\\StringFileInfo\\" + txt::IntToHex(Word(translation, 0), 4) +
         txt::IntToHex(Word(translation, 2), 4) + "\\";
}

}  // namespace verblock
