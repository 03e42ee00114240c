// Counts the heap allocations made by the current thread while a scope is
// open, at the level of malloc, so that what the C runtime allocates on its
// own (a loaded library's thread-local storage on a new thread, say) counts
// as well as operator new.
#include "tests/AllocationCounter.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {
thread_local long tAllocations = 0;
thread_local int tOpenScopes = 0;

void Count()
{
  if (tOpenScopes > 0) ++tAllocations;
}
}  // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers own malloc; they call hooks on every allocation.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
namespace {
[[maybe_unused]] const int kHooked = __sanitizer_install_malloc_and_free_hooks([](const volatile void*, size_t) { Count(); },
                                                              [](const volatile void*) {});
}  // namespace
#else
// Without a sanitizer the allocation functions themselves are replaced and
// forward to the C library's own.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t align, size_t size);

void* malloc(size_t size)
{
  Count();
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size)
{
  Count();
  return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size)
{
  Count();
  return __libc_realloc(p, size);
}
void* aligned_alloc(size_t align, size_t size)
{
  Count();
  return __libc_memalign(align, size);
}
}
#endif

AllocationScope::AllocationScope() : mStart(tAllocations) { ++tOpenScopes; }
AllocationScope::~AllocationScope() { --tOpenScopes; }
long AllocationScope::Count() const { return tAllocations - mStart; }

namespace {
void* Allocate(std::size_t size)
{
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void* AllocateAligned(std::size_t size, std::align_val_t align)
{
  const std::size_t a = static_cast<std::size_t>(align);
  if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
  try { return Allocate(size); } catch (...) { return nullptr; }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
  try { return Allocate(size); } catch (...) { return nullptr; }
}
void* operator new(std::size_t size, std::align_val_t align) { return AllocateAligned(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return AllocateAligned(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
