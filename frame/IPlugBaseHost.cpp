// The base's side of every host: what it tells the host through the link,
// the host table, blocks in pieces, the saved state's forms, typed values.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "frame/IPlugBase.h"

// ---- Through the host link -----------------------------------------------------------

void IPlugBase::BeginInformHostOfParamChange(int paramIdx)
{
  if (mHostLink) mHostLink->BeginParamEdit(paramIdx);
}

void IPlugBase::InformHostOfParamChange(int paramIdx, double normalizedValue)
{
  if (mHostLink) mHostLink->ParamChangedByPlug(paramIdx, normalizedValue);
}

void IPlugBase::EndInformHostOfParamChange(int paramIdx)
{
  if (mHostLink) mHostLink->EndParamEdit(paramIdx);
}

void IPlugBase::InformHostOfProgramChange()
{
  if (mHostLink) mHostLink->AllParamsChanged();
}

bool IPlugBase::IsRenderingOffline()
{
  return mHostLink && mHostLink->IsRenderingOffline();
}

void IPlugBase::GetTime(ITimeInfo* timeInfo)
{
  if (mHostLink) mHostLink->GetTime(timeInfo);
}

void HostTime::Into(ITimeInfo* info) const
{
  info->mSamplePos = samplePos;
  if (quarters >= 0.0) info->mPPQPos = quarters;
  if (tempo > 0.0) info->mTempo = IPlugBase::SaneTempo(tempo);
  if (lastBar >= 0.0) info->mLastBar = lastBar;
  if (cycleStart >= 0.0 && cycleEnd >= 0.0)
  {
    info->mCycleStart = cycleStart;
    info->mCycleEnd = cycleEnd;
  }
  if (numerator > 0 && denominator > 0)
  {
    info->mNumerator = numerator;
    info->mDenominator = denominator;
  }
  info->mTransportIsRunning = playing;
  info->mTransportLoopEnabled = looping;
}

int IPlugBase::GetSamplePos()
{
  ITimeInfo info;
  info.mSamplePos = 0.0;
  GetTime(&info);
  return info.mSamplePos >= 0.0 && info.mSamplePos < INT_MAX ? static_cast<int>(info.mSamplePos + 0.5) : 0;
}

double IPlugBase::GetTempo()
{
  ITimeInfo info;
  info.mTempo = 0.0;
  GetTime(&info);
  return SaneTempo(info.mTempo);
}

void IPlugBase::GetTimeSig(int* numerator, int* denominator)
{
  ITimeInfo info;
  info.mNumerator = info.mDenominator = 0;
  GetTime(&info);
  *numerator = info.mNumerator;
  *denominator = info.mDenominator;
}

int IPlugBase::LookUpHost(const char* productString)
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

int IPlugBase::GetHost()
{
  if (mHost != -1 || !mHostLink) return mHost;
  const std::string product = mHostLink->HostProduct();
  if (product.empty()) return mHost;
  const int decimal = mHostLink->HostVersion();
  mHostVersion = PackVersion(decimal / 10000, (decimal / 100) % 100, decimal % 100);
  mHost = LookUpHost(product.c_str());
  return mHost;
}

// ---- Blocks ---------------------------------------------------------------------------

// A host may hand over more frames than the block size it announced; the
// block is then processed in pieces the scratch buffers can hold. `connect`
// points the slots at a piece, `collect` takes its output.
template <typename Connect, typename Collect>
void IPlugBase::ProcessInPieces(int frames, Connect&& connect, Collect&& collect)
{
  const int size = std::max(1, GetBlockSize());
  for (int done = 0; done < frames; done += size)
  {
    const int n = std::min(size, frames - done);
    connect(done, n);
    ProcessDoubleReplacing(mInData.data(), mOutData.data(), n);
    collect(n);
  }
}

void IPlugBase::ProcessDoubleBlock(double** inputs, double** outputs, int frames)
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

void IPlugBase::ProcessFloatBlock(float** inputs, float** outputs, int frames, bool accumulate)
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

// ---- The saved state ------------------------------------------------------------------

bool IPlugBase::SaveState(ByteChunk* chunk, bool bank)
{
  InitChunkWithIPlugVer(chunk);
  if (!bank) return SerializeState(chunk) && chunk->Size() > 0;
  ModifyCurrentPreset();
  return SerializePresets(chunk) && chunk->Size() > 0;
}

bool IPlugBase::LoadState(const void* data, int64_t size, bool bank)
{
  if (!data || size <= 0 || size > INT_MAX) return false;
  ByteChunk chunk;
  chunk.PutBytes(data, static_cast<int>(size));
  int pos = 0;
  const int version = GetIPlugVerFromChunk(&chunk, &pos);
  if (pos < 0) return false;
  if (bank && version >= kChunkVersion)
    pos = UnserializePresets(&chunk, pos);
  else
  {
    pos = UnserializeState(&chunk, pos);
    if (pos >= 0) ModifyCurrentPreset();
  }
  if (pos < 0) return false;
  RedrawParamControls();
  return true;
}

void IPlugBase::SetParamFromHost(int paramIdx, double normalized)
{
  IParam* param = GetParam(paramIdx);
  if (!param || std::isnan(normalized)) return;
  param->SetNormalized(normalized);
  OnParamChange(paramIdx);
  MarkParamForEditor(paramIdx);
}

void IPlugBase::SetRateAndBlock(double sampleRate, int maxBlock)
{
  SetSampleRate(static_cast<float>(sampleRate));
  Reset();
  SetBlockSize(maxBlock);
  Reset();
}

bool IPlugBase::OpenEditor(void* parentWindow)
{
  IEditorLink* editor = Editor();
  if (!editor) return false;
  editor->Prepare();
  IMutexLock lock(mMutex);
  if (!editor->Open(parentWindow)) return false;
  OnGUIOpen();
  return true;
}

void IPlugBase::CloseEditor()
{
  IEditorLink* editor = Editor();
  if (!editor) return;
  IMutexLock lock(mMutex);
  OnGUIClose();
  editor->Close();
}

bool IPlugBase::ParamValueFromText(int paramIdx, const char* text, double* value) const
{
  const IParam* param = GetParam(paramIdx);
  if (!param || !text) return false;
  if (param->NDisplayTexts() > 0) return param->MapDisplayText(text, value);
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  // Text that is not a number changes nothing.
  if (end == text || !std::isfinite(v)) return false;
  *value = param->DisplayIsNegated() ? -v : v;
  return true;
}

bool IPlugBase::SetParamFromText(int paramIdx, const char* text)
{
  IParam* param = GetParam(paramIdx);
  double v = 0.0;
  if (!param || !ParamValueFromText(paramIdx, text, &v)) return false;
  param->Set(v);
  OnParamChange(paramIdx);
  MarkParamForEditor(paramIdx);
  return true;
}
