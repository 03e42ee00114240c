#pragma once
// The VST 2.4 side of the plug-in: the effect record handed to the host and
// the base's host-facing operations, answered through the host callback.
#include "frame/IPlugBase.h"
#include "platform/vst2abi.h"

class IPlugVST : public IPlugBase
{
public:
  IPlugVST(vst2::HostCallback hostCallback, int nParams, const char* channelIOStr, int nPresets,
           const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
           int uniqueID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);

  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int paramIdx) override;
  void InformHostOfProgramChange() override;
  bool IsRenderingOffline() override;
  int GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* numerator, int* denominator) override;
  void GetTime(ITimeInfo* timeInfo) override;
  int GetHost() override;
  bool SendMidiMsg(IMidiMsg* msg) override;
  bool SendSysEx(ISysEx* msg) override;

  vst2::AEffect* GetAEffect() { return &mAEffect; }

protected:
  intptr_t CallHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                        float opt = 0.0f);
  vst2::VstTimeInfo* GetTimeInfo(int32_t flags);

  vst2::HostCallback mHostCallback;
  vst2::AEffect mAEffect{};
};

// Host code for a product string (lower-cased, cut at 255 characters); 0 when unknown.
int LookUpHost(const char* productString);
