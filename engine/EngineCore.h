#pragma once
// The instrument's core: the 32 buffers, the 32 voices, the note state, the
// wobble source and the master output stage. The process loop calls
// startBlock once per block and renderFrame once per sample; parameter
// changes reach it through the setters.
#include "engine/Buffer.h"
#include "engine/BufferMemory.h"
#include "engine/ChainGroup.h"
#include "engine/EngineRates.h"
#include "engine/MonoShiver.h"
#include "engine/Pitch.h"
#include "engine/Voice.h"
#include "engine/VoiceRun.h"
#include "engine/VoiceTables.h"

constexpr int kNumInputs = 64;

// What the buffer tabs show and edit: the picked tab, every voice's
// selection as fractions of its buffer, and whether a selection is every
// buffer's.
struct BufferTabsModel
{
  int pickedTab = 0;
  double selStartFraction[kNumVoices];
  double selEndFraction[kNumVoices];
  bool commonSelection = false;

  BufferTabsModel()
  {
    for (int i = 0; i < kNumVoices; ++i)
    {
      selStartFraction[i] = 0.0;
      selEndFraction[i] = 1.0;
    }
  }
};

class EngineCore
{
public:
  EngineCore();
  EngineCore(const EngineCore&) = delete;
  EngineCore& operator=(const EngineCore&) = delete;

  // Process loop.
  void startBlock(double** inputs, int frames);
  // The host's input arrays live only through its process call: let go of
  // them, so a refill started between blocks (a switch pressed, a state
  // loaded) records from the next block instead of reading freed memory.
  void endBlock();
  void renderFrame(int s, double* left, double* right);
  // Frames s0 .. s0 + n - 1 with no event among them.
  void renderRun(int s0, int n, double* left, double* right);
  long blockCounter() const { return mBlockCounter; }

  const EngineRates& rates() const { return mRates; }
  RandomSource& random() { return mRandom; }
  void setSampleRate(double sr) { mRates.SetSampleRate(sr); }
  // True when the host's tempo is new (the refill period follows it).
  bool setTempo(double bpm);

  Voice& voice(int i) { return mVoices[i]; }
  const Voice& voice(int i) const { return mVoices[i]; }
  Buffer& buffer(int i) { return mBuffers[i]; }
  const Buffer& buffer(int i) const { return mBuffers[i]; }
  VoiceTables& tables() { return mTables; }
  const VoiceTables& tables() const { return mTables; }
  MonoShiver& shiver() { return mShiver; }
  const PitchBlock& pitch() const { return mPitch; }
  const Tuning& tuning() const { return mTuning; }
  BufferTabsModel& tabs() { return mTabs; }
  const BufferTabsModel& tabs() const { return mTabs; }

  // Notes and pedals, from the MIDI dispatch.
  void noteOn(int note, double velocity, int offset) { mTables.noteOn(note, velocity, offset); }
  void noteOff(int note) { mTables.noteOff(note); }
  void pedal(int kind, bool down) { mTables.pedal(kind, down); }
  void clearAll() { mTables.clearAll(); }
  void pitchBend(double bend);
  double bendRatio() const { return mPitch.bendRatio; }

  // A voice takes its note: grains restart, the buffer may refill.
  void startVoice(int v, int offset, bool glided);

  // Buffers and refill.
  void setRefillRatio(int nom, int denum);
  double refillRatio() const { return mRefillRatio; }
  int refillPeriod() const { return mRefillPeriod; }
  void updateRefillPeriod();
  void refillVoice(int v, int offset);
  void refillAll(int offset);
  void refillThis(int offset, int tab);
  // The length (and the own/common switch) take effect once the buffers the
  // patch reaches are mapped that far (at once while memory is not managed yet).
  void setBufferSeconds(double seconds);
  int bufferLength() const { return mBuffers[0].length; }
  int wantedBufferLength() const { return mWantedLength; }
  void setCommonMode(bool on, int offset);
  bool commonMode() const { return mCommonMode; }
  int commonIndex() const { return mCommonIndex; }
  void setPerBufInput(bool on) { mPerBufInput = on; }
  bool perBufInput() const { return mPerBufInput; }

  // Selection and playhead, for the picked voice or all voices.
  void aimPlayhead(double fraction);
  void setSelectionStart(double fraction);
  void setSelectionEnd(double fraction);
  void clearSelection();
  void recomputeSelections();
  void pickBuffer(int tab);

  // Pitch.
  void setKeyMeter(int key, int num, int den);
  double keyMeter(int key) const { return mPitch.keyMeter[key]; }

