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
  return info && (info->flags & kVstTempoValid) ? SaneTempo(info->tempo) : 0.0;
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
  if ((info->flags & kVstTempoValid) && info->tempo > 0.0) timeInfo->mTempo = SaneTempo(info->tempo);
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
    // What takes long is done before the lock is taken or after it is let
    // go, so the audio thread plays on meanwhile.
    if (opcode == effEditOpen && plug->Editor()) plug->Editor()->Prepare();
    intptr_t answer;
    {
      IMutexLock lock(plug->mMutex);
      answer = plug->Dispatch(opcode, index, value, ptr, opt);
    }
    if (opcode == effSetChunk || opcode == effSetProgram || opcode == effString2Parameter) plug->PrepareMemory();
    return answer;
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
