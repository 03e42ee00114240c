// The VST3 adapter's audio processor: set-up, and each block with its
// notes, its MIDI controllers, its sample-accurate parameter changes and
// the host's time. Nothing here allocates, waits beyond the plug-in lock
// or calls the system.
#include <algorithm>
#include <climits>
#include <cmath>

#include "frame/vst3/IPlugVST3.h"

using namespace vst3;

namespace {
uint8_t MidiByte(double normalized)
{
  return static_cast<uint8_t>(std::lround(std::clamp(normalized, 0.0, 1.0) * 127.0));
}

float* const* Channels(const AudioBusBuffers& bus, float*)
{
  return bus.channelBuffers32;
}

double* const* Channels(const AudioBusBuffers& bus, double*)
{
  return bus.channelBuffers64;
}

// The host's buffer for one channel of a bus, or null when it gives none.
template <typename Sample>
Sample* HostChannel(const AudioBusBuffers* buses, int count, int bus, int channel, bool skipSilent)
{
  if (!buses || bus >= count || channel >= buses[bus].numChannels) return nullptr;
  if (skipSilent && channel < 64 && (buses[bus].silenceFlags >> channel & 1)) return nullptr;
  Sample* const* channels = Channels(buses[bus], static_cast<Sample*>(nullptr));
  return channels ? channels[channel] : nullptr;
}
}  // namespace

