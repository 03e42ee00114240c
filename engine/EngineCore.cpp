#include "engine/EngineCore.h"

#include <algorithm>
#include <cmath>

#include "engine/EngineRates.h"

namespace {
constexpr int kMinBufferFrames = 6000;
constexpr int kMaxBufferFrames = 480000;
const double kBendUpDepth = std::pow(2.0, 2.0 / 12.0) - 1.0;
const double kBendDownDepth = 1.0 - std::pow(2.0, -2.0 / 12.0);
}  // namespace

double SoftClipper::Process(double s)
{
  if (s > threshold)
  {
    const double e = s - threshold;
    lastExcess = e;
    return e / (e * k + 1.0) + threshold;
  }
  if (s < -threshold)
  {
    const double e = threshold + s;
    lastExcess = e;
    return e / (1.0 - e * k) - threshold;
  }
  return s;
}

EngineCore::EngineCore()
{
  for (int i = 0; i < kNumVoices; ++i) mVoices[i].id = i;
  for (auto& row : mUseFor) std::fill(std::begin(row), std::end(row), true);
  std::fill(std::begin(mKeyMeter), std::end(mKeyMeter), 1.0);
  updateRates();
}

void EngineCore::startBlock(double** inputs, int frames)
{
  mInputs = inputs;
  mBlockFrames = frames;
  ++mBlockCounter;
}

void EngineCore::renderFrame(int s, double* left, double* right)
{
  double wetL = 0.0, wetR = 0.0;
  const double summedEnvelopes = 0.0;
  const bool quiet = true;

  double room = 0.0;
  if (mExtrudeInput && quiet)
  {
    double x = summedEnvelopes;
    if (x > 1.0) x = std::log(x) + 1.0;
    room = 1.0 - x;
  }
  const double inL = mInputs[0][s], inR = mInputs[1][s];
  if (!mPerBufInput)
  {
    if (room > 0.0)
    {
      wetL += room * inL;
      wetR += room * inR;
    }
    *left = mMixAmount * mGlobalClipper.Process(mAmpGain * wetL) + (1.0 - mMixAmount) * inL;
    *right = mMixAmount * mGlobalClipper.Process(mAmpGain * wetR) + (1.0 - mMixAmount) * inR;
  }
  else
  {
    *left = mMixAmount * mGlobalClipper.Process(mAmpGain * wetL);
    *right = mMixAmount * mGlobalClipper.Process(mAmpGain * wetR);
  }
  mRoomOpen = quiet;
}

void EngineCore::noteOn(int, double, int) {}
void EngineCore::noteOff(int) {}
void EngineCore::pedal(int, bool) {}
void EngineCore::clearAll() {}

void EngineCore::pitchBend(double bend)
{
  mBendRatio = bend < 0.0 ? 1.0 + bend * kBendDownDepth : bend > 0.0 ? 1.0 + bend * kBendUpDepth : 1.0;
  for (Voice& v : mVoices) v.bendFactor = mBendRatio;
}

void EngineCore::setGlideSeconds(double seconds)
{
  mGlideSamples = static_cast<int>(gRates.sampleRate * seconds);
}

void EngineCore::setRefillRatio(int nom, int denum)
{
  mRefillRatio = static_cast<double>(nom) / denum;
  updateRefillPeriod();
  reapplySelections();
}

void EngineCore::updateRefillPeriod()
{
  mRefillPeriod = std::max(1, static_cast<int>(std::ceil(2.0 * gRates.samplesPerBeat * mRefillRatio)));
}

void EngineCore::refillAll(int) {}
void EngineCore::refillThis(int, int) {}

void EngineCore::setBufferSeconds(double seconds)
{
  mBufferSeconds = seconds;
  const int frames = static_cast<int>(gRates.sampleRate * seconds);
  mBufferLength = std::clamp(frames, kMinBufferFrames, kMaxBufferFrames);
  reapplySelections();
}

void EngineCore::setCommonMode(bool on, int)
{
  mCommonMode = on;
  if (on) mCommonIndex = mTabs.pickedTab;
}

void EngineCore::aimPlayhead(double) {}

// Selection edits act on the picked voice, or on every voice while the
// common selection switch is on.
template <typename F>
static void ForSelectedVoices(BufferTabsModel& tabs, F&& f)
{
  if (tabs.commonSelection)
    for (int i = 0; i < kNumVoices; ++i) f(i);
  else
    f(tabs.pickedTab);
}

void EngineCore::setSelectionStart(double fraction)
{
  fraction = std::clamp(fraction, 0.0, 1.0);
  ForSelectedVoices(mTabs, [&](int i) { mTabs.selStartFraction[i] = fraction; });
}

void EngineCore::setSelectionEnd(double fraction)
{
  fraction = std::clamp(fraction, 0.0, 1.0);
  ForSelectedVoices(mTabs, [&](int i) { mTabs.selEndFraction[i] = fraction; });
}

void EngineCore::clearSelection()
{
  ForSelectedVoices(mTabs, [&](int i) {
    mTabs.selStartFraction[i] = 0.0;
    mTabs.selEndFraction[i] = 1.0;
  });
}

void EngineCore::reapplySelections() {}

void EngineCore::pickBuffer(int tab)
{
  mTabs.pickedTab = std::clamp(tab, 0, kNumVoices - 1);
}

void EngineCore::setKeyMeter(int key, int num, int den)
{
  mKeyMeter[key % kNumKeys] = static_cast<double>(num) / den;
}

void EngineCore::setAgcAmount(double amount)
{
  for (Voice& v : mVoices) v.agc.amount = mAgcPerVoice ? amount : 0.0;
  mGlobalAgc.amount = mAgcPerVoice ? 0.0 : amount;
  mGlobalAgcOn = !mAgcPerVoice;
}

void EngineCore::setAgcHardness(double hardness)
{
  mGlobalAgc.hardness = hardness;
  for (Voice& v : mVoices) v.agc.hardness = hardness;
}

void EngineCore::setAgcSpeed(double speed)
{
  const bool automatic = speed < 1.0;
  mGlobalAgc.frequency = speed;
  for (Voice& v : mVoices)
  {
    v.agcAuto = automatic;
    v.agcSpeed = speed;
    v.agc.frequency = speed;
  }
}

void EngineCore::setDcRemoval(bool on)
{
  for (Voice& v : mVoices) v.dcOn = mAgcPerVoice && on;
  mGlobalDcOn = !mAgcPerVoice && on;
}

void EngineCore::setAgcPerVoice(bool perVoice)
{
  mAgcPerVoice = perVoice;
  setDcRemoval(mGlobalDcOn || mVoices[0].dcOn);
  setAgcAmount(std::max(mVoices[0].agc.amount, mGlobalAgc.amount));
}

void EngineCore::updateRates()
{
  mBufferLength = std::clamp(static_cast<int>(gRates.sampleRate * mBufferSeconds), kMinBufferFrames,
                             kMaxBufferFrames);
  updateRefillPeriod();
}
