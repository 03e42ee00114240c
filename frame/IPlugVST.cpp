#include "frame/IPlugVST.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>


using namespace vst2;

IPlugVST::IPlugVST(HostCallback hostCallback, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                   int uniqueID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
  : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID,
              latency, plugDoesMidi, plugDoesChunks, plugIsInst),
    mHostCallback(hostCallback)
{
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = &VSTDispatcher;
  mAEffect.process = &VSTProcess;
  mAEffect.processReplacing = &VSTProcessReplacing;
  mAEffect.processDoubleReplacing = &VSTProcessDoubleReplacing;
  mAEffect.setParameter = &VSTSetParameter;
  mAEffect.getParameter = &VSTGetParameter;
  mAEffect.numPrograms = NPresets();
  mAEffect.numParams = nParams;
  mAEffect.numInputs = NInChannels();
  mAEffect.numOutputs = NOutChannels();
  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (plugDoesChunks) mAEffect.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
  if (plugIsInst) mAEffect.flags |= effFlagsIsSynth;
  mAEffect.initialDelay = latency;
  mAEffect.ioRatio = 1.0f;
  mAEffect.object = this;
  mAEffect.uniqueID = uniqueID;
  mAEffect.version = GetEffectVersion(true);

  SetArrangementType(&mInputSpkr, NInChannels());
  SetArrangementType(&mOutputSpkr, NOutChannels());
  SetInputChannelConnections(0, NInChannels(), true);
  SetOutputChannelConnections(0, NOutChannels(), true);
  SetBlockSize(1024);
}

intptr_t IPlugVST::CallHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  return mHostCallback ? mHostCallback(&mAEffect, opcode, index, value, ptr, opt) : 0;
}

VstTimeInfo* IPlugVST::GetTimeInfo(int32_t flags)
{
  return reinterpret_cast<VstTimeInfo*>(CallHost(audioMasterGetTime, 0, flags));
}

void IPlugVST::BeginInformHostOfParamChange(int paramIdx)
{
  CallHost(audioMasterBeginEdit, paramIdx);
}

void IPlugVST::InformHostOfParamChange(int paramIdx, double normalizedValue)
{
  CallHost(audioMasterAutomate, paramIdx, 0, nullptr, static_cast<float>(normalizedValue));
}

void IPlugVST::EndInformHostOfParamChange(int paramIdx)
{
  CallHost(audioMasterEndEdit, paramIdx);
}

void IPlugVST::InformHostOfProgramChange()
{
  CallHost(audioMasterUpdateDisplay);
}

bool IPlugVST::IsRenderingOffline()
{
  return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

int IPlugVST::GetSamplePos()
{
  const VstTimeInfo* info = GetTimeInfo(0);
  return info && info->samplePos >= 0.0 ? static_cast<int>(info->samplePos + 0.5) : 0;
}

double IPlugVST::GetTempo()
{
  const VstTimeInfo* info = GetTimeInfo(kVstTempoValid);
  return info && (info->flags & kVstTempoValid) && info->tempo >= 0.0 ? info->tempo : 0.0;
}

void IPlugVST::GetTimeSig(int* numerator, int* denominator)
{
  *numerator = *denominator = 0;
  const VstTimeInfo* info = GetTimeInfo(kVstTimeSigValid);
  if (info && (info->flags & kVstTimeSigValid) && info->timeSigNumerator >= 0 && info->timeSigDenominator >= 0)
  {
    *numerator = info->timeSigNumerator;
    *denominator = info->timeSigDenominator;
  }
}

void IPlugVST::GetTime(ITimeInfo* timeInfo)
{
  const int32_t wanted = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
  const VstTimeInfo* info = GetTimeInfo(wanted);
  if (!info || !(info->flags & wanted)) return;
  timeInfo->mSamplePos = info->samplePos;
  if ((info->flags & kVstPpqPosValid) && info->ppqPos >= 0.0) timeInfo->mPPQPos = info->ppqPos;
  if ((info->flags & kVstTempoValid) && info->tempo > 0.0) timeInfo->mTempo = info->tempo;
  if ((info->flags & kVstBarsValid) && info->barStartPos >= 0.0) timeInfo->mLastBar = info->barStartPos;
  if ((info->flags & kVstCyclePosValid) && info->cycleStartPos >= 0.0 && info->cycleEndPos >= 0.0)
  {
    timeInfo->mCycleStart = info->cycleStartPos;
    timeInfo->mCycleEnd = info->cycleEndPos;
  }
  if ((info->flags & kVstTimeSigValid) && info->timeSigNumerator > 0 && info->timeSigDenominator > 0)
  {
    timeInfo->mNumerator = info->timeSigNumerator;
    timeInfo->mDenominator = info->timeSigDenominator;
  }
  timeInfo->mTransportIsRunning = (info->flags & kVstTransportPlaying) != 0;
  timeInfo->mTransportLoopEnabled = (info->flags & kVstTransportCycleActive) != 0;
}

int LookUpHost(const char* productString)
{
  static const struct { const char* key; int code; } kHosts[] = {
    {"cubase", 3},      {"reaper", 1},     {"nuendo", 4},     {"cakewalk", 5},
    {"samplitude", 8},  {"fruity", 7},     {"live", 9},       {"melodyne", 12},
    {"vstmanlib", 13},  {"aulab", 14},     {"garageband", 22}, {"forte", 15},
    {"chainer", 16},    {"audition", 17},  {"orion", 18},     {"sawstudio", 20},
    {"logic", 21},      {"digital", 23},   {"audiomulch", 25}, {"presonus", 26},
    {"vst3plugintesthost", 27}, {"protools", 2}, {"ardour", 28}, {"openmpt", 30},
    {"renoise", 29},    {"standalone", 24},
  };
  char lower[256] = {};
  for (size_t i = 0; productString && productString[i] && i < sizeof lower - 1; ++i)
    lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(productString[i])));
  for (const auto& host : kHosts)
    if (std::strstr(lower, host.key)) return host.code;
  return 0;
}