tresult IPlugVST3::canProcessSampleSize(int32_t symbolicSampleSize)
{
  return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

uint32_t IPlugVST3::getLatencySamples()
{
  return static_cast<uint32_t>(std::max(0, mPlug->GetLatency()));
}

// Notes and recorded sound go on after the input falls silent.
uint32_t IPlugVST3::getTailSamples()
{
  return UINT32_MAX;
}

uint32_t IPlugVST3::getProcessContextRequirements()
{
  using R = IProcessContextRequirements;
  return R::kNeedProjectTimeMusic | R::kNeedBarPositionMusic | R::kNeedCycleMusic | R::kNeedTempo |
         R::kNeedTimeSignature | R::kNeedTransportState;
}

// Set up as a VST 2.4 host sets the same plug-in up (rate, then block), so
// all formats render alike.
tresult IPlugVST3::setupProcessing(ProcessSetup& setup)
{
  if (!IPlugBase::RunsAtSampleRate(setup.sampleRate) || setup.maxSamplesPerBlock <= 0 ||
      setup.maxSamplesPerBlock > (1 << 20))
    return kInvalidArgument;
  IMutexLock lock(mPlug->Mutex());
  mPlug->SetRateAndBlock(setup.sampleRate, setup.maxSamplesPerBlock);
  mProcessMode = setup.processMode;
  MakeRoom(setup.maxSamplesPerBlock);
  return kResultOk;
}

void IPlugVST3::MakeRoom(int frames)
{
  const auto n = static_cast<size_t>(frames);
  const auto outputs = static_cast<size_t>(mPlug->NOutChannels());
  mZeros32.assign(n, 0.0f);
  mZeros64.assign(n, 0.0);
  mScratch32.assign(outputs, std::vector<float>(n));
  mScratch64.assign(outputs, std::vector<double>(n));
  mIn32.assign(static_cast<size_t>(mPlug->NInChannels()), nullptr);
  mIn64.assign(static_cast<size_t>(mPlug->NInChannels()), nullptr);
  mOut32.assign(outputs, nullptr);
  mOut64.assign(outputs, nullptr);
  mRoom = frames;
}

tresult IPlugVST3::setProcessing(TBool)
{
  return kResultOk;
}

tresult IPlugVST3::process(ProcessData& data)
{
  IMutexLock lock(mPlug->Mutex());
  const int frames = std::max(0, data.numSamples);
  const bool doubles = data.symbolicSampleSize == kSample64;
  if (!mActive || (!doubles && data.symbolicSampleSize != kSample32))
  {
    // Nothing sounds before activation, but the host's changes are kept.
    mData = &data;
    ApplyPointsUpTo(GatherParamQueues(data.inputParameterChanges, frames), INT_MAX, frames);
    mData = nullptr;
    Silence(data);
    return mActive ? kInvalidArgument : kNotInitialized;
  }
  mData = &data;
  const int cursors = GatherParamQueues(data.inputParameterChanges, frames);
  TakeEvents(data.inputEvents, frames);
  for (int done = 0;;)
  {
    const int next = ApplyPointsUpTo(cursors, done, frames);
    RenderSegment(done, next - done);
    if (next >= frames) break;
    done = next;
  }
  ApplyPointsUpTo(cursors, INT_MAX, frames);
  MarkSilentOutputs(frames);
  mData = nullptr;
  return kResultOk;
}

// ---- Notes and controllers ------------------------------------------------------------

// Notes become the MIDI messages the plug-in takes, at their offsets inside
// the block; other events are not used.
void IPlugVST3::TakeEvents(IEventList* events, int frames)
{
  const int32_t count = events ? events->getEventCount() : 0;
  for (int32_t i = 0; i < count; ++i)
  {
    Event e{};
    if (events->getEvent(i, e) != kResultOk || e.busIndex != 0) continue;
    const int offset = std::clamp(e.sampleOffset, 0, std::max(0, frames - 1));
    if (e.type == Event::kNoteOnEvent || e.type == Event::kNoteOffEvent)
    {
      const bool on = e.type == Event::kNoteOnEvent;
      const int16_t pitch = on ? e.noteOn.pitch : e.noteOff.pitch;
      if (pitch < 0 || pitch > 127) continue;
      const double velocity = on ? e.noteOn.velocity : e.noteOff.velocity;
      uint8_t byte = MidiByte(std::isfinite(velocity) ? velocity : 0.0);
      if (on && byte == 0 && velocity > 0.0) byte = 1;  // a soft note is still a note
      const int channel = (on ? e.noteOn.channel : e.noteOff.channel) & 0x0F;
      IMidiMsg msg(offset, static_cast<uint8_t>((on ? 0x90 : 0x80) | channel), static_cast<uint8_t>(pitch), byte);
      mPlug->ProcessMidiMsg(&msg);
    }
    else if (e.type == Event::kDataEvent && e.data.type == DataEvent::kMidiSysEx && e.data.bytes)
    {
      ISysEx sysex;
      sysex.mOffset = offset;
      sysex.mSize = static_cast<int32_t>(std::min<uint32_t>(e.data.size, INT32_MAX));
      sysex.mData = e.data.bytes;
      mPlug->ProcessSysEx(&sysex);
    }
  }
}

// A MIDI parameter's points become controller or pitch-bend messages at
// their offsets, as the host's MIDI had them.
void IPlugVST3::TakeMidiParam(IParamValueQueue* queue, ParamID id, int frames)
{
  const int slot = MidiSlot(id);
  const int32_t points = queue->getPointCount();
  for (int32_t i = 0; i < points; ++i)
  {
    int32_t offset = 0;
    ParamValue value = 0.0;
    if (queue->getPoint(i, offset, value) != kResultOk || !std::isfinite(value)) continue;
    value = std::clamp(value, 0.0, 1.0);
    mMidiValues[slot] = value;
    offset = std::clamp(offset, 0, std::max(0, frames - 1));
    IMidiMsg msg(offset, 0xB0, static_cast<uint8_t>(slot), MidiByte(value));
    if (slot == 128)
    {
      const auto bend = static_cast<int>(std::lround(value * 16383.0));
      msg = IMidiMsg(offset, 0xE0, static_cast<uint8_t>(bend & 0x7F), static_cast<uint8_t>(bend >> 7));
    }
    mPlug->ProcessMidiMsg(&msg);
  }
}

// ---- Parameter changes ----------------------------------------------------------------

// The block's queues: MIDI ones are taken at once, the plug-in's own are
// kept to be applied at their points as the block is rendered.
int IPlugVST3::GatherParamQueues(IParameterChanges* changes, int frames)
{
  int cursors = 0;
  const int32_t count = changes ? changes->getParameterCount() : 0;
  for (int32_t i = 0; i < count; ++i)
  {
    IParamValueQueue* queue = changes->getParameterData(i);
    if (!queue) continue;
    const ParamID id = queue->getParameterId();
    if (MidiSlot(id) >= 0 && mActive) TakeMidiParam(queue, id, frames);
    else if (id < static_cast<ParamID>(mPlug->NParams()) && cursors < kMaxQueues)
      mCursors[cursors++] = {queue, static_cast<int>(id), 0, queue->getPointCount()};
  }
  return cursors;
}

// Applies every point at or before `at`; the offset of the first later
// point, or `frames` when there is none in the block.
int IPlugVST3::ApplyPointsUpTo(int cursors, int at, int frames)
{
  int next = frames;
  for (int c = 0; c < cursors; ++c)
  {
    Cursor& cursor = mCursors[c];
    for (; cursor.point < cursor.count; ++cursor.point)
    {
      int32_t offset = 0;
      ParamValue value = 0.0;
      if (cursor.queue->getPoint(cursor.point, offset, value) != kResultOk) continue;
      if (offset > at)
      {
        next = std::min(next, offset);
        break;
      }
      ApplyParam(cursor.param, value);
    }
  }
  return next;
}

// As a VST 2.4 host's automation; an infinite value changes nothing either.
void IPlugVST3::ApplyParam(int paramIdx, double normalized)
{
  if (std::isfinite(normalized)) mPlug->SetParamFromHost(paramIdx, normalized);
}

// ---- Rendering ------------------------------------------------------------------------

// A stretch between parameter changes, in pieces the room holds.
void IPlugVST3::RenderSegment(int start, int frames)
{
  for (int done = 0; done < frames;)
  {
    const int n = std::min(mRoom, frames - done);
    mSegmentStart = start + done;
    if (mData->symbolicSampleSize == kSample64) RenderPiece<double>(start + done, n);
    else RenderPiece<float>(start + done, n);
    done += n;
  }
}

// The connected inputs in order (zeros where the host gives none or says
// silence), the outputs the host takes (scratch for the others).
template <typename Sample>
void IPlugVST3::RenderPiece(int start, int frames)
{
  constexpr bool kDoubles = sizeof(Sample) == sizeof(double);
  auto& ins = [this]() -> auto& { if constexpr (kDoubles) return mIn64; else return mIn32; }();
  auto& outs = [this]() -> auto& { if constexpr (kDoubles) return mOut64; else return mOut32; }();
  auto& scratch = [this]() -> auto& { if constexpr (kDoubles) return mScratch64; else return mScratch32; }();
  Sample* zeros = [this] { if constexpr (kDoubles) return mZeros64.data(); else return mZeros32.data(); }();
  int n = 0;
  for (int ch = 0; ch < mPlug->NInChannels(); ++ch)
  {
    if (!mPlug->IsInChannelConnected(ch)) continue;
    Sample* host = HostChannel<Sample>(mData->inputs, mData->numInputs, ch / 2, ch % 2, true);
    ins[static_cast<size_t>(n++)] = host ? host + start : zeros;
  }
  for (size_t ch = 0; ch < outs.size(); ++ch)
  {
    Sample* host = HostChannel<Sample>(mData->outputs, mData->numOutputs, 0, static_cast<int>(ch), false);
    outs[ch] = host ? host + start : scratch[ch].data();
  }
  if constexpr (kDoubles) mPlug->ProcessDoubleBlock(ins.data(), outs.data(), frames);
  else mPlug->ProcessFloatBlock(ins.data(), outs.data(), frames, false);
}

// The host may skip what follows an output that is all zeros.
void IPlugVST3::MarkSilentOutputs(int frames)
{
  if (!mData->outputs || mData->numOutputs < 1) return;
  AudioBusBuffers& bus = mData->outputs[0];
  bus.silenceFlags = 0;
  const bool doubles = mData->symbolicSampleSize == kSample64;
  for (int ch = 0; ch < std::min(bus.numChannels, 64); ++ch)
  {
    bool silent = true;
    if (doubles && bus.channelBuffers64 && bus.channelBuffers64[ch])
      silent = std::all_of(bus.channelBuffers64[ch], bus.channelBuffers64[ch] + frames, [](double s) { return s == 0.0; });
    else if (!doubles && bus.channelBuffers32 && bus.channelBuffers32[ch])
      silent = std::all_of(bus.channelBuffers32[ch], bus.channelBuffers32[ch] + frames, [](float s) { return s == 0.0f; });
    if (silent) bus.silenceFlags |= uint64_t{1} << ch;
  }
}

void IPlugVST3::Silence(ProcessData& data)
{
  const int frames = std::max(0, data.numSamples);
  for (int b = 0; data.outputs && b < data.numOutputs; ++b)
  {
    AudioBusBuffers& bus = data.outputs[b];
    for (int ch = 0; ch < bus.numChannels; ++ch)
    {
      if (data.symbolicSampleSize == kSample64 && bus.channelBuffers64 && bus.channelBuffers64[ch])
        std::fill_n(bus.channelBuffers64[ch], frames, 0.0);
      else if (data.symbolicSampleSize == kSample32 && bus.channelBuffers32 && bus.channelBuffers32[ch])
        std::fill_n(bus.channelBuffers32[ch], frames, 0.0f);
    }
    bus.silenceFlags = bus.numChannels >= 64 ? ~uint64_t{0} : (uint64_t{1} << std::max(0, bus.numChannels)) - 1;
  }
}

// ---- Time -----------------------------------------------------------------------------

// The fields the host marks valid; the others keep what the caller put in.
bool IPlugVST3::GetTime(ITimeInfo* info)
{
  const ProcessContext* c = mData ? mData->processContext : nullptr;
  using P = ProcessContext;
  if (!c || !(c->state & (P::kTempoValid | P::kProjectTimeMusicValid | P::kBarPositionValid | P::kCycleValid |
                          P::kTimeSigValid)))
    return false;
  const uint32_t s = c->state;
  const bool cycle = s & P::kCycleValid, signature = s & P::kTimeSigValid;
  HostTime{.samplePos = static_cast<double>(c->projectTimeSamples),
           .quarters = s & P::kProjectTimeMusicValid ? c->projectTimeMusic : -1.0,
           .tempo = s & P::kTempoValid ? c->tempo : 0.0,
           .lastBar = s & P::kBarPositionValid ? c->barPositionMusic : -1.0,
           .cycleStart = cycle ? c->cycleStartMusic : -1.0,
           .cycleEnd = cycle ? c->cycleEndMusic : -1.0,
           .numerator = signature ? c->timeSigNumerator : 0,
           .denominator = signature ? c->timeSigDenominator : 0,
           .playing = (s & P::kPlaying) != 0,
           .looping = (s & P::kCycleActive) != 0}
      .Into(info);
  return true;
}
