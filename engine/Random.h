#pragma once
// The engine's random numbers: a linear congruential generator per thread,
// state = state * 214013 + 2531011 (mod 2^32), result 0..32767.
#include <cstdint>
#include <ctime>

namespace vrandom {

inline uint32_t& State()
{
  thread_local uint32_t state = static_cast<uint32_t>(std::time(nullptr));
  return state;
}

inline void Seed(uint32_t seed) { State() = seed; }

inline int Next()
{
  uint32_t& state = State();
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFF);
}

constexpr int kMax = 0x7FFF;

}  // namespace vrandom
