#include "frame/lv2/IPlugLV2.h"

#include "frame/lv2/Lv2Atoms.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>

namespace {
constexpr int kDefaultMaxBlock = 4096;
constexpr int kLargestBlock = 1 << 16;
// A transport running faster than this is a host's mistake.
constexpr double kFastestSpeed = 100.0;
}  // namespace

struct IPlugLV2::Uris
{
  LV2_URID atomChunk, atomFloat, atomDouble, atomInt, atomLong, atomObject, atomBlank, atomSequence;
  LV2_URID midiEvent, timePosition, timeSpeed, timeBpm, timeBar, timeBarBeat, timeBeatsPerBar, timeBeatUnit;
  LV2_URID chunkKey;

  explicit Uris(LV2_URID_Map* map)
  {
    auto id = [map](const char* uri) { return map->map(map->handle, uri); };
    atomChunk = id(LV2_ATOM__Chunk), atomFloat = id(LV2_ATOM__Float), atomDouble = id(LV2_ATOM__Double);
    atomInt = id(LV2_ATOM__Int), atomLong = id(LV2_ATOM__Long), atomObject = id(LV2_ATOM__Object);
    atomBlank = id(LV2_ATOM__Blank), atomSequence = id(LV2_ATOM__Sequence);
    midiEvent = id(LV2_MIDI__MidiEvent), timePosition = id(LV2_TIME__Position), timeSpeed = id(LV2_TIME__speed);
    timeBpm = id(LV2_TIME__beatsPerMinute), timeBar = id(LV2_TIME__bar), timeBarBeat = id(LV2_TIME__barBeat);
    timeBeatsPerBar = id(LV2_TIME__beatsPerBar), timeBeatUnit = id(LV2_TIME__beatUnit);
    chunkKey = id(vesk_lv2::kChunkKey);
  }

  // A number atom of any of the usual types whose body is there; false for anything else.
  bool Number(const LV2_Atom* atom, double* out) const
  {
    using lv2_atoms::Body;
    if (!atom) return false;
    float f;
    int32_t i;
    int64_t l;
    if (atom->type == atomFloat && Body(atom, &f)) *out = f;
    else if (atom->type == atomDouble && Body(atom, out)) {}
    else if (atom->type == atomInt && Body(atom, &i)) *out = i;
    else if (atom->type == atomLong && Body(atom, &l)) *out = static_cast<double>(l);
    else return false;
    return std::isfinite(*out);
  }
};

// The host's time line as its last position said, moved on by the frames run since.
struct IPlugLV2::Transport
{
  double sampleRate = 48000.0;
  double samplePos = 0.0;
  double tempo = 120.0;
  double quarters = 0.0;
  double speed = 0.0;
  int numerator = 4, denominator = 4;
  bool knowsQuarters = false;

  void Advance(uint32_t frames)
  {
    samplePos += frames * speed;
    quarters += frames * speed * tempo / 60.0 / sampleRate * 4.0 / denominator;
  }

  void Fill(ITimeInfo* info) const
  {
    HostTime{.samplePos = samplePos,
             .quarters = knowsQuarters ? quarters : -1.0,
             .tempo = tempo,
             .numerator = numerator,
             .denominator = denominator,
             .playing = speed != 0.0}
        .Into(info);
  }
};

// ---- Life ---------------------------------------------------------------------------

IPlugLV2* IPlugLV2::Create(IPlugBase* plug, double sampleRate, const LV2_Feature* const* features)
{
  std::unique_ptr<IPlugBase> owned(plug);
  auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(vesk_lv2::FindFeature(features, LV2_URID__map)));
  if (!plug || !map || !IPlugBase::RunsAtSampleRate(sampleRate)) return nullptr;
  int maxBlock = kDefaultMaxBlock;
  const LV2_URID maxKey = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
  auto* options = static_cast<const LV2_Options_Option*>(vesk_lv2::FindFeature(features, LV2_OPTIONS__options));
  for (; options && options->key; ++options)
    if (options->key == maxKey && options->type == intType && options->value)
      maxBlock = std::clamp(*static_cast<const int32_t*>(options->value), 1, kLargestBlock);
  return new IPlugLV2(std::move(owned), sampleRate, map, maxBlock);
}

