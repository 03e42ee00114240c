#include "engine/EngineCore.h"

#include "engine/Memory.h"

#include <algorithm>
#include <climits>
#include <cmath>


namespace {
void SetWobbleFactor(Voice& voice, double factor) { voice.setWobbleFactor(factor); }
}  // namespace

EngineCore::EngineCore()
  : mTables(mVoices, &mPitch.bendRatio, *this), mShiver(mVoices, &SetWobbleFactor, &mRates, &mRandom)
{
  mGlobalAgc.rates = mGlobalDc.rates = &mRates;
  std::copy(std::begin(mTuning.noteTable), std::end(mTuning.noteTable), std::begin(mPitch.noteTable));
  std::fill(std::begin(mPitch.keyMeter), std::end(mPitch.keyMeter), 1.0);
  for (int i = 0; i < kNumVoices; ++i)
  {
    mBuffers[i].index = i;
    Voice& v = mVoices[i];
    v.attach(i, &mBuffers[i], &mPitch, &mRates, &mRandom);
    v.deactivationObservers.Subscribe(&BindMember<&VoiceTables::voiceDeactivated, VoiceTables, int>, &mTables);
    v.deactivationObservers.Subscribe(&BindMember<&EngineCore::voiceDeactivated, EngineCore, int>, this);
  }
  mTables.activationObservers.Subscribe(&BindMember<&MonoShiver::voiceActivated, MonoShiver, int>, &mShiver);
  mTables.peakObservers.Subscribe(&BindMember<&EngineCore::voiceTookNote, EngineCore, int>, this);
  updateRates();
}

// ---- Process loop -----------------------------------------------------------

const double* EngineCore::inputChannel(int pair, int channel) const
{
  if (!mInputs) return nullptr;
  return mInputs[2 * (mPerBufInput ? pair : 0) + channel];
}

void EngineCore::handInput(double** inputs, int frames)
{
  mInputs = inputs;
  if (mCommonMode)
    for (int i = 0; i < kNumVoices; ++i)
      mBuffers[i].takeInput(inputChannel(i, 0), inputChannel(i, 1), frames, mBlockCounter);
  for (int i = 0; i < kNumVoices; ++i)
  {
    Voice& v = mVoices[i];
    v.setInput(inputChannel(i, 0), inputChannel(i, 1), frames);
    if (!mCommonMode) v.buffer()->takeInput(v.input(0), v.input(1), frames, mBlockCounter);
  }
  // A common buffer records its owner's input pair.
  if (mCommonMode)
  {
    Buffer& common = mBuffers[mCommonIndex];
    const int owner = common.owner >= 0 ? common.owner : 0;
    common.takeInput(inputChannel(owner, 0), inputChannel(owner, 1), frames, mBlockCounter);
  }
}

void EngineCore::startBlock(double** inputs, int frames)
{
  if (mManaged) checkMemory();
  handInput(inputs, frames);
  for (Voice& v : mVoices)
    if (v.started() && v.buffer()->owner == v.id() && !v.buffer()->full()) v.buffer()->fillStep();
  ++mBlockCounter;
}

void EngineCore::endBlock()
{
  mInputs = nullptr;
  for (Buffer& b : mBuffers) b.takeInput(nullptr, nullptr, 0);
  for (Voice& v : mVoices) v.setInput(nullptr, nullptr, 0);
}

void EngineCore::tempoRefill(int s)
{
  ++mSampleCounter;
  if (mSampleCounter % mRefillPeriod != 0) return;
  for (int i = 0; i < kNumVoices; ++i)
    if (mVoices[i].refillMode() == RefillMode::kTempo) refillThis(s, i);
}

// ---- Voices and buffers -----------------------------------------------------

void EngineCore::startVoice(int v, int offset, bool glided)
{
  Voice& voice = mVoices[v];
  voice.healNonFinite();
  healNonFinite();
  if (!voice.started())
  {
    voice.setStarted(true);
    voice.resetGrains(false);
  }
  voice.applyGrainLength(voice.grainLength());
  voice.buffer()->owner = voice.id();
  voice.setBlockPos(offset);
  voice.markCurrentGrainInUse();

  const RefillMode mode = voice.refillMode();
  const bool refill = voice.buffer()->filled == 0 || mode == RefillMode::kEveryNote ||
                      (mode == RefillMode::kExceptGlides && !glided) || voice.refillPending();
  if (refill) refillVoice(v, offset);
  if (voice.playhead().returnsToStart()) voice.returnToSelectionStart();
  if (voice.grains().mode() == GrainMode::kSimple)
  {
    if (voice.chain().agcAuto()) voice.chain().agc().setFrequency(50.0);
    voice.filter().section.clear();
  }
}

