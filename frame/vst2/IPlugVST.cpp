#include "frame/vst2/IPlugVST.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace vst2;

IPlugVST::IPlugVST(HostCallback hostCallback, std::unique_ptr<IPlugBase> plug)
  : mHostCallback(hostCallback), mPlug(std::move(plug))
{
  IPlugBase& p = *mPlug;
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = &VSTDispatcher;
  mAEffect.process = &VSTProcess;
  mAEffect.processReplacing = &VSTProcessReplacing;
  mAEffect.processDoubleReplacing = &VSTProcessDoubleReplacing;
  mAEffect.setParameter = &VSTSetParameter;
  mAEffect.getParameter = &VSTGetParameter;
  mAEffect.numPrograms = std::max(p.NPresets(), 1);
  mAEffect.numParams = p.NParams();
  mAEffect.numInputs = p.NInChannels();
  mAEffect.numOutputs = p.NOutChannels();
  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (p.DoesStateChunks()) mAEffect.flags |= effFlagsProgramChunks;
  if (p.LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
  if (p.IsInstrument()) mAEffect.flags |= effFlagsIsSynth;
  mAEffect.initialDelay = p.GetLatency();
  mAEffect.ioRatio = 1.0f;
  mAEffect.object = this;
  mAEffect.uniqueID = p.GetUniqueID();
  mAEffect.version = p.GetEffectVersion(true);
  TakeEditorSize();

  SetArrangementType(&mInputSpkr, p.NInChannels());
  SetArrangementType(&mOutputSpkr, p.NOutChannels());
  p.SetInputChannelConnections(0, p.NInChannels(), true);
  p.SetOutputChannelConnections(0, p.NOutChannels(), true);
  p.SetBlockSize(1024);
  p.SetHostLink(this);
}

IPlugVST::~IPlugVST()
{
  mPlug->SetHostLink(nullptr);
}

void IPlugVST::TakeEditorSize()
{
  const IEditorLink* editor = mPlug->Editor();
  if (!editor) return;
  mAEffect.flags |= effFlagsHasEditor;
  mEditRect = {0, 0, static_cast<int16_t>(editor->Height()), static_cast<int16_t>(editor->Width())};
}

intptr_t IPlugVST::CallHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  return mHostCallback ? mHostCallback(&mAEffect, opcode, index, value, ptr, opt) : 0;
}

// ---- The link -------------------------------------------------------------------------

void IPlugVST::BeginParamEdit(int paramIdx)
{
  CallHost(audioMasterBeginEdit, paramIdx);
}

void IPlugVST::ParamChangedByPlug(int paramIdx, double normalized)
{
  CallHost(audioMasterAutomate, paramIdx, 0, nullptr, static_cast<float>(normalized));
}

void IPlugVST::EndParamEdit(int paramIdx)
{
  CallHost(audioMasterEndEdit, paramIdx);
}

void IPlugVST::AllParamsChanged()
{
  CallHost(audioMasterUpdateDisplay);
}

