// The engine's saved state: parameters, selections, MIDI map, options, key
// flags and buffer labels, in a fixed little-endian layout.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/Vesk.h"

namespace {

constexpr int32_t kOptionCount = 2;

// Moves past count items of itemSize bytes, or gives -1 when they do not fit.
int Skip(const ByteChunk& chunk, int pos, int64_t count, int64_t itemSize)
{
  if (pos < 0) return -1;
  if (count <= 0) return pos;
  if (count > (chunk.Size() - pos) / itemSize) return -1;  // checked before multiplying
  return pos + static_cast<int>(count * itemSize);
}

template <typename T>
void PutValue(ByteChunk* chunk, T value)
{
  chunk->Put(&value);
}

}  // namespace

bool Vesk::SerializeState(ByteChunk* chunk)
{
  IMutexLock lock(mMutex);
  PutValue<int32_t>(chunk, kStateVersion);
  PutValue<int32_t>(chunk, kNumParams);
  bool ok = SerializeParams(chunk);

  PutValue<int32_t>(chunk, kNumVoices);
  for (int b = 0; b < kNumVoices; ++b)
  {
    PutValue(chunk, mCore.tabs().selStartFraction[b]);
    PutValue(chunk, mCore.tabs().selEndFraction[b]);
  }
  for (int c = 0; c < MidiDispatcher::kNumControllers; ++c)
  {
    const std::vector<int>& list = mDispatcher.MapFor(c);
    PutValue<int32_t>(chunk, static_cast<int32_t>(list.size()));
    for (int paramIdx : list) PutValue<int32_t>(chunk, paramIdx);
  }
  PutValue<int32_t>(chunk, kOptionCount);
  PutValue(chunk, mCore.tabs().dropOnMouseUp ? 1.0 : 0.0);
  PutValue(chunk, mShowLabels ? 1.0 : 0.0);

  PutValue<int32_t>(chunk, kNumVoices);
  for (int k = 0; k < kNumKeys; ++k)
    for (int b = 0; b < kNumVoices; ++b) PutValue<uint8_t>(chunk, mCore.tables().isUsedFor(k, b) ? 1 : 0);
  PutValue<int32_t>(chunk, kNumVoices);
  for (int b = 0; b < kNumVoices; ++b) chunk->PutStr(mCore.buffer(b).label);
  PutValue<uint8_t>(chunk, 0);  // no file block
  PutValue<uint8_t>(chunk, 0);  // no per-buffer values block
  return ok && chunk->Size() > 0;
}

int Vesk::UnserializeState(ByteChunk* chunk, int startPos)
{
  IMutexLock lock(mMutex);
  int32_t version = 0, count = 0;
  int pos = chunk->Get(&version, startPos);
  pos = chunk->Get(&count, pos);
  mParamsLoaded = 0;
  // The view follows once the whole state is in (it would push stale selections).
  mRestoring = true;
  pos = UnserializeParams(chunk, pos, count);
  mParamsLoaded = 1;
  pos = readSelections(chunk, pos);
  pos = readMidiMap(chunk, pos);
  pos = readOptions(chunk, pos);
  pos = readKeyFlags(chunk, pos);
  pos = readLabels(chunk, pos);
  pos = readFileBlock(chunk, pos);
  pos = readPerBufferBlock(chunk, pos);
  mRestoring = false;
  syncEditorFromState();
  return pos;
}

int Vesk::UnserializeParams(ByteChunk* chunk, int pos, int count)
{
  IMutexLock lock(mMutex);
  for (int i = 0; i < count && pos >= 0; ++i)
  {
    double v = 0.0;
    pos = chunk->Get(&v, pos);
    if (pos < 0) v = 0.0;
    // The "use for" keys come from the key flags further on.
    const bool fromKeyFlags = i >= kUseForC && i < kUseForC + kNumKeys;
    if (i < kNumParams && !fromKeyFlags) GetParam(i)->Set(v);
  }
  OnParamReset();
  return pos;
}

int Vesk::readSelections(ByteChunk* chunk, int pos)
{
  int32_t count = 0;
  pos = chunk->Get(&count, pos);
  for (int b = 0; b < count && pos >= 0; ++b)
  {
    double start = 0.0, end = 0.0;
    pos = chunk->Get(&start, pos);
    pos = chunk->Get(&end, pos);
    // A pair cut short is left out rather than stored as an empty selection.
    if (pos < 0 || b >= kNumVoices) continue;
    // Fractions outside 0..1 (or not numbers) would put the selection
    // outside the buffer: they are brought back to its edges.
    mCore.tabs().selStartFraction[b] = start >= 0.0 ? std::min(start, 1.0) : 0.0;
    mCore.tabs().selEndFraction[b] = end <= 1.0 ? std::max(end, 0.0) : 1.0;
  }
  mCore.recomputeSelections();
  return pos;
}

