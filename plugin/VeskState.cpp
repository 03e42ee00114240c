// The engine's saved state: parameters, selections, MIDI map, options, key
// flags and buffer labels, in a fixed little-endian layout.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin/Vesk.h"

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
  PutValue(chunk, mDropOnMouseUp ? 1.0 : 0.0);
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

// ---- Reading ---------------------------------------------------------------------
// A chunk is read whole into an image first and applied only when every
// piece of it read; a chunk that is cut short or damaged is refused with
// nothing changed.

struct StateImage
{
  int paramCount = 0;  // values kept: the first kNumParams of those stored
  double params[kNumParams] = {};
  int selectionCount = 0;  // pairs kept: those of the first kNumVoices buffers
  double selStart[kNumVoices] = {}, selEnd[kNumVoices] = {};
  std::vector<int> map[MidiDispatcher::kNumControllers];
  bool dropOnMouseUp = false, showLabels = false;
  int keyWidth = 0;  // flags kept per key
  uint8_t keyFlags[kNumKeys][kNumVoices] = {};
  int labelCount = 0;
  std::string labels[kNumVoices];
};

namespace {

int ReadParams(const ByteChunk& chunk, int pos, StateImage* image)
{
  int32_t version = 0, count = 0;
  pos = chunk.Get(&version, pos);  // written, never read
  pos = chunk.Get(&count, pos);
  if (pos >= 0 && count > (chunk.Size() - pos) / 8) return -1;
  for (int i = 0; i < count && pos >= 0; ++i)
  {
    double v = 0.0;
    pos = chunk.Get(&v, pos);
    if (i < kNumParams) image->params[i] = v;
  }
  image->paramCount = std::clamp<int32_t>(count, 0, kNumParams);
  return pos;
}

int ReadSelections(const ByteChunk& chunk, int pos, StateImage* image)
{
  int32_t count = 0;
  pos = chunk.Get(&count, pos);
  if (pos >= 0 && count > (chunk.Size() - pos) / 16) return -1;
  for (int b = 0; b < count && pos >= 0; ++b)
  {
    double start = 0.0, end = 0.0;
    pos = chunk.Get(&start, pos);
    pos = chunk.Get(&end, pos);
    if (b >= kNumVoices) continue;
    // Fractions outside 0..1 (or not numbers) would put the selection
    // outside the buffer: they are brought back to its edges.
    image->selStart[b] = start >= 0.0 ? std::min(start, 1.0) : 0.0;
    image->selEnd[b] = end <= 1.0 ? std::max(end, 0.0) : 1.0;
    image->selectionCount = b + 1;
  }
  return pos;
}

int ReadMidiMap(const ByteChunk& chunk, int pos, StateImage* image)
{
  for (int c = 0; c < MidiDispatcher::kNumControllers && pos >= 0; ++c)
  {
    int32_t n = 0;
    pos = chunk.Get(&n, pos);
    if (pos >= 0 && n > (chunk.Size() - pos) / 4) return -1;
    for (int j = 0; j < n && pos >= 0; ++j)
    {
      int32_t paramIdx = -1;
      pos = chunk.Get(&paramIdx, pos);
      if (paramIdx >= 0 && paramIdx < kNumParams) image->map[c].push_back(paramIdx);
    }
  }
  return pos;
}

int ReadOptions(const ByteChunk& chunk, int pos, StateImage* image)
{
  int32_t count = 0;
  double dropOnMouseUp = 0.0, showLabels = 0.0;
  pos = chunk.Get(&count, pos);
  pos = chunk.Get(&dropOnMouseUp, pos);
  pos = chunk.Get(&showLabels, pos);
  const double whole = std::trunc(dropOnMouseUp);
  image->dropOnMouseUp = whole != 0.0 && !std::isnan(whole);
  image->showLabels = showLabels != 0.0;
  return Skip(chunk, pos, static_cast<int64_t>(count) - kOptionCount, sizeof(double));
}

int ReadKeyFlags(const ByteChunk& chunk, int pos, StateImage* image)
{
  int32_t width = 0;
  pos = chunk.Get(&width, pos);
  image->keyWidth = std::clamp<int32_t>(width, 0, kNumVoices);
  for (int k = 0; k < kNumKeys && pos >= 0; ++k)
  {
    for (int b = 0; b < image->keyWidth; ++b) pos = chunk.Get(&image->keyFlags[k][b], pos);
    if (width > kNumVoices) pos = Skip(chunk, pos, width - kNumVoices, 1);
  }
  return pos;
}

// An empty entry repeats the text before it.
int ReadLabels(const ByteChunk& chunk, int pos, StateImage* image)
{
  int32_t count = 0;
  pos = chunk.Get(&count, pos);
  std::string last;
  for (int b = 0; b < count && pos >= 0; ++b)
  {
    std::string text;
    pos = chunk.GetStr(&text, pos);
    if (!text.empty()) last = text;
    if (b < kNumVoices) image->labels[b] = last;
  }
  image->labelCount = std::clamp<int32_t>(count, 0, kNumVoices);
  return pos;
}

// The file block is only stepped over.
int ReadFileBlock(const ByteChunk& chunk, int pos)
{
  int8_t flag = -1;
  pos = chunk.Get(&flag, pos);
  if (pos >= 0 && flag == 0) return pos;
  int32_t length = 0;
  pos = chunk.Get(&length, pos);
  return Skip(chunk, pos, length, 1);
}

// So are the per-buffer values.
int ReadPerBufferBlock(const ByteChunk& chunk, int pos)
{
  int8_t flag = -1;
  pos = chunk.Get(&flag, pos);
  if (pos >= 0 && flag == 0) return pos;
  int32_t buffers = 0, values = 0;
  pos = chunk.Get(&buffers, pos);
  pos = chunk.Get(&values, pos);
  if (buffers <= 0) return pos;
  return Skip(chunk, pos, static_cast<int64_t>(buffers) * std::max(values, 0), sizeof(double));
}

// The position after the state at pos, or -1 when it does not read whole.
int ReadStateImage(const ByteChunk& chunk, int pos, StateImage* image)
{
  pos = ReadParams(chunk, pos, image);
  pos = ReadSelections(chunk, pos, image);
  pos = ReadMidiMap(chunk, pos, image);
  pos = ReadOptions(chunk, pos, image);
  pos = ReadKeyFlags(chunk, pos, image);
  pos = ReadLabels(chunk, pos, image);
  pos = ReadFileBlock(chunk, pos);
  return ReadPerBufferBlock(chunk, pos);
}

}  // namespace