  // Gain control and DC removal.
  void setAgcAmount(double amount);
  void setAgcHardness(double hardness);
  void setAgcSpeed(double speed);
  void setAgcPerVoice(bool perVoice);
  void setDcRemoval(bool on);
  bool agcPerVoice() const { return mAgcPerVoice; }
  bool agcAuto() const { return mAgcAuto; }
  bool globalDcOn() const { return mGlobalDcOn; }
  bool globalAgcOn() const { return mGlobalAgcOn; }
  const GainControl& globalAgc() const { return mGlobalAgc; }

  // Master output.
  void setMix(double mix) { mMixAmount = mix; }
  void setAmp(double amp) { mAmpGain = amp; }
  void setExtrudeInput(bool on) { mExtrudeInput = on; }
  double mix() const { return mMixAmount; }
  double amp() const { return mAmpGain; }

  // After a sample-rate change or when processing stops: every voice's and
  // the master's filters, DC blockers and gain controls start from rest.
  void resetVoiceStates();
  void updateRates();

  // Memory. Until the first resume nothing is mapped ahead and nothing
  // waits for it; from then on the buffers the patch can reach are mapped
  // before they are recorded into or played.
  // At resume, under the plug-in lock: the engine's own pages and the
  // reachable buffers are mapped now, and the memory is managed from here on.
  void manageMemory();
  bool memoryManaged() const { return mManaged; }
  // Under the plug-in lock: publishes what the patch reaches; false when
  // it is all mapped (or not managed), so there is nothing to map.
  bool publishMemoryNeeds();
  BufferMemory& memory() { return mMemory; }
  // The buffers the current settings can record into: every enabled or
  // started voice's own, the lowest each "use for" key reaches, the picked
  // one while a request for it waits, and the common one.
  uint32_t reachableBuffers() const;
  void setPickedRequested(bool on) { mPickedRequested = on; }
  // A voice may start only once its buffer is mapped to the current length.
  bool voiceMemoryReady(int v) const;

private:
  friend class EngineTestSeam;  // the tests' way to the per-frame path
  static constexpr int kRunChunk = 512;

  void mixFrame(int s, FrameSums& sums, double* left, double* right);
  bool voicesIndependent() const;
  void renderChunk(int s0, int m, double* left, double* right);
  bool simpleRunFits(const Voice& v) const;
  static bool sourcesAheadFit(const Voice& v, int m);
  bool groupFits(const Voice& v, int m, ChainGroup::Key* key) const;
  static bool mayEndWithin(const Voice& v, int m);
  void runGroup(int m);
  void finishVoiceRun(Voice& v, int from, FrameSums* sums, int m, int top);
  int runVoice(Voice& v, FrameSums* sums, int m, bool isTop);
  void endVoice(Voice& voice);
  void healNonFinite();
  void voiceDeactivated(int v);
  void tempoRefill(int s);
  void checkMemory();
  void applyLength(int frames);
  bool commonTargetsMapped(bool on) const;
  void applyCommonMode(bool on, int offset);
  void handInput(double** inputs, int frames);
  const double* inputChannel(int pair, int channel) const;
  void setAgcAuto(bool on);
  void setGlobalAutoFreq();
  void voiceTookNote(int v);
  template <typename F>
  void forSelectedVoices(F&& f);

  EngineRates mRates;
  RandomSource mRandom;
  Tuning mTuning;
  PitchBlock mPitch;
  Buffer mBuffers[kNumVoices];
  Voice mVoices[kNumVoices];
  VoiceTables mTables;
  MonoShiver mShiver;
  BufferTabsModel mTabs;

  double** mInputs = nullptr;
  long mBlockCounter = 0;

  double mBufferSeconds = 2.0;
  int mWantedLength = 96000;  // the length "buffer size (sec)" asks for
  bool mManaged = false;
  bool mPickedRequested = false;
  bool mCommonWanted = false, mCommonPending = false;  // a switch waiting for its buffers' memory
  BufferMemory mMemory{mBuffers};
  double mRefillRatio = 1.0;
  int mRefillPeriod = 48000;
  long mSampleCounter = 0;
  bool mCommonMode = false;
  int mCommonIndex = 0;
  bool mPerBufInput = false;

  bool mAgcPerVoice = true;
  bool mAgcAuto = false;
  double mAgcSpeedValue = 0.999;
  bool mGlobalAgcOn = false;
  GainControl mGlobalAgc;
  bool mGlobalDcOn = false;
  DcBlocker mGlobalDc;

  double mAmpGain = 1.0;
  double mMixAmount = 1.0;
  bool mExtrudeInput = false;
  bool mRoomOpen = true;
  SoftClipper mGlobalClipper{2.0};
  FrameSums mRunSums[kRunChunk];
  ChainGroup mGroup;  // the voices of a run whose chains step together
  Isa mIsa = BestIsa();
  LaneScratch mScratch;
  int mMaxRun = kRunChunk;  // 1: every frame alone, as the tests compare
};
