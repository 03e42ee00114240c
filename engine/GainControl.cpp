#include "engine/GainControl.h"

#include <algorithm>
#include <cmath>


namespace {
// The integrated log2 gain is held within +-40 (about +-240 dB), so a run of
// near-silent grain starts cannot drive the gain to infinity.
constexpr double kLogGainLimit = 40.0;
}  // namespace

void GainControl::setFrequency(double hz)
{
  frequency = hz;
  const double e = std::exp(-rates->twoPiOverSr * hz);
  b0 = 1.0 - e;
  a1 = -e;
}

void GainControl::reset()
{
  gain = 1.0;
  logGain = 1.0;
  peakPower = 0.1;
  smoothedPower = 0.0;
  setFrequency(frequency);
}

void GainControl::process(double* left, double* right, bool update)
{
  if (std::fabs(*left) < 1e-15 && std::fabs(*right) < 1e-15) return;
  if (update)
  {
    smoothedPower = b0 * peakPower - a1 * smoothedPower;
    peakPower = smoothedPower;
    if (smoothedPower > 0.0)
      logGain = std::clamp(logGain - hardness * std::log2(smoothedPower), -kLogGainLimit, kLogGainLimit);
    gain = std::exp2(logGain);
    peakPower = 0.0;
  }
  for (double* x : {left, right})
  {
    const double y = *x * gain;
    *x = std::isnan(y) ? 0.0 : (1.0 - amount) * *x + amount * y;
    if (update && y * y > peakPower) peakPower = y * y;
  }
}

void DcBlocker::updatePole()
{
  pole = 1.0 - rates->twoPiOverSr * kCutoff;
}

double FoldAgcFrequency(double hz, bool halveFirst, double lo, double hi)
{
  if (!(hz > 0.0) || !std::isfinite(hz)) return 50.0;
  if (halveFirst) hz *= 0.5;
  while (hz > hi) hz *= 0.5;
  while (hz < lo) hz *= 2.0;
  return hz;
}
