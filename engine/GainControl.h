#pragma once
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

  GainControl() { setFrequency(50.0); }
  void setFrequency(double hz);
  void reset();
  void process(double* left, double* right, bool update);
};

struct DcBlocker
{
  static constexpr double kCutoff = 10.0;
  double pole = 0.0;
  double xPrev[2] = {0.0, 0.0};
  double yPrev[2] = {0.0, 0.0};

  DcBlocker() { updatePole(); }
  void updatePole();
  void clear();
  void process(double* left, double* right);
};

// Frequency of the automatic mode for a note: the given frequency brought
// into lo..hi by octaves (NOTE mode halves it once first).
double FoldAgcFrequency(double hz, bool halveFirst, double lo, double hi);