// Set up as a VST 2.4 host sets the same plug-in up (open, rate, block), so
// both render alike.
IPlugLV2::IPlugLV2(std::unique_ptr<IPlugBase> plug, double sampleRate, LV2_URID_Map* map, int maxBlock)
    : mLayout{static_cast<uint32_t>(plug->NParams()), static_cast<uint32_t>(plug->NInChannels()),
              static_cast<uint32_t>(plug->NOutChannels())},
      mUris(std::make_unique<Uris>(map)),
      mTransport(std::make_unique<Transport>()),
      mMaxBlock(maxBlock),
      mControls(mLayout.params, nullptr),
      mLastControl(mLayout.params),
      mInputs(mLayout.inputs, nullptr),
      mOutputs(mLayout.outputs, nullptr),
      mZeros(static_cast<size_t>(maxBlock), 0.0f),
      mScratch(mLayout.outputs, std::vector<float>(static_cast<size_t>(maxBlock))),
      mInPtrs(mLayout.inputs),
      mOutPtrs(mLayout.outputs),
      mForEditor(new std::atomic<uint8_t>[mLayout.params]()),
      mPlug(std::move(plug))
{
  IPlugBase& p = *mPlug;
  IMutexLock lock(p.Mutex());
  mTransport->sampleRate = sampleRate;
  p.SetInputChannelConnections(0, p.NInChannels(), true);
  p.SetOutputChannelConnections(0, p.NOutChannels(), true);
  p.SetBlockSize(1024);
  p.SetHostLink(this);
  for (uint32_t i = 0; i < mLayout.params; ++i) mLastControl[i] = static_cast<float>(p.GetParam(i)->Value());
  p.OnParamReset();
  p.SetRateAndBlock(sampleRate, maxBlock);
  // A restore that finds no chunk brings back the patch a fresh instance has.
  ByteChunk defaults;
  if (p.SaveState(&defaults, false)) mDefaultState.assign(defaults.GetBytes(), defaults.GetBytes() + defaults.Size());
}

IPlugLV2::~IPlugLV2()
{
  if (mActive) Deactivate();
  mPlug->SetHostLink(nullptr);
}

void IPlugLV2::ConnectPort(uint32_t port, void* data)
{
  if (port < mLayout.FirstInput()) mControls[port] = static_cast<const float*>(data);
  else if (port < mLayout.FirstOutput()) mInputs[port - mLayout.FirstInput()] = static_cast<const float*>(data);
  else if (port < mLayout.Events()) mOutputs[port - mLayout.FirstOutput()] = static_cast<float*>(data);
  else if (port == mLayout.Events()) mEvents = static_cast<const LV2_Atom_Sequence*>(data);
  else if (port == mLayout.Notify()) mNotify = static_cast<LV2_Atom_Sequence*>(data);
}

void IPlugLV2::Activate()
{
  if (mActive) return;
  IMutexLock lock(mPlug->Mutex());
  mPlug->OnActivate(true);
  mActive = true;
}

void IPlugLV2::Deactivate()
{
  if (!mActive) return;
  IMutexLock lock(mPlug->Mutex());
  mPlug->OnActivate(false);
  mPlug->Reset();
  mActive = false;
}

// ---- The link -------------------------------------------------------------------------

void IPlugLV2::BeginParamEdit(int) {}
void IPlugLV2::EndParamEdit(int) {}

void IPlugLV2::ParamChangedByPlug(int paramIdx, double)
{
  if (paramIdx >= 0 && static_cast<uint32_t>(paramIdx) < mLayout.params) MarkForEditor(paramIdx);
}

