// Stand-in of "GDIResource.dll": getGdiResource (cdecl) fills the eight handle counts
// of the census with 11, 12, ... 18.
#include <cstdint>

extern "C" __declspec(dllexport) int32_t getGdiResource(int32_t* counts, uint32_t) {
  for (int i = 0; i < 8; ++i)
    counts[i] = 11 + i;
  return 0;
}
