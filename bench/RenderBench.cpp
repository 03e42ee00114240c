// Real-time factors of three patches, 10 s at 48 kHz in 512-frame blocks,
// one thread, best of three; the output's hash against the one recorded;
// and the worst single process call of a fresh instance and of a warm one.
//   vesk-bench                  every patch
//   vesk-bench --patch N        patch N (0, 1, 2) only
//   vesk-bench --seconds S      S seconds a render instead of 10
//   vesk-bench --density        patch (b)'s grains started per second and
//                               grains sounding per voice, counted frame by frame
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchPatches.h"
#include "plugin/Vesk.h"
#include "tools/ToolUsage.h"

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;

struct Patch
{
  const char* name;
  const PatchSettings* settings;
  int notes;
  uint64_t recordedHash;  // the output's hash before the engine was restructured and sped up
};

const Patch kPatches[] = {
  {"(a) default patch, 4 notes", &kBenchDefault, 4, 0xf0a85b1ce035d143ull},
  {"(b) 32 voices NOTE, overlap 3.5, filter env, AGC", &kBenchDense, 32, 0x7d155a6d985d0e13ull},
  {"(c) 32 voices SIMPLE", &kBenchSimple, 32, 0xc7afadf03a10212full},
};

// The input, a 220 Hz sine made before any timing so the timed loop holds
// nothing but the plug-in's process calls.
class Input
{
public:
  explicit Input(int frames) : mSamples(static_cast<size_t>(frames))
  {
    double phase = 0.0;
    for (double& x : mSamples)
    {
      x = 0.5 * std::sin(phase);
      phase += 2.0 * 3.14159265358979 * 220.0 / kRate;
    }
  }
  // Both channels of the next block.
  double* next(int frames)
  {
    double* at = &mSamples[mPos];
    mPos += static_cast<size_t>(frames);
    return at;
  }

private:
  std::vector<double> mSamples;
  size_t mPos = 0;
};

