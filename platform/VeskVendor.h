#pragma once
// Requests of our own through the interface's vendor-specific opcode, for
// our tools: the index names the request, the value carries its argument.
#include <cstdint>

namespace vesk_vendor {
constexpr int32_t Code(char a, char b, char c, char d)
{
  return (static_cast<int32_t>(a) << 24) | (static_cast<int32_t>(b) << 16) | (static_cast<int32_t>(c) << 8) |
         static_cast<int32_t>(d);
}

// Seeds the instance's random numbers (value: the seed), so a render with
// errors, gaps or wobble can be repeated exactly.
constexpr int32_t kSeedRandom = Code('V', 's', 'e', 'd');
// 1 while memory the patch last asked for is not all mapped, else 0.
constexpr int32_t kMemoryPending = Code('V', 'm', 'e', 'm');
}  // namespace vesk_vendor
