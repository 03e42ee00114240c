#pragma once
// Sample-rate and tempo values of one instance, shared by its voices and
// stages: each instance keeps its own, so instances at different rates or
// tempos in one host never disturb each other.
struct EngineRates
{
  double sampleRate = 48000.0;
  double invSampleRate = 1.0 / 48000.0;
  double twoPiOverSr = 0.0;
  double fourPiOverSr = 0.0;
  double halfSampleRate = 24000.0;
  double topFilterFreq = 20000.0;
  double tempo = 120.0;
  double beatsPerSecond = 2.0;
  double samplesPerBeat = 24000.0;

  EngineRates() { SetSampleRate(48000.0); }
  void SetSampleRate(double sr);
  // Stores a new host tempo; false (and nothing changes) when it is not
  // positive or equals the last one.
  bool SetTempo(double bpm);

  // 48 kHz at 120 beats a minute, for stages made outside an instance
  // (their owner points them at its own rates); never written.
  static const EngineRates& Default();
};
