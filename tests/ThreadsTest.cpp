// A host calling from two threads: the audio thread processes while the
// user-interface thread sets parameters and gets and sets chunks. Run under
// ThreadSanitizer by the test command.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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
      VstMidiEvent e{};
      e.type = kVstMidiType;
      e.byteSize = sizeof e;
      e.midiData[0] = static_cast<char>(0x90);
      e.midiData[1] = static_cast<char>(note);
      e.midiData[2] = 100;
      host.SendMidi({e});
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
