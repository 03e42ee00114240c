#include "plugin/FactoryPresets.h"

#include <cctype>
#include <memory>

#include "plugin/Vesk.h"

namespace {
using Settings = std::vector<std::pair<int, double>>;

// Poly play of up to eight voices, the start of most sounds.
Settings Poly(Settings more)
{
  Settings s{{kPolyMono, 1}, {kActiveVoices, 8}};
  s.insert(s.end(), more.begin(), more.end());
  return s;
}

// Every key's meter as num / den beats.
Settings Meters(const int (&meter)[kNumKeys][2])
{
  Settings s;
  for (int k = 0; k < kNumKeys; ++k)
  {
    s.emplace_back(BeatNumParam(k), meter[k][0]);
    s.emplace_back(BeatDenParam(k), meter[k][1]);
  }
  return s;
}

Settings Join(Settings a, const Settings& b)
{
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

constexpr int kSixteenths[kNumKeys][2] = {{1, 4}, {1, 4}, {1, 4}, {1, 4}, {1, 4}, {1, 4},
                                          {1, 4}, {1, 4}, {1, 4}, {1, 4}, {1, 4}, {1, 4}};
constexpr int kPerKey[kNumKeys][2] = {{1, 4}, {1, 3}, {1, 2}, {3, 4}, {1, 1}, {1, 8},
                                      {1, 6}, {2, 3}, {3, 8}, {1, 2}, {3, 16}, {1, 1}};
constexpr int kThirtySeconds[kNumKeys][2] = {{1, 8}, {1, 8}, {1, 8}, {1, 6}, {1, 8}, {1, 8},
                                             {1, 6}, {1, 8}, {1, 8}, {1, 6}, {1, 8}, {1, 8}};

std::vector<FactoryPreset> MakePresets()
{
  return {
    {"Grain Pad", Poly({{kPerfMode, 0}, {kOverlap, 2.5}, {kWindowType, 2}, {kEnvA, 0.6}, {kEnvD, 1.0},
                        {kEnvS, 0.8}, {kEnvR, 2.5}, {kFltFreq, 2000}, {kWobbleAmount, 0.15},
                        {kWobbleInternal, 1}, {kMix, 0.9}, {kAgcAmount, 0.5}, {kAmp, 0.6}})},
    {"Octave Down Choir", Poly({{kPerfMode, 0}, {kBaseLenNom, 2}, {kOverlap, 1.5}, {kEnvA, 0.3}, {kEnvR, 2.0},
                                {kFltFreq, 1800}, {kWobbleAmount, 0.1}, {kWobbleInternal, 1}, {kAmp, 1.4}})},
    {"Shimmer Octave Up", Poly({{kPerfMode, 0}, {kBaseLenDenum, 2}, {kOverlap, 2.0}, {kEnvA, 0.2}, {kEnvR, 3.0},
                                {kFltFreq, 7000}, {kWobbleAmount, 0.25}, {kWobbleFreq, 6.0}, {kWobbleInternal, 1},
                                {kMix, 0.9}, {kAgcAmount, 0.5}, {kAmp, 0.6}})},
    {"Beat Stutter Sixteenths", Join(Poly({{kPerfMode, 1}, {kOverlap, 0.3}, {kRepeat, 4}, {kEnvA, 0.005},
                                           {kEnvR, 0.3}}),
                                     Meters(kSixteenths))},
    {"Beat Meters per Key", Join(Poly({{kPerfMode, 1}, {kOverlap, 0.5}, {kEnvR, 0.5}}), Meters(kPerKey))},
    {"Tempo Refill Chop", Join(Poly({{kPerfMode, 1}, {kRefillMode, 3}, {kOverlap, 0.2}, {kGapProb, 20},
                                     {kEnvR, 0.4}, {kFltFreq, 6000}, {kAmp, 0.8}}),
                               Meters(kThirtySeconds))},
    {"Reverse Tape", Poly({{kPerfMode, 2}, {kPlayRate, -1.0}, {kEnvA, 0.05}, {kEnvR, 1.0}})},
    {"Half-Speed Tape", Poly({{kPerfMode, 2}, {kPlayRate, 0.5}, {kFltFreq, 4000}, {kEnvR, 1.5}})},
    {"Loop Slice", Poly({{kPerfMode, 2}, {kRefillMode, 2}, {kSelectAll, 1}, {kSelStart, 0.25}, {kSelEnd, 0.5}, {kEnvR, 0.8}})},
    {"Filter Sweep Pad", Poly({{kPerfMode, 0}, {kOverlap, 2.0}, {kFltFreq, 300}, {kFltQ, 0.75}, {kAgcAmount, 0.5},
                               {kAmp, 0.7},
                               {kFltEnvDepth, 0.9}, {kFltEnvA, 2.0}, {kFltEnvD, 3.0}, {kFltEnvS, 0.3},
                               {kFltEnvR, 2.0}, {kEnvA, 0.5}, {kEnvR, 2.5}})},
    {"Resonant Pluck", Poly({{kPerfMode, 0}, {kEnvA, 0.005}, {kEnvD, 0.3}, {kEnvS, 0.000001}, {kEnvR, 0.3},
                             {kFltFreq, 800}, {kFltQ, 0.85}, {kFltEnvDepth, 0.8}, {kFltEnvA, 0.005},
                             {kFltEnvD, 0.25}, {kFltEnvS, 0.000001}, {kFltEnvR, 0.2}, {kAmp, 0.8}})},
    {"Wobble Drift", Poly({{kPerfMode, 0}, {kWobbleAmount, 0.6}, {kWobbleFreq, 4.0}, {kWobbleInternal, 1},
                           {kOverlap, 1.5}, {kEnvR, 1.5}, {kAgcAmount, 0.4}, {kAmp, 0.45}})},
    {"Gated Grains", Poly({{kPerfMode, 0}, {kGapProb, 45}, {kGapStereo, 1}, {kOverlap, 0.5}, {kEnvR, 1.0}})},
    {"Scatter Cloud", Poly({{kPerfMode, 0}, {kErrorInt, 8}, {kErrorExt, 20}, {kPreservePos, 0}, {kOverlap, 3.5},
                            {kWindowType, 2}, {kEnvA, 1.0}, {kEnvR, 3.0}, {kFltFreq, 6000}})},
    {"Mono Glide Lead", {{kPerfMode, 0}, {kPolyMono, 0}, {kGlide, 0.25}, {kGlideHead, 1}, {kOverlap, 1.0},
                         {kFltFreq, 3500}, {kEnvR, 0.5}, {kAgcAmount, 0.4}, {kAmp, 0.45}}},
    {"Legato Bass", {{kPerfMode, 0}, {kPolyMono, 0}, {kBaseLenNom, 2}, {kGlide, 0.08}, {kEnvA, 0.01},
                     {kEnvR, 0.3}, {kFltFreq, 900}, {kFltQ, 0.4}}},
    {"Frozen Hold", Poly({{kPerfMode, 2}, {kRefillMode, 2}, {kSelectAll, 1}, {kSelStart, 0.1}, {kSelEnd, 0.3}, {kEnvA, 0.8},
                          {kEnvR, 4.0}, {kWobbleAmount, 0.05}, {kWobbleInternal, 1}})},
    {"Stepping Scanner", Poly({{kPerfMode, 0}, {kStep, 64}, {kRepeat, 2}, {kOverlap, 1.0}, {kEnvR, 1.0},
                               {kFltFreq, 4500}})},
  };
}
}  // namespace

const std::vector<FactoryPreset>& FactoryPresets()
{
  static const std::vector<FactoryPreset> presets = MakePresets();
  return presets;
}

void ApplyFactoryPreset(Vesk& plug, const FactoryPreset& preset)
{
  IMutexLock lock(plug.Mutex());
  for (const auto& [param, value] : preset.settings)
  {
    plug.GetParam(param)->Set(value);
    plug.OnParamChange(param);
  }
}

ByteChunk FactoryPresetChunk(const FactoryPreset& preset)
{
  ByteChunk chunk;
  std::unique_ptr<Vesk> plug(new Vesk());
  if (!plug) return chunk;
  ApplyFactoryPreset(*plug, preset);
  IPlugBase::InitChunkWithIPlugVer(&chunk);
  plug->SerializeState(&chunk);
  return chunk;
}

std::string PresetSlug(const std::string& name)
{
  std::string slug;
  for (char c : name)
  {
    if (std::isalnum(static_cast<unsigned char>(c)))
      slug += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    else if (!slug.empty() && slug.back() != '-')
      slug += '-';
  }
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return slug;
}