int IPlugVST::GetHost()
{
  if (mHost != -1) return mHost;
  char product[kVstMaxProductStrLen + 1] = {};
  CallHost(audioMasterGetProductString, 0, 0, product);
  product[kVstMaxProductStrLen] = '\0';
  if (!product[0]) return mHost;
  const int decimal = static_cast<int>(CallHost(audioMasterGetVendorVersion));
  mHostVersion = PackVersion(decimal / 10000, (decimal / 100) % 100, decimal % 100);
  mHost = LookUpHost(product);
  return mHost;
}

bool IPlugVST::SendMidiMsg(IMidiMsg* msg)
{
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof event;
  event.deltaFrames = msg->mOffset;
  event.midiData[0] = static_cast<char>(msg->mStatus);
  event.midiData[1] = static_cast<char>(msg->mData1);
  event.midiData[2] = static_cast<char>(msg->mData2);
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPlugVST::SendSysEx(ISysEx* msg)
{
  VstMidiSysexEvent event{};
  event.type = kVstSysExType;
  event.byteSize = sizeof event;
  event.deltaFrames = msg->mOffset;
  event.dumpBytes = msg->mSize;
  event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(msg->mData));
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

// ---- Host-facing setup ----------------------------------------------------

void IPlugVST::SetArrangementType(VstSpeakerArrangement* arrangement, int channels)
{
  arrangement->numChannels = channels;
  arrangement->type = channels == 0   ? kSpeakerArrEmpty
                      : channels == 1 ? kSpeakerArrMono
                      : channels == 2 ? kSpeakerArrStereo
                                      : kSpeakerArrUserDefined;
}

void IPlugVST::HostSpecificInit()
{
  if (mHostSpecificInitDone) return;
  mHostSpecificInitDone = true;
  const int host = GetHost();
  // Hosts known to offer only stereo pins: forte, audition, orion, sawstudio.
  if (host == 15 || host == 17 || host == 18 || host == 20) LimitToStereoIO();
  mAEffect.numInputs = mInputSpkr.numChannels = NInChannels();
  mAEffect.numOutputs = mOutputSpkr.numChannels = NOutChannels();
  OnHostIdentified();
}

void IPlugVST::AttachEditor(std::unique_ptr<IEditorLink> editor)
{
  IPlugBase::AttachEditor(std::move(editor));
  if (!Editor()) return;
  mAEffect.flags |= effFlagsHasEditor;
  mEditRect = {0, 0, static_cast<int16_t>(Editor()->Height()), static_cast<int16_t>(Editor()->Width())};
}

void IPlugVST::ResizeGraphics(int w, int h)
{
  if (!Editor()) return;
  mEditRect = {0, 0, static_cast<int16_t>(h), static_cast<int16_t>(w)};
  OnWindowResize();
}

void IPlugVST::SetLatency(int samples)
{
  mAEffect.initialDelay = samples;
  IPlugBase::SetLatency(samples);
}

// ---- Callbacks ----------------------------------------------------------------

static IPlugVST* PlugOf(AEffect* effect)
{
  return effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
}

intptr_t IPlugVST::VSTDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return 0;
  // The editor takes the lock itself, only while it picks up what changed,
  // so its drawing never holds up the audio thread.
  if (opcode == effEditIdle || opcode == effIdle)
  {
    if (plug->Editor()) plug->Editor()->Idle();
    return 0;
  }
  if (opcode == effClose)
  {
    delete plug;
    return 0;
  }
  // Nothing may leave a C callback by exception: a failure is a 0 answer.
  try
  {
    IMutexLock lock(plug->mMutex);
    return plug->Dispatch(opcode, index, value, ptr, opt);
  }
  catch (...)
  {
    return 0;
  }
}

