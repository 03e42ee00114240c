#pragma once
// The per-voice resonant filter: a four-pole cascade of one-pole sections
// with resonance feedback and five outputs, a cut-off that follows the note
// or the "flt freq" setting, 50-sample cut-off glides and its own envelope.
#include <algorithm>
#include <cmath>

#include "engine/EngineRates.h"
#include "engine/Envelope.h"
#include "engine/StereoPair.h"

// What the filter passes. A value outside these (from a damaged state)
// passes nothing.
enum class PassType : int { kLowPass = 0, kBandPass = 1, kHighPass = 2, kPeak = 3, kBandReject = 4 };

// One-pole cascade for both channels: the channels share their
// coefficients, each keeps its own four states.
struct FilterSection
{
  double f = 0.0;
  double cutoff = 20000.0;
  double q = 0.0;
  double fb = 0.0;
  StereoPair b0 = {}, b1 = {}, b2 = {}, b3 = {};  // the four states, left and right
  bool fourPoles = true;  // else two
  PassType passType = PassType::kLowPass;

  void setCutoff(double c, double sampleRate);
  void setResonance(double resonance);
  void clear() { b0 = b1 = b2 = b3 = StereoPair{}; }
  // One frame through the chain; false when the states ran away and were
  // cleared (the output is then silence).
  bool runPoles(StereoPair x, StereoPair* out);
  void process(double* left, double* right);
};

// The pass type's output from the chain's input x, first state and output.
inline StereoPair PassOutput(PassType passType, bool fourPoles, StereoPair x, StereoPair b0, StereoPair out, double q)
{
  switch (passType)
  {
    case PassType::kLowPass: return out;
    case PassType::kBandPass: return b0 - out;
    case PassType::kHighPass: return fourPoles ? x - out : x - b0;
    case PassType::kPeak: return (b0 - out) * q + (1.0 - q) * x;
    case PassType::kBandReject: return x - (b0 - out);
    default: return StereoPair{};
  }
}

inline bool FilterSection::runPoles(StereoPair x, StereoPair* out)
{
  b0 += f * ((x - b0) + fb * (b0 - b1));
  b1 += f * (b0 - b1);
  *out = b1;
  if (fourPoles)
  {
    b2 += f * (b1 - b2);
    b3 += f * (b2 - b3);
    *out = b3;
  }
  // Resonance near 1 can run away; a section that leaves the audible range
  // starts again from silence instead of feeding infinities onward.
  if (MaxLane(Abs(b0) + Abs(*out)) < 1e6) return true;
  clear();
  return false;
}

inline void FilterSection::process(double* left, double* right)
{
  const StereoPair x = Pair(*left, *right);
  StereoPair out;
  const StereoPair y = runPoles(x, &out) ? PassOutput(passType, fourPoles, x, b0, out, q) : StereoPair{};
  *left = y[0];
  *right = y[1];
}

class VoiceFilter
{
public:
  static constexpr double kLowestCutoff = 10.0;

  VoiceFilter();

  StereoPair process(StereoPair x);
  // A frame's cut-off glide and envelope: the coefficients the section
  // then runs with.
  void stepControl();
  // Whether n steps of stepControl would change nothing but the envelope's
  // count: no glide, and no envelope or one whose level stands still where
  // the cut-off already is (held, or stepping by a multiplier of 1).
  bool controlSteadyFor(int n) const
  {
    if (cutoffGliding != 0.0) return false;
    if (envDepth == 0.0) return true;
    return env.steadyFor(n) && env.multiplier == 1.0 && lastEnvLevel == env.level &&
           envelopeCutoff(cutoff) == section.cutoff;
  }
  // What n such steps leave: the count.
  void skipSteadySteps(int n)
  {
    if (envDepth != 0.0) env.skipSteps(n);
  }
  void process(double* left, double* right)
  {
    const StereoPair y = process(Pair(*left, *right));
    *left = y[0];
    *right = y[1];
  }
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
  void setPassType(PassType type);
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
  const EngineRates* rates = &EngineRates::Default();

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

inline StereoPair VoiceFilter::process(StereoPair x)
{
  stepControl();
  StereoPair out;
  return section.runPoles(x, &out) ? PassOutput(section.passType, section.fourPoles, x, section.b0, out, section.q)
                                   : StereoPair{};
}

inline void VoiceFilter::stepControl()
{
  if (cutoffGliding != 0.0)
  {
    cutoff += cutoffStep;
    if ((cutoffTarget - cutoff) * cutoffStep <= 1e-10) endGlide();
  }
  double c = cutoff;
  if (envDepth != 0.0)
  {
    env.step(rates->sampleRate);
    lastEnvLevel = env.level;
    c = envelopeCutoff(cutoff);
  }
  // Same cut-off, same coefficients: the sine is only taken on a change.
  if ((cutoffGliding != 0.0 || envDepth != 0.0) && c != section.cutoff) applyCutoff(c);
}

inline double VoiceFilter::clampCutoff(double c) const
{
  return std::clamp(c, kLowestCutoff, rates->topFilterFreq);
}

inline double VoiceFilter::envelopeCutoff(double c) const
{
  const double x = lastEnvLevel * envDepth;
  const double top = rates->topFilterFreq;
  return clampCutoff(x >= 0.0 ? c + x * (top - c) : c + x * (c - kLowestCutoff));
}