void EngineCore::voiceDeactivated(int v)
{
  if (!mCommonMode) return;
  Buffer& common = mBuffers[mCommonIndex];
  if (common.owner != v || mTables.heldNotes.empty()) return;
  for (int i = 0; i < kNumVoices; ++i)
    if (i != v && mVoices[i].active())
    {
      common.owner = mTables.top();
      return;
    }
}

void EngineCore::refillVoice(int v, int offset)
{
  Voice& voice = mVoices[v];
  if (voice.started())
  {
    voice.stopPhGlide();
    voice.setRefillPending(false);
    voice.buffer()->startRefill(offset, voice.id(), true);
    voice.wrapReadPositions();
    return;
  }
  voice.setRefillPending(true);
  if (voice.buffer()->owner == voice.id()) voice.buffer()->filled = 0;
}

void EngineCore::refillThis(int offset, int tab)
{
  if (tab < 0 || tab >= kNumVoices) return;
  if (!mCommonMode)
  {
    mVoices[tab].stopPhGlide();
    refillVoice(tab, offset);
    return;
  }
  if (tab != mCommonIndex) return;
  for (Voice& v : mVoices) v.stopPhGlide();
  Buffer& common = mBuffers[mCommonIndex];
  common.startRefill(offset, common.owner, true);
}

void EngineCore::refillAll(int offset)
{
  if (!mCommonMode)
  {
    for (int i = 0; i < kNumVoices; ++i)
    {
      if (mVoices[i].started()) mVoices[i].stopPhGlide();
      refillVoice(i, offset);
    }
    return;
  }
  for (Voice& v : mVoices)
    if (v.started()) v.stopPhGlide();
  Buffer& common = mBuffers[mCommonIndex];
  common.startRefill(offset, common.owner, mTables.activeCount != 0);
}

void EngineCore::setBufferSeconds(double seconds)
{
  mBufferSeconds = seconds;
  mWantedLength = std::clamp(static_cast<int>(mRates.sampleRate * seconds), kMinBufferFrames, kBufferFrames);
  if (!mManaged || mWantedLength <= bufferLength() || mMemory.allMapped(reachableBuffers(), mWantedLength))
    applyLength(mWantedLength);
}

void EngineCore::applyLength(int frames)
{
  for (Buffer& b : mBuffers) b.setLength(frames);
  recomputeSelections();
}

// ---- Memory --------------------------------------------------------------------

uint32_t EngineCore::reachableBuffers() const
{
  uint32_t mask = mPickedRequested || (mCommonPending && mCommonWanted) ? 1u << mTabs.pickedTab : 0u;
  if (mCommonMode) mask |= 1u << mCommonIndex;
  for (int v = 0; v < kNumVoices; ++v)
    if (mTables.enabled[v] || mVoices[v].started()) mask |= 1u << v;
  for (const auto& key : mTables.useFor)
    for (int v = 0; v < kNumVoices; ++v)
      if (key[v])
      {
        mask |= 1u << v;
        break;
      }
  return mask;
}

bool EngineCore::voiceMemoryReady(int v) const
{
  return !mManaged || mMemory.mapped(mCommonMode ? mCommonIndex : v, bufferLength());
}

// Each block: what the patch reaches now is asked for, and a longer length
// waiting for its memory takes effect once it is there.
void EngineCore::checkMemory()
{
  const uint32_t reach = reachableBuffers();
  mMemory.need(reach, std::max(bufferLength(), mWantedLength));
  if (mWantedLength != bufferLength() && mMemory.allMapped(reach, mWantedLength)) applyLength(mWantedLength);
  if (mCommonPending && commonTargetsMapped(mCommonWanted))
  {
    mCommonPending = false;
    applyCommonMode(mCommonWanted, 0);
  }
}

bool EngineCore::publishMemoryNeeds()
{
  return mManaged && !mMemory.need(reachableBuffers(), std::max(bufferLength(), mWantedLength));
}

// Every page of the engine but the buffers' frames, then the frames the
// patch reaches.
void EngineCore::manageMemory()
{
  char* const begin = reinterpret_cast<char*>(this);
  char* const firstFrames = reinterpret_cast<char*>(mBuffers[0].frames);
  TouchPages(begin, static_cast<size_t>(firstFrames - begin));
  for (int i = 0; i < kNumVoices; ++i)
  {
    // What lies between this buffer's frames and the next one's.
    char* const rest = reinterpret_cast<char*>(mBuffers[i].frames + kBufferFrames);
    char* const next = i + 1 < kNumVoices ? reinterpret_cast<char*>(mBuffers[i + 1].frames) : rest;
    TouchPages(rest, static_cast<size_t>(next - rest));
  }
  char* const afterBuffers = reinterpret_cast<char*>(mBuffers + kNumVoices);
  TouchPages(afterBuffers, static_cast<size_t>(begin + sizeof *this - afterBuffers));
  mManaged = true;
  publishMemoryNeeds();
  mMemory.map();
  if (mWantedLength != bufferLength()) applyLength(mWantedLength);
}

