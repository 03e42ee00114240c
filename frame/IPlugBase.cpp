#include "frame/IPlugBase.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>


// Parses "in-out in-out ..." into configurations; a missing number stays 0.
static void ParseChannelIO(const char* text, std::vector<ChannelIO>* configs, int* maxIn, int* maxOut)
{
  *maxIn = *maxOut = 0;
  for (const char* p = text; p && *p;)
  {
    ChannelIO io;
    std::sscanf(p, "%d-%d", &io.mIn, &io.mOut);
    *maxIn = std::max(*maxIn, io.mIn);
    *maxOut = std::max(*maxOut, io.mOut);
    configs->push_back(io);
    p = std::strchr(p, ' ');
    if (p) ++p;
  }
}

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
                     int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
  : mUniqueID(uniqueID), mVersion(vendorVersion), mStateChunks(plugDoesChunks), mIsInst(plugIsInst),
    mDoesMIDI(plugDoesMidi), mLatency(latency)
{
  for (int i = 0; i < nParams; ++i) mParams.push_back(std::make_unique<IParam>());
  for (int i = 0; i < nPresets; ++i) mPresets.push_back(std::make_unique<IPreset>());
  CopyText(mEffectName, sizeof mEffectName, effectName);
  CopyText(mProductName, sizeof mProductName, productName);
  CopyText(mMfrName, sizeof mMfrName, mfrName);

  int nIn = 0, nOut = 0;
  ParseChannelIO(channelIOStr, &mChannelIO, &nIn, &nOut);
  mInData.assign(static_cast<size_t>(nIn), nullptr);
  mOutData.assign(static_cast<size_t>(nOut), nullptr);
  for (int i = 0; i < nIn; ++i)
  {
    auto channel = std::make_unique<InChannel>();
    channel->mSrc = &mInData[static_cast<size_t>(i)];
    mInChannels.push_back(std::move(channel));
  }
  for (int i = 0; i < nOut; ++i)
  {
    auto channel = std::make_unique<OutChannel>();
    channel->mDest = &mOutData[static_cast<size_t>(i)];
    mOutChannels.push_back(std::move(channel));
  }
}

IPlugBase::~IPlugBase() = default;

void IPlugBase::Reset()
{
  IMutexLock lock(mMutex);
}

void IPlugBase::OnParamChange(int)
{
  IMutexLock lock(mMutex);
}

void IPlugBase::OnActivate(bool)
{
  IMutexLock lock(mMutex);
}

void IPlugBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
  const size_t bytes = sizeof(double) * static_cast<size_t>(std::max(0, nFrames));
  for (int i = 0; i < NOutChannels(); ++i)
  {
    if (!outputs[i]) continue;
    if (i < NInChannels() && inputs[i])
      std::memmove(outputs[i], inputs[i], bytes);
    else
      std::memset(outputs[i], 0, bytes);
  }
}

void IPlugBase::ProcessMidiMsg(IMidiMsg* msg)
{
  SendMidiMsg(msg);
}

bool IPlugBase::MidiNoteName(int, char* name)
{
  if (name) *name = '\0';
  return false;
}

bool IPlugBase::CompareState(const unsigned char* incomingState, int startPos)
{
  const unsigned char* p = incomingState + startPos;
  for (int i = 0; i < NParams(); ++i, p += sizeof(double))
  {
    double stored = 0.0;
    std::memcpy(&stored, p, sizeof stored);
    const double current = static_cast<float>(mParams[static_cast<size_t>(i)]->Value());
    if (std::fabs(current - stored) > 1e-5) return false;
  }
  return true;
}

void IPlugBase::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
  IMutexLock lock(mMutex);
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(paramIdx, normalizedValue);
  OnParamChange(paramIdx);
}

void IPlugBase::AttachEditor(std::unique_ptr<IEditorLink> editor)
{
  IMutexLock lock(mMutex);
  mEditor = std::move(editor);
  RedrawParamControls();
}

void IPlugBase::SetLatency(int samples)
{
  mLatency = samples;
}

void IPlugBase::RedrawParamControls()
{
  for (int i = 0; i < NParams(); ++i) MarkParamForEditor(i);
}

