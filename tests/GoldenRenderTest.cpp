// Renders of fixed patches, hashed and compared with hashes recorded before
// the engine was restructured or sped up: every sample must stay the same.
#include <gtest/gtest.h>

#include <cinttypes>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "bench/BenchPatches.h"
#include "tests/Rig.h"

namespace {

constexpr int kRate = 48000;

// Input that is neither periodic nor silent: a triangle on the left, a saw
// on the right and a little noise, made without library functions so that
// every platform feeds the same samples.
double Input(int channel, long frame)
{
  uint32_t n = static_cast<uint32_t>(frame) * 2654435761u + static_cast<uint32_t>(channel) * 40503u;
  n ^= n >> 13;
  const double noise = (n & 0xFFFF) / 65536.0 - 0.5;
  const double phase = (frame % (channel == 0 ? 218 : 145)) / (channel == 0 ? 218.0 : 145.0);
  const double wave = channel == 0 ? 2.0 * (phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase) - 1.0 : 2.0 * phase - 1.0;
  return 0.5 * wave + 0.05 * noise;
}

void NoteChord(Rig& r, int count, int first, int step)
{
  for (int n = 0; n < count; ++n) r.noteOn(first + n * step, 100, n);
}

void ReleaseChord(Rig& r, int count, int first, int step)
{
  for (int n = 0; n < count; ++n) r.noteOff(first + n * step, n);
}

struct Patch
{
  const char* name;
  int block;
  int notes;  // chord size; the chord starts at block 0 and ends at 1.5 s
  const PatchSettings* settings;
  void (*setup)(Rig& r);              // after the settings; may be null
  void (*during)(Rig& r, int block);  // may be null
  // The C runtimes' logarithms, exponentials and sines differ in their
  // last bits, so each platform keeps its own recording.
  const char* linuxHash;
  const char* windowsHash;
};

const PatchSettings kDemo = {
    {kPerfMode, 0}, {kPolyMono, 1}, {kOverlap, 1.5}, {kEnvR, 1.5}, {kWobbleAmount, 0.3},
    {kWobbleInternal, 1}, {kFltFreq, 3000}, {kMix, 0.85}};

// Beat grains with every random source: errors, gaps filled from the
// input, a sine window, mirrored edges, a tempo refill and wobble.
const PatchSettings kRandomBeat = {
    {kPolyMono, 1}, {kActiveVoices, 8}, {kPerfMode, 1}, {BeatDenParam(4), 8}, {kErrorInt, 3.0},
    {kErrorExt, 2.0}, {kGapProb, 30}, {kGapStereo, 1}, {kGapFill, 1}, {kWindowType, 2},
    {kWrapMirror, 1}, {kRefillMode, 3}, {kWobbleAmount, 0.6}, {kWobbleExternal, 1}, {kFltType, 3},
    {kAgcPerVoice, 0}, {kAgcAmount, 0.5}};

const PatchSettings kMonoGlideSimple = {
    {kPolyMono, 0}, {kPerfMode, 2}, {kGlide, 0.05}, {kPlayRate, -1.3}, {kFltFollowNote, 1},
    {kFltType, 2}, {kExtrudeInput, 1}, {kEnvR, 0.3}};

void MonoGlideDuring(Rig& r, int b)
{
  if (b == 10) r.noteOn(57, 90, 33);
  if (b == 20) r.midi(5, 0xE0, 0, 100);  // bend up
  if (b == 30) r.noteOff(57, 7);
  if (b == 40) r.set(kPlayheadPos, 0.4);
  if (b == 45) r.cc(64, 127);  // sustain
  if (b == 60) r.cc(64, 0);
}

void NoteErrorsDuring(Rig& r, int b)
{
  if (b % 17 == 3) r.set(kOverlap, 0.5 + (b % 5) * 0.6);
  if (b == 50) r.set(kSelEnd, 0.4);
  if (b == 70) r.set(kFltEnvDepth, -0.7);
}

const PatchSettings kNoteErrors = {
    {kPolyMono, 1}, {kActiveVoices, 6}, {kPerfMode, 0}, {kErrorExt, 5.0}, {kStep, 7.0}, {kRepeat, 3},
    {kPreservePos, 0}, {kWindowType, 0}, {kFltEnvDepth, 0.8}, {kFltQ, 0.8}, {kDcRemoval, 1},
    {kAgcAmount, 0.6}, {kAgcSpeed, 40.0}};

// A state with a learned controller, restored into a fresh instance that
// then plays and moves the controller.
void FromState(Rig& r)
{
  Rig source(256);
  source.set(kPerfMode, 0);
  source.set(kOverlap, 2.0);
  source.set(kFltQ, 0.7);
  source.set(kSelStart, 0.1);
  source.set(kSelEnd, 0.6);
  source.P().Dispatcher().ArmLearn(kFltFreq);
  source.cc(20, 1);
  source.run();
  ByteChunk chunk;
  source.P().SerializeState(&chunk);
  ASSERT_GT(r.P().UnserializeState(&chunk, 0), 0);
}

void FromStateDuring(Rig& r, int b)
{
  if (b % 20 == 5) r.cc(20, (b * 13) % 128, 17);
}

const Patch kPatches[] = {
  {"demo settings", 512, 4, &kDemo, nullptr, nullptr, "c2f3402e1e49ae32", "c2f3402e1e49ae32"},
  {"bench (a) default, 4 notes", 512, 4, &kBenchDefault, nullptr, nullptr, "8c0aa3b567243b0c", "8c0aa3b567243b0c"},
  {"bench (b) 32 voices NOTE dense", 512, 32, &kBenchDense, nullptr, nullptr, "1d487fe72b8fec29", "c39e7c97611f0b26"},
  {"bench (c) 32 voices SIMPLE", 512, 32, &kBenchSimple, nullptr, nullptr, "928ab7114b88289a", "928ab7114b88289a"},
  {"beat grains with every random source", 100, 6, &kRandomBeat, nullptr, nullptr, "68fa937caa343e75", "2d131040d0d4d6c9"},
  {"note grains with errors and moving settings", 333, 6, &kNoteErrors, nullptr, NoteErrorsDuring, "57a277413b64bc4d", "04dc7945ec66b655"},
  {"mono glides in SIMPLE mode", 128, 1, &kMonoGlideSimple, nullptr, MonoGlideDuring, "805c2388e59e18b4", "805c2388e59e18b4"},
  {"restored state with a learned controller", 256, 3, nullptr, FromState, FromStateDuring, "d669c31cc3db20f6", "0df2e98f44cf09d7"},
};

struct Result
{
  std::string hash;
  double peak = 0.0;
};

Result Render(const Patch& patch, Isa isa)
{
  Rig r(patch.block);
  EngineTestSeam::UseIsa(r.core(), isa);
  r.seed(1);
  r.source = Input;
  if (patch.settings)
    for (const auto& [param, value] : *patch.settings) r.set(param, value);
  if (patch.setup) patch.setup(r);
  const int blocks = static_cast<int>(2.5 * kRate) / patch.block, noteOff = static_cast<int>(1.5 * kRate) / patch.block;
  Fnv1a fnv;
  double peak = 0.0;
  for (int b = 0; b < blocks; ++b)
  {
    if (b == 0) NoteChord(r, patch.notes, 40, 5);
    if (b == noteOff) ReleaseChord(r, patch.notes, 40, 5);
    if (patch.during) patch.during(r, b);
    r.run();
    for (const auto& channel : r.io.out)
    {
      fnv.add(channel.data(), channel.size() * sizeof(double));
      for (double x : channel) peak = std::max(peak, std::fabs(x));
    }
  }
  char text[20];
  std::snprintf(text, sizeof text, "%016" PRIx64, fnv.h);
  return {text, peak};
}

}  // namespace

// With every instruction set the processor has, as each renders the same.
TEST(GoldenRender, EveryPatchRendersTheRecordedSamples)
{
  std::vector<Isa> isas = {Isa::kBaseline};
  if (BestIsa() == Isa::kAvx2) isas.push_back(Isa::kAvx2);
  for (const Isa isa : isas)
    for (const Patch& patch : kPatches)
    {
      const Result result = Render(patch, isa);
      const char* name = isa == Isa::kAvx2 ? "AVX2" : "baseline";
#ifdef _WIN32
      EXPECT_EQ(result.hash, patch.windowsHash) << patch.name << ", " << name;
#else
      EXPECT_EQ(result.hash, patch.linuxHash) << patch.name << ", " << name;
#endif
      EXPECT_GT(result.peak, 0.05) << patch.name << " should sound";
    }
}
