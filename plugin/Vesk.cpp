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

const char kMakerName[] = "Vesk Audio";

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

bool IsMomentaryOn(double v) { return v >= 0.5; }

}  // namespace

void* Vesk::operator new(size_t size) noexcept
{
  return std::calloc(1, size);
}

void Vesk::operator delete(void* p)
{
  std::free(p);
}

Vesk::Vesk(vst2::HostCallback hostCallback)
  : IPlugVST(hostCallback, kNumParams, "1-1 64-2", 1, "Vesk", "", kMakerName, PackVersion(1, 0, 0),
             vst2::FourCC('V', 'e', 's', 'k'), 0, true, true, false),
    mDispatcher(kNumParams)
{
  DefineVeskParams(*this);
  for (int idx : {kShowTooltips, kBufMinVisible, kBufMaxVisible}) mExcludedFromLearn[idx] = true;
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

Vesk::~Vesk() = default;

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
  mTempoWanted = GetParam(kPerfMode)->Int() == 1 || GetParam(kRefillMode)->Int() == 3;
}

void Vesk::Reset()
{
  IMutexLock lock(mMutex);
  updateTempo();
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
  if (!active) mDispatcher.Suspend();
}

void Vesk::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
  DenormalGuard denormals;
  mRampLength = std::min(nFrames, kMaxRampLength);
  mDispatcher.StartBlock(nFrames);
  if (mTempoWanted) updateTempo();
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

  if (!IsSmoothedParam(idx) && idx != kRequestPicked)
  {
    applyImmediate(idx, v);
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

static double LimitPlayRate(double rate)
{
  if (rate >= 0.0 && rate < 0.01) return 0.01;
  if (rate < 0.0 && rate > -0.01) return -0.01;
  return rate;
}

void Vesk::applySmoothed(int idx)
{
  const double v = mAppliedValue[idx];
  const double sr = mCore.rates().sampleRate;
  switch (idx)
  {
    case kPlayRate: forEachVoice([r = LimitPlayRate(v)](Voice& voice) { voice.setPlayRate(r); }); break;
    case kWobbleAmount: mCore.shiver().setAmount(v); break;
    case kErrorInt: forEachVoice([v](Voice& voice) { voice.errorInt = v; }); break;
    case kErrorExt: forEachVoice([v](Voice& voice) { voice.errorExt = v; }); break;
    case kOverlap: forEachVoice([v](Voice& voice) { voice.setOverlap(v); }); break;
    case kEnvS: forEachVoice([v, sr](Voice& voice) { voice.ampEnv.setStageValue(Envelope::kSustain, v, sr); }); break;
    case kFltEnvS:
      forEachVoice([v](Voice& voice) { voice.filter.setStageValue(Envelope::kSustain, v, voice.active); });
      break;
    case kFltFreq: forEachVoice([v](Voice& voice) { voice.filter.setBaseFreq(v, voice.active); }); break;
    case kFltQ: forEachVoice([v](Voice& voice) { voice.filter.setResonance(v, voice.active); }); break;
    case kFltEnvDepth: forEachVoice([v](Voice& voice) { voice.filter.setEnvDepth(v); }); break;
    case kAgcAmount: mCore.setAgcAmount(v); break;
    case kAgcHardness: mCore.setAgcHardness(v); break;
    case kAgcSpeed: mCore.setAgcSpeed(v); break;
    case kMix: mCore.setMix(v); break;
    case kAmp: mCore.setAmp(v); break;
    default: break;
  }
}

static int EnvelopeStageOf(int idx)
{
  switch (idx)
  {
    case kEnvA:
    case kFltEnvA: return Envelope::kAttack;
    case kEnvD:
    case kFltEnvD: return Envelope::kDecay;
    default: return Envelope::kRelease;
  }
}

void Vesk::applyImmediate(int idx, double v)
{
  const bool on = v != 0.0;
  const int n = static_cast<int>(v);
  const int offset = mCurrentSample;
  const double sr = mCore.rates().sampleRate;
  VoiceTables& tables = mCore.tables();
  if (idx >= kBeatNumC && idx < kExtrudeInput)
  {
    const int key = (idx - kBeatNumC) / 2;
    mCore.setKeyMeter(key, GetParam(BeatNumParam(key))->Int(), GetParam(BeatDenParam(key))->Int());
    return;
  }
  if (idx >= kUseForC && idx < kUseForC + kNumKeys)
  {
    tables.useFor[idx - kUseForC][mCore.tabs().pickedTab] = on;
    return;
  }
  switch (idx)
  {
    case kPerfMode:
      forEachVoice([n](Voice& voice) { voice.setGrainMode(n); });
      updateTempoTracking();
      break;
    case kRefillMode:
      forEachVoice([n](Voice& voice) { voice.refillMode = n; });
      mCore.recomputeSelections();
      updateTempoTracking();
      break;
    case kRefillDenum:
    case kRefillNom: mCore.setRefillRatio(GetParam(kRefillNom)->Int(), GetParam(kRefillDenum)->Int()); break;
    case kRefillAll:
      if (IsMomentaryOn(v)) mCore.refillAll(offset);
      break;
    case kRefillThis:
      if (IsMomentaryOn(v)) mCore.refillThis(offset, mCore.tabs().pickedTab);
      break;
    case kBaseLenDenum:
    case kBaseLenNom:
    {
      const int nom = GetParam(kBaseLenNom)->Int(), den = GetParam(kBaseLenDenum)->Int();
      forEachVoice([nom, den](Voice& voice) { voice.setBaseLen(nom, den); });
      break;
    }
    case kWobbleFreq: mCore.shiver().setFrequency(v); break;
    case kWobbleInternal: forEachVoice([on](Voice& voice) { voice.wobbleInternal = on; }); break;
    case kWobbleExternal: forEachVoice([on](Voice& voice) { voice.wobbleExternal = on; }); break;
    case kWobbleSync: mCore.shiver().setSync(on); break;
    case kStep: forEachVoice([v](Voice& voice) { voice.step = v; }); break;
    case kStepByLen: forEachVoice([on](Voice& voice) { voice.stepByLen = on; }); break;
    case kStepByRepeat: forEachVoice([on](Voice& voice) { voice.stepByRepeat = on; }); break;
    case kStepByRate: forEachVoice([on](Voice& voice) { voice.stepByRate = on; }); break;
    case kRepeat: forEachVoice([n](Voice& voice) { voice.setRepeat(n); }); break;
    case kPreservePos: forEachVoice([on](Voice& voice) { voice.preservePos = on; }); break;
    case kReturnPlayhead: forEachVoice([on](Voice& voice) { voice.returnPlayhead = on; }); break;
    case kWrapMirror: forEachVoice([on](Voice& voice) { voice.setMirror(on); }); break;
    case kPlayheadPos: mCore.aimPlayhead(v); break;
    case kPlayheadGlide:
    {
      const int samples = std::max(1, static_cast<int>(sr * v));
      forEachVoice([samples](Voice& voice) { voice.setPhGlideSamples(samples); });
      break;
    }
    case kSelStart: mCore.setSelectionStart(v); break;
    case kSelEnd: mCore.setSelectionEnd(v); break;
    case kClearSel:
      if (IsMomentaryOn(v)) clearSelection();
      break;
    case kSelectAll: mCore.tabs().commonSelection = on; break;
    case kBufferSeconds: mCore.setBufferSeconds(v); break;
    case kCommonBuf: mCore.setCommonMode(on, offset); break;
    case kPickedBuf: pickBuffer(n - 1); break;
    case kWindowType: forEachVoice([n](Voice& voice) { voice.windowType = n; }); break;
    case kGapProb: forEachVoice([n](Voice& voice) { voice.gapProbability = n; }); break;
    case kGapStereo: forEachVoice([on](Voice& voice) { voice.gapStereo = on; }); break;
    case kGapFill: forEachVoice([on](Voice& voice) { voice.gapFill = on; }); break;
    case kEnvA:
    case kEnvD:
    case kEnvR:
      forEachVoice([stage = EnvelopeStageOf(idx), v, sr](Voice& voice) { voice.ampEnv.setStageValue(stage, v, sr); });
      break;
    case kRearticulateFwd: tables.rearticulateFwd = on; break;
    case kRearticulateBack: tables.rearticulateBack = on; break;
    case kFltEnvA:
    case kFltEnvD:
    case kFltEnvR:
      forEachVoice([stage = EnvelopeStageOf(idx), v](Voice& voice) {
        voice.filter.setStageValue(stage, v, voice.active);
      });
      break;
    case kFltOn: forEachVoice([on](Voice& voice) { voice.filter.setEnabled(on, voice.ampEnv); }); break;
    case kFltType: forEachVoice([n](Voice& voice) { voice.filter.setPassType(n); }); break;
    case kFltFollowNote: forEachVoice([on](Voice& voice) { voice.filter.setFollowNote(on, voice.active); }); break;
    case kFltShift: forEachVoice([n](Voice& voice) { voice.filter.setHarmonic(n + 1, voice.active); }); break;
    case kFltPropRate:
      forEachVoice([n](Voice& voice) { voice.filter.setTrackPlayRate(n == 1, voice.active); });
      break;
    case kAgcPerVoice: mCore.setAgcPerVoice(on); break;
    case kDcRemoval: mCore.setDcRemoval(on); break;
    case kActiveVoices:
      consumeVoiceRequest();
      tables.setMaxActive(n);
      mDispatcher.SetNoteOnLimit(n);
      break;
    case kPolyMono:
      consumeVoiceRequest();
      tables.setMode(n);
      break;
    case kGlide: tables.setGlideSeconds(v); break;
    case kGlideHead: tables.glideHead = on; break;
    case kGlideInRelease: tables.glideInRelease = on; break;
    case kExtrudeInput: mCore.setExtrudeInput(on); break;
    case kMidiPanic:
      if (IsMomentaryOn(v)) mCore.clearAll();
      break;
    case kShowTooltips:  // the editor's own: it shows the parameters' values
    case kBufMinVisible:
    case kBufMaxVisible: break;
    case kPerBufInput: mCore.setPerBufInput(on); break;
    default: break;  // "flt model" and " " have no effect
  }
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
  if (voiceIdx < 0 || voiceIdx >= kNumVoices) return 0.0;
  const Voice& v = mCore.voice(voiceIdx);
  switch (idx)
  {
    case kPerfMode: return v.grainMode;
    case kRefillMode: return v.refillMode;
    case kBaseLenNom: return v.baseLenNom;
    case kBaseLenDenum: return v.baseLenDenum;
    case kPlayRate: return v.playRate;
    case kWobbleInternal: return v.wobbleInternal;
    case kWobbleExternal: return v.wobbleExternal;
    case kStep: return v.step;
    case kStepByLen: return v.stepByLen;
    case kStepByRepeat: return v.stepByRepeat;
    case kStepByRate: return v.stepByRate;
    case kRepeat: return v.repeat;
    case kErrorInt: return v.errorInt;
    case kErrorExt: return v.errorExt;
    case kPreservePos: return v.preservePos;
    case kReturnPlayhead: return v.returnPlayhead;
    case kWrapMirror: return v.mirror;
    case kPlayheadGlide: return v.phGlideSamples * mCore.rates().invSampleRate;
    case kOverlap: return v.overlap;
    case kWindowType: return v.windowType;
    case kGapProb: return v.gapProbability;
    case kGapStereo: return v.gapStereo;
    case kGapFill: return v.gapFill;
    case kEnvA: return v.ampEnv.stageValues[Envelope::kAttack];
    case kEnvD: return v.ampEnv.stageValues[Envelope::kDecay];
    case kEnvS: return v.ampEnv.stageValues[Envelope::kSustain];
    case kEnvR: return v.ampEnv.stageValues[Envelope::kRelease];
    case kFltEnvA: return v.filter.stageTimes[Envelope::kAttack];
    case kFltEnvD: return v.filter.stageTimes[Envelope::kDecay];
    case kFltEnvS: return v.filter.stageTimes[Envelope::kSustain];
    case kFltEnvR: return v.filter.stageTimes[Envelope::kRelease];
    case kFltOn: return v.filter.enabled;
    case kFltType: return v.filter.section.passType;
    case kFltFreq: return v.filter.baseFreq;
    case kFltQ: return v.filter.resonance;
    case kFltFollowNote: return v.filter.followNote;
    case kFltShift: return v.filter.harmonic - 1.0;
    case kFltEnvDepth: return v.filter.envDepth;
    case kFltPropRate: return v.filter.trackPlayRate;
    case kAgcAmount: return v.agc.amount;
    case kAgcHardness: return v.agc.hardness;
    case kAgcSpeed: return v.agcSpeed;
    case kDcRemoval: return v.dcOn;
    default: return 0.0;
  }
}

bool Vesk::IsExcludedFromLearn(int idx) const
{
  return idx < 0 || idx >= kNumParams || mExcludedFromLearn[idx];
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
  for (int idx : kPerVoiceParams)
  {
    IParam* param = GetParam(idx);
    const double v = std::clamp(valueForVoice(idx, voice), param->Min(), param->Max());
    param->Set(v);
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
