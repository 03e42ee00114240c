#pragma once
// One of the 32 voice records. The settings each voice keeps of its own live
// in the records below; the per-sample behaviour is in the engine core.
#include <cstdint>

// Exponential ADSR envelope (amplitude, and the filter's own).
struct Envelope
{
  enum EStage { kIdle = 0, kAttack = 1, kDecay = 2, kSustain = 3, kRelease = 4 };
  int stage = kIdle;
  double floor = 1e-6;
  double level = 1e-6;
  double multiplier = 1.0;
  double stageValues[5] = {0.0, 0.005, 0.01, 0.8, 10.0};  // index 1 A, 2 D (s), 3 S (level), 4 R (s)
  int counter = 0;
  int length = 1;
  bool notify = false;
};

struct FilterSettings
{
  Envelope env;
  bool enabled = true;
  bool dirty = false;
  bool followNote = false;
  double harmonic = 1.0;
  double envDepth = 0.0;
  double cutoff = 20000.0;
  double cutoffTarget = 20000.0;
  double baseFreq = 20000.0;
  double noteFreq = 440.0;
  double stageTimes[5] = {1.0, 1.0, 1.0, 1.0, 1.0};
  double resonance = 0.1;
  bool trackPlayRate = false;
  double playRate = 1.0;
  double ratio = 1.0;
  int passType = 0;
};

struct GainControl
{
  double gain = 1.0;
  double amount = 1.0;
  double logGain = 1.0;
  double peakPower = 0.1;
  double hardness = 0.01;
  double b0 = 0.0;
  double a1 = 0.0;
  double smoothedPower = 0.0;
  double frequency = 50.0;
};

struct Voice
{
  int id = 0;
  int note = -1;
  bool started = false;
  bool active = false;

  // Buffer and refill.
  int refillMode = 2;
  bool refillPending = false;

  // Grain settings.
  int grainMode = 2;
  double overlap = 0.0;
  int windowType = 1;
  double playRate = 1.0;
  double step = 0.0;
  bool stepByLen = false;
  bool stepByRepeat = false;
  bool stepByRate = false;
  int repeat = 1;
  double errorInt = 0.0;
  double errorExt = 0.0;
  bool preservePos = true;
  bool mirror = false;
  int gapProbability = 0;
  bool gapStereo = false;
  bool gapFill = false;

  // Pitch.
  int baseLenNom = 1;
  int baseLenDenum = 1;
  double baseLenRatio = 1.0;
  bool wobbleInternal = false;
  bool wobbleExternal = false;
  double wobbleFactor = 1.0;
  double bendFactor = 1.0;

  // Playhead.
  bool returnPlayhead = false;
  int phGlideSamples = 1;

  // Output chain.
  Envelope ampEnv;
  FilterSettings filter;
  GainControl agc;
  bool agcAuto = false;
  double agcSpeed = 0.999;
  bool dcOn = false;
};
