#include "plugin/Vesk.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "plugin/EditorBridge.h"
#include "platform/VeskVendor.h"

#if defined(__SSE__) || defined(_M_X64)
#include <pmmintrin.h>
#include <xmmintrin.h>
#define VESK_HAVE_SSE 1
#endif

namespace {

// Flush-to-zero and denormals-are-zero for one process call; the host's
// mode comes back afterwards.
class DenormalGuard
{
public:
  DenormalGuard()
  {
#ifdef VESK_HAVE_SSE
    mSaved = _mm_getcsr();
    _MM_SET_FLUSH_ZERO_MODE(_MM_FLUSH_ZERO_ON);
    _MM_SET_DENORMALS_ZERO_MODE(_MM_DENORMALS_ZERO_ON);
#endif
  }
  ~DenormalGuard()
  {
#ifdef VESK_HAVE_SSE
    _mm_setcsr(mSaved);
#endif
  }
  DenormalGuard(const DenormalGuard&) = delete;
  DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
  unsigned mSaved = 0;
};

}  // namespace

void* Vesk::operator new(size_t size) noexcept
{
  return std::calloc(1, size);
}

void Vesk::operator delete(void* p)
{
  std::free(p);
}

Vesk::Vesk(const VeskIdentity& identity)
  : IPlugBase(kNumParams, "1-1 64-2", 1, identity.name, "", kVeskMaker, kVeskVersion, identity.uniqueId, 0,
              true, true, identity.instrument),
    mDispatcher(kNumParams)
{
  DefineVeskParams(*this);
  std::fill(std::begin(mAssignedCC), std::end(mAssignedCC), -1);
  std::fill(std::begin(mLearnLo), std::end(mLearnLo), 0.0);
  std::fill(std::begin(mLearnHi), std::end(mLearnHi), 1.0);
  AttachEditor(std::make_unique<EditorBridge>(*this));

  for (int i = 0; i < kNumParams; ++i)
  {
    mAppliedValue[i] = mTargetValue[i] = GetParam(i)->Default();
    mRampStep[i] = 0.0;
    mRamping[i] = 0;
  }

  mDispatcher.NoteOn.Subscribe(&BindMember<&Vesk::noteOn, Vesk, int, double, int>, this);
  mDispatcher.NoteOff.Subscribe(&BindMember<&EngineCore::noteOff, EngineCore, int>, &mCore);
  mDispatcher.AllNotesOff.Subscribe(&BindMember<&EngineCore::clearAll, EngineCore>, &mCore);
  mDispatcher.Pedal.Subscribe(&BindMember<&EngineCore::pedal, EngineCore, int, bool>, &mCore);
  mDispatcher.PitchBend.Subscribe(&BindMember<&EngineCore::pitchBend, EngineCore, double>, &mCore);
  mDispatcher.LearnAssigned.Subscribe(&BindMember<&Vesk::LearnAssigned, Vesk, int, int>, this);
  mDispatcher.LearnedCC.Subscribe(&BindMember<&Vesk::LearnedCC, Vesk, int, int>, this);

  MakeDefaultPreset("default preset", 1);
  RestorePreset(0);
}

Vesk::~Vesk()
{
  memory_helper::Unregister(&mCore.memory());
}

// Changes made off the audio thread that reach more buffers or a longer
// length (a state, a program, a typed value) are mapped here, outside the
// lock, so the audio thread plays on meanwhile.
void Vesk::PrepareMemory()
{
  {
    IMutexLock lock(mMutex);
    mCore.setPickedRequested(GetParam(kRequestPicked)->Bool());
    if (!mCore.publishMemoryNeeds()) return;
  }
  mCore.memory().map();
}

EditorBridge& Vesk::Bridge() const
{
  return *static_cast<EditorBridge*>(Editor());
}

VeskEditor& Vesk::Layout() const
{
  return Bridge().Editor();
}

void Vesk::updateTempo()
{
  mCore.setTempo(GetTempo());
}

