#pragma once
// Tuning and the pitch values every voice shares.
#include <cmath>

constexpr int kNumNotes = 128;

struct Tuning
{
  double reference = 440.0;
  double stepExponent = 1.0 / 12.0;
  double semitoneUp = std::pow(2.0, 1.0 / 12.0);
  double semitoneDown = std::pow(2.0, -1.0 / 12.0);
  int bendRange = 2;
  double bendUpDepth = std::pow(std::pow(2.0, 1.0 / 12.0), 2) - 1.0;
  double bendDownDepth = 1.0 - std::pow(std::pow(2.0, -1.0 / 12.0), 2);
  double noteTable[kNumNotes];

  Tuning()
  {
    for (int n = 0; n < kNumNotes; ++n) noteTable[n] = reference * std::pow(2.0, (n - 69) / 12.0);
  }

  // 1 + bend x depth, downward depth for negative bends.
  double BendRatio(double bend) const
  {
    if (bend < 0.0) return 1.0 + bend * bendDownDepth;
    if (bend > 0.0) return 1.0 + bend * bendUpDepth;
    return 1.0;
  }
};

struct PitchBlock
{
  double bendRatio = 1.0;
  double noteTable[kNumNotes];
  double keyMeter[12];
  double agcSpeed = 50.0;
};

// A note above 127 comes down by whole octaves until it fits.
inline int FoldNote(int note)
{
  while (note > 127) note -= 12;
  return note;
}

// Pitch class 0..11, also for negative notes.
inline int PitchClass(int note) { return ((note % 12) + 12) % 12; }