class Instance
{
public:
  Instance(const Patch& patch, int block) : mPlug(new Vesk()), mPatch(patch), mBlock(block), mOut(2)
  {
    mPlug->Core().random().seed(1);
    mPlug->SetSampleRate(kRate);
    mPlug->SetBlockSize(block);
    mPlug->Reset();
    for (const auto& [param, value] : *patch.settings)
    {
      mPlug->GetParam(param)->Set(value);
      mPlug->OnParamChange(param);
    }
    // Resumed as a host does before it plays: what the patch reaches is mapped.
    mPlug->OnActivate(true);
    for (auto& c : mOut) c.resize(static_cast<size_t>(block));
  }
  void play(uint8_t status)
  {
    for (int n = 0; n < mPatch.notes; ++n)
    {
      IMidiMsg msg(n, status, static_cast<uint8_t>(40 + n), 100);
      mPlug->ProcessMidiMsg(&msg);
    }
  }
  // One block; returns its seconds.
  double block(Input& input, Fnv1a* hash = nullptr)
  {
    double* in = input.next(mBlock);
    double* ins[64];
    std::fill(std::begin(ins), std::end(ins), in);
    double* outs[2] = {mOut[0].data(), mOut[1].data()};
    const auto start = std::chrono::steady_clock::now();
    {
      IMutexLock lock(mPlug->Mutex());
      mPlug->ProcessDoubleReplacing(ins, outs, mBlock);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (hash)
      for (const auto& c : mOut) hash->add(c.data(), c.size() * sizeof(double));
    return seconds;
  }
  const EngineCore& core() const { return mPlug->Core(); }
  double blocks(Input& input, int n)
  {
    double seconds = 0.0;
    for (int b = 0; b < n; ++b) seconds += block(input);
    return seconds;
  }

private:
  std::unique_ptr<Vesk> mPlug;
  const Patch& mPatch;
  int mBlock;
  std::vector<std::vector<double>> mOut;
};

struct Timing
{
  double seconds;
  uint64_t hash;
};

// The patch's timed render. An untimed pass first has every buffer record
// once, so the timed one measures the process loop rather than the first
// touch of a fresh instance's buffer pages (which the worst-call line shows).
Timing Render(const Patch& patch, int seconds)
{
  const int blocks = seconds * kRate / kBlock, second = kRate / kBlock;
  Input input((2 * blocks + 2 * second) * kBlock);
  Instance plug(patch, kBlock);
  plug.play(0x90);
  plug.blocks(input, blocks);
  plug.play(0x80);
  plug.blocks(input, second);
  plug.play(0x90);  // the timed notes record afresh into buffers already mapped
  const double timed = plug.blocks(input, blocks);
  Fnv1a hash;  // a second after the timed pass, hashed
  for (int b = 0; b < second; ++b) plug.block(input, &hash);
  return {timed, hash.h};
}

// The worst process call over the first 3 s of 32 notes in 128-frame
// blocks, of a fresh instance and then of the same instance warm.
void WorstCalls(const Patch& patch, double* fresh, double* warm)
{
  constexpr int kSmall = 128;
  const int blocks = 3 * kRate / kSmall;
  Input input((3 * blocks) * kSmall);
  Instance plug(patch, kSmall);
  auto worst = [&] {
    double w = 0.0;
    plug.play(0x90);
    for (int b = 0; b < blocks; ++b) w = std::max(w, plug.block(input));
    plug.play(0x80);
    return w;
  };
  *fresh = worst();
  plug.blocks(input, blocks);
  *warm = worst();
}

// Patch (b) a frame at a time over its second second: a grain start moves
// a voice's current slot on.
void Density()
{
  const Patch& patch = kPatches[1];
  Input input(2 * kRate);
  Instance plug(patch, 1);
  plug.play(0x90);
  plug.blocks(input, kRate);
  int slots[kNumVoices], starts = 0;
  double sounding = 0.0;
  for (int v = 0; v < kNumVoices; ++v) slots[v] = plug.core().voice(v).grains().currentSlot();
  for (int f = 0; f < kRate; ++f)
  {
    plug.block(input);
    for (int v = 0; v < kNumVoices; ++v)
    {
      const GrainScheduler& g = plug.core().voice(v).grains();
      starts += g.currentSlot() != slots[v];
      slots[v] = g.currentSlot();
      sounding += g.activeGrains();
    }
  }
  double expected = 0.0;  // one grain a period: the frames of each note's period
  for (int n = 0; n < patch.notes; ++n)
    expected += kRate / std::trunc(kRate / (440.0 * std::pow(2.0, (40 + n - 69) / 12.0)) + 0.5);
  std::printf("%s: %d grains started in 1 s (one a period: %.0f), %.2f sounding per voice\n", patch.name, starts,
              expected, sounding / (kRate * kNumVoices));
}

double Median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Bench(const Patch& patch, int seconds)
{
  std::vector<double> times, fresh, warm;
  uint64_t hash = 0;
  for (int run = 0; run < 3; ++run)
  {
    const Timing t = Render(patch, seconds);
    times.push_back(t.seconds);
    hash = t.hash;
    double f, w;
    WorstCalls(patch, &f, &w);
    fresh.push_back(f);
    warm.push_back(w);
  }
  const double best = *std::min_element(times.begin(), times.end());
  const bool recorded = seconds == 10;
  std::printf("%-50s %7.1fx real time  output %016llx %s\n", patch.name, seconds / best,
              static_cast<unsigned long long>(hash),
              !recorded ? "(not the recorded length)" : hash == patch.recordedHash ? "as recorded" : "DIFFERS");
  const double budget = 128.0 / kRate;
  std::printf("%-50s worst 128-frame call: fresh %.0f us (%.0f%% of the block), warm %.0f us (%.0f%%)\n", "",
              Median(fresh) * 1e6, 100.0 * Median(fresh) / budget, Median(warm) * 1e6, 100.0 * Median(warm) / budget);
}

}  // namespace

int main(int argc, char** argv)
{
  const char usage[] = "usage: vesk-bench [--patch 0|1|2] [--seconds S] | --density\n"
                       "real-time factors of three patches and their worst process calls (see the top of RenderBench.cpp)\n";
  AnswerCommandLine(argc, argv, usage, {"--patch", "--seconds", "--density"});
  int only = -1, seconds = 10;
  if (argc == 2 && std::strcmp(argv[1], "--density") == 0)
  {
    Density();
    return 0;
  }
  for (int i = 1; i + 1 < argc; i += 2)
  {
    if (std::strcmp(argv[i], "--patch") == 0) only = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(1, std::atoi(argv[i + 1]));
    else
    {
      std::fputs(usage, stderr);
      return 2;
    }
  }
  for (int p = 0; p < 3; ++p)
    if (only < 0 || only == p) Bench(kPatches[p], seconds);
  return 0;
}
