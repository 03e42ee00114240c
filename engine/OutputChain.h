#pragma once
// A voice's output chain: filter, DC blocker, gain control, soft clipper and
// the amplitude envelope with the gain it gives the voice.
#include "engine/Envelope.h"
#include "engine/GainControl.h"
#include "engine/StereoPair.h"
#include "engine/VoiceFilter.h"

// Soft clipper: above the threshold the excess bends toward the ceiling.
struct SoftClipper
{
  double knee = 0.5;
  double k = 2.0;
  double ceiling;
  double threshold;
  double lastExcess = 0.0;

  explicit SoftClipper(double ceil) : ceiling(ceil), threshold(ceil - 0.5) {}
  double process(double s)
  {
    if (s > threshold)
    {
      const double e = s - threshold;
      lastExcess = e;
      return e / (e * k + 1.0) + threshold;
    }
    if (s < -threshold)
    {
      const double e = threshold + s;
      lastExcess = e;
      return e / (1.0 - e * k) - threshold;
    }
    return s;
  }
  // Both channels; the last excess is the right channel's when it clipped,
  // else the left's, as when the channels go through one after the other.
  StereoPair process(StereoPair s)
  {
    if (MaxLane(Abs(s)) <= threshold) return s;
    const StereoMask above = s > threshold, below = s < -threshold;
    const StereoPair eAbove = s - threshold, eBelow = threshold + s;
    const StereoPair up = eAbove / (eAbove * k + 1.0) + threshold;
    const StereoPair down = eBelow / (1.0 - eBelow * k) - threshold;
    const StereoPair excess = Select(above, eAbove, eBelow);
    for (int ch = 0; ch < 2; ++ch)
      if (above[ch] | below[ch]) lastExcess = excess[ch];
    return Select(above, up, Select(below, down, s));
  }
};

// The kinds of filter a chain runs for: the five pass types (0 to 4), and these.
constexpr int kAnyFilter = -1, kMovingFilter = -2, kNoFilter = -3;

class OutputChain
{
public:
  const Envelope& env() const { return mEnv; }
  Envelope& env() { return mEnv; }
  const VoiceFilter& filter() const { return mFilter; }
  VoiceFilter& filter() { return mFilter; }
  const DcBlocker& dc() const { return mDc; }
  const GainControl& agc() const { return mAgc; }
  GainControl& agc() { return mAgc; }
  bool dcOn() const { return mDcOn; }
  bool agcOn() const { return mAgcOn != 0.0; }
  bool agcAuto() const { return mAgcAuto; }
  double agcSpeed() const { return mAgcSpeed; }
  double envLevel() const { return mEnvLevel; }
  double gain() const { return mGain; }
  bool releaseScaled() const { return mReleaseFromDecay || mReleaseFromSustain; }
  double releaseScale() const { return mReleaseScale; }

  void setRates(const EngineRates* rates) { mFilter.rates = mDc.rates = mAgc.rates = rates; }
  // The release starts from wherever the level is: decay and sustain
  // releases are scaled so the level counts as full.
  void enterStage(int stage, double sampleRate)
  {
    if (stage == Envelope::kRelease)
    {
      mReleaseFromDecay = mEnv.stage == Envelope::kDecay;
      mReleaseFromSustain = mEnv.stage == Envelope::kSustain;
      const bool scaled = (mReleaseFromDecay || mReleaseFromSustain) && mEnvLevel > 0.0;
      mReleaseScale = scaled ? 1.0 / mEnvLevel : 1.0;
    }
    mEnv.enter(stage, sampleRate);
    if (stage == Envelope::kAttack || stage == Envelope::kRelease) mFilter.enterStage(stage);
  }
  void resetEnvelopes()
  {
    mEnv.reset();
    mFilter.resetState();
  }
  // Envelopes, filter, DC blocker and gain control from rest.
  void clearStates()
  {
    resetEnvelopes();
    mDc.clear();
    mAgc.reset();
  }
  // A state made non-finite by an extreme host sample starts from rest;
  // finite states are left as they are.
  void healNonFinite()
  {
    const FilterSection& s = mFilter.section;
    if (!IsFinite(s.b0) || !IsFinite(s.b1) || !IsFinite(s.b2) || !IsFinite(s.b3)) mFilter.section.clear();
    if (!IsFinite(mDc.xPrev) || !IsFinite(mDc.yPrev)) mDc.clear();
    if (!mAgc.finite()) mAgc.reset();
  }
  // Returns whether the gain control just came on (its automatic frequency
  // is then set by the voice).
  bool setAgcAmount(double amount)
  {
    const double old = mAgc.amount;
    mAgc.amount = amount;
    if (amount == 0.0) mAgc.reset();
    mAgcOn = amount == 0.0 ? 0.0 : 1.0;
    return old == 0.0 && amount != 0.0;
  }
  void setAgcAuto(bool on) { mAgcAuto = on; }
  void setAgcSpeed(double speed)
  {
    mAgcSpeed = speed;
    mAgc.setFrequency(speed);
  }
  void setDcRemoval(bool on)
  {
    mDcOn = on;
    mDc.clear();
    mDc.updatePole();
  }
  void updateRates()
  {
    mDc.updatePole();
    mAgc.setFrequency(mAgc.frequency);
    mFilter.updateRate();
  }

