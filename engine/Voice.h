#pragma once
// One of the 32 voices: note and velocity with their glides, eight grain
// slots reading the voice's buffer inside its selection, a glidable
// playhead, and the output chain of filter, DC blocker, gain control,
// soft clipper and amplitude envelope.
#include <cstdint>

#include "engine/Buffer.h"
#include "engine/Envelope.h"
#include "engine/Event.h"
#include "engine/GainControl.h"
#include "engine/Pitch.h"
#include "engine/Random.h"
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

constexpr int kNumSlots = 8;

// Repeated subtraction of span until x is below it, done in one step when
// x is far away.
double ReduceBelowSpan(double x, double span);

struct Voice
{
  enum EGrainMode { kNoteMode = 0, kBeatMode = 1, kSimpleMode = 2 };
  enum EWindow { kLinear = 0, kParabolic = 1, kSine = 2 };

  Voice();
  // Points the voice and its stages at its instance's rates.
  void setRates(const EngineRates* r);

  // Identity and links.
  int id = 0;
  Buffer* buffer = nullptr;
  const PitchBlock* pitch = nullptr;
  const EngineRates* rates = &EngineRates::Default();
  RandomSource* random = nullptr;  // the instance's; draws need one
  Event<int> deactivationObservers;
  bool started = false;
  bool active = false;
  bool refillPending = false;
  int refillMode = 2;

  // Block input.
  const double* input[2] = {nullptr, nullptr};
  int blockFrames = 0;
  int blockPos = 0;

  // Note, velocity and frequency.
  int note = -1;
  double velocity = 0.0;
  double velocityTarget = 0.0;
  double velocityStep = 0.0;
  bool velocityRamping = false;
  double velocityGain = 0.0;
  double noteFreq = 220.0;
  double glideTarget = 220.0;
  double glideStep = 0.0;
  bool gliding = false;
  double bendFactor = 1.0;
  int baseLenNom = 1;
  int baseLenDenum = 1;
  double baseLenRatio = 1.0;
  double wobbleFactor = 1.0;
  bool wobbleInternal = false;
  bool wobbleExternal = false;

  // Grain slots.
  int grainLen[kNumSlots] = {};
  int grainTotal[kNumSlots] = {};
  int fadeIn[kNumSlots] = {};
  int fadeOut[kNumSlots] = {};
  double readPos[kNumSlots] = {};
  double readDir[kNumSlots] = {};
  int elapsed[kNumSlots] = {};
  bool inUse[kNumSlots] = {};
  char gapMark[kNumSlots] = {};
  unsigned gappedSlots = 0;  // bit per slot whose gap mark is not 'n'

  // Grain settings and positions.
  int grainMode = kSimpleMode;
  int notePeriod = 4;
  int beatPeriod = 4;
  int currentSlot = 0;
  int activeGrains = 0;
  double overlap = 0.0;
  bool overlapGrew = false;
  int windowType = kParabolic;
  double playRate = 1.0;
  double step = 0.0;
  bool stepByLen = false;
  bool stepByRepeat = false;
  bool stepByRate = false;
  int repeat = 1;
  int repeatCount = 0;
  double stepNow = 0.0;
  double errorInt = 0.0;
  double errorExt = 0.0;
  bool preservePos = true;
  bool mirror = false;
  double playPos = 0.0;
  double playDir = 1.0;
  double truePos = 0.0;
  double trueDir = 1.0;
  int gapProbability = 0;
  bool gapStereo = false;
  bool gapFill = false;

  // Selection and playhead.
  double selStart = 0.0;
  double selEnd = kBufferFrames;
  double minSelWidth = 4.0;
  double aimTarget = -1.0;
  double lastAim = 0.0;
  double phGlideStep = 0.0;
  int phGlideSamples = 1;
  int phGlideSteps = 1;
  int phGlideCount = 0;
  bool phGliding = false;
  bool returnPlayhead = false;

  // Output chain.
  Envelope ampEnv;
  double envLevel = 0.0;
  double gain = 0.0;
  bool releaseFromDecay = false;
  bool releaseFromSustain = false;
  double releaseScale = 1.0;
  VoiceFilter filter;
  DcBlocker dc;
  bool dcOn = false;
  GainControl agc;
  double agcOn = 0.0;
  bool agcAuto = false;
  double agcSpeed = 0.999;
  SoftClipper clipper{1.5};

