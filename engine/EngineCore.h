#pragma once
// The instrument's core: the 32 voices, the note state, the buffers and the
// master output stage. The process loop calls startBlock once per block and
// renderFrame once per sample; parameter changes reach it through the setters.
#include "engine/Voice.h"
#include "engine/VeskParams.h"

constexpr int kNumVoices = 32;
constexpr int kNumInputs = 64;

// Soft clipper: above the threshold the excess is bent toward the ceiling.
struct SoftClipper
{
  double knee = 0.5;
  double k = 2.0;
  double ceiling;
  double threshold;
  double lastExcess = 0.0;

  explicit SoftClipper(double ceil) : ceiling(ceil), threshold(ceil - 0.5) {}
  double Process(double s);
};

// What the buffer tabs show and edit: the picked tab, every voice's
// selection as fractions of its buffer, and the view's own switches.
struct BufferTabsModel
{
  int pickedTab = 0;
  double selStartFraction[kNumVoices];
  double selEndFraction[kNumVoices];
  bool commonSelection = false;
  bool dropOnMouseUp = false;
  double minVisible = 0.0;
  double maxVisible = 1.0;
  bool showTooltips = false;

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

  // Process loop.
  void startBlock(double** inputs, int frames);
  void renderFrame(int s, double* left, double* right);
  long blockCounter() const { return mBlockCounter; }

  // Settings broadcast to voices; the caller decides which voices get them.
  Voice& voice(int i) { return mVoices[i]; }
  const Voice& voice(int i) const { return mVoices[i]; }

  // Notes and pedals.
  void noteOn(int note, double velocity, int offset);
  void noteOff(int note);
  void pedal(int kind, bool down);
  void clearAll();
  void pitchBend(double bend);
  double bendRatio() const { return mBendRatio; }
  void setMode(int mode) { mPolyMode = mode; }
  int mode() const { return mPolyMode; }
  void setGlideSeconds(double seconds);
  int glideSamples() const { return mGlideSamples; }
  void setGlideHead(bool on) { mGlideHead = on; }
  void setGlideInRelease(bool on) { mGlideInRelease = on; }
  void setRearticulateFwd(bool on) { mRearticulateFwd = on; }
  void setRearticulateBack(bool on) { mRearticulateBack = on; }
  void setMaxActive(int n) { mMaxActive = n; }
  int maxActive() const { return mMaxActive; }
  void requestVoice(int v) { mRequestedVoice = v; }
  void setUseFor(int key, int voice, bool on) { mUseFor[key][voice] = on; }
  bool isUsedFor(int key, int voice) const { return mUseFor[key][voice]; }

  // Buffers and refill.
  void setRefillRatio(int nom, int denum);
  double refillRatio() const { return mRefillRatio; }
  int refillPeriod() const { return mRefillPeriod; }
  void updateRefillPeriod();
  void refillAll(int offset);
  void refillThis(int offset, int tab);
  void setBufferSeconds(double seconds);
  int bufferLength() const { return mBufferLength; }
  void setCommonMode(bool on, int offset);
  bool commonMode() const { return mCommonMode; }
  void setPerBufInput(bool on) { mPerBufInput = on; }
  bool perBufInput() const { return mPerBufInput; }

  // Selection and playhead.
  void aimPlayhead(double fraction);
  void setSelectionStart(double fraction);
  void setSelectionEnd(double fraction);
  void clearSelection();
  void reapplySelections();
  void pickBuffer(int tab);
  BufferTabsModel& tabs() { return mTabs; }
  const BufferTabsModel& tabs() const { return mTabs; }

  // Pitch and wobble.
  void setKeyMeter(int key, int num, int den);
  double keyMeter(int key) const { return mKeyMeter[key]; }
  void setWobbleAmount(double amount) { mWobbleAmount = amount; }
  void setWobbleFreq(double hz) { mWobbleFreq = hz; }
  void setWobbleSync(bool on) { mWobbleSync = on; }

  // Gain control and DC removal.
  void setAgcAmount(double amount);
  void setAgcHardness(double hardness);
  void setAgcSpeed(double speed);
  void setAgcPerVoice(bool perVoice);
  void setDcRemoval(bool on);
  bool agcPerVoice() const { return mAgcPerVoice; }
  bool globalDcOn() const { return mGlobalDcOn; }
  bool globalAgcOn() const { return mGlobalAgcOn; }
  const GainControl& globalAgc() const { return mGlobalAgc; }

  // Master output.
  void setMix(double mix) { mMixAmount = mix; }
  void setAmp(double amp) { mAmpGain = amp; }
  void setExtrudeInput(bool on) { mExtrudeInput = on; }
  double mix() const { return mMixAmount; }
  double amp() const { return mAmpGain; }

  // Sample-rate dependent coefficients, after a reset.
  void updateRates();

private:
  Voice mVoices[kNumVoices];
  BufferTabsModel mTabs;

  double** mInputs = nullptr;
  int mBlockFrames = 0;
  long mBlockCounter = 0;

  // Note state.
  int mPolyMode = 1;
  int mGlideSamples = 1000;
  bool mGlideHead = false;
  bool mGlideInRelease = false;
  bool mRearticulateFwd = false;
  bool mRearticulateBack = false;
  int mMaxActive = 32;
  int mRequestedVoice = -1;
  bool mUseFor[kNumKeys][kNumVoices];
  double mBendRatio = 1.0;

  // Buffers.
  double mBufferSeconds = 2.0;
  int mBufferLength = 96000;
  double mRefillRatio = 1.0;
  int mRefillPeriod = 48000;
  bool mCommonMode = false;
  int mCommonIndex = 0;
  bool mPerBufInput = false;

  double mKeyMeter[kNumKeys];
  double mWobbleAmount = 0.0;
  double mWobbleFreq = 2.0;
  bool mWobbleSync = false;

  bool mAgcPerVoice = true;
  bool mGlobalAgcOn = false;
  bool mGlobalDcOn = false;
  GainControl mGlobalAgc;

  double mAmpGain = 1.0;
  double mMixAmount = 1.0;
  bool mExtrudeInput = false;
  bool mRoomOpen = true;
  SoftClipper mGlobalClipper{2.0};
};