void IPlugBase::AttachScratchBuffers()
{
  for (auto& channel : mInChannels)
    if (!channel->mConnected) *channel->mSrc = channel->mScratchBuf.data();
  for (auto& channel : mOutChannels)
    if (!channel->mConnected) *channel->mDest = channel->mScratchBuf.data();
}

void IPlugBase::SetBlockSize(int blockSize)
{
  if (blockSize == mBlockSize) return;
  const size_t n = static_cast<size_t>(std::max(0, blockSize));
  for (auto& channel : mInChannels) channel->mScratchBuf.assign(n, 0.0);
  for (auto& channel : mOutChannels) channel->mScratchBuf.assign(n, 0.0);
  mBlockSize = blockSize;
  AttachScratchBuffers();
}

bool IPlugBase::IsInChannelConnected(int idx) const
{
  return idx >= 0 && idx < NInChannels() && mInChannels[static_cast<size_t>(idx)]->mConnected;
}

bool IPlugBase::IsOutChannelConnected(int idx) const
{
  return idx >= 0 && idx < NOutChannels() && mOutChannels[static_cast<size_t>(idx)]->mConnected;
}

void IPlugBase::SetInputChannelConnections(int idx, int n, bool connected)
{
  for (int i = std::max(0, idx); i < idx + n && i < NInChannels(); ++i)
  {
    InChannel& channel = *mInChannels[static_cast<size_t>(i)];
    channel.mConnected = connected;
    if (!connected)
    {
      std::fill(channel.mScratchBuf.begin(), channel.mScratchBuf.end(), 0.0);
      *channel.mSrc = channel.mScratchBuf.data();
    }
  }
}

void IPlugBase::SetOutputChannelConnections(int idx, int n, bool connected)
{
  for (int i = std::max(0, idx); i < idx + n && i < NOutChannels(); ++i)
  {
    OutChannel& channel = *mOutChannels[static_cast<size_t>(i)];
    channel.mConnected = connected;
    if (!connected) *channel.mDest = channel.mScratchBuf.data();
  }
}

void IPlugBase::LimitToStereoIO()
{
  if (NInChannels() > 2) SetInputChannelConnections(2, NInChannels() - 2, false);
  if (NOutChannels() > 2) SetOutputChannelConnections(2, NOutChannels() - 2, true);
}

bool IPlugBase::LegalIO(int nIn, int nOut) const
{
  for (const ChannelIO& io : mChannelIO)
    if ((nIn < 0 || nIn == io.mIn) && (nOut < 0 || nOut == io.mOut)) return true;
  return false;
}

const char* IPlugBase::GetAPIString()
{
  static const char* const kNames[] = {"VST2", "VST3", "AU", "RTAS", "AAX", "Standalone"};
  const int api = GetAPI();
  return api >= 0 && api < 6 ? kNames[api] : "";
}

void IPlugBase::MakeDefaultPreset(const char* name, int nPresets)
{
  for (int n = 0; n < nPresets; ++n)
  {
    auto found = std::find_if(mPresets.begin(), mPresets.end(),
                              [](const std::unique_ptr<IPreset>& p) { return !p->mInitialized; });
    if (found == mPresets.end()) return;
    IPreset& preset = **found;
    preset.mInitialized = true;
    CopyText(preset.mName, sizeof preset.mName, name ? name : "Empty");
    preset.mChunk.Clear();
    SerializeState(&preset.mChunk);
  }
}

bool IPlugBase::RestorePreset(int idx)
{
  if (idx < 0 || idx >= NPresets()) return false;
  IPreset& preset = *mPresets[static_cast<size_t>(idx)];
  bool restored;
  if (!preset.mInitialized)
  {
    preset.mInitialized = true;
    int userPresets = 0;
    for (const auto& p : mPresets)
      if (std::strstr(p->mName, "user preset")) ++userPresets;
    std::snprintf(preset.mName, sizeof preset.mName, "%s %d", "user preset", userPresets + 1);
    preset.mChunk.Clear();
    SerializeState(&preset.mChunk);
    restored = true;
  }
  else
    restored = UnserializeState(&preset.mChunk, 0) > 0;

  if (restored)
  {
    mCurrentPresetIdx = idx;
    PresetsChangedByHost();
    RedrawParamControls();
  }
  return restored;
}