void Vesk::updateTempoTracking()
{
  mTempoWanted = static_cast<GrainMode>(GetParam(kPerfMode)->Int()) == GrainMode::kBeat ||
                 static_cast<RefillMode>(GetParam(kRefillMode)->Int()) == RefillMode::kTempo;
}

// The host's tempo is read by the process calls that need it, never here:
// a host may suspend the plug-in while it takes its own side of it apart,
// and its answer to a time request would then come from freed memory.
void Vesk::Reset()
{
  IMutexLock lock(mMutex);
  mCore.resetVoiceStates();
  mCore.setSampleRate(GetSampleRate());
  mCore.setBufferSeconds(GetParam(kBufferSeconds)->Value());
  mCore.updateRates();
  mDispatcher.SizeQueue(GetBlockSize());
  mDispatcher.SetFarAhead(static_cast<int>(std::min(mCore.rates().sampleRate, 1e9)));
}

void Vesk::OnActivate(bool active)
{
  IMutexLock lock(mMutex);
  if (!active)
  {
    mDispatcher.Suspend();
    memory_helper::Unregister(&mCore.memory());
    return;
  }
  // Keys held when the host stopped us will get no note-off we could use:
  // struck again, they must sound.
  mCore.tables().releaseKeysAndPedals();
  mCore.setPickedRequested(GetParam(kRequestPicked)->Bool());
  mCore.manageMemory();
  memory_helper::Register(&mCore.memory());
}

void Vesk::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
  DenormalGuard denormals;
  mRampLength = std::min(nFrames, kMaxRampLength);
  mDispatcher.StartBlock(nFrames);
  if (mTempoWanted) updateTempo();
  mCore.setPickedRequested(GetParam(kRequestPicked)->Bool());
  mCore.startBlock(inputs, nFrames);
  for (int s = 0; s < nFrames;)
  {
    mCurrentSample = s;
    if (mAnyRamping || mDispatcher.NextEventOffset() <= s)
    {
      if (mAnyRamping) stepRamps();
      mDispatcher.Tick();
      mCore.renderFrame(s, &outputs[0][s], &outputs[1][s]);
      ++s;
      continue;
    }
    // Up to the next event nothing changes from outside the voices.
    const int end = std::min(nFrames, mDispatcher.NextEventOffset());
    mCore.renderRun(s, end - s, outputs[0], outputs[1]);
    mDispatcher.Skip(end - s);
    s = end;
  }
  mDispatcher.EndBlock(nFrames);
  mCore.endBlock();
}

intptr_t Vesk::VendorSpecific(int32_t index, intptr_t value, void*, float)
{
  if (index == vesk_vendor::kMemoryPending) return mCore.memory().satisfied() ? 0 : 1;
  if (index != vesk_vendor::kSeedRandom) return 0;
  mCore.random().seed(static_cast<uint32_t>(value));
  return 1;
}

void Vesk::ProcessMidiMsg(IMidiMsg* msg)
{
  if (msg) mDispatcher.Intake(MidiEvent{msg->mOffset, msg->mStatus, msg->mData1, msg->mData2});
}

// "request picked buf" is consumed by the next note, voice limit or mode
// change: its switch goes back to off and the picked voice is reserved.
void Vesk::consumeVoiceRequest()
{
  IParam* request = GetParam(kRequestPicked);
  if (!request->Bool()) return;
  setParamFromPlug(kRequestPicked, 0.0);
  VoiceTables& tables = mCore.tables();
  tables.requestedVoice = mCore.tabs().pickedTab;
  tables.requestVoice(tables.requestedVoice);
}

void Vesk::noteOn(int note, double velocity, int offset)
{
  consumeVoiceRequest();
  mCore.noteOn(note, velocity, offset);
}

