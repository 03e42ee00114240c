#pragma once
// A recording host for tests: answers time with a set tempo and keeps the
// parameter changes and gestures the plug-in reports.
#include <functional>
#include <memory>
#include <vector>

#include "frame/IHostLink.h"
#include "plugin/Vesk.h"

struct TestHost final : IHostLink
{
  struct Automation
  {
    int index;
    float value;
  };

  double tempo = 120.0;
  bool record = true;
  bool tempoValid = true;
  std::vector<Automation> automations;
  std::function<void(int)> onAutomate;  // called as each automation arrives
  std::vector<std::pair<int, int>> edits;  // begin (+1) and end (-1) of edits, with their index

  void BeginParamEdit(int index) override { edits.push_back({+1, index}); }
  void EndParamEdit(int index) override { edits.push_back({-1, index}); }
  void ParamChangedByPlug(int index, double value) override
  {
    if (record) automations.push_back({index, static_cast<float>(value)});
    if (onAutomate) onAutomate(index);
  }
  void AllParamsChanged() override {}
  bool GetTime(ITimeInfo* info) override
  {
    if (!tempoValid) return false;
    info->mTempo = tempo;
    return true;
  }
  bool IsRenderingOffline() override { return false; }
  std::string HostProduct() override { return {}; }
  int HostVersion() override { return 0; }

  std::unique_ptr<Vesk> MakePlug(double sampleRate = 48000.0, int blockSize = 512)
  {
    std::unique_ptr<Vesk> plug(new Vesk());
    plug->SetHostLink(this);
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