void IPlugLV2::AllParamsChanged()
{
  MarkAllForEditor();
}

bool IPlugLV2::GetTime(ITimeInfo* info)
{
  mTransport->Fill(info);
  return true;
}

bool IPlugLV2::IsRenderingOffline()
{
  return false;
}

std::string IPlugLV2::HostProduct()
{
  return {};
}

int IPlugLV2::HostVersion()
{
  return 0;
}

// A value the instance changed itself reaches the host through the editor's
// port writes, the one way LV2 hosts take a plug-in's word for a control
// port; with the editor closed, the state the host saves holds it.
void IPlugLV2::MarkForEditor(int paramIdx)
{
  mForEditor[paramIdx].store(1, std::memory_order_relaxed);
}

void IPlugLV2::MarkAllForEditor()
{
  for (uint32_t i = 0; i < mLayout.params; ++i) MarkForEditor(static_cast<int>(i));
}

// ---- Running ------------------------------------------------------------------------

void IPlugLV2::Run(uint32_t frames)
{
  if (!mActive || frames == 0)
  {
    Silence(frames);
    return;
  }
  ReadPositions();
  ApplyControlPorts();
  for (uint32_t offset = 0; offset < frames; offset += static_cast<uint32_t>(mMaxBlock))
    RunPiece(offset, std::min(frames - offset, static_cast<uint32_t>(mMaxBlock)), frames);
  EmptyNotify();
}

void IPlugLV2::Silence(uint32_t frames)
{
  for (float* out : mOutputs)
    if (out) std::fill(out, out + frames, 0.0f);
  EmptyNotify();
}

// The notify port is ours to fill and says nothing (hosts take no patch:Set
// for properties the description does not declare): a well-formed empty
// sequence, never the host's capacity chunk left as it was.
void IPlugLV2::EmptyNotify()
{
  if (!mNotify || mNotify->atom.size < sizeof(LV2_Atom_Sequence_Body)) return;
  mNotify->atom.type = mUris->atomSequence;
  mNotify->atom.size = sizeof(LV2_Atom_Sequence_Body);
  mNotify->body.unit = mNotify->body.pad = 0;
}

// The host's time positions in the block; the last one counts.
void IPlugLV2::ReadPositions()
{
  lv2_atoms::ForEachEvent(mEvents, mUris->atomSequence, [this](int64_t, const LV2_Atom* body) {
    if (body->type != mUris->atomObject && body->type != mUris->atomBlank) return;
    if (lv2_atoms::ObjectType(body) == mUris->timePosition) ReadPosition(body);
  });
}

// The block's MIDI that falls in this piece goes to the instance's queue,
// which keeps note-offs first when full; events outside the block count at
// its nearer end. Under the lock.
void IPlugLV2::SendMidi(uint32_t offset, uint32_t frames, uint32_t blockFrames)
{
  lv2_atoms::ForEachEvent(mEvents, mUris->atomSequence, [&](int64_t time, const LV2_Atom* body) {
    if (body->type != mUris->midiEvent || body->size < 1 || body->size > 3) return;
    const int64_t frame = std::clamp<int64_t>(time, 0, blockFrames - 1);
    if (frame < offset || frame >= offset + frames) return;
    uint8_t bytes[3] = {};
    std::memcpy(bytes, body + 1, body->size);
    IMidiMsg msg(static_cast<int>(frame - offset), bytes[0], bytes[1], bytes[2]);
    mPlug->ProcessMidiMsg(&msg);
  });
}

