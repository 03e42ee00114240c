#pragma once
// The per-voice resonant filter: a four-pole cascade of one-pole sections
// with resonance feedback and five outputs, a cut-off that follows the note
// or the "flt freq" setting, 50-sample cut-off glides and its own envelope.
#include "engine/Envelope.h"

struct FilterSection
{
  double f = 0.0;
  double cutoff = 20000.0;
  double q = 0.0;
  double fb = 0.0;
  double b0 = 0.0, b1 = 0.0, b2 = 0.0, b3 = 0.0;
  int poles = 1;  // 1 = four poles, anything else two
  int passType = 0;

  void setCutoff(double c, double sampleRate);
  void setResonance(double resonance);
  void clear() { b0 = b1 = b2 = b3 = 0.0; }
  double process(double x);
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
  FilterSection sections[2];
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
