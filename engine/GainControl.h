#pragma once
#include "engine/EngineRates.h"
#include "engine/StereoPair.h"

// Automatic gain control, measured at grain boundaries in the log domain,
// and the first-order DC blocker that runs beside it.
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
  const EngineRates* rates = &EngineRates::Default();

  GainControl() { setFrequency(50.0); }
  void setFrequency(double hz);
  void reset();
  bool finite() const
  {
    return __builtin_isfinite(gain) && __builtin_isfinite(logGain) && __builtin_isfinite(peakPower) &&
           __builtin_isfinite(smoothedPower);
  }
  void process(double* left, double* right, bool update);
};

struct DcBlocker
{
  static constexpr double kCutoff = 10.0;
  double pole = 0.0;
  StereoPair xPrev = {}, yPrev = {};  // previous input and output, left and right
  const EngineRates* rates = &EngineRates::Default();

  DcBlocker() { updatePole(); }
  void updatePole();
  void clear() { xPrev = yPrev = StereoPair{}; }
  StereoPair process(StereoPair x)
  {
    const StereoPair y = x - xPrev + pole * yPrev;
    xPrev = x;
    yPrev = y;
    return y;
  }
  void process(double* left, double* right)
  {
    const StereoPair y = process(Pair(*left, *right));
    *left = y[0];
    *right = y[1];
  }
};

// Frequency of the automatic mode for a note: the given frequency brought
// into lo..hi by octaves (NOTE mode halves it once first).
double FoldAgcFrequency(double hz, bool halveFirst, double lo, double hi);
