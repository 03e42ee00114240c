#include "frame/IPlugVST.h"

#include <cctype>
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