// The first of each property counts, as the atom library's lookup has it.
void IPlugLV2::ReadPosition(const LV2_Atom* position)
{
  const LV2_Atom *bar = nullptr, *barBeat = nullptr, *beatsPerBar = nullptr, *beatUnit = nullptr, *bpm = nullptr,
                 *speed = nullptr;
  const std::pair<LV2_URID, const LV2_Atom**> wanted[] = {
    {mUris->timeBar, &bar}, {mUris->timeBarBeat, &barBeat}, {mUris->timeBeatsPerBar, &beatsPerBar},
    {mUris->timeBeatUnit, &beatUnit}, {mUris->timeBpm, &bpm}, {mUris->timeSpeed, &speed}};
  lv2_atoms::ForEachProperty(position, [&](uint32_t key, const LV2_Atom* value) {
    for (const auto& [id, slot] : wanted)
      if (key == id && !*slot) *slot = value;
  });
  Transport& t = *mTransport;
  double v = 0.0;
  if (mUris->Number(bpm, &v) && v > 0.0) t.tempo = IPlugBase::SaneTempo(v);
  if (mUris->Number(speed, &v)) t.speed = std::clamp(v, -kFastestSpeed, kFastestSpeed);
  if (mUris->Number(beatsPerBar, &v) && v >= 1.0 && v <= 64.0) t.numerator = static_cast<int>(v);
  if (mUris->Number(beatUnit, &v) && v >= 1.0 && v <= 64.0) t.denominator = static_cast<int>(v);
  double barIndex = 0.0, beat = 0.0;
  if (mUris->Number(bar, &barIndex) && mUris->Number(barBeat, &beat))
  {
    t.quarters = (barIndex * t.numerator + beat) * 4.0 / t.denominator;
    t.knowsQuarters = true;
  }
}

// A control port the host moved since the last block sets its parameter
// (through its normalised form as a float, as a VST 2.4 host's automation
// does); a port that stands still leaves the value the instance may have
// changed itself.
void IPlugLV2::ApplyControlPorts()
{
  IMutexLock lock(mPlug->Mutex());
  for (uint32_t i = 0; i < mLayout.params; ++i)
  {
    const float* port = mControls[i];
    if (!port || *port == mLastControl[i] || !std::isfinite(*port)) continue;
    mLastControl[i] = *port;
    // A port set to what the instance holds (a preset's port values after
    // its state) changes nothing: a float's rounding must not move the value.
    const IParam* param = mPlug->GetParam(static_cast<int>(i));
    if (*port == static_cast<float>(param->Value())) continue;
    mPlug->SetParamFromHost(static_cast<int>(i), static_cast<float>(param->GetNormalized(*port)));
  }
}

void IPlugLV2::TakeControlPortsAsApplied()
{
  for (uint32_t i = 0; i < mLayout.params; ++i)
    if (mControls[i] && std::isfinite(*mControls[i])) mLastControl[i] = *mControls[i];
}

void IPlugLV2::RunPiece(uint32_t offset, uint32_t frames, uint32_t blockFrames)
{
  IMutexLock lock(mPlug->Mutex());
  SendMidi(offset, frames, blockFrames);
  for (uint32_t c = 0; c < mLayout.inputs; ++c)
    mInPtrs[c] = mInputs[c] ? const_cast<float*>(mInputs[c]) + offset : mZeros.data();
  for (uint32_t c = 0; c < mLayout.outputs; ++c) mOutPtrs[c] = mOutputs[c] ? mOutputs[c] + offset : mScratch[c].data();
  mPlug->ProcessFloatBlock(mInPtrs.data(), mOutPtrs.data(), static_cast<int>(frames), false);
  mTransport->Advance(frames);
}

// ---- State --------------------------------------------------------------------------

