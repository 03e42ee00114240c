#pragma once
// The per-voice resonant filter: a four-pole cascade of one-pole sections
// with resonance feedback and five outputs, a cut-off that follows the note
// or the "flt freq" setting, 50-sample cut-off glides and its own envelope.
#include <cmath>

#include "engine/Envelope.h"

// One-pole cascade for both channels: the channels share their
// coefficients, each keeps its own four states.
struct FilterSection
{
  double f = 0.0;
  double cutoff = 20000.0;
  double q = 0.0;
  double fb = 0.0;
  double b0[2] = {}, b1[2] = {}, b2[2] = {}, b3[2] = {};
  int poles = 1;  // 1 = four poles, anything else two
  int passType = 0;

  void setCutoff(double c, double sampleRate);
  void setResonance(double resonance);
  void clear();
  void process(double* left, double* right);
};

class VoiceFilter
{
public:
  enum EPassType { kLowPass = 0, kBandPass = 1, kHighPass = 2, kPeak = 3, kBandReject = 4 };
  static constexpr double kLowestCutoff = 10.0;

  VoiceFilter();

  void process(double* left, double* right);
  void resetState();  // envelope idle, sections cleared
  void updateRate();  // after a sample-rate change: the top cut-off may move

  // A note arriving makes the filter live: settings stored while the voice
  // was idle are applied first, then the cut-off heads for the note.
  void noteOn(double freq);
  void glideToNote(double freq, int samples);
  // Other settings. `active` tells whether the voice sounds: an idle voice or
  // a disabled filter only stores the value and marks the filter dirty.
  void setFollowNote(bool on, bool active);
  void setHarmonic(double harmonic, bool active);
  void setRatio(double ratio, bool active);
  void setTrackPlayRate(bool on, bool active);
  void setBaseFreq(double freq, bool active);
  void setPlayRate(double rate, bool active);
  void setResonance(double q, bool active);
  void setPassType(int type);
  void setEnvDepth(double depth) { envDepth = depth; }
  void setStageValue(int stage, double v, bool active);
  // Switching on joins the filter envelope to the voice's amplitude envelope.
  void setEnabled(bool on, const Envelope& ampEnv);
  void enterStage(int stage);

  double targetCutoff() const;

  Envelope env;
  FilterSection section;
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
  double cutoffStep = 0.0;
  double cutoffGliding = 0.0;
  double ratio = 1.0;
  double glideLength = 50.0;
  double lastEnvLevel = 0.0;

private:
  bool live(bool active) const { return active && enabled; }
  double clampCutoff(double c) const;
  double envelopeCutoff(double c) const;
  void applyCutoff(double c);
  void glide(double length);
  void endGlide();
  void redirect();
  void scaleThenRedirect(double factor);
  void retarget(double factor, bool active);
  void applyStored();
};

// One channel's pole chain; returns the chain's output (b3, or b1 with
// two poles).
inline double RunPoles(double x, double f, double fb, bool fourPoles, double& b0, double& b1, double& b2,
                       double& b3)
{
  b0 += f * ((x - b0) + fb * (b0 - b1));
  b1 += f * (b0 - b1);
  if (!fourPoles) return b1;
  b2 += f * (b1 - b2);
  b3 += f * (b2 - b3);
  return b3;
}

inline double PassOutput(int passType, bool fourPoles, double x, double b0, double out, double q)
{
  switch (passType)
  {
    case VoiceFilter::kLowPass: return out;
    case VoiceFilter::kBandPass: return b0 - out;
    case VoiceFilter::kHighPass: return fourPoles ? x - out : x - b0;
    case VoiceFilter::kPeak: return (b0 - out) * q + (1.0 - q) * x;
    case VoiceFilter::kBandReject: return x - (b0 - out);
    default: return 0.0;
  }
}

// Inline so the two channels' chains run side by side.
inline void FilterSection::process(double* left, double* right)
{
  const bool fourPoles = poles == 1;
  const double xl = *left, xr = *right;
  const double ol = RunPoles(xl, f, fb, fourPoles, b0[0], b1[0], b2[0], b3[0]);
  const double orr = RunPoles(xr, f, fb, fourPoles, b0[1], b1[1], b2[1], b3[1]);
  // Resonance near 1 can run away; a section that leaves the audible range
  // starts again from silence instead of feeding infinities onward.
  if (!(std::fabs(b0[0]) < 1e6 && std::fabs(b0[1]) < 1e6 && std::fabs(ol) < 1e6 && std::fabs(orr) < 1e6))
  {
    clear();
    *left = *right = 0.0;
    return;
  }
  *left = PassOutput(passType, fourPoles, xl, b0[0], ol, q);
  *right = PassOutput(passType, fourPoles, xr, b0[1], orr, q);
}