const char* IPlugBase::GetPresetName(int idx) const
{
  const IPreset* preset = GetPreset(idx);
  return preset ? preset->mName : "";
}

void IPlugBase::ModifyCurrentPreset(const char* name)
{
  if (mCurrentPresetIdx < 0 || mCurrentPresetIdx >= NPresets()) return;
  IPreset& preset = *mPresets[static_cast<size_t>(mCurrentPresetIdx)];
  preset.mChunk.Clear();
  SerializeState(&preset.mChunk);
  if (name && *name) CopyText(preset.mName, sizeof preset.mName, name);
}

bool IPlugBase::SerializePresets(ByteChunk* chunk)
{
  for (const auto& preset : mPresets)
  {
    chunk->PutStr(preset->mName);
    const uint8_t initialized = preset->mInitialized ? 1 : 0;
    chunk->Put(&initialized);
    if (preset->mInitialized) chunk->PutChunk(&preset->mChunk);
  }
  return chunk->Size() > 0;
}

int IPlugBase::StateEnd(ByteChunk* chunk, int startPos)
{
  const int bytes = NParams() * static_cast<int>(sizeof(double));
  return startPos >= 0 && bytes <= chunk->Size() - startPos ? startPos + bytes : -1;
}

int IPlugBase::PresetsEnd(ByteChunk* chunk, int startPos)
{
  int pos = startPos;
  for (size_t i = 0; i < mPresets.size() && pos >= 0; ++i)
  {
    std::string name;
    uint8_t initialized = 0;
    pos = chunk->GetStr(&name, pos);
    pos = chunk->Get(&initialized, pos);
    if (pos >= 0 && initialized) pos = StateEnd(chunk, pos);
  }
  return pos;
}

int IPlugBase::UnserializePresets(ByteChunk* chunk, int startPos)
{
  if (PresetsEnd(chunk, startPos) < 0) return -1;
  int pos = startPos;
  for (size_t i = 0; i < mPresets.size() && pos >= 0; ++i)
  {
    IPreset& preset = *mPresets[i];
    std::string name;
    pos = chunk->GetStr(&name, pos);
    CopyText(preset.mName, sizeof preset.mName, name.c_str());
    uint8_t initialized = 0;
    pos = chunk->Get(&initialized, pos);
    preset.mInitialized = pos >= 0 && initialized != 0;
    if (preset.mInitialized)
    {
      pos = UnserializeState(chunk, pos);
      if (pos > 0)
      {
        preset.mChunk.Clear();
        SerializeState(&preset.mChunk);
      }
    }
  }
  RestorePreset(mCurrentPresetIdx);
  return pos;
}

bool IPlugBase::SerializeParams(ByteChunk* chunk)
{
  IMutexLock lock(mMutex);
  for (const auto& param : mParams)
  {
    const double v = param->Value();
    chunk->Put(&v);
  }
  return chunk->Size() > 0;
}

int IPlugBase::UnserializeParams(ByteChunk* chunk, int startPos)
{
  IMutexLock lock(mMutex);
  int pos = startPos;
  for (size_t i = 0; i < mParams.size() && pos >= 0; ++i)
  {
    double v = 0.0;
    pos = chunk->Get(&v, pos);
    if (pos < 0) v = 0.0;
    mParams[i]->Set(v);
  }
  OnParamReset();
  return pos;
}

void IPlugBase::OnParamReset()
{
  for (int i = 0; i < NParams(); ++i) OnParamChange(i);
}

void IPlugBase::InitChunkWithIPlugVer(ByteChunk* chunk)
{
  chunk->Clear();
  const int32_t magic = kChunkMagic, version = kChunkVersion;
  chunk->Put(&magic);
  chunk->Put(&version);
}

int IPlugBase::GetIPlugVerFromChunk(ByteChunk* chunk, int* pos)
{
  int32_t magic = 0, version = 0;
  const int afterMagic = chunk->Get(&magic, *pos);
  if (afterMagic < 0 || magic != kChunkMagic) return 0;
  *pos = chunk->Get(&version, afterMagic);
  return *pos < 0 ? 0 : version;
}