// Sets a parameter from the plug-in side: the value, its smoothing entries
// and the host's view of it, without running its effect again.
void Vesk::setParamFromPlug(int idx, double v)
{
  IParam* param = GetParam(idx);
  param->Set(v);
  mTargetValue[idx] = mAppliedValue[idx] = param->Value();
  InformHostOfParamChange(idx, param->GetNormalized());
  MarkParamForEditor(idx);
}

void Vesk::syncUseForParams()
{
  const int picked = mCore.tabs().pickedTab;
  for (int k = 0; k < kNumKeys; ++k)
    setParamFromPlug(UseForParam(k), mCore.tables().isUsedFor(k, picked) ? 1.0 : 0.0);
}

void Vesk::pickBuffer(int tab)
{
  if (tab == mCore.tabs().pickedTab) return;
  mCore.pickBuffer(tab);
  syncUseForParams();
  // The selection parameters are the picked buffer's, except while a state
  // brings its own.
  if (mRestoring) return;
  const int picked = mCore.tabs().pickedTab;
  setParamFromPlug(kSelStart, mCore.tabs().selStartFraction[picked]);
  setParamFromPlug(kSelEnd, mCore.tabs().selEndFraction[picked]);
}

void Vesk::OnParamChange(int idx)
{
  IMutexLock lock(mMutex);
  IParam* param = GetParam(idx);
  if (!param) return;
  const double v = param->Value();
  if (mParamsLoaded && mTargetValue[idx] == v) return;
  mTargetValue[idx] = v;

  const ParamRow& row = VeskParam(idx);
  if (!row.Smoothed())
  {
    if (row.apply) row.apply(*this, idx, v);
    mAppliedValue[idx] = v;
    return;
  }
  if (!mParamsLoaded)
  {
    mTargetValue[idx] = mAppliedValue[idx] = v;
    applySmoothed(idx);
    return;
  }
  if (mAppliedValue[idx] == v) return;
  const double d = (v - mAppliedValue[idx]) / mRampLength;
  if (std::fabs(d) > 1e-10)
  {
    mRamping[idx] = 1;
    mAnyRamping = 1;
    mRampStep[idx] = d;
    return;
  }
  mAppliedValue[idx] = v;
  applySmoothed(idx);
}

void Vesk::stepRamps()
{
  for (int i = 0; i < kNumParams; ++i)
  {
    if (!mRamping[i]) continue;
    mAppliedValue[i] += mRampStep[i];
    if ((mTargetValue[i] - mAppliedValue[i]) * mRampStep[i] <= 1e-10)
    {
      mAppliedValue[i] = mTargetValue[i];
      mRampStep[i] = 0.0;
      mRamping[i] = 0;
      mAnyRamping = std::any_of(std::begin(mRamping), std::end(mRamping), [](uint8_t r) { return r != 0; });
    }
    applySmoothed(i);
  }
}

void Vesk::applySmoothed(int idx)
{
  if (const ParamRow::Apply apply = VeskParam(idx).apply) apply(*this, idx, mAppliedValue[idx]);
}

// The tab view resets the selection and sets both selection parameters,
// which apply the new range to the voices.
void Vesk::clearSelection()
{
  mCore.clearSelection();
  for (auto [param, value] : {std::pair{kSelStart, 0.0}, std::pair{kSelEnd, 1.0}})
  {
    GetParam(param)->Set(value);
    InformHostOfParamChange(param, GetParam(param)->GetNormalized());
    OnParamChange(param);
    MarkParamForEditor(param);
  }
}

double Vesk::valueForVoice(int idx, int voiceIdx) const
{
  if (idx < 0 || idx >= kNumParams || voiceIdx < 0 || voiceIdx >= kNumVoices) return 0.0;
  const ParamRow::VoiceValue value = VeskParam(idx).voiceValue;
  return value ? value(mCore.voice(voiceIdx), mCore.rates()) : 0.0;
}

bool Vesk::IsExcludedFromLearn(int idx) const
{
  return idx < 0 || idx >= kNumParams || !VeskParam(idx).learnable;
}

