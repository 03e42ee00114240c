#pragma once
// Requests of our own through the interface's vendor-specific opcode, for
// our tools: the index names the request, the value carries its argument.
#include "platform/vst2abi.h"

namespace vesk_vendor {
// Seeds the instance's random numbers (value: the seed), so a render with
// errors, gaps or wobble can be repeated exactly.
constexpr int32_t kSeedRandom = vst2::FourCC('V', 's', 'e', 'd');
// 1 while memory the patch last asked for is not all mapped, else 0.
constexpr int32_t kMemoryPending = vst2::FourCC('V', 'm', 'e', 'm');
}  // namespace vesk_vendor
