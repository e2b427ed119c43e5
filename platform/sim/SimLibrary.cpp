// Sim backend: run-time libraries. LoadLibraryW loads any DLL whose file exists;
// GetProcAddress hands out the exports the machine lists for that library
// ("[library PATH]"). Each export has a kind: a C signature whose function records
// the call with its arguments ("[call N]") and answers with the export's results.
//
// A kind is a struct with the function type (Fn), its name and a template Call<Slot>:
// every kind has kSlots functions, bound to exports as GetProcAddress hands them out,
// so each call knows which library and export it stands for.
#include <array>
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
// value, then the out-parameters' values (count of them at least, missing ones 0).
template <class Kind>
std::vector<int64_t> Record(size_t slot, std::vector<std::string> arguments, size_t count) {
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
    if (x != library->second.end()) results = x->second.results;
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