int Vesk::readMidiMap(ByteChunk* chunk, int pos)
{
  for (int i = 0; i < kNumParams; ++i)
    if (!IsExcludedFromLearn(i)) mDispatcher.LearnAssigned(i, -1);
  mDispatcher.EraseMap();
  for (int c = 0; c < MidiDispatcher::kNumControllers && pos >= 0; ++c)
  {
    int32_t n = 0;
    pos = chunk->Get(&n, pos);
    for (int j = 0; j < n && pos >= 0; ++j)
    {
      int32_t paramIdx = -1;
      pos = chunk->Get(&paramIdx, pos);
      // A parameter is learned on one controller at most; repeats are dropped.
      if (pos < 0 || paramIdx < 0 || paramIdx >= kNumParams || mDispatcher.ControllerOf(paramIdx) >= 0) continue;
      mDispatcher.AppendToMap(c, paramIdx);
      mDispatcher.LearnAssigned(paramIdx, c);
    }
  }
  return pos;
}

int Vesk::readOptions(ByteChunk* chunk, int pos)
{
  int32_t count = 0;
  double dropOnMouseUp = 0.0, showLabels = 0.0;
  pos = chunk->Get(&count, pos);
  pos = chunk->Get(&dropOnMouseUp, pos);
  const double whole = std::trunc(dropOnMouseUp);
  if (pos >= 0) mCore.tabs().dropOnMouseUp = whole != 0.0 && !std::isnan(whole);
  pos = chunk->Get(&showLabels, pos);
  if (pos >= 0) mShowLabels = showLabels != 0.0;
  return Skip(*chunk, pos, static_cast<int64_t>(count) - kOptionCount, sizeof(double));
}

int Vesk::readKeyFlags(ByteChunk* chunk, int pos)
{
  int32_t width = 0;
  pos = chunk->Get(&width, pos);
  uint8_t last = 1;
  for (int k = 0; k < kNumKeys; ++k)
  {
    for (int b = 0; b < std::min<int32_t>(width, kNumVoices); ++b)
    {
      uint8_t flag = last;
      pos = chunk->Get(&flag, pos);
      if (pos < 0) flag = last;
      last = flag;
      mCore.tables().useFor[k][b] = flag != 0;
    }
    if (width > kNumVoices) pos = Skip(*chunk, pos, width - kNumVoices, 1);
  }
  const int picked = mCore.tabs().pickedTab;
  for (int k = 0; k < kNumKeys; ++k)
  {
    GetParam(UseForParam(k))->Set(mCore.tables().isUsedFor(k, picked) ? 1.0 : 0.0);
    mTargetValue[UseForParam(k)] = mAppliedValue[UseForParam(k)] = GetParam(UseForParam(k))->Value();
  }
  return pos;
}

int Vesk::readLabels(ByteChunk* chunk, int pos)
{
  int32_t count = 0;
  pos = chunk->Get(&count, pos);
  std::string last;
  for (int b = 0; b < count && (pos >= 0 || b < kNumVoices); ++b)
  {
    std::string text;
    pos = chunk->GetStr(&text, pos);
    if (pos >= 0 && !text.empty()) last = text;
    if (b < kNumVoices) mCore.buffer(b).label = last;
  }
  return pos;
}

int Vesk::readFileBlock(ByteChunk* chunk, int pos)
{
  int8_t flag = -1;
  pos = chunk->Get(&flag, pos);
  if (pos >= 0 && flag == 0) return pos;
  int32_t length = 0;
  pos = chunk->Get(&length, pos);
  return Skip(*chunk, pos, length, 1);
}

int Vesk::readPerBufferBlock(ByteChunk* chunk, int pos)
{
  IMutexLock lock(mMutex);
  int8_t flag = -1;
  pos = chunk->Get(&flag, pos);
  if (pos >= 0 && flag == 0) return pos;
  int32_t buffers = 0, values = 0;
  pos = chunk->Get(&buffers, pos);
  pos = chunk->Get(&values, pos);
  // The values are only stepped over: each buffer's record is made current
  // in turn with the picked voice alone receiving settings, then restored.
  const uint8_t savedPickedOnly = mPickedVoiceOnly;
  mPickedVoiceOnly = 1;
  if (buffers > 0) pos = Skip(*chunk, pos, static_cast<int64_t>(buffers) * std::max(values, 0), sizeof(double));
  mPickedVoiceOnly = savedPickedOnly;
  return pos;
}
