#pragma once
// The instrument: the engine spine on the VST 2.4 plug-in frame. One object
// per instance, holding everything the audio path needs by value.
#include <cstddef>
#include <memory>
#include <string>

#include "engine/EditorFeeds.h"
#include "engine/EngineCore.h"
#include "engine/MidiDispatcher.h"
#include "engine/VeskParams.h"
#include "frame/IPlugVST.h"

class VeskEditor;
struct StateImage;

class Vesk final : public IPlugVST
{
public:
  static constexpr int kMaxRampLength = 3000;
  static constexpr int kStateVersion = 0x00010000;

  explicit Vesk(vst2::HostCallback hostCallback);
  ~Vesk() override;

  // The object is large (it holds the voices and buffers); it is allocated
  // zeroed in one piece so untouched pages cost nothing; a failed allocation
  // gives a null object instead of an exception.
  static void* operator new(size_t size) noexcept;
  static void operator delete(void* p);

  void Reset() override;
  void OnActivate(bool active) override;
  void OnParamChange(int paramIdx) override;
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;
  void ProcessMidiMsg(IMidiMsg* msg) override;
  bool SerializeState(ByteChunk* chunk) override;
  intptr_t VendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) override;
  // Applies a state only when all of it reads; -1, with nothing changed, when not.
  int UnserializeState(ByteChunk* chunk, int startPos) override;
  int StateEnd(ByteChunk* chunk, int startPos) override;

  // The value a voice holds for a per-voice parameter; 0 for the others.
  double valueForVoice(int paramIdx, int voice) const;

  // MIDI learn, from the editor's menus.
  void LearnAssigned(int paramIdx, int controller);
  void LearnedCC(int paramIdx, int value);
  bool IsExcludedFromLearn(int paramIdx) const;

  // The editor and what it asks of the engine.
  VeskEditor* Editor() const { return mEditor.get(); }
  void AttachEditorViews(BufferViewFeed* bufferView, KeyboardFeed* keyboard);
  void SetShowLabels(bool on) { mShowLabels = on; }
  void ArmLearnFromEditor(int paramIdx);
  void ForgetFromEditor(int paramIdx);
  void EraseMidiMapFromEditor();
  // The parameter's next change is applied even when it equals the last.
  void ForgetTarget(int paramIdx) { mTargetValue[paramIdx] = -1.0; }
  // Every voice takes the picked voice's own settings.
  void SetAllToCurrent();
  // The controller learned for a parameter (-1: none), as last announced.
  int AssignedController(int paramIdx) const { return paramIdx >= 0 && paramIdx < kNumParams ? mAssignedCC[paramIdx] : -1; }

  MidiDispatcher& Dispatcher() { return mDispatcher; }
  EngineCore& Core() { return mCore; }
  const EngineCore& Core() const { return mCore; }

  // Smoothing state, for the editor and for inspection.
  double TargetValue(int idx) const { return mTargetValue[idx]; }
  double AppliedValue(int idx) const { return mAppliedValue[idx]; }
  bool Ramping(int idx) const { return mRamping[idx] != 0; }
  bool AnyRamping() const { return mAnyRamping != 0; }
  int RampLength() const { return mRampLength; }
  bool ParamsLoaded() const { return mParamsLoaded != 0; }
  bool PickedVoiceOnly() const { return mPickedVoiceOnly != 0; }
  bool TempoTrackingWanted() const { return mTempoWanted; }
  int CurrentSample() const { return mCurrentSample; }
  bool ShowLabels() const { return mShowLabels; }
  const std::string& BufferLabel(int b) const { return mCore.buffer(b).label; }

private:
  void stepRamps();
  void applySmoothed(int idx);
  void applyImmediate(int idx, double v);
  void updateTempo();
  void updateTempoTracking();
  void consumeVoiceRequest();
  void pickBuffer(int tab);
  void clearSelection();
  void syncUseForParams();
  void setParamFromPlug(int idx, double v);
  void feedEditor();
  void syncViewSelections();
  void syncViewLength();
  void syncEditorFromState();
  static void viewVoiceActivated(void* self, int v);
  static void viewVoiceDeactivated(void* self, int v);
  static void viewBufferRefilled(void* self, int b);
  static void viewBufferGrew(void* self, int b);

  template <typename F>
  void forEachVoice(F&& setter)
  {
    if (mPickedVoiceOnly && mParamsLoaded)
      setter(mCore.voice(mCore.tabs().pickedTab));
    else
      for (int i = 0; i < kNumVoices; ++i) setter(mCore.voice(i));
  }

  void noteOn(int note, double velocity, int offset);

  // A state read whole, applied in chunk order.
  void applyParams(const StateImage& image);
  void applySelections(const StateImage& image);
  void applyMidiMap(const StateImage& image);
  void applyOptions(const StateImage& image);
  void applyKeyFlags(const StateImage& image);

  int mCurrentSample = 0;
  MidiDispatcher mDispatcher;
  EngineCore mCore;
  bool mExcludedFromLearn[kNumParams] = {};
  bool mShowLabels = true;

  double mTargetValue[kNumParams];
  double mAppliedValue[kNumParams];
  double mRampStep[kNumParams];
  uint8_t mRamping[kNumParams];
  uint8_t mAnyRamping = 0;
  int mRampLength = 10;
  uint8_t mParamsLoaded = 0;
  uint8_t mPickedVoiceOnly = 0;
  bool mTempoWanted = false;
  bool mRestoring = false;

  std::unique_ptr<VeskEditor> mEditor;
  BufferViewFeed* mBufView = nullptr;
  KeyboardFeed* mKeyboard = nullptr;
  int mAssignedCC[kNumParams];
};
