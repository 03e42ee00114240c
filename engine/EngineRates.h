#pragma once
// Sample-rate and tempo values shared by every instance in the process: the
// last instance to reset or to see a new tempo sets them for all.
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

  void SetSampleRate(double sr);
  // Stores a new host tempo; false (and nothing changes) when it is not
  // positive or equals the last one.
  bool SetTempo(double bpm);
};

extern EngineRates gRates;
