#pragma once
// A plug-in instance with a host, block I/O and MIDI helpers, for tests that
// play the instrument.
#include <cmath>
#include <functional>

#include "engine/EngineRates.h"
#include "tests/TestHost.h"

// The tests' way into the engine: every frame through the per-frame path,
// to compare the run kernels with, and the run kernels of a chosen
// instruction set.
class EngineTestSeam
{
public:
  static void FrameByFrame(EngineCore& core, bool on) { core.mMaxRun = on ? 1 : EngineCore::kRunChunk; }
  static void UseIsa(EngineCore& core, Isa isa) { core.mIsa = isa; }
};

struct Rig
{
  TestHost host;
  std::unique_ptr<Vesk> plug;
  TestIO io;
  int block;
  long framesDone = 0;
  // Input generator: value for (channel, absolute frame).
  std::function<double(int, long)> source = [](int, long) { return 0.0; };

  explicit Rig(int blockSize = 512, double sampleRate = 48000.0)
    : plug((host.record = false, host.MakePlug(sampleRate, blockSize))), io(blockSize), block(blockSize)
  {
  }

  Vesk& P() { return *plug; }
  EngineCore& core() { return plug->Core(); }
  VoiceTables& tables() { return plug->Core().tables(); }
  Voice& voice(int i) { return plug->Core().voice(i); }

  // The instance's random numbers, for repeatable renders.
  void seed(uint32_t s) { plug->Core().random().seed(s); }
  void set(int idx, double v)
  {
    plug->GetParam(idx)->Set(v);
    plug->OnParamChange(idx);
  }
  void midi(int offset, int status, int d1, int d2)
  {
    IMidiMsg m(offset, static_cast<uint8_t>(status), static_cast<uint8_t>(d1), static_cast<uint8_t>(d2));
    plug->ProcessMidiMsg(&m);
  }
  void noteOn(int note, int velocity = 100, int offset = 0) { midi(offset, 0x90, note, velocity); }
  void noteOff(int note, int offset = 0) { midi(offset, 0x80, note, 0); }
  void cc(int controller, int value, int offset = 0) { midi(offset, 0xB0, controller, value); }

  void run(int blocks = 1)
  {
    for (int b = 0; b < blocks; ++b)
    {
      for (int s = 0; s < block; ++s)
        for (int c = 0; c < 2; ++c) io.in[static_cast<size_t>(c)][static_cast<size_t>(s)] = source(c, framesDone + s);
      io.Process(*plug, block);
      framesDone += block;
    }
  }
  // Smoothed parameters settle within one block.
  void settle() { run(1); }
};

// A preset chunk (header and state) of an instance that learned `controller` for `param`.
inline bool LearnedState(int param, int controller, ByteChunk* chunk)
{
  Rig source(256);
  source.P().Dispatcher().ArmLearn(param);
  source.cc(controller, 1);
  source.run();
  IPlugBase::InitChunkWithIPlugVer(chunk);
  return source.P().SerializeState(chunk);
}
