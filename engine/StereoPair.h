#pragma once
// Left and right as one value, so stereo arithmetic runs on both channels
// at once. Every operation works on each channel exactly as the scalar
// form does, so results are the same to the bit.
#include <cstdint>

using StereoPair = double __attribute__((vector_size(16)));
using StereoMask = int64_t __attribute__((vector_size(16)));

inline StereoPair Pair(double l, double r) { return StereoPair{l, r}; }
inline StereoPair Splat(double v) { return StereoPair{v, v}; }
// Two doubles wherever they lie (a buffer's frames need not be aligned for a pair).
inline StereoPair LoadPair(const double* p)
{
  StereoPair x;
  __builtin_memcpy(&x, p, sizeof x);
  return x;
}
// The first sample of a run of pairs, as plain doubles (left, right, ...).
inline const double* PairSamples(const StereoPair* p) { return reinterpret_cast<const double*>(p); }
inline StereoPair Select(StereoMask m, StereoPair a, StereoPair b) { return m ? a : b; }
inline StereoPair Abs(StereoPair x)
{
  return reinterpret_cast<StereoPair>(reinterpret_cast<StereoMask>(x) & StereoMask{INT64_MAX, INT64_MAX});
}
inline double MaxLane(StereoPair x) { return x[0] > x[1] ? x[0] : x[1]; }
inline bool IsFinite(StereoPair x) { return __builtin_isfinite(x[0]) && __builtin_isfinite(x[1]); }

// A host sample as the engine may keep it: a NaN or an infinity becomes
// silence, so it can never reach a buffer or a recurrent state.
// (x - x is zero exactly for a finite x, not a number otherwise: the test
// runs on whole vectors of samples.)
inline double FiniteSample(double x) { return x - x == 0.0 ? x : 0.0; }
