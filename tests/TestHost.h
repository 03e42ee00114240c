#pragma once
// A recording VST 2.4 host for tests: answers time info with a set tempo and
// keeps the automation calls it receives.
#include <functional>
#include <memory>
#include <vector>

#include "plugin/Vesk.h"
#include "platform/vst2abi.h"

struct TestHost
{
  struct Automation
  {
    int index;
    float value;
  };

  double tempo = 120.0;
  bool record = true;
  bool tempoValid = true;
  vst2::VstTimeInfo timeInfo{};
  std::vector<Automation> automations;
  std::function<void(int)> onAutomate;  // called as each automation arrives
  std::vector<std::pair<int, int>> edits;  // begin (+1) and end (-1) of edits, with their index

  static TestHost*& Current()
  {
    static TestHost* current = nullptr;
    return current;
  }

  static intptr_t Callback(vst2::AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt)
  {
    TestHost* host = Current();
    if (!host) return 0;
    switch (opcode)
    {
      case vst2::audioMasterAutomate:
        if (host->record) host->automations.push_back({index, opt});
        if (host->onAutomate) host->onAutomate(index);
        return 0;
      case vst2::audioMasterBeginEdit: host->edits.push_back({+1, index}); return 1;
      case vst2::audioMasterEndEdit: host->edits.push_back({-1, index}); return 1;
      case vst2::audioMasterGetTime:
        host->timeInfo = {};
        host->timeInfo.sampleRate = 48000.0;
        host->timeInfo.tempo = host->tempo;
        host->timeInfo.flags = host->tempoValid ? vst2::kVstTempoValid : 0;
        return reinterpret_cast<intptr_t>(&host->timeInfo);
      default: return 0;
    }
  }

  // Hosts nest: the innermost one answers until it goes.
  TestHost() : mOuter(Current()) { Current() = this; }
  ~TestHost() { Current() = mOuter; }
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  TestHost* const mOuter;

  std::unique_ptr<Vesk> MakePlug(double sampleRate = 48000.0, int blockSize = 512)
  {
    std::unique_ptr<Vesk> plug(new Vesk(&Callback));
    plug->OnParamReset();
    plug->SetSampleRate(sampleRate);
    plug->SetBlockSize(blockSize);
    plug->Reset();
    return plug;
  }
};

// Stereo test signal with 64 input slots, pair 0 carrying the given samples.
struct TestIO
{
  std::vector<std::vector<double>> in, out;
  std::vector<double*> inPtrs, outPtrs;

  explicit TestIO(int frames) : in(64, std::vector<double>(static_cast<size_t>(frames), 0.0)),
                                out(2, std::vector<double>(static_cast<size_t>(frames), 0.0))
  {
    for (auto& c : in) inPtrs.push_back(c.data());
    for (auto& c : out) outPtrs.push_back(c.data());
  }

  void Process(Vesk& plug, int frames)
  {
    IMutexLock lock(plug.Mutex());
    plug.ProcessDoubleReplacing(inPtrs.data(), outPtrs.data(), frames);
  }
};
