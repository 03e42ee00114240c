// Renders of fixed patches, hashed and compared with hashes recorded before
// the engine was restructured or sped up: every sample must stay the same.
#include <gtest/gtest.h>

#include <cinttypes>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tests/Rig.h"

namespace {

constexpr int kRate = 48000;

struct Fnv
{
  uint64_t h = 1469598103934665603ull;
  void add(const void* p, size_t n)
  {
    for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<const uint8_t*>(p)[i]) * 1099511628211ull;
  }
};

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
  void (*setup)(Rig& r);
  void (*during)(Rig& r, int block);  // may be null
  // The C runtimes' logarithms, exponentials and sines differ in their
  // last bits, so each platform keeps its own recording.
  const char* linuxHash;
  const char* windowsHash;
};

void Demo(Rig& r)
{
  r.set(kPerfMode, 0);
  r.set(kPolyMono, 1);
  r.set(kOverlap, 1.5);
  r.set(kEnvR, 1.5);
  r.set(kWobbleAmount, 0.3);
  r.set(kWobbleInternal, 1);
  r.set(kFltFreq, 3000);
  r.set(kMix, 0.85);
}

void BenchDefault(Rig& r) { r.set(kPolyMono, 1); }

void BenchDense(Rig& r)
{
  r.set(kPolyMono, 1);
  r.set(kActiveVoices, 32);
  r.set(kPerfMode, 0);
  r.set(kOverlap, 3.5);
  r.set(kFltOn, 1);
  r.set(kFltEnvDepth, 0.5);
  r.set(kFltQ, 0.5);
  r.set(kAgcPerVoice, 1);
  r.set(kAgcAmount, 0.8);
}

void BenchSimple(Rig& r)
{
  r.set(kPolyMono, 1);
  r.set(kActiveVoices, 32);
  r.set(kPerfMode, 2);
}

// Beat grains with every random source: errors, gaps filled from the
// input, a sine window, mirrored edges, a tempo refill and wobble.
void RandomBeat(Rig& r)
{
  r.set(kPolyMono, 1);
  r.set(kActiveVoices, 8);
  r.set(kPerfMode, 1);
  r.set(BeatDenParam(4), 8);
  r.set(kErrorInt, 3.0);
  r.set(kErrorExt, 2.0);
  r.set(kGapProb, 30);
  r.set(kGapStereo, 1);
  r.set(kGapFill, 1);
  r.set(kWindowType, 2);
  r.set(kWrapMirror, 1);
  r.set(kRefillMode, 3);
  r.set(kWobbleAmount, 0.6);
  r.set(kWobbleExternal, 1);
  r.set(kFltType, 3);
  r.set(kAgcPerVoice, 0);
  r.set(kAgcAmount, 0.5);
}

void MonoGlideSimple(Rig& r)
{
  r.set(kPolyMono, 0);
  r.set(kPerfMode, 2);
  r.set(kGlide, 0.05);
  r.set(kPlayRate, -1.3);
  r.set(kFltFollowNote, 1);
  r.set(kFltType, 2);
  r.set(kExtrudeInput, 1);
  r.set(kEnvR, 0.3);
}

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

void NoteErrors(Rig& r)
{
  r.set(kPolyMono, 1);
  r.set(kActiveVoices, 6);
  r.set(kPerfMode, 0);
  r.set(kErrorExt, 5.0);
  r.set(kStep, 7.0);
  r.set(kRepeat, 3);
  r.set(kPreservePos, 0);
  r.set(kWindowType, 0);
  r.set(kFltEnvDepth, 0.8);
  r.set(kFltQ, 0.8);
  r.set(kDcRemoval, 1);
  r.set(kAgcAmount, 0.6);
  r.set(kAgcSpeed, 40.0);
}

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
  {"demo settings", 512, 4, Demo, nullptr, "c2f3402e1e49ae32", "c2f3402e1e49ae32"},
  {"bench (a) default, 4 notes", 512, 4, BenchDefault, nullptr, "8c0aa3b567243b0c", "8c0aa3b567243b0c"},
  {"bench (b) 32 voices NOTE dense", 512, 32, BenchDense, nullptr, "1d487fe72b8fec29", "c39e7c97611f0b26"},
  {"bench (c) 32 voices SIMPLE", 512, 32, BenchSimple, nullptr, "928ab7114b88289a", "928ab7114b88289a"},
  {"beat grains with every random source", 100, 6, RandomBeat, nullptr, "68fa937caa343e75", "2d131040d0d4d6c9"},
  {"note grains with errors and moving settings", 333, 6, NoteErrors, NoteErrorsDuring, "57a277413b64bc4d", "04dc7945ec66b655"},
  {"mono glides in SIMPLE mode", 128, 1, MonoGlideSimple, MonoGlideDuring, "805c2388e59e18b4", "805c2388e59e18b4"},
  {"restored state with a learned controller", 256, 3, FromState, FromStateDuring, "d669c31cc3db20f6", "0df2e98f44cf09d7"},
};

struct Result
{
  std::string hash;
  double peak = 0.0;
};

Result Render(const Patch& patch)
{
  Rig r(patch.block);
  r.seed(1);
  r.source = Input;
  patch.setup(r);
  const int blocks = static_cast<int>(2.5 * kRate) / patch.block, noteOff = static_cast<int>(1.5 * kRate) / patch.block;
  Fnv fnv;
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

TEST(GoldenRender, EveryPatchRendersTheRecordedSamples)
{
  for (const Patch& patch : kPatches)
  {
    const Result result = Render(patch);
#ifdef _WIN32
    EXPECT_EQ(result.hash, patch.windowsHash) << patch.name;
#else
    EXPECT_EQ(result.hash, patch.linuxHash) << patch.name;
#endif
    EXPECT_GT(result.peak, 0.05) << patch.name << " should sound";
  }
}
