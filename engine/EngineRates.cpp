#include "engine/EngineRates.h"

#include <numbers>

const EngineRates& EngineRates::Default()
{
  static const EngineRates rates;
  return rates;
}

void EngineRates::SetSampleRate(double sr)
{
  sampleRate = sr;
  invSampleRate = 1.0 / sr;
  twoPiOverSr = 2.0 * std::numbers::pi / sr;
  fourPiOverSr = 4.0 * std::numbers::pi / sr;
  samplesPerBeat = sr * 60.0 / tempo;
  halfSampleRate = sr / 2.0;
  topFilterFreq = halfSampleRate > 20000.0 ? 20000.0 : halfSampleRate;
}

bool EngineRates::SetTempo(double bpm)
{
  // A host without a valid tempo reports 0: the last tempo stays in force.
  if (!(bpm > 0.0) || bpm == tempo) return false;
  tempo = bpm;
  samplesPerBeat = sampleRate * 60.0 / bpm;
  beatsPerSecond = bpm / 60.0;
  return true;
}