void EngineCore::setRefillRatio(int nom, int denum)
{
  mRefillRatio = static_cast<double>(nom) / denum;
  updateRefillPeriod();
  recomputeSelections();
}

void EngineCore::updateRefillPeriod()
{
  const double period = std::ceil(2.0 * mRates.samplesPerBeat * mRefillRatio);
  mRefillPeriod = static_cast<int>(std::clamp(period, 1.0, static_cast<double>(INT_MAX)));
}

// Voices play and record the buffers the switch leads to at once, so the
// switch waits until those are mapped (at once while memory is not managed).
void EngineCore::setCommonMode(bool on, int offset)
{
  mCommonWanted = on;
  mCommonPending = mManaged && !commonTargetsMapped(on);
  if (!mCommonPending) applyCommonMode(on, offset);
}

bool EngineCore::commonTargetsMapped(bool on) const
{
  if (on) return mMemory.mapped(mTabs.pickedTab, bufferLength());
  for (int v = 0; v < kNumVoices; ++v)
    if (mVoices[v].started() && !mMemory.mapped(v, bufferLength())) return false;
  return true;
}

void EngineCore::applyCommonMode(bool on, int offset)
{
  if (on)
    for (Voice& v : mVoices)
      if (!v.started()) v.setRefillPending(false);
  mCommonMode = on;
  if (on) mCommonIndex = mTabs.pickedTab;
  if (!on)
  {
    for (int i = 0; i < kNumVoices; ++i)
    {
      Voice& v = mVoices[i];
      v.useBuffer(&mBuffers[i]);
      mBuffers[i].owner = i;
      if (v.started() && mBuffers[i].filled == 0) mBuffers[i].startRefill(offset, i, true);
    }
    return;
  }
  Buffer& common = mBuffers[mCommonIndex];
  if (mTables.activeCount > 0)
  {
    common.owner = mTables.top();
    if (common.filled == 0) common.startRefill(offset, common.owner, true);
  }
  for (Voice& v : mVoices) v.useBuffer(&common);
}

// ---- Selection and playhead -------------------------------------------------

template <typename F>
void EngineCore::forSelectedVoices(F&& f)
{
  if (mTabs.commonSelection)
    for (int i = 0; i < kNumVoices; ++i) f(i);
  else
    f(mTabs.pickedTab);
}

void EngineCore::aimPlayhead(double fraction)
{
  if (fraction <= 0.0) return;
  forSelectedVoices([&](int i) { mVoices[i].aimPlayhead(fraction); });
}

void EngineCore::setSelectionStart(double fraction)
{
  fraction = std::clamp(fraction, 0.0, 1.0);
  forSelectedVoices([&](int i) {
    Voice& v = mVoices[i];
    v.setSelStart(v.bufferLength() * fraction);
    mTabs.selStartFraction[i] = v.playhead().selStart() / v.bufferLength();
    mTabs.selEndFraction[i] = v.playhead().selEnd() / v.bufferLength();
  });
}

void EngineCore::setSelectionEnd(double fraction)
{
  fraction = std::clamp(fraction, 0.0, 1.0);
  forSelectedVoices([&](int i) {
    Voice& v = mVoices[i];
    v.setSelEnd(v.bufferLength() * fraction);
    mTabs.selStartFraction[i] = v.playhead().selStart() / v.bufferLength();
    mTabs.selEndFraction[i] = v.playhead().selEnd() / v.bufferLength();
  });
}

void EngineCore::clearSelection()
{
  forSelectedVoices([&](int i) {
    mTabs.selStartFraction[i] = 0.0;
    mTabs.selEndFraction[i] = 1.0;
  });
}

void EngineCore::recomputeSelections()
{
  for (int i = 0; i < kNumVoices; ++i)
  {
    Voice& v = mVoices[i];
    const double length = v.bufferLength();
    v.setSelStart(length * mTabs.selStartFraction[i]);
    v.setSelEnd(length * mTabs.selEndFraction[i]);
  }
}

void EngineCore::pickBuffer(int tab)
{
  mTabs.pickedTab = std::clamp(tab, 0, kNumVoices - 1);
}

// ---- Pitch --------------------------------------------------------------------

