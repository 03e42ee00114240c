#pragma once
// One value for each of four voices, so several voices' arithmetic runs at
// once. Every operation works on each lane exactly as the scalar form does,
// so results are the same to the bit whatever the vector width the
// compiler picks.
#include <cstdint>

// Aligned as a double: the engine lives in memory aligned for 16 bytes.
using Quad = double __attribute__((vector_size(32), aligned(8)));
using QuadMask = int64_t __attribute__((vector_size(32), aligned(8)));

constexpr int kQuadLanes = 4;

[[gnu::always_inline]] inline Quad QuadSplat(double v) { return Quad{v, v, v, v}; }
[[gnu::always_inline]] inline Quad QuadSelect(QuadMask m, Quad a, Quad b) { return m ? a : b; }
[[gnu::always_inline]] inline Quad QuadAbs(Quad x)
{
  return reinterpret_cast<Quad>(reinterpret_cast<QuadMask>(x) & QuadMask{INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX});
}
[[gnu::always_inline]] inline bool AllLanes(QuadMask m) { return (m[0] & m[1] & m[2] & m[3]) != 0; }