  // One frame through filter, DC blocker, gain control and clipper, for
  // a filter of a kind known in advance: a pass type with a cut-off that
  // stands still (section: the chain's own or a run's copy), one that moves,
  // none, or any (decided at the frame). dc: the chain's or a run's copy.
  template <int Filter>
  StereoPair run(FilterSection& section, DcBlocker& dc, StereoPair x, bool update)
  {
    if constexpr (Filter == kAnyFilter)
    {
      if (mFilter.enabled) x = mFilter.process(x);
    }
    else if constexpr (Filter == kMovingFilter)
      x = mFilter.process(x);
    else if constexpr (Filter != kNoFilter)
    {
      StereoPair out;
      x = section.runPoles(x, &out) ? PassOutput(static_cast<PassType>(Filter), section.fourPoles, x, section.b0, out, section.q)
                                    : StereoPair{};
    }
    if (mDcOn) x = dc.process(x);
    if (mAgcOn != 0.0)
    {
      double l = x[0], r = x[1];
      mAgc.process(&l, &r, update);
      x = Pair(l, r);
    }
    return mClipper.process(x);
  }
  // The kind a run of this chain may be built for.
  int filterKind() const
  {
    if (!mFilter.enabled) return kNoFilter;
    return mFilter.cutoffGliding == 0.0 && mFilter.envDepth == 0.0 ? static_cast<int>(mFilter.section.passType) : kMovingFilter;
  }
  // The envelope's step; the voice's gain follows unless it fell idle.
  int stepEnvelope(double sampleRate, double velocityGain)
  {
    mEnv.step(sampleRate);
    mEnvLevel = mEnv.level;
    if (mEnv.stage != Envelope::kIdle) mGain = velocityGain * mEnvLevel;
    return mEnv.stage;
  }
  void silence() { mGain = 0.0; }
  // Whether the next n envelope steps change no stage: each only multiplies
  // the level (or, in sustain, keeps it).
  bool envelopeSteadyFor(int n) const { return mEnv.stage != Envelope::kIdle && mEnv.steadyFor(n); }
  // What n steady steps leave, worked out by a group: the level, and the
  // gain of the last.
  void takeSteadySteps(int n, double level, double gain)
  {
    mEnv.skipSteps(n);
    mEnv.level = mEnvLevel = level;
    mGain = gain;
  }

  // The run kernels hold copies of these through a run.
  DcBlocker& dcState() { return mDc; }
  const DcBlocker& dcState() const { return mDc; }
  SoftClipper& clipper() { return mClipper; }
  const SoftClipper& clipper() const { return mClipper; }

private:
  Envelope mEnv;
  double mEnvLevel = 0.0;
  double mGain = 0.0;
  bool mReleaseFromDecay = false, mReleaseFromSustain = false;
  double mReleaseScale = 1.0;
  VoiceFilter mFilter;
  DcBlocker mDc;
  bool mDcOn = false;
  GainControl mAgc;
  double mAgcOn = 0.0;
  bool mAgcAuto = false;
  double mAgcSpeed = 0.999;
  SoftClipper mClipper{1.5};
};