void EngineCore::pitchBend(double bend)
{
  mPitch.bendRatio = mTuning.BendRatio(bend);
  mTables.newBendRatio();
}

void EngineCore::setKeyMeter(int key, int num, int den)
{
  mPitch.keyMeter[key % 12] = static_cast<double>(num) / den;
  for (Voice& v : mVoices) v.setKeyMeterChanged();
  if (mAgcAuto && !mTables.heldNotes.empty()) setGlobalAutoFreq();
}

// ---- Gain control and DC removal ----------------------------------------------

void EngineCore::setGlobalAutoFreq()
{
  const Voice& v = mVoices[mTables.top()];
  const NoteGlide& n = v.notes();
  double hz = 50.0;
  if (n.note() >= 0 && v.grains().mode() == GrainMode::kNote)
    hz = FoldAgcFrequency(n.target() * n.baseLenRatio() * n.bend(), true, 50.0, 500.0);
  else if (n.note() >= 0 && v.grains().mode() == GrainMode::kBeat)
    hz = FoldAgcFrequency(mPitch.keyMeter[PitchClass(n.note())] * n.baseLenRatio() * mRates.tempo / 60.0, false,
                          4.0, 500.0);
  mGlobalAgc.setFrequency(hz);
}

void EngineCore::voiceTookNote(int)
{
  if (mAgcAuto) setGlobalAutoFreq();
}

void EngineCore::setAgcAmount(double amount)
{
  if (mAgcPerVoice)
  {
    for (Voice& v : mVoices) v.setAgcAmount(amount);
    mGlobalAgc.amount = 0.0;
    mGlobalAgc.reset();
    mGlobalAgcOn = false;
    return;
  }
  for (Voice& v : mVoices) v.setAgcAmount(0.0);
  const double old = mGlobalAgc.amount;
  mGlobalAgc.amount = amount;
  if (amount == 0.0) mGlobalAgc.reset();
  mGlobalAgcOn = true;
  if (old == 0.0 && !mTables.heldNotes.empty()) setGlobalAutoFreq();
}

void EngineCore::setAgcHardness(double hardness)
{
  mGlobalAgc.hardness = hardness;
  for (Voice& v : mVoices) v.chain().agc().hardness = hardness;
}

void EngineCore::setAgcAuto(bool on)
{
  mAgcAuto = on;
  for (Voice& v : mVoices)
  {
    v.setAgcAuto(on);
    if (on) v.updateAutoFreq();
  }
  if (!on || mTables.heldNotes.empty())
  {
    mGlobalAgc.setFrequency(mAgcSpeedValue);
    for (Voice& v : mVoices) v.chain().agc().setFrequency(mAgcSpeedValue);
  }
  else
    setGlobalAutoFreq();
}

void EngineCore::setAgcSpeed(double speed)
{
  const bool automatic = speed < 1.0;
  if (automatic != mAgcAuto) setAgcAuto(automatic);
  mAgcSpeedValue = speed;
  mGlobalAgc.setFrequency(speed);
  for (Voice& v : mVoices) v.setAgcSpeed(speed);
}

void EngineCore::setDcRemoval(bool on)
{
  for (Voice& v : mVoices) v.setDcRemoval(mAgcPerVoice && on);
  mGlobalDcOn = !mAgcPerVoice && on;
  mGlobalDc.clear();
}

void EngineCore::setAgcPerVoice(bool perVoice)
{
  mAgcPerVoice = perVoice;
  setDcRemoval(mGlobalDcOn || mVoices[0].chain().dcOn());
  setAgcAmount(std::max(mVoices[0].chain().agc().amount, mGlobalAgc.amount));
}

// ---- Rates ----------------------------------------------------------------------

void EngineCore::resetVoiceStates()
{
  for (Voice& v : mVoices) v.clearStates();
  mGlobalDc.clear();
  mGlobalAgc.reset();
}

void EngineCore::healNonFinite()
{
  if (!IsFinite(mGlobalDc.xPrev) || !IsFinite(mGlobalDc.yPrev)) mGlobalDc.clear();
  if (!mGlobalAgc.finite()) mGlobalAgc.reset();
}

bool EngineCore::setTempo(double bpm)
{
  if (!mRates.SetTempo(bpm)) return false;
  updateRefillPeriod();
  return true;
}

void EngineCore::updateRates()
{
  for (Voice& v : mVoices) v.updateRates();
  mGlobalDc.updatePole();
  mGlobalAgc.setFrequency(mGlobalAgc.frequency);
  mShiver.updateRate();
  setBufferSeconds(mBufferSeconds);
  updateRefillPeriod();
}
