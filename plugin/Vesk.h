#pragma once
// The instrument: the engine spine on the plug-in base, driven by each
// format's adapter. One object per instance, holding everything the audio
// path needs by value.
#include <cstddef>
#include <memory>
#include <string>

#include "engine/EngineCore.h"
#include "engine/MidiDispatcher.h"
#include "frame/IPlugBase.h"
#include "plugin/VeskParams.h"

class EditorBridge;
class VeskEditor;
struct StateImage;

// Who an instance says it is. The effect is what saved sessions and hosts
// that route audio only into effects know; the instrument is the same
// plug-in (parameters, state, sound) as hosts list instruments, for the
// hosts that give an effect on a MIDI track no audio output.
struct VeskIdentity
{
  const char* name;
  int32_t uniqueId;
  bool instrument;
};
inline constexpr char kVeskMaker[] = "Vesk Audio";
inline constexpr int kVeskVersion = PackVersion(1, 0, 0);
inline constexpr VeskIdentity kVeskEffect{"Vesk", FourCharCode('V', 'e', 's', 'k'), false};
inline constexpr VeskIdentity kVeskInstrument{"Vesk Instrument", FourCharCode('V', 's', 'k', 'I'), true};

class Vesk final : public IPlugBase
{
  friend struct ParamActions;  // the parameter table's actions

public:
  static constexpr int kMaxRampLength = 3000;
  static constexpr int kStateVersion = 0x00010000;

  explicit Vesk(const VeskIdentity& identity = kVeskEffect);
  ~Vesk() override;

  // The object is large (it holds the voices and buffers); it is allocated
  // zeroed in one piece so untouched pages cost nothing; a failed allocation
  // gives a null object instead of an exception.
  static void* operator new(size_t size) noexcept;
  static void operator delete(void* p);

  void Reset() override;
  void OnActivate(bool active) override;
  void PrepareMemory() override;
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

  // What the editor asks of the instrument, from the editor's thread.
  void ArmLearn(int paramIdx);
  void Forget(int paramIdx);
  void EraseMidiMap();
  // Every voice takes the picked voice's own settings.
  void SetAllToCurrent();
  // The "use for" flags: the picked buffer's for every key, one key's for
  // every buffer, or all of them on again.
  void UseForPickedBuffer(bool on);
  void UseForKey(int key, bool on);
  void ResetUseFor();
  void SetShowLabels(bool on);
  void SetDropOnMouseUp(bool on);
  // The range a learned controller's 0..1 maps onto for a parameter (the
  // editor sets those of the playhead and the selection edges).
  void SetLearnRange(int paramIdx, double lo, double hi);
  // The controller learned for a parameter (-1: none), as last announced.
  int AssignedController(int paramIdx) const { return paramIdx >= 0 && paramIdx < kNumParams ? mAssignedCC[paramIdx] : -1; }

  // The editor, built with the instrument.
  EditorBridge& Bridge() const;
  VeskEditor& Layout() const;

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
  bool DropOnMouseUp() const { return mDropOnMouseUp; }
  const std::string& BufferLabel(int b) const { return mCore.buffer(b).label; }

private:
  void stepRamps();
  void applySmoothed(int idx);
  void updateTempo();
  void updateTempoTracking();
  void consumeVoiceRequest();
  void pickBuffer(int tab);
  void clearSelection();
  void syncUseForParams();
  void setParamFromPlug(int idx, double v);
  void setUseForParams(double v);

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
  bool mShowLabels = true;
  bool mDropOnMouseUp = false;
  double mLearnLo[kNumParams], mLearnHi[kNumParams];

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

  int mAssignedCC[kNumParams];
};
