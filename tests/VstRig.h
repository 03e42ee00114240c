#pragma once
// The VST 2.4 library loaded and started as a host does it, with block and
// note shorthands.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tools/PluginHost.h"

struct Loaded
{
  PluginHost host;
  explicit Loaded(double rate = 48000, int block = 256, const char* library = VESK_SO)
  {
    std::string error;
    if (!host.Load(library, &error)) ADD_FAILURE() << error;
    host.Start(rate, block);
  }
  intptr_t Do(int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
  {
    return host.Dispatch(op, index, value, ptr, opt);
  }
  std::string Text(int32_t op, int32_t index = 0)
  {
    char text[256] = {};
    Do(op, index, 0, text);
    return text;
  }
  bool Set(int idx, const char* text) { return Do(vst2::effString2Parameter, idx, 0, const_cast<char*>(text)) == 1; }
};

// Plays a block of stereo input (pair p carries `level`) and returns the left output.
inline std::vector<double> Play(PluginHost& host, int frames, double level, int pair = 0, bool floats = false)
{
  std::vector<std::vector<double>> in(64, std::vector<double>(static_cast<size_t>(frames), 0.0));
  std::vector<std::vector<double>> out(2, std::vector<double>(static_cast<size_t>(frames), 0.0));
  for (int c : {2 * pair, 2 * pair + 1})
    for (int s = 0; s < frames; ++s) in[static_cast<size_t>(c)][static_cast<size_t>(s)] = level * std::sin(s * 0.05 + c);
  if (!floats)
  {
    std::vector<double*> ip, op;
    for (auto& c : in) ip.push_back(c.data());
    for (auto& c : out) op.push_back(c.data());
    host.ProcessDouble(ip.data(), op.data(), frames);
    return out[0];
  }
  std::vector<std::vector<float>> inF(64, std::vector<float>(static_cast<size_t>(frames))), outF(2, std::vector<float>(static_cast<size_t>(frames)));
  std::vector<float*> ip, op;
  for (size_t c = 0; c < 64; ++c)
    for (int s = 0; s < frames; ++s) inF[c][static_cast<size_t>(s)] = static_cast<float>(in[c][static_cast<size_t>(s)]);
  for (auto& c : inF) ip.push_back(c.data());
  for (auto& c : outF) op.push_back(c.data());
  host.Process(ip.data(), op.data(), frames);
  return std::vector<double>(outF[0].begin(), outF[0].end());
}

inline void Note(PluginHost& host, int status, int key, int velocity, int delta = 0)
{
  host.SendMidi({MidiEvent(status, key, velocity, delta)});
}