float IPlugVST::VSTGetParameter(AEffect* effect, int32_t index)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return 0.0f;
  IMutexLock lock(plug->mMutex);
  const IParam* param = plug->GetParam(index);
  return param ? static_cast<float>(param->GetNormalized()) : 0.0f;
}

void IPlugVST::VSTSetParameter(AEffect* effect, int32_t index, float value)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return;
  IMutexLock lock(plug->mMutex);
  IParam* param = plug->GetParam(index);
  if (!param || std::isnan(value)) return;
  param->SetNormalized(value);
  plug->OnParamChange(index);
  plug->MarkParamForEditor(index);
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, int32_t frames)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug || frames <= 0) return;
  IMutexLock lock(plug->mMutex);
  plug->ProcessDouble(inputs, outputs, frames);
}

void IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug || frames <= 0) return;
  IMutexLock lock(plug->mMutex);
  plug->ProcessFloat(inputs, outputs, frames, false);
}

void IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, int32_t frames)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug || frames <= 0) return;
  IMutexLock lock(plug->mMutex);
  plug->ProcessFloat(inputs, outputs, frames, true);
}

// A host may hand over more frames than the block size it announced; the
// block is then processed in pieces the scratch buffers can hold. `connect`
// points the slots at a piece, `collect` takes its output.
template <typename Connect, typename Collect>
void IPlugVST::ProcessInPieces(int frames, Connect&& connect, Collect&& collect)
{
  if (DoesMIDI()) CallHost(audioMasterWantMidi);
  const int size = std::max(1, GetBlockSize());
  for (int done = 0; done < frames; done += size)
  {
    const int n = std::min(size, frames - done);
    connect(done, n);
    ProcessDoubleReplacing(mInData.data(), mOutData.data(), n);
    collect(n);
  }
}

void IPlugVST::ProcessDouble(double** inputs, double** outputs, int frames)
{
  auto connect = [&](int done, int) {
    int host = 0;
    for (auto& channel : mInChannels)
      if (channel->mConnected) *channel->mSrc = inputs[host++] + done;
    host = 0;
    for (auto& channel : mOutChannels)
      if (channel->mConnected) *channel->mDest = outputs[host++] + done;
  };
  ProcessInPieces(frames, connect, [](int) {});
}

void IPlugVST::ProcessFloat(float** inputs, float** outputs, int frames, bool accumulate)
{
  auto connect = [&](int done, int n) {
    int host = 0;
    for (auto& channel : mInChannels)
    {
      if (!channel->mConnected) continue;
      const float* in = inputs[host++] + done;
      for (int s = 0; s < n; ++s) channel->mScratchBuf[static_cast<size_t>(s)] = in[s];
      *channel->mSrc = channel->mScratchBuf.data();
    }
    host = 0;
    for (auto& channel : mOutChannels)
    {
      if (!channel->mConnected) continue;
      channel->mFDest = outputs[host++] + done;
      *channel->mDest = channel->mScratchBuf.data();
    }
  };
  auto collect = [&](int n) {
    for (auto& channel : mOutChannels)
    {
      if (!channel->mConnected) continue;
      const double* out = channel->mScratchBuf.data();
      for (int s = 0; s < n; ++s)
        channel->mFDest[s] = accumulate ? channel->mFDest[s] + static_cast<float>(out[s]) : static_cast<float>(out[s]);
    }
  };
  ProcessInPieces(frames, connect, collect);
}

// ---- Dispatcher -------------------------------------------------------------------

