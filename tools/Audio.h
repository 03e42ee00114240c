#pragma once
// WAV files: read 8/16/24/32-bit PCM or 32/64-bit float (plain or
// extensible) as stereo doubles, write 16/24/32-bit PCM or 32-bit float.
#include <string>
#include <vector>

struct StereoAudio
{
  double sampleRate = 48000.0;
  std::vector<double> left, right;
  size_t Frames() const { return left.size(); }
};

enum class SampleFormat { kPcm16, kPcm24, kPcm32, kFloat };

bool ReadAudio(const std::string& path, StereoAudio* audio, std::string* error);
bool WriteAudio(const std::string& path, const StereoAudio& audio, SampleFormat format, std::string* error);
bool ParseSampleFormat(const std::string& name, SampleFormat* format);

// Peak and RMS of both channels, in dB relative to full scale.
void Measure(const StereoAudio& audio, double* peakDb, double* rmsDb);
