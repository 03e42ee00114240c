#pragma once
// The bench's three patches as parameter settings, and the output hash the
// bench and the golden renders compare: a faster engine shows it renders
// the same samples as the one before it.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "editor/layout/ParamIds.h"

using PatchSettings = std::vector<std::pair<int, double>>;

// (a) the defaults, four notes.
inline const PatchSettings kBenchDefault = {{kPolyMono, 1}};
// (b) 32 NOTE voices, eight grains each, a moving resonant filter and gain control.
inline const PatchSettings kBenchDense = {{kPolyMono, 1},     {kActiveVoices, 32}, {kPerfMode, 0},
                                          {kOverlap, 3.5},    {kFltOn, 1},         {kFltEnvDepth, 0.5},
                                          {kFltQ, 0.5},       {kAgcPerVoice, 1},   {kAgcAmount, 0.8}};
// (c) 32 SIMPLE voices.
inline const PatchSettings kBenchSimple = {{kPolyMono, 1}, {kActiveVoices, 32}, {kPerfMode, 2}};

// FNV-1a over bytes.
struct Fnv1a
{
  uint64_t h = 1469598103934665603ull;
  void add(const void* p, size_t n)
  {
    for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<const uint8_t*>(p)[i]) * 1099511628211ull;
  }
};
