#pragma once
// The VST3 bundle in our VST3 host, with a test tone at its input, 32-bit
// or 64-bit blocks, and MIDI as a host's MIDI input gives it.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/VeskVendor.h"
#include "tools/Vst3Host.h"

struct Vst3Rig
{
  vst3_host::Vst3Instance plug;
  std::string error;
  int maxBlock;
  long framesDone = 0;
  double level = 0.3;  // of the input tone
  std::vector<std::vector<float>> in32, out32;
  std::vector<std::vector<double>> in64, out64;
  std::vector<float*> inPtr32, outPtr32;
  std::vector<double*> inPtr64, outPtr64;

  explicit Vst3Rig(int block = 512) : maxBlock(block)
  {
    for (int c = 0; c < 2; ++c)
    {
      in32.emplace_back(4096), out32.emplace_back(4096), in64.emplace_back(4096), out64.emplace_back(4096);
      inPtr32.push_back(in32.back().data()), outPtr32.push_back(out32.back().data());
      inPtr64.push_back(in64.back().data()), outPtr64.push_back(out64.back().data());
    }
  }

  bool Load() { return plug.Load(VESK_VST3_BUNDLE, &error); }
  // Set up at 48 kHz, active, its random numbers seeded.
  bool Activate(bool doubles = false)
  {
    if (!plug.Setup(48000.0, maxBlock, doubles) || !plug.SetActive(true)) return false;
    plug.Request(vesk_vendor::kSeedRandom, 1);
    return true;
  }
  bool Start(bool doubles = false) { return Load() && Activate(doubles); }
  // A parameter by its value, as a host sets it before activation.
  void Set(vst3::ParamID id, double value)
  {
    plug.controller->setParamNormalized(id, plug.controller->plainParamToNormalized(id, value));
  }

  void Midi(uint8_t status, uint8_t d1, uint8_t d2, int offset = 0)
  {
    const uint8_t bytes[3] = {status, d1, d2};
    plug.Midi(bytes, offset);
  }

  // One block (up to 4096 frames) of a 220 Hz tone through the plug-in.
  vst3::tresult Run(int frames, bool doubles = false)
  {
    for (int s = 0; s < frames; ++s)
    {
      const double x = level * std::sin(2.0 * M_PI * 220.0 * static_cast<double>(framesDone + s) / 48000.0);
      for (int c = 0; c < 2; ++c) in32[c][static_cast<size_t>(s)] = static_cast<float>(x), in64[c][static_cast<size_t>(s)] = x;
    }
    plug.transport.samplePos = framesDone;
    framesDone += frames;
    return doubles ? plug.Process(inPtr64.data(), outPtr64.data(), frames)
                   : plug.Process(inPtr32.data(), outPtr32.data(), frames);
  }

  // The left output of the last block, as doubles.
  std::vector<double> Left(int frames, bool doubles = false) const
  {
    std::vector<double> left(static_cast<size_t>(frames));
    for (int s = 0; s < frames; ++s) left[static_cast<size_t>(s)] = doubles ? out64[0][static_cast<size_t>(s)] : out32[0][static_cast<size_t>(s)];
    return left;
  }

  double Peak(int frames, bool doubles = false) const
  {
    double peak = 0.0;
    for (int s = 0; s < frames; ++s)
      peak = std::max(peak, std::abs(doubles ? out64[0][static_cast<size_t>(s)] : out32[0][static_cast<size_t>(s)]));
    return peak;
  }
};
