// Test helper: the second process of the tests of named kernel objects.
//
//   seam_helper mapping <mapping name> <event name> <result file>
//       waits (up to 5 s) for the named auto-reset event, opens the named mapping,
//       writes "<count> <id> <id> ..." of the list it holds (a 32-bit count followed
//       by 32-bit ids) to <result file>, appends its own process id to the list,
//       and signals the event again. Exit code 0, or 4..7 for the step that failed.
//   seam_helper cwd <file>
//       writes "here" to <file> (a relative name lands in the working folder).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"

namespace {

int Mapping(int argc, char** argv) {
  if (argc != 5) return 2;
  const plat::Handle event = plat::OpenEventW(argv[3]);
  if (!event) return 4;
  if (plat::WaitForSingleObject(event, 5000) != plat::kWAIT_OBJECT_0) return 5;
  const plat::Handle mapping = plat::OpenFileMappingW(argv[2]);
  if (!mapping) return 6;
  auto* view = static_cast<uint32_t*>(plat::MapViewOfFile(mapping));
  if (!view) return 7;
  const uint32_t count = view[0];
  std::string text = std::to_string(count);
  for (uint32_t i = 0; i < count && i < 256; ++i) {
    text += ' ';
    text += std::to_string(view[1 + i]);
  }
  fileutil::WriteFileBytes(argv[4], text);
  if (count < 256) {
    view[1 + count] = plat::GetCurrentProcessId();
    view[0] = count + 1;
  }
  plat::UnmapViewOfFile(view);
  plat::CloseHandle(mapping);
  plat::SetEvent(event);
  plat::CloseHandle(event);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "mapping") return Mapping(argc, argv);
  if (mode == "cwd" && argc == 3) return fileutil::WriteFileBytes(argv[2], "here") ? 0 : 1;
  std::fprintf(stderr, "usage: seam_helper mapping|cwd ...\n");
  return 2;
}
