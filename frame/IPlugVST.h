#pragma once
// The VST 2.4 side of the plug-in: the effect record handed to the host, the
// dispatcher and process callbacks, and the base's host-facing operations
// answered through the host callback.
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
  void ResizeGraphics(int w, int h) override;
  void HostSpecificInit() override;
  void AttachEditor(std::unique_ptr<IEditorLink> editor) override;
  void SetLatency(int samples) override;
  bool SendMidiMsg(IMidiMsg* msg) override;
  bool SendSysEx(ISysEx* msg) override;

  vst2::AEffect* GetAEffect() { return &mAEffect; }

  // The callbacks the effect record points at.
  static intptr_t VSTDispatcher(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt);
  static void VSTProcess(vst2::AEffect* effect, float** inputs, float** outputs, int32_t frames);
  static void VSTProcessReplacing(vst2::AEffect* effect, float** inputs, float** outputs, int32_t frames);
  static void VSTProcessDoubleReplacing(vst2::AEffect* effect, double** inputs, double** outputs, int32_t frames);
  static float VSTGetParameter(vst2::AEffect* effect, int32_t index);
  static void VSTSetParameter(vst2::AEffect* effect, int32_t index, float value);

protected:
  intptr_t CallHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);
  vst2::VstTimeInfo* GetTimeInfo(int32_t flags);

private:
  intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  // Dispatch's groups of related opcodes.
  intptr_t ProgramCall(int32_t opcode, int32_t index, intptr_t value, void* ptr);
  intptr_t ParamTextCall(int32_t opcode, int32_t index, void* ptr);
  intptr_t SetUpCall(int32_t opcode, intptr_t value, float opt);
  intptr_t EditorCall(int32_t opcode, void* ptr);
  intptr_t ProcessEvents(const vst2::VstEvents* events);
  intptr_t SpeakerCall(int32_t opcode, intptr_t value, void* ptr);
  intptr_t NameCall(int32_t opcode, void* ptr);
  intptr_t VendorCall(int32_t index, intptr_t value, void* ptr, float opt);
  intptr_t MidiKeyNameCall(vst2::MidiKeyName* key);
  intptr_t GetChunk(void** data, bool isBank);
  intptr_t SetChunk(const void* data, intptr_t size, bool isBank);
  intptr_t StringToParameter(int idx, const char* text);
  intptr_t PinProperties(int idx, void* ptr, bool input);
  void SetSpeakerArrangement(const vst2::VstSpeakerArrangement* arrangement, bool input);
  static void SetArrangementType(vst2::VstSpeakerArrangement* arrangement, int channels);
  // Float blocks through the double engine; accumulate adds to the host's output.
  void ProcessFloat(float** inputs, float** outputs, int frames, bool accumulate);
  void ProcessDouble(double** inputs, double** outputs, int frames);
  template <typename Connect, typename Collect>
  void ProcessInPieces(int frames, Connect&& connect, Collect&& collect);

  vst2::HostCallback mHostCallback;
  vst2::AEffect mAEffect{};
  vst2::ERect mEditRect{};
  vst2::VstSpeakerArrangement mInputSpkr{};
  vst2::VstSpeakerArrangement mOutputSpkr{};
  bool mHostSpecificInitDone = false;
  ByteChunk mState;
  ByteChunk mBankState;
};

// Host code for a product string (lower-cased, cut at 255 characters); 0 when unknown.
int LookUpHost(const char* productString);
