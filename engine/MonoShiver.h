#pragma once
// The wobble generator: a random drift of each voice's pitch factor around
// 1, in segments of about 1 / "wobble freq" seconds, up to two semitones
// each way at full amount. Slot i drives voice i, or slot 0 drives all.
#include "engine/Random.h"
#include "engine/Voice.h"

class MonoShiver final
{
public:
  enum ESync { SYNC_NONE = 0, SYNC_ALL = 3 };
  static constexpr int kSlots = 32;
  using VoiceSetter = void (*)(Voice& voice, double factor);

  MonoShiver(Voice* voices, VoiceSetter setter, const EngineRates* rates, RandomSource* random);
  ~MonoShiver() = default;

  virtual void clampFactor(double& value) const;
  virtual void updateRange();
  virtual void resetOutput(int slot) { output[slot] = 1.0; }
  virtual void updateOutput(int slot) { output[slot] = offset[slot] + 1.0; }
  virtual void applyToVoice(int slot, int voice);

  void frameStep();
  void voiceActivated(int voice);
  void setAmount(double v);
  void setFrequency(double hz);
  void setSync(bool on);
  void updateRate();  // after a sample-rate change

  Voice* voices;
  int mode = SYNC_NONE;
  bool running = false;
  double amount = 0.0;
  int stopped = 1;
  double randomScale = 2.0 / 32767.0;
  double raw[kSlots] = {}, previousRaw[kSlots] = {};
  double scaledTarget[kSlots] = {}, segmentStart[kSlots] = {};
  double downRange = 0.0, upRange = 0.0;
  double downDepth, upDepth;
  double frequency;
  int basePeriod = 6000;
  int period[kSlots], counter[kSlots] = {};
  double inversePeriod[kSlots];
  double slope[kSlots] = {};
  double offset[kSlots] = {};
  double output[kSlots];
  VoiceSetter voiceSetter;
  const EngineRates* rates;
  RandomSource* random;

private:
  void advance(int slot);
  void rescale(int slot);
  double scaled(double r) const { return r > 0.0 ? r * upRange : r * downRange; }
  void copyTimingFromSlot0();
};
