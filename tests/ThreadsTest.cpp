// A host calling from two threads: the audio thread processes while the
// user-interface thread sets parameters and gets and sets chunks. Run under
// ThreadSanitizer by the test command.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>
#include <thread>
#include <vector>

#include "platform/VeskVendor.h"
#include "tools/PluginHost.h"

using namespace vst2;

namespace
{
// Counts, not durations: a slow machine takes longer, never fails.
constexpr int kRounds = 400;
constexpr long kMinBlocks = 40;
}  // namespace

TEST(Threads, AudioAndControlCallsInterleaveSafely)
{
  PluginHost host;
  std::string error;
  ASSERT_TRUE(host.Load(VESK_SO, &error)) << error;
  host.Start(48000, 256);
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};

  std::thread audio([&] {
    std::vector<std::vector<float>> in(64, std::vector<float>(256, 0.1f)), out(2, std::vector<float>(256));
    std::vector<float*> ip, op;
    for (auto& c : in) ip.push_back(c.data());
    for (auto& c : out) op.push_back(c.data());
    int note = 40;
    // Keeps processing until the control side is done and enough blocks ran
    // alongside it, however slowly a sanitizer makes either thread.
    while (!stop || blocks < kMinBlocks)
    {
      host.SendMidi({MidiEvent(0x90, note, 100)});
      note = note == 80 ? 40 : note + 1;
      host.Process(ip.data(), op.data(), 256);
      ++blocks;
    }
  });

  for (int round = 0; round < kRounds; ++round)
  {
    host.SetParameter(round % 113 == 96 ? 8 : round % 113, (round % 17) / 16.0f);
    char text[64];
    host.Dispatch(effGetParamDisplay, round % 113, 0, text);
    if (round % 10 == 0)
    {
      const std::vector<uint8_t> chunk = host.GetChunk(round % 20 == 0);
      if (!chunk.empty()) host.SetChunk(chunk, round % 20 == 0);
    }
  }
  stop = true;
  audio.join();
  EXPECT_GE(blocks.load(), kMinBlocks);
}

namespace
{
// One instance of the library at its own rate and tempo, playing beat
// grains with random errors and wobble from a fixed seed.
struct Instance
{
  PluginHost host;
  std::vector<std::vector<float>> in, out;
  std::vector<float*> ip, op;
  std::vector<float> rendered;

  Instance(double rate, double tempo) : in(64, std::vector<float>(128)), out(2, std::vector<float>(128))
  {
    std::string error;
    if (!host.Load(VESK_SO, &error)) ADD_FAILURE() << error;
    host.transport.tempo = tempo;
    host.Start(rate, 128);
    host.Dispatch(effVendorSpecific, vesk_vendor::kSeedRandom, 7);
    for (auto [param, text] : {std::pair{0, "beat mode"}, std::pair{9, "0.4"}, std::pair{20, "3"}})
    {
      std::string value = text;
      host.Dispatch(effString2Parameter, param, 0, value.data());
    }
    for (auto& c : in) ip.push_back(c.data());
    for (auto& c : out) op.push_back(c.data());
  }
  void Render(int blocks)
  {
    for (int b = 0; b < blocks; ++b)
    {
      for (auto& c : in)
        for (size_t s = 0; s < c.size(); ++s) c[s] = static_cast<float>(((b * 128 + static_cast<long>(s)) % 97) / 97.0 - 0.5);
      if (b % 40 == 0) host.SendMidi({MidiEvent(0x90, 50 + b / 40, 100)});
      host.Process(ip.data(), op.data(), 128);
      rendered.insert(rendered.end(), out[0].begin(), out[0].end());
    }
  }
};
}  // namespace

// Each instance keeps its own sample rate, tempo and random numbers: two at
// different rates, playing at once on two audio threads, render what each
// renders alone.
TEST(Threads, InstancesAtTwoRatesOnTwoAudioThreadsRenderAsAlone)
{
  constexpr int kBlocks = 300;
  std::vector<float> alone[2];
  for (int i = 0; i < 2; ++i)
  {
    Instance solo(i == 0 ? 48000 : 96000, i == 0 ? 120 : 93);
    solo.Render(kBlocks);
    alone[i] = solo.rendered;
  }
  Instance a(48000, 120), b(96000, 93);
  std::thread second([&] { b.Render(kBlocks); });
  a.Render(kBlocks);
  second.join();
  EXPECT_TRUE(a.rendered == alone[0]) << "the 48 kHz instance";
  EXPECT_TRUE(b.rendered == alone[1]) << "the 96 kHz instance";
}
