#pragma once
// The engine's random numbers: a linear congruential generator,
// state = state * 214013 + 2531011 (mod 2^32), result 0..32767. Each
// instance keeps its own, seeded with the time in seconds when it is made,
// so nothing is shared between instances or threads.
#include <cstdint>
#include <ctime>

class RandomSource
{
public:
  static constexpr int kMax = 0x7FFF;

  RandomSource() : mState(static_cast<uint32_t>(std::time(nullptr))) {}
  void seed(uint32_t seed) { mState = seed; }
  int next()
  {
    mState = mState * 214013u + 2531011u;
    return static_cast<int>((mState >> 16) & 0x7FFF);
  }

private:
  uint32_t mState;
};