  // Selection window over the filled part of the buffer.
  struct Window
  {
    double s, e, span;
  };
  Window window() const
  {
    const double filled = filledFrames();
    const double s = selStart >= filled ? 0.0 : selStart;
    const double e = filled < selEnd ? filled : selEnd;
    return {s, e, e - s};
  }
  int filledFrames() const { return buffer ? buffer->filled : 0; }
  int bufferLength() const { return buffer ? buffer->length : kBufferFrames; }
  // Wraps or mirrors a position that left the selection window.
  struct PosDir
  {
    double pos, dir;
  };
  PosDir edgeRule(const Window& w, double pos, double dir) const
  {
    if (w.span <= 1.0) return {w.s, dir};
    if (pos > w.e - 1.0 || pos < w.s) return edgeRuleOutside(w, pos, dir, mirror);
    return {pos, dir};
  }
  void edgeRule(const Window& w, double* pos, double* dir) const
  {
    const PosDir r = edgeRule(w, *pos, *dir);
    *pos = r.pos;
    *dir = r.dir;
  }
  void edgeRule(double* pos, double* dir) const { edgeRule(window(), pos, dir); }
  // A move reduced below the selection span, keeping its sign.
  double spanReduce(double move) const { return spanReduce(window(), move); }
  static double spanReduce(const Window& w, double move)
  {
    if (w.span <= 1.0) return w.s;
    return move < w.span && move > -w.span ? move : spanReduceLong(w, move);
  }
  void setSelStart(double frames);
  void setSelEnd(double frames);
  void wrapIntoWindow(double* pos) const;
  void wrapReadPositions();

  // Playhead.
  void aimPlayhead(double fraction);
  bool startPhGlide(int samples, double target);
  void stopPhGlide();
  void setPhGlideSamples(int samples);

  // Pitch and velocity.
  int computeNotePeriod() const;
  int computeBeatPeriod() const;
  void updateAutoFreq();
  void setNoteNow(int n);
  void retune(int n, int steps);
  void glideVelocity(double target, int steps);
  void stepFrequencyGlide()
  {
    if (gliding) advanceFrequencyGlide();
  }
  void stepVelocityGlide()
  {
    if (velocityRamping) advanceVelocityGlide();
  }
  void advanceFrequencyGlide();
  void advanceVelocityGlide();
  void setBaseLen(int nom, int denum);
  void setPlayRate(double rate);

  // Grains.
  int grainLength();  // for the voice's mode, stored as its last period
  void applyGrainLength(int length);
  void resetGrains(bool hard);
  void startGrain(int delay);
  void advanceGrain(int slot, int n);
  void advanceGrain(const Window& w, int slot, int n);
  double externalError() const;
  double internalError() const { return errorInt == 0.0 ? 0.0 : drawInternalError(); }
  bool renderGrains(double* left, double* right);
  void renderSimple(double* left, double* right);
  void setGrainMode(int mode);
  void setOverlap(double o);
  void setMirror(bool on);
  void setRepeat(int n);
  void setKeyMeterChanged();

  // Envelopes and output.
  void setStage(int stage);
  void restartAttack() { setStage(Envelope::kAttack); }
  void resetEnvelopes();
  // Envelopes, filter, DC blocker and gain control from rest.
  void clearStates();
  // A state made non-finite by an extreme host sample starts from rest, so
  // a new note always sounds; finite states are left as they are.
  void healNonFinite();
  void setAgcAmount(double amount);
  void setDcRemoval(bool on);

private:
  void sumGrains(double* left, double* right);
  void sumPlainGrains(double* left, double* right);
  void normaliseGrains(StereoPair out, double sum, double* left, double* right) const;
  static PosDir edgeRuleOutside(const Window& w, double pos, double dir, bool mirror);
  static double spanReduceLong(const Window& w, double move);
  double windowValue(int slot) const;
  double fadeWeight(int slot) const;
  void readGrainSample(int slot, double* left, double* right) const;
  double gapSample(int channel) const;
  char drawGap() const;
  void startPosition(int slot, int length);
  void startPositionGliding(int slot);
  double drawInternalError() const;
};