bool IPlugVST::IsRenderingOffline()
{
  return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

// The fields the host marks valid; the others keep what the caller put in.
bool IPlugVST::GetTime(ITimeInfo* timeInfo)
{
  const int32_t wanted = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
  const VstTimeInfo* info = reinterpret_cast<VstTimeInfo*>(CallHost(audioMasterGetTime, 0, wanted));
  if (!info || !(info->flags & wanted)) return false;
  const int32_t f = info->flags;
  const bool cycle = f & kVstCyclePosValid, signature = f & kVstTimeSigValid;
  HostTime{.samplePos = info->samplePos,
           .quarters = f & kVstPpqPosValid ? info->ppqPos : -1.0,
           .tempo = f & kVstTempoValid ? info->tempo : 0.0,
           .lastBar = f & kVstBarsValid ? info->barStartPos : -1.0,
           .cycleStart = cycle ? info->cycleStartPos : -1.0,
           .cycleEnd = cycle ? info->cycleEndPos : -1.0,
           .numerator = signature ? info->timeSigNumerator : 0,
           .denominator = signature ? info->timeSigDenominator : 0,
           .playing = (f & kVstTransportPlaying) != 0,
           .looping = (f & kVstTransportCycleActive) != 0}
      .Into(timeInfo);
  return true;
}

std::string IPlugVST::HostProduct()
{
  char product[kVstMaxProductStrLen + 1] = {};
  CallHost(audioMasterGetProductString, 0, 0, product);
  product[kVstMaxProductStrLen] = '\0';
  return product;
}

int IPlugVST::HostVersion()
{
  return static_cast<int>(CallHost(audioMasterGetVendorVersion));
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
  const int host = mPlug->GetHost();
  // Hosts known to offer only stereo pins: forte, audition, orion, sawstudio.
  if (host == 15 || host == 17 || host == 18 || host == 20) mPlug->LimitToStereoIO();
  mAEffect.numInputs = mInputSpkr.numChannels = mPlug->NInChannels();
  mAEffect.numOutputs = mOutputSpkr.numChannels = mPlug->NOutChannels();
  mPlug->OnHostIdentified();
}

// ---- Callbacks ----------------------------------------------------------------

static IPlugVST* AdapterOf(AEffect* effect)
{
  return effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
}

intptr_t IPlugVST::VSTDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt)
{
  IPlugVST* adapter = AdapterOf(effect);
  if (!adapter) return 0;
  IPlugBase& plug = adapter->Plug();
  // The editor takes the lock itself, only while it picks up what changed,
  // so its drawing never holds up the audio thread.
  if (opcode == effEditIdle || opcode == effIdle)
  {
    if (plug.Editor()) plug.Editor()->Idle();
    return 0;
  }
  if (opcode == effClose)
  {
    delete adapter;
    return 0;
  }
  // Nothing may leave a C callback by exception: a failure is a 0 answer.
  try
  {
    // What takes long is done before the lock is taken or after it is let
    // go, so the audio thread plays on meanwhile.
    if (opcode == effEditOpen) return plug.OpenEditor(ptr) ? 1 : 0;
    intptr_t answer;
    {
      IMutexLock lock(plug.Mutex());
      answer = adapter->Dispatch(opcode, index, value, ptr, opt);
    }
    if (opcode == effSetChunk || opcode == effSetProgram || opcode == effString2Parameter) plug.PrepareMemory();
    return answer;
  }
  catch (...)
  {
    return 0;
  }
}

float IPlugVST::VSTGetParameter(AEffect* effect, int32_t index)
{
  IPlugVST* adapter = AdapterOf(effect);
  if (!adapter) return 0.0f;
  IMutexLock lock(adapter->Plug().Mutex());
  const IParam* param = adapter->Plug().GetParam(index);
  return param ? static_cast<float>(param->GetNormalized()) : 0.0f;
}

void IPlugVST::VSTSetParameter(AEffect* effect, int32_t index, float value)
{
  IPlugVST* adapter = AdapterOf(effect);
  if (!adapter) return;
  IPlugBase& plug = adapter->Plug();
  IMutexLock lock(plug.Mutex());
  plug.SetParamFromHost(index, value);
}

// Every process callback: under the lock, after asking for the next block's MIDI.
template <typename Run>
void IPlugVST::ProcessBlock(AEffect* effect, int32_t frames, Run&& run)
{
  IPlugVST* adapter = AdapterOf(effect);
  if (!adapter || frames <= 0) return;
  IMutexLock lock(adapter->Plug().Mutex());
  if (adapter->Plug().DoesMIDI()) adapter->CallHost(audioMasterWantMidi);
  run(adapter->Plug());
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, int32_t frames)
{
  ProcessBlock(effect, frames, [&](IPlugBase& plug) { plug.ProcessDoubleBlock(inputs, outputs, frames); });
}

void IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames)
{
  ProcessBlock(effect, frames, [&](IPlugBase& plug) { plug.ProcessFloatBlock(inputs, outputs, frames, false); });
}

void IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, int32_t frames)
{
  ProcessBlock(effect, frames, [&](IPlugBase& plug) { plug.ProcessFloatBlock(inputs, outputs, frames, true); });
}
