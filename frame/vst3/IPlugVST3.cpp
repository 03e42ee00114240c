// The VST3 adapter's component: identity, life, buses, activation, the
// state, and the link through which the plug-in reaches the host.
#include "frame/vst3/IPlugVST3.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "frame/vst3/Vst3Text.h"

using namespace vst3;

namespace {
// The first bus of each kind is the main one, and on from the start.
constexpr int kMainBus = 0;

// Every byte the stream still has, up to `limit`; false when there are more.
bool ReadAll(IBStream* stream, std::vector<uint8_t>* bytes, size_t limit)
{
  constexpr int32_t kStep = 1 << 16;
  for (;;)
  {
    const size_t at = bytes->size();
    if (at > limit) return false;
    bytes->resize(at + kStep);
    int32_t got = 0;
    if (stream->read(bytes->data() + at, kStep, &got) != kResultOk) got = 0;
    got = std::clamp(got, 0, kStep);
    bytes->resize(at + static_cast<size_t>(got));
    if (got < kStep) return true;
  }
}

bool WriteAll(IBStream* stream, const uint8_t* bytes, int size)
{
  for (int done = 0; done < size;)
  {
    int32_t wrote = 0;
    if (stream->write(const_cast<uint8_t*>(bytes + done), size - done, &wrote) != kResultOk || wrote <= 0)
      return false;
    done += std::min(wrote, size - done);
  }
  return true;
}
}  // namespace

IPlugVST3::IPlugVST3(std::unique_ptr<IPlugBase> plug) : mPlug(std::move(plug))
{
  if (!mPlug) throw std::bad_alloc();
  IPlugBase& p = *mPlug;
  IMutexLock lock(p.Mutex());
  p.SetInputChannelConnections(0, p.NInChannels(), false);
  ConnectInputBus(kMainBus);
  p.SetOutputChannelConnections(0, p.NOutChannels(), true);
  p.SetBlockSize(1024);
  p.SetHostLink(this);
  p.OnParamReset();
  mMidiValues[128] = 8192.0 / 16383.0;  // pitch bend at rest
  MakeRoom(1024);
}

IPlugVST3::~IPlugVST3()
{
  IMutexLock lock(mPlug->Mutex());
  if (mActive) mPlug->OnActivate(false);
  if (mHandler) mHandler->release();
  mPlug->SetHostLink(nullptr);
}

// ---- FUnknown and IPluginBase ---------------------------------------------------------

tresult IPlugVST3::queryInterface(const TUID iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  void* found = nullptr;
  if (FUnknown::kIid.Is(iid) || IPluginBase::kIid.Is(iid) || IComponent::kIid.Is(iid))
    found = static_cast<IComponent*>(this);
  else if (IAudioProcessor::kIid.Is(iid)) found = static_cast<IAudioProcessor*>(this);
  else if (IEditController::kIid.Is(iid)) found = static_cast<IEditController*>(this);
  else if (IMidiMapping::kIid.Is(iid)) found = static_cast<IMidiMapping*>(this);
  else if (IProcessContextRequirements::kIid.Is(iid)) found = static_cast<IProcessContextRequirements*>(this);
  else if (IVeskRequests::kIid.Is(iid)) found = static_cast<IVeskRequests*>(this);
  *obj = found;
  if (!found) return kNoInterface;
  addRef();
  return kResultOk;
}

uint32_t IPlugVST3::addRef()
{
  return ++mRefs;
}

uint32_t IPlugVST3::release()
{
  const uint32_t left = --mRefs;
  if (left == 0) delete this;
  return left;
}

// The host's name, for the plug-in's host table.
tresult IPlugVST3::initialize(FUnknown* context)
{
  IHostApplication* host = nullptr;
  if (context && context->queryInterface(IHostApplication::kIid.Data(), reinterpret_cast<void**>(&host)) == kResultOk &&
      host)
  {
    String128 name = {};
    if (host->getName(name) == kResultOk) mHostName = vst3_text::FromUtf16(name, 128);
    host->release();
  }
  IMutexLock lock(mPlug->Mutex());
  mPlug->GetHost();
  mPlug->OnHostIdentified();
  return kResultOk;
}