namespace {
// Text sizes: names, labels and displays get the extended 32 bytes hosts
// provide in practice, the rest the sizes the interface documents.
constexpr size_t kParamTextSize = 32;

void CopyOut(void* ptr, size_t size, const char* text)
{
  if (ptr) CopyText(static_cast<char*>(ptr), size, text);
}

bool CanDo(const char* what, bool doesMidi, intptr_t* answer)
{
  static const char* const kMidi[] = {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent"};
  if (std::strcmp(what, "receiveVstTimeInfo") == 0) return (*answer = 1), true;
  for (const char* m : kMidi)
    if (doesMidi && std::strcmp(what, m) == 0) return (*answer = 1), true;
  if (std::strcmp(what, "hasCockosExtensions") == 0 || std::strcmp(what, "hasCockosViewAsConfig") == 0)
    return (*answer = static_cast<intptr_t>(0xBEEF0000)), true;
  return false;
}
}  // namespace

intptr_t IPlugVST::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  IParam* param = GetParam(index);
  switch (opcode)
  {
    case effOpen:
      HostSpecificInit();
      OnParamReset();
      return 0;
    case effSetProgram:
      if (!DoesStateChunks()) ModifyCurrentPreset();
      RestorePreset(static_cast<int>(value));
      return 0;
    case effGetProgram: return GetCurrentPresetIdx();
    case effSetProgramName:
      if (ptr)
      {
        char name[kVstMaxProgNameLen + 1];
        CopyText(name, sizeof name, static_cast<const char*>(ptr));
        ModifyCurrentPreset(name);
        PresetsChangedByHost();
      }
      return 0;
    case effGetProgramName: CopyOut(ptr, kVstMaxProgNameLen + 1, GetPresetName(GetCurrentPresetIdx())); return 0;
    case effGetParamLabel:
      if (param) CopyOut(ptr, kParamTextSize, param->GetLabelForHost());
      return 0;
    case effGetParamDisplay:
      if (param && ptr) param->GetDisplayForHost(static_cast<char*>(ptr), kParamTextSize);
      return 0;
    case effGetParamName:
      if (param) CopyOut(ptr, kParamTextSize, param->GetNameForHost());
      return 0;
    case effSetSampleRate:
      if (opt > 0.0f) SetSampleRate(opt);
      Reset();
      return 0;
    case effSetBlockSize:
      if (value > 0 && value <= (1 << 20)) SetBlockSize(static_cast<int>(value));
      Reset();
      return 0;
    case effMainsChanged:
      OnActivate(value != 0);
      if (value == 0) Reset();
      return 0;
    case effEditGetRect:
      if (!ptr || !Editor()) return 0;
      *static_cast<ERect**>(ptr) = &mEditRect;
      return 1;
    case effEditOpen:
      if (!Editor() || !Editor()->Open(ptr)) return 0;
      OnGUIOpen();
      return 1;
    case effEditClose:
      if (!Editor()) return 0;
      OnGUIClose();
      Editor()->Close();
      return 1;
    case effIdentify: return FourCC('N', 'v', 'E', 'f');
    case effGetChunk: return ptr ? GetChunk(static_cast<void**>(ptr), index == 0) : 0;
    case effSetChunk: return SetChunk(ptr, value, index == 0);
    case effProcessEvents:
    {
      const auto* events = static_cast<const VstEvents*>(ptr);
      if (!events) return 0;
      for (int i = 0; i < events->numEvents; ++i)
      {
        const VstEvent* e = events->events[i];
        if (!e) continue;
        if (e->type == kVstMidiType)
        {
          const auto* m = reinterpret_cast<const VstMidiEvent*>(e);
          IMidiMsg msg(m->deltaFrames, static_cast<uint8_t>(m->midiData[0]), static_cast<uint8_t>(m->midiData[1]),
                       static_cast<uint8_t>(m->midiData[2]));
          ProcessMidiMsg(&msg);
        }
        else if (e->type == kVstSysExType)
        {
          const auto* x = reinterpret_cast<const VstMidiSysexEvent*>(e);
          ISysEx sysex;
          sysex.mOffset = x->deltaFrames;
          sysex.mSize = x->dumpBytes;
          sysex.mData = reinterpret_cast<const uint8_t*>(x->sysexDump);
          ProcessSysEx(&sysex);
        }
      }
      return 1;
    }
    case effCanBeAutomated: return 1;
    case effString2Parameter: return param ? StringToParameter(index, static_cast<const char*>(ptr)) : 0;
    case effGetProgramNameIndexed:
    {
      const char* name = GetPresetName(index);
      CopyOut(ptr, kVstMaxProgNameLen + 1, name);
      return ptr && name[0] ? 1 : 0;
    }
    case effGetInputProperties: return PinProperties(index, ptr, true);
    case effGetOutputProperties: return PinProperties(index, ptr, false);
    case effGetPlugCategory: return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effProcessVarIo: return 0;
    case effSetSpeakerArrangement:
      if (!value && !ptr) return 0;
      SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value), true);
      SetSpeakerArrangement(static_cast<const VstSpeakerArrangement*>(ptr), false);
      return 1;
    case effGetEffectName:
      if (!ptr) return 0;
      CopyOut(ptr, kVstMaxEffectNameLen, GetEffectName());
      return 1;
    case effGetVendorString:
      if (!ptr) return 0;
      CopyOut(ptr, kVstMaxVendorStrLen, GetMfrName());
      return 1;
    case effGetProductString:
      if (!ptr) return 0;
      CopyOut(ptr, kVstMaxProductStrLen, GetProductName());
      return 1;
    case effGetVendorVersion: return GetEffectVersion(true);
    case effVendorSpecific:
      if (index == effGetParamDisplay && ptr)
      {
        if (const IParam* p = GetParam(static_cast<int>(value)))
          p->GetDisplayForHost(opt, true, static_cast<char*>(ptr), kParamTextSize);
        return 0xBEEF;
      }
      if (index == 8)
      {
        const IParam* p = GetParam(static_cast<int>(value));
        return p && p->Type() != IParam::kTypeDouble ? 0xBEEF : 0;
      }
      return VendorSpecific(index, value, ptr, opt);
    case effCanDo:
    {
      intptr_t answer = 0;
      return ptr && CanDo(static_cast<const char*>(ptr), DoesMIDI(), &answer) ? answer : 0;
    }
    case effGetTailSize: return GetTailSize();
    case effGetVstVersion: return kVstVersion;
    case effGetMidiKeyName:
    {
      auto* key = static_cast<MidiKeyName*>(ptr);
      if (!key) return 0;
      key->keyName[0] = '\0';
      return MidiNoteName(key->thisKeyNumber, key->keyName) ? 1 : 0;
    }
    case effGetSpeakerArrangement:
      if (!value && !ptr) return 0;
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputSpkr;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputSpkr;
      return 1;
    default: return 0;
  }
}