LV2_State_Status IPlugLV2::Save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
  ByteChunk chunk;
  {
    IMutexLock lock(mPlug->Mutex());
    if (!mPlug->SaveState(&chunk, false)) return LV2_STATE_ERR_UNKNOWN;
  }
  return store(handle, mUris->chunkKey, chunk.GetBytes(), static_cast<size_t>(chunk.Size()), mUris->atomChunk,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status IPlugLV2::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
  size_t size = 0;
  uint32_t type = 0, flags = 0;
  const void* data = retrieve(handle, mUris->chunkKey, &size, &type, &flags);
  if (!data && mDefaultState.empty()) return LV2_STATE_ERR_NO_PROPERTY;
  if (!data)
  {
    // The state interface asks for the defaults when a value is missing.
    data = mDefaultState.data();
    size = mDefaultState.size();
    type = mUris->atomChunk;
  }
  if (type != mUris->atomChunk) return LV2_STATE_ERR_BAD_TYPE;
  if (size == 0 || size > static_cast<size_t>(INT32_MAX)) return LV2_STATE_ERR_UNKNOWN;
  {
    IMutexLock lock(mPlug->Mutex());
    if (!mPlug->LoadState(data, static_cast<int64_t>(size), false)) return LV2_STATE_ERR_UNKNOWN;
  }
  // The state wins over what the ports held; the host hears its values.
  TakeControlPortsAsApplied();
  MarkAllForEditor();
  mPlug->PrepareMemory();
  return LV2_STATE_SUCCESS;
}

// ---- The editor ---------------------------------------------------------------------

uintptr_t IPlugLV2::OpenEditor(uintptr_t parent, vesk_lv2::WritePort write, void* controller)
{
  IEditorLink* editor = mPlug->Editor();
  if (!editor || !parent) return 0;
  mWrite = write;
  mController = controller;
  if (!mPlug->OpenEditor(reinterpret_cast<void*>(parent))) return 0;
  IMutexLock lock(mPlug->Mutex());
  return editor->Window();
}

// The editor's idle, then the values the instance changed since the last
// one go to the host's control ports, so its own view and automation follow.
void IPlugLV2::IdleEditor()
{
  if (IEditorLink* editor = mPlug->Editor()) editor->Idle();
  if (!mWrite) return;
  for (uint32_t i = 0; i < mLayout.params; ++i)
  {
    if (!mForEditor[i].exchange(0, std::memory_order_relaxed)) continue;
    float value;
    {
      IMutexLock lock(mPlug->Mutex());
      value = static_cast<float>(mPlug->GetParam(static_cast<int>(i))->Value());
    }
    mWrite(mController, i, sizeof value, 0, &value);
  }
}

void IPlugLV2::CloseEditor()
{
  mPlug->CloseEditor();
  mWrite = nullptr;
  mController = nullptr;
}

void IPlugLV2::EditorSize(int* width, int* height)
{
  IEditorLink* editor = mPlug->Editor();
  *width = editor ? editor->Width() : 0;
  *height = editor ? editor->Height() : 0;
}

// ---- Extensions ---------------------------------------------------------------------

namespace {
IPlugLV2* Adapter(void* instance) { return static_cast<IPlugLV2*>(instance); }

LV2_State_Status SaveState(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                           const LV2_Feature* const*)
{
  return Adapter(instance)->Save(store, handle);
}

LV2_State_Status RestoreState(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                              uint32_t, const LV2_Feature* const*)
{
  return Adapter(instance)->Restore(retrieve, handle);
}

const LV2_State_Interface kStateInterface = {SaveState, RestoreState};

const vesk_lv2::EditorLink kEditorLink = {
    [](void* instance, uintptr_t parent, vesk_lv2::WritePort write, void* controller) {
      return Adapter(instance)->OpenEditor(parent, write, controller);
    },
    [](void* instance) { Adapter(instance)->IdleEditor(); },
    [](void* instance) { Adapter(instance)->CloseEditor(); },
    [](void* instance, int* width, int* height) { Adapter(instance)->EditorSize(width, height); },
};
}  // namespace

const void* IPlugLV2::ExtensionData(const char* uri)
{
  if (!uri) return nullptr;
  if (std::strcmp(uri, LV2_STATE__interface) == 0) return &kStateInterface;
  if (std::strcmp(uri, vesk_lv2::kEditorLinkUri) == 0) return &kEditorLink;
  return nullptr;
}
