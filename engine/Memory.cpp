#include "engine/Memory.h"

#include <cstdint>

void TouchPages(void* from, size_t bytes)
{
  constexpr uintptr_t kPage = 4096;
  auto* const begin = static_cast<volatile char*>(from);
  const uintptr_t start = reinterpret_cast<uintptr_t>(from);
  // The first byte, then each page's first byte.
  for (uintptr_t at = start; at < start + bytes; at = (at & ~(kPage - 1)) + kPage)
  {
    volatile char* p = begin + (at - start);
    *p = *p;
  }
}