int Vesk::StateEnd(ByteChunk* chunk, int startPos)
{
  auto image = std::make_unique<StateImage>();
  return ReadStateImage(*chunk, startPos, image.get());
}

int Vesk::UnserializeState(ByteChunk* chunk, int startPos)
{
  IMutexLock lock(mMutex);
  auto image = std::make_unique<StateImage>();
  const int end = ReadStateImage(*chunk, startPos, image.get());
  if (end < 0) return -1;
  mParamsLoaded = 0;
  mRestoring = true;
  applyParams(*image);
  mRestoring = false;
  mParamsLoaded = 1;
  applySelections(*image);
  applyMidiMap(*image);
  applyOptions(*image);
  applyKeyFlags(*image);
  for (int b = 0; b < image->labelCount; ++b) mCore.buffer(b).label = image->labels[b];
  RedrawParamControls();
  return end;
}

// Every value is applied at once; the "use for" keys come from the key
// flags further on.
void Vesk::applyParams(const StateImage& image)
{
  for (int i = 0; i < image.paramCount; ++i)
    if (i < kUseForC || i >= kUseForC + kNumKeys) GetParam(i)->Set(image.params[i]);
  OnParamReset();
}

void Vesk::applySelections(const StateImage& image)
{
  for (int b = 0; b < image.selectionCount; ++b)
  {
    mCore.tabs().selStartFraction[b] = image.selStart[b];
    mCore.tabs().selEndFraction[b] = image.selEnd[b];
  }
  mCore.recomputeSelections();
}

void Vesk::applyMidiMap(const StateImage& image)
{
  for (int i = 0; i < kNumParams; ++i)
    if (!IsExcludedFromLearn(i)) mDispatcher.LearnAssigned(i, -1);
  mDispatcher.EraseMap();
  for (int c = 0; c < MidiDispatcher::kNumControllers; ++c)
    for (int paramIdx : image.map[c])
    {
      // A parameter is learned on one controller at most; repeats are dropped.
      if (mDispatcher.ControllerOf(paramIdx) >= 0) continue;
      mDispatcher.AppendToMap(c, paramIdx);
      mDispatcher.LearnAssigned(paramIdx, c);
    }
}

void Vesk::applyOptions(const StateImage& image)
{
  mDropOnMouseUp = image.dropOnMouseUp;
  mShowLabels = image.showLabels;
}

// The "use for" parameters show the picked buffer's flags.
void Vesk::applyKeyFlags(const StateImage& image)
{
  for (int k = 0; k < kNumKeys; ++k)
    for (int b = 0; b < image.keyWidth; ++b) mCore.tables().useFor[k][b] = image.keyFlags[k][b] != 0;
  const int picked = mCore.tabs().pickedTab;
  for (int k = 0; k < kNumKeys; ++k)
  {
    GetParam(UseForParam(k))->Set(mCore.tables().isUsedFor(k, picked) ? 1.0 : 0.0);
    mTargetValue[UseForParam(k)] = mAppliedValue[UseForParam(k)] = GetParam(UseForParam(k))->Value();
  }
}
