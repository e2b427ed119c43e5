// Sim backend: run-time libraries. LoadLibraryW loads any DLL whose file exists;
// GetProcAddress hands out the exports the machine lists for that library
// ("[library PATH]"). Each export has a kind: a C signature whose function records
// the call with its arguments ("[call N]") and answers with the export's results.
//
// A kind is a struct with the function type (Fn), its name and a template Call<Slot>:
// every kind has kSlots functions, bound to exports as GetProcAddress hands them out,
// so each call knows which library and export it stands for.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/Gui.h"
#include "platform/Text.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

std::mutex& LibraryMu() {
  static auto* m = new std::mutex;
  return *m;
}

// Loaded libraries: module value -> Windows path of the file.
std::map<plat::Module, std::string>& Modules() {
  static auto* m = new std::map<plat::Module, std::string>;
  return *m;
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ZText(const char16_t* s) {
  std::u16string out;
  if (s)
    while (*s)
      out += *s++;
  return txt::Utf16ToUtf8(out);
}

// The export a function of a kind stands for.
struct Binding {
  std::string path;  // the library's Windows path
  std::string function;
};

constexpr size_t kSlots = 8;

template <class Kind>
std::array<std::optional<Binding>, kSlots>& Slots() {
  static auto* slots = new std::array<std::optional<Binding>, kSlots>;
  return *slots;
}

// Records a call of the export bound to a slot and returns its results: the return
// value, then the out-parameters' values (count of them at least, missing ones 0); text,
// when given, receives the export's text.
template <class Kind>
std::vector<int64_t> Record(size_t slot, std::vector<std::string> arguments, size_t count,
                            std::string* text = nullptr) {
  const ChangeCall change;
  Binding b;
  {
    std::lock_guard<std::mutex> lk(LibraryMu());
    b = *Slots<Kind>()[slot];
  }
  Op op;
  std::vector<int64_t> results;
  std::string path = b.path;
  const auto library = op.m().libraries.find(b.path);
  if (library != op.m().libraries.end()) {
    path = library->first;  // the name as the machine spells it
    const auto x = library->second.find(b.function);
    if (x != library->second.end()) {
      results = x->second.results;
      if (text) *text = x->second.text;
    }
  }
  if (results.size() < count) results.resize(count);
  op.m().calls.push_back(LibraryCall{FileNameOf(path), b.function, std::move(arguments),
                                     results.empty() ? 0 : results[0]});
  op.Changed();
  return results;
}

// ---------------------------------------------------------------- kinds

// "text-reply": int32 (const wchar_t* name, const wchar_t* text, int32 textBytes,
// void* reply, uint32* replyCapacity). Records the name and the text (which ends at
// its first zero within textBytes); sets *replyCapacity to the second result.
struct TextReply {
  using Fn = int32_t(VLX_STDCALL*)(const char16_t*, const char16_t*, int32_t, void*, uint32_t*);
  static constexpr const char* kName = "text-reply";
  template <size_t Slot>
  static int32_t VLX_STDCALL Call(const char16_t* name, const char16_t* text, int32_t textBytes,
                                  void*, uint32_t* replyCapacity) {
    std::u16string units;
    if (text && textBytes > 0) {
      units.assign(text, static_cast<size_t>(textBytes) / 2);
      units.resize(std::u16string(units.c_str()).size());
    }
    const std::vector<int64_t> r =
        Record<TextReply>(Slot, {ZText(name), txt::Utf16ToUtf8(units)}, 2);
    if (replyCapacity) *replyCapacity = static_cast<uint32_t>(r[1]);
    return static_cast<int32_t>(r[0]);
  }
};

// "int-record": void (cdecl) (int32* record, uint32 id). Records the id; fills the
// record's eight counts with the results after the first.
struct IntRecord {
  using Fn = void (*)(int32_t*, uint32_t);
  static constexpr const char* kName = "int-record";
  template <size_t Slot>
  static void Call(int32_t* record, uint32_t id) {
    const std::vector<int64_t> r = Record<IntRecord>(Slot, {std::to_string(id)}, 9);
    if (record)
      for (size_t i = 0; i < 8; ++i)
        record[i] = static_cast<int32_t>(r[i + 1]);
  }
};

// "none": int32 (void). Records no argument.
struct NoArgs {
  using Fn = int32_t(VLX_STDCALL*)();
  static constexpr const char* kName = "none";
  template <size_t Slot>
  static int32_t VLX_STDCALL Call() {
    return static_cast<int32_t>(Record<NoArgs>(Slot, {}, 1)[0]);
  }
};

// "text": uint32 (const wchar_t* text). Records the text.
struct TextArg {
  using Fn = uint32_t(VLX_STDCALL*)(const char16_t*);
  static constexpr const char* kName = "text";
  template <size_t Slot>
  static uint32_t VLX_STDCALL Call(const char16_t* text) {
    return static_cast<uint32_t>(Record<TextArg>(Slot, {ZText(text)}, 1)[0]);
  }
};

// "uint": uint32 (uint32 value). Records the value.
struct UInt {
  using Fn = uint32_t(VLX_STDCALL*)(uint32_t);
  static constexpr const char* kName = "uint";
  template <size_t Slot>
  static uint32_t VLX_STDCALL Call(uint32_t value) {
    return static_cast<uint32_t>(Record<UInt>(Slot, {std::to_string(value)}, 1)[0]);
  }
};

// "uint-out-pair": uint32 (uint32* first, uint32* second). Records nothing; sets both
// from the second and third results.
struct UIntOutPair {
  using Fn = uint32_t(VLX_STDCALL*)(uint32_t*, uint32_t*);
  static constexpr const char* kName = "uint-out-pair";
  template <size_t Slot>
  static uint32_t VLX_STDCALL Call(uint32_t* first, uint32_t* second) {
    const std::vector<int64_t> r = Record<UIntOutPair>(Slot, {}, 3);
    if (first) *first = static_cast<uint32_t>(r[1]);
    if (second) *second = static_cast<uint32_t>(r[2]);
    return static_cast<uint32_t>(r[0]);
  }
};

// "text-buffers": uint32 (wchar_t* first, uint32 firstCapacity, wchar_t* second,
// uint32 secondCapacity). Records both capacities; writes the export's text, cut to
// the capacity, into the second buffer.
struct TextBuffers {
  using Fn = uint32_t(VLX_STDCALL*)(char16_t*, uint32_t, char16_t*, uint32_t);
  static constexpr const char* kName = "text-buffers";
  template <size_t Slot>
  static uint32_t VLX_STDCALL Call(char16_t*, uint32_t firstCapacity, char16_t* second,
                                   uint32_t secondCapacity) {
    std::string text;
    const std::vector<int64_t> r = Record<TextBuffers>(
        Slot, {std::to_string(firstCapacity), std::to_string(secondCapacity)}, 1, &text);
    if (second && secondCapacity > 0) {
      std::u16string units = txt::Utf8ToUtf16(text);
      units.resize(std::min<size_t>(units.size(), secondCapacity - 1));
      std::copy(units.begin(), units.end(), second);
      second[units.size()] = 0;
    }
    return static_cast<uint32_t>(r[0]);
  }
};

// "texts3-uint2": uint32 (const wchar_t*, const wchar_t*, const wchar_t*, uint32,
// uint32). Records all five.
struct Texts3UInt2 {
  using Fn = uint32_t(VLX_STDCALL*)(const char16_t*, const char16_t*, const char16_t*, uint32_t,
                                    uint32_t);
  static constexpr const char* kName = "texts3-uint2";
  template <size_t Slot>
  static uint32_t VLX_STDCALL Call(const char16_t* a, const char16_t* b, const char16_t* c,
                                   uint32_t d, uint32_t e) {
    return static_cast<uint32_t>(Record<Texts3UInt2>(
        Slot, {ZText(a), ZText(b), ZText(c), std::to_string(d), std::to_string(e)}, 1)[0]);
  }
};

// "block": int32 (void* block). Records nothing; the results after the return value
// are pairs (byte offset, value) and each value is written as an int32 at its offset
// (the machine file must keep the offsets inside the block the caller passes).
struct Block {
  using Fn = int32_t(VLX_STDCALL*)(void*);
  static constexpr const char* kName = "block";
  template <size_t Slot>
  static int32_t VLX_STDCALL Call(void* block) {
    const std::vector<int64_t> r = Record<Block>(Slot, {}, 1);
    for (size_t i = 1; block && i + 1 < r.size(); i += 2) {
      const auto value = static_cast<int32_t>(r[i + 1]);
      std::memcpy(static_cast<char*>(block) + r[i], &value, sizeof value);
    }
    return static_cast<int32_t>(r[0]);
  }
};

// "int-out-pair-int": int32 (int32* first, int32* second, int32 value). Records the
// value; sets both from the second and third results.
struct IntOutPairInt {
  using Fn = int32_t(VLX_STDCALL*)(int32_t*, int32_t*, int32_t);
  static constexpr const char* kName = "int-out-pair-int";
  template <size_t Slot>
  static int32_t VLX_STDCALL Call(int32_t* first, int32_t* second, int32_t value) {
    const std::vector<int64_t> r = Record<IntOutPairInt>(Slot, {std::to_string(value)}, 3);
    if (first) *first = static_cast<int32_t>(r[1]);
    if (second) *second = static_cast<int32_t>(r[2]);
    return static_cast<int32_t>(r[0]);
  }
};

// The kind's function for an export: the slot already bound to it, else a free one;
// null when every slot is taken.
template <class Kind, size_t... I>
void* Bind(const Binding& b, std::index_sequence<I...>) {
  static const typename Kind::Fn fns[] = {&Kind::template Call<I>...};
  std::lock_guard<std::mutex> lk(LibraryMu());
  auto& slots = Slots<Kind>();
  std::optional<size_t> free;
  for (size_t i = 0; i < kSlots; ++i) {
    if (slots[i] && txt::SameText(slots[i]->path, b.path) && slots[i]->function == b.function)
      return reinterpret_cast<void*>(fns[i]);
    if (!slots[i] && !free) free = i;
  }
  if (!free) return nullptr;
  slots[*free] = b;
  return reinterpret_cast<void*>(fns[*free]);
}

const struct {
  const char* name;
  void* (*bind)(const Binding&);
} kKinds[] = {
    {TextReply::kName,
     [](const Binding& b) { return Bind<TextReply>(b, std::make_index_sequence<kSlots>()); }},
    {IntRecord::kName,
     [](const Binding& b) { return Bind<IntRecord>(b, std::make_index_sequence<kSlots>()); }},
    {NoArgs::kName,
     [](const Binding& b) { return Bind<NoArgs>(b, std::make_index_sequence<kSlots>()); }},
    {TextArg::kName,
     [](const Binding& b) { return Bind<TextArg>(b, std::make_index_sequence<kSlots>()); }},
    {UInt::kName,
     [](const Binding& b) { return Bind<UInt>(b, std::make_index_sequence<kSlots>()); }},
    {UIntOutPair::kName,
     [](const Binding& b) { return Bind<UIntOutPair>(b, std::make_index_sequence<kSlots>()); }},
    {TextBuffers::kName,
     [](const Binding& b) { return Bind<TextBuffers>(b, std::make_index_sequence<kSlots>()); }},
    {Texts3UInt2::kName,
     [](const Binding& b) { return Bind<Texts3UInt2>(b, std::make_index_sequence<kSlots>()); }},
    {Block::kName,
     [](const Binding& b) { return Bind<Block>(b, std::make_index_sequence<kSlots>()); }},
    {IntOutPairInt::kName,
     [](const Binding& b) { return Bind<IntOutPairInt>(b, std::make_index_sequence<kSlots>()); }},
};

}  // namespace