intptr_t IPlugVST::GetChunk(void** data, bool isBank)
{
  ByteChunk& chunk = isBank ? mBankState : mState;
  InitChunkWithIPlugVer(&chunk);
  bool ok;
  if (isBank)
  {
    ModifyCurrentPreset();
    ok = SerializePresets(&chunk);
  }
  else
    ok = SerializeState(&chunk);
  if (!ok || chunk.Size() == 0) return 0;
  *data = chunk.GetBytes();
  return chunk.Size();
}

intptr_t IPlugVST::SetChunk(const void* data, intptr_t size, bool isBank)
{
  if (!data || size <= 0 || size > INT_MAX) return 0;
  ByteChunk& chunk = isBank ? mBankState : mState;
  chunk.Clear();
  chunk.PutBytes(data, static_cast<int>(size));
  int pos = 0;
  const int version = GetIPlugVerFromChunk(&chunk, &pos);
  if (pos < 0) return 0;
  if (isBank && version >= kChunkVersion)
    pos = UnserializePresets(&chunk, pos);
  else
  {
    pos = UnserializeState(&chunk, pos);
    if (pos >= 0) ModifyCurrentPreset();
  }
  if (pos < 0) return 0;
  RedrawParamControls();
  return 1;
}

intptr_t IPlugVST::StringToParameter(int idx, const char* text)
{
  IParam* param = GetParam(idx);
  if (!text) return 1;
  double v = 0.0;
  if (param->NDisplayTexts() == 0)
  {
    char* end = nullptr;
    v = std::strtod(text, &end);
    // Text that is not a number changes nothing.
    if (end == text || !std::isfinite(v)) return 0;
    if (param->DisplayIsNegated()) v = -v;
  }
  else if (!param->MapDisplayText(text, &v))
    return 0;
  param->Set(v);
  OnParamChange(idx);
  MarkParamForEditor(idx);
  return 1;
}

intptr_t IPlugVST::PinProperties(int idx, void* ptr, bool input)
{
  const int count = input ? NInChannels() : NOutChannels();
  if (!ptr || idx < 0 || idx >= count) return 0;
  auto* pin = static_cast<VstPinProperties*>(ptr);
  pin->flags = kVstPinIsActive;
  if (idx % 2 == 0 && idx < count - 1) pin->flags |= kVstPinIsStereo;
  std::snprintf(pin->label, sizeof pin->label, input ? "Input %d" : "Output %d", idx + 1);
  return 1;
}

void IPlugVST::SetSpeakerArrangement(const VstSpeakerArrangement* arrangement, bool input)
{
  if (!arrangement) return;
  const int slots = input ? NInChannels() : NOutChannels();
  const int n = std::clamp(arrangement->numChannels, 0, slots);
  if (input)
  {
    SetInputChannelConnections(0, n, true);
    SetInputChannelConnections(n, slots - n, false);
  }
  else
  {
    SetOutputChannelConnections(0, n, true);
    SetOutputChannelConnections(n, slots - n, false);
  }
}