tresult IPlugVST3::terminate()
{
  setActive(false);
  setComponentHandler(nullptr);
  return kResultOk;
}

// ---- Buses ----------------------------------------------------------------------------

tresult IPlugVST3::getControllerClassId(TUID)
{
  return kNotImplemented;  // the component is its own controller
}

tresult IPlugVST3::setIoMode(int32_t)
{
  return kResultOk;
}

int32_t IPlugVST3::getBusCount(int32_t type, int32_t dir)
{
  if (type == kAudio) return dir == kInput ? kInputBuses : 1;
  return type == kEvent && dir == kInput ? 1 : 0;
}

tresult IPlugVST3::getBusInfo(int32_t type, int32_t dir, int32_t index, BusInfo& bus)
{
  if (index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
  bus = {};
  bus.mediaType = type;
  bus.direction = dir;
  bus.busType = index == kMainBus ? kMain : kAux;
  bus.flags = index == kMainBus ? uint32_t{BusInfo::kDefaultActive} : 0u;
  char name[32];
  if (type == kEvent)
  {
    bus.channelCount = 16;
    std::snprintf(name, sizeof name, "MIDI In");
  }
  else
  {
    bus.channelCount = 2;
    if (dir == kOutput) std::snprintf(name, sizeof name, "Output");
    else std::snprintf(name, sizeof name, "Input %d", index + 1);
  }
  vst3_text::ToUtf16(name, bus.name, 128);
  return kResultOk;
}

tresult IPlugVST3::getRoutingInfo(RoutingInfo&, RoutingInfo&)
{
  return kNotImplemented;
}

void IPlugVST3::ConnectInputBus(int bus)
{
  mPlug->SetInputChannelConnections(2 * bus, 2, InputBusCarries(bus));
}

tresult IPlugVST3::activateBus(int32_t type, int32_t dir, int32_t index, TBool state)
{
  if (index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
  if (type != kAudio || dir != kInput) return kResultOk;  // the output and the MIDI input are always there
  IMutexLock lock(mPlug->Mutex());
  mInputBusActive[index] = state != 0;
  ConnectInputBus(index);
  return kResultOk;
}

tresult IPlugVST3::setBusArrangements(SpeakerArrangement* inputs, int32_t numIns, SpeakerArrangement* outputs,
                                      int32_t numOuts)
{
  if (numIns < 0 || numIns > kInputBuses || (numIns > 0 && !inputs) || numOuts != 1 || !outputs ||
      outputs[0] != kSpeakerStereo)
    return kResultFalse;
  for (int32_t i = 0; i < numIns; ++i)
    if (inputs[i] != kSpeakerStereo && inputs[i] != 0) return kResultFalse;
  IMutexLock lock(mPlug->Mutex());
  for (int32_t i = 0; i < numIns; ++i)
  {
    mInputBusEmpty[i] = inputs[i] == 0;
    ConnectInputBus(i);
  }
  return kResultTrue;
}

tresult IPlugVST3::getBusArrangement(int32_t dir, int32_t index, SpeakerArrangement& arr)
{
  if (index < 0 || index >= getBusCount(kAudio, dir)) return kInvalidArgument;
  arr = dir == kInput && mInputBusEmpty[index] ? 0 : kSpeakerStereo;
  return kResultOk;
}

// ---- Activation -----------------------------------------------------------------------

tresult IPlugVST3::setActive(TBool state)
{
  const bool active = state != 0;
  IMutexLock lock(mPlug->Mutex());
  if (active == mActive) return kResultOk;
  mPlug->OnActivate(active);
  if (!active) mPlug->Reset();
  mActive = active;
  return kResultOk;
}

// ---- State ----------------------------------------------------------------------------

tresult IPlugVST3::GetComponentState(IBStream* state)
{
  if (!state) return kInvalidArgument;
  ByteChunk chunk;
  {
    IMutexLock lock(mPlug->Mutex());
    if (!mPlug->SaveState(&chunk, false)) return kResultFalse;
  }
  return WriteAll(state, chunk.GetBytes(), chunk.Size()) ? kResultOk : kResultFalse;
}

// The chunk is read whole before the lock is taken; one that does not read
// changes nothing. Hosts may hand a stream that goes on past our bytes,
// which the chunk's own structure ends before. The host is told to read
// the new values, as after any program the plug-in loads.
tresult IPlugVST3::SetComponentState(IBStream* state)
{
  if (!state) return kInvalidArgument;
  std::vector<uint8_t> bytes;
  if (!ReadAll(state, &bytes, kMaxStateBytes) || bytes.empty()) return kResultFalse;
  bool loaded;
  {
    IMutexLock lock(mPlug->Mutex());
    loaded = mPlug->LoadState(bytes.data(), static_cast<int64_t>(bytes.size()), false);
    if (loaded) AllParamsChanged();
  }
  mPlug->PrepareMemory();
  return loaded ? kResultOk : kResultFalse;
}

// The controller is the component: it keeps nothing of its own.
tresult IPlugVST3::setComponentState(IBStream*)
{
  return kResultOk;
}

tresult IPlugVST3::SetControllerState(IBStream*)
{
  return kResultOk;
}

tresult IPlugVST3::GetControllerState(IBStream*)
{
  return kResultOk;
}

int64_t IPlugVST3::request(int32_t index, int64_t value)
{
  IMutexLock lock(mPlug->Mutex());
  return mPlug->VendorSpecific(index, static_cast<intptr_t>(value), nullptr, 0.0f);
}

// ---- The link -------------------------------------------------------------------------

// Inside a block, changes go in the host's output queue at the piece being
// rendered; outside one (the editor, on the user-interface thread) through
// the component handler, inside a gesture.
void IPlugVST3::BeginParamEdit(int paramIdx)
{
  if (InProcess() || !mHandler || paramIdx < 0 || paramIdx >= mPlug->NParams()) return;
  mGestures.set(static_cast<size_t>(paramIdx));
  mHandler->beginEdit(static_cast<ParamID>(paramIdx));
}

void IPlugVST3::ParamChangedByPlug(int paramIdx, double normalized)
{
  if (paramIdx < 0 || paramIdx >= mPlug->NParams()) return;
  const auto id = static_cast<ParamID>(paramIdx);
  if (InProcess())
  {
    int32_t index = 0;
    if (IParameterChanges* out = mData->outputParameterChanges)
      if (IParamValueQueue* queue = out->addParameterData(id, index)) queue->addPoint(mSegmentStart, normalized, index);
    return;
  }
  if (!mHandler) return;
  const bool inGesture = mGestures.test(static_cast<size_t>(paramIdx));
  if (!inGesture) mHandler->beginEdit(id);
  mHandler->performEdit(id, normalized);
  if (!inGesture) mHandler->endEdit(id);
}

void IPlugVST3::EndParamEdit(int paramIdx)
{
  if (InProcess() || !mHandler || paramIdx < 0 || paramIdx >= mPlug->NParams()) return;
  mGestures.reset(static_cast<size_t>(paramIdx));
  mHandler->endEdit(static_cast<ParamID>(paramIdx));
}

void IPlugVST3::AllParamsChanged()
{
  if (InProcess())
  {
    for (int i = 0; i < mPlug->NParams(); ++i) ParamChangedByPlug(i, mPlug->GetParam(i)->GetNormalized());
    return;
  }
  if (mHandler) mHandler->restartComponent(kParamValuesChanged);
}

bool IPlugVST3::IsRenderingOffline()
{
  return (mData ? mData->processMode : mProcessMode) == kOffline;
}

std::string IPlugVST3::HostProduct()
{
  return mHostName;
}

int IPlugVST3::HostVersion()
{
  return 0;
}
