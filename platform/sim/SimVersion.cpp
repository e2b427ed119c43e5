// Sim backend: version resources. A file's version resource lives in the
// machine's metadata and is handed out as a real VS_VERSIONINFO block.
#include <cstring>

#include "platform/Text.h"
#include "platform/VersionBlock.h"
#include "platform/sim/SimInternal.h"

namespace sim {

namespace {

class BlockWriter {
 public:
  // Starts a node; returns its offset for End().
  size_t Begin(const std::string& key, uint16_t valueLength, uint16_t type) {
    Align();
    const size_t start = out_.size();
    Word(0);
    Word(valueLength);
    Word(type);
    for (const char16_t c : txt::Utf8ToUtf16(key))
      Word(c);
    Word(0);
    Align();
    return start;
  }
  void End(size_t start) {
    const size_t length = out_.size() - start;
    out_[start] = static_cast<char>(length & 0xFF);
    out_[start + 1] = static_cast<char>((length >> 8) & 0xFF);
  }
  void Word(uint16_t w) {
    out_ += static_cast<char>(w & 0xFF);
    out_ += static_cast<char>(w >> 8);
  }
  void Dword(uint32_t d) {
    Word(static_cast<uint16_t>(d & 0xFFFF));
    Word(static_cast<uint16_t>(d >> 16));
  }
  void Align() {
    while (out_.size() % 4)
      out_ += '\0';
  }
  std::string& out() { return out_; }

 private:
  std::string out_;
};

}  // namespace

std::string BuildVersionBlock(const VersionResource& v) {
  BlockWriter w;
  const size_t root = w.Begin("VS_VERSION_INFO", 52, 0);
  w.Dword(0xFEEF04BD);
  w.Dword(0x00010000);
  w.Dword(static_cast<uint32_t>(v.fileVersion[0]) << 16 | v.fileVersion[1]);
  w.Dword(static_cast<uint32_t>(v.fileVersion[2]) << 16 | v.fileVersion[3]);
  w.Dword(static_cast<uint32_t>(v.productVersion[0]) << 16 | v.productVersion[1]);
  w.Dword(static_cast<uint32_t>(v.productVersion[2]) << 16 | v.productVersion[3]);
  w.Dword(v.fileFlagsMask);
  w.Dword(v.fileFlags);
  w.Dword(v.fileOS);
  w.Dword(v.fileType);
  w.Dword(v.fileSubtype);
  w.Dword(0);  // file date
  w.Dword(0);
  if (!v.stringTables.empty()) {
    const size_t files = w.Begin("StringFileInfo", 0, 1);
    for (const auto& [key, strings] : v.stringTables) {
      const size_t table = w.Begin(key, 0, 1);
      for (const auto& [name, value] : strings) {
        const std::u16string text = txt::Utf8ToUtf16(value);
        const size_t s = w.Begin(name, static_cast<uint16_t>(text.size() + 1), 1);
        for (const char16_t c : text)
          w.Word(c);
        w.Word(0);
        w.End(s);
      }
      w.End(table);
    }
    w.End(files);
  }
  if (!v.translations.empty()) {
    const size_t vars = w.Begin("VarFileInfo", 0, 1);
    const size_t translation =
        w.Begin("Translation", static_cast<uint16_t>(4 * v.translations.size()), 0);
    for (const auto& [language, codePage] : v.translations) {
      w.Word(language);
      w.Word(codePage);
    }
    w.End(translation);
    w.End(vars);
  }
  w.End(root);
  return w.out();
}

namespace {

// The version resource of a file; null with last error 2/3 (missing) or 1812.
const VersionResource* VersionOf(const Machine& m, const std::string& path) {
  Resolved r;
  if (!Resolve(m, path, r)) return nullptr;
  if (!r.exists) {
    SetError(MissingError(r));
    return nullptr;
  }
  const FileMeta* meta = r.isDir ? nullptr : FindMeta(m, r.windows);
  if (!meta || !meta->version) {
    SetError(plat::kERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return &*meta->version;
}

}  // namespace

}  // namespace sim

namespace plat {

uint32_t GetFileVersionInfoSizeW(const std::string& path) {
  sim::Op op;
  const sim::VersionResource* v = sim::VersionOf(op.m(), path);
  return v ? static_cast<uint32_t>(sim::BuildVersionBlock(*v).size()) : 0;
}

bool GetFileVersionInfoW(const std::string& path, std::string& block) {
  sim::Op op;
  const sim::VersionResource* v = sim::VersionOf(op.m(), path);
  if (!v) return false;
  block = sim::BuildVersionBlock(*v);
  return true;
}

bool VerQueryValueW(const std::string& block, const std::string& subBlock, std::string& value) {
  return verblock::VerQueryValue(block, subBlock, value);
}

}  // namespace plat