// Raised on the audio thread as well: only the number is kept; the menus
// read it when they open.
void Vesk::LearnAssigned(int paramIdx, int controller)
{
  if (paramIdx >= 0 && paramIdx < kNumParams) mAssignedCC[paramIdx] = controller;
}

// A learned controller sets its parameter at the sample it arrives, as the
// editor's control would: the host hears of it and the control shows it.
void Vesk::LearnedCC(int paramIdx, int value)
{
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  const double lo = mLearnLo[paramIdx], hi = mLearnHi[paramIdx];
  const double v = std::clamp(lo + (hi - lo) * (value / 127.0), std::min(lo, hi), std::max(lo, hi));
  if (v == param->GetNormalized()) return;
  SetParameterFromGUI(paramIdx, v);
  MarkParamForEditor(paramIdx);
}

void Vesk::SetLearnRange(int paramIdx, double lo, double hi)
{
  IMutexLock lock(mMutex);
  if (paramIdx < 0 || paramIdx >= kNumParams) return;
  mLearnLo[paramIdx] = lo;
  mLearnHi[paramIdx] = hi;
}

void Vesk::ArmLearn(int paramIdx)
{
  IMutexLock lock(mMutex);
  mDispatcher.ArmLearn(paramIdx);
}

void Vesk::Forget(int paramIdx)
{
  IMutexLock lock(mMutex);
  mDispatcher.Forget(paramIdx);
  mDispatcher.LearnAssigned(paramIdx, -1);
}

void Vesk::EraseMidiMap()
{
  IMutexLock lock(mMutex);
  for (int p = 0; p < kNumParams; ++p)
    if (!IsExcludedFromLearn(p)) Forget(p);
}

// Per-voice values in parameter units, as the parameters hold them.
void Vesk::SetAllToCurrent()
{
  IMutexLock lock(mMutex);
  const uint8_t pickedOnly = mPickedVoiceOnly;
  mPickedVoiceOnly = mParamsLoaded = 0;
  const int voice = mCore.tabs().pickedTab;
  for (int idx : PerVoiceParams())
  {
    IParam* param = GetParam(idx);
    param->Set(std::clamp(valueForVoice(idx, voice), param->Min(), param->Max()));
  }
  for (int idx : PerVoiceParams())
  {
    const IParam* param = GetParam(idx);
    InformHostOfParamChange(idx, param->GetNormalized());
    OnParamChange(idx);
    MarkParamForEditor(idx);
  }
  mParamsLoaded = 1;
  mPickedVoiceOnly = pickedOnly;
}

// ---- What the editor asks ---------------------------------------------------------

void Vesk::setUseForParams(double v)
{
  for (int k = 0; k < kNumKeys; ++k)
  {
    setParamFromPlug(UseForParam(k), v);
    mTargetValue[UseForParam(k)] = -1.0;  // the next change applies even when equal
  }
}

void Vesk::UseForPickedBuffer(bool on)
{
  IMutexLock lock(mMutex);
  mCore.tables().setPickedColumn(mCore.tabs().pickedTab, on);
  syncUseForParams();
  for (int k = 0; k < kNumKeys; ++k) mTargetValue[UseForParam(k)] = -1.0;
}

void Vesk::UseForKey(int key, bool on)
{
  IMutexLock lock(mMutex);
  if (key < 0 || key >= kNumKeys) return;
  mCore.tables().setKeyRow(key, on);
  setParamFromPlug(UseForParam(key), on ? 1.0 : 0.0);
  mTargetValue[UseForParam(key)] = -1.0;
}

void Vesk::ResetUseFor()
{
  IMutexLock lock(mMutex);
  mCore.tables().resetUseFor();
  setUseForParams(1.0);
}

void Vesk::SetShowLabels(bool on)
{
  IMutexLock lock(mMutex);
  mShowLabels = on;
}

void Vesk::SetDropOnMouseUp(bool on)
{
  IMutexLock lock(mMutex);
  mDropOnMouseUp = on;
}