bool IsExportKind(const std::string& kind) {
  for (const auto& k : kKinds) {
    if (kind == k.name) return true;
  }
  return false;
}

std::string ExportKindNames() {
  std::string names;
  for (const auto& k : kKinds)
    names += (names.empty() ? "" : ", ") + std::string(k.name);
  return names;
}

}  // namespace sim

namespace plat {

Module LoadLibraryW(const std::string& path) {
  std::vector<std::string> candidates;
  if (path.find_first_of("\\/") != std::string::npos) {
    candidates.push_back(path);
  } else {
    sim::Op op;
    candidates.push_back(sim::FolderOf(op.m().exePath) + path);
    candidates.push_back(op.m().systemDir + "\\" + path);
  }
  for (const std::string& candidate : candidates) {
    const uint32_t attrs = GetFileAttributesW(candidate);
    if (attrs == kINVALID_FILE_ATTRIBUTES || (attrs & kFILE_ATTRIBUTE_DIRECTORY)) continue;
    std::lock_guard<std::mutex> lk(sim::LibraryMu());
    for (auto& [module, file] : sim::Modules())
      if (txt::SameText(file, candidate)) return module;
    const Module module = 0x10000000 + 0x100000 * (sim::Modules().size() + 1);
    sim::Modules()[module] = candidate;
    return module;
  }
  sim::SetError(126);  // ERROR_MOD_NOT_FOUND
  return 0;
}

void* GetProcAddress(Module module, const std::string& name) {
  sim::Binding binding;
  {
    std::lock_guard<std::mutex> lk(sim::LibraryMu());
    const auto it = sim::Modules().find(module);
    if (it == sim::Modules().end()) {
      sim::SetError(kERROR_INVALID_HANDLE);
      return nullptr;
    }
    binding = sim::Binding{it->second, name};
  }
  std::string kind;
  {
    sim::Op op;
    const auto library = op.m().libraries.find(binding.path);
    if (library != op.m().libraries.end()) {
      const auto x = library->second.find(name);
      if (x != library->second.end()) kind = x->second.kind;
    }
  }
  for (const auto& k : sim::kKinds) {
    if (kind != k.name) continue;
    if (void* fn = k.bind(binding)) return fn;
    sim::SetError(8);  // ERROR_NOT_ENOUGH_MEMORY: every function of the kind is taken
    return nullptr;
  }
  sim::SetError(kERROR_PROC_NOT_FOUND);
  return nullptr;
}

bool FreeLibrary(Module module) {
  std::lock_guard<std::mutex> lk(sim::LibraryMu());
  return sim::Modules().count(module) != 0;
}

}  // namespace plat
