#pragma once
// The VST 2.4 adapter: the effect record handed to the host, the dispatcher
// and process callbacks turned into the plug-in's operations, and the host
// callback as the plug-in's link to its host.
#include <memory>

#include "frame/IPlugBase.h"
#include "platform/vst2abi.h"

class IPlugVST final : public IHostLink
{
public:
  // Drives the plug-in (and owns it, to its deletion at effClose).
  IPlugVST(vst2::HostCallback hostCallback, std::unique_ptr<IPlugBase> plug);
  ~IPlugVST() override;
  IPlugVST(const IPlugVST&) = delete;
  IPlugVST& operator=(const IPlugVST&) = delete;

  vst2::AEffect* GetAEffect() { return &mAEffect; }
  IPlugBase& Plug() { return *mPlug; }

  // The link.
  void BeginParamEdit(int paramIdx) override;
  void ParamChangedByPlug(int paramIdx, double normalized) override;
  void EndParamEdit(int paramIdx) override;
  void AllParamsChanged() override;
  bool GetTime(ITimeInfo* info) override;
  bool IsRenderingOffline() override;
  std::string HostProduct() override;
  int HostVersion() override;

  // The callbacks the effect record points at.
  static intptr_t VSTDispatcher(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt);
  static void VSTProcess(vst2::AEffect* effect, float** inputs, float** outputs, int32_t frames);
  static void VSTProcessReplacing(vst2::AEffect* effect, float** inputs, float** outputs, int32_t frames);
  static void VSTProcessDoubleReplacing(vst2::AEffect* effect, double** inputs, double** outputs, int32_t frames);
  static float VSTGetParameter(vst2::AEffect* effect, int32_t index);
  static void VSTSetParameter(vst2::AEffect* effect, int32_t index, float value);

private:
  intptr_t CallHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
  template <typename Run>
  static void ProcessBlock(vst2::AEffect* effect, int32_t frames, Run&& run);
  void HostSpecificInit();
  void TakeEditorSize();
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
  intptr_t StringToParameter(int idx, const char* text);
  intptr_t PinProperties(int idx, void* ptr, bool input);
  void SetSpeakerArrangement(const vst2::VstSpeakerArrangement* arrangement, bool input);
  static void SetArrangementType(vst2::VstSpeakerArrangement* arrangement, int channels);

  vst2::HostCallback mHostCallback;
  vst2::AEffect mAEffect{};
  vst2::ERect mEditRect{};
  vst2::VstSpeakerArrangement mInputSpkr{};
  vst2::VstSpeakerArrangement mOutputSpkr{};
  bool mHostSpecificInitDone = false;
  ByteChunk mState;
  ByteChunk mBankState;
  std::unique_ptr<IPlugBase> mPlug;  // last: it goes first, while the adapter it calls is still whole
};
