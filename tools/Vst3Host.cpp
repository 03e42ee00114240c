#include "tools/Vst3Host.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#if !defined(_WIN32)
#include <poll.h>

#include <chrono>
#endif

#include "tools/PluginHost.h"

using namespace vst3;

namespace vst3_host {

std::string Narrow(const TChar* text, size_t size)
{
  std::string out;
  for (size_t i = 0; i < size && text[i]; ++i) out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
  return out;
}

namespace {
// The module inside a bundle for this platform, or the path as given.
std::string ModulePath(const std::string& path)
{
  namespace fs = std::filesystem;
  if (!fs::is_directory(fs::u8path(path))) return path;
  const fs::path name = fs::u8path(path).filename().replace_extension();
#if defined(_WIN32)
  return (fs::u8path(path) / "Contents" / "x86_64-win" / name).string() + ".vst3";
#else
  return (fs::u8path(path) / "Contents" / "x86_64-linux" / name).string() + ".so";
#endif
}
}  // namespace

// ---- Streams, queues and lists --------------------------------------------------------

tresult MemoryStream::read(void* buffer, int32_t numBytes, int32_t* numBytesRead)
{
  const int64_t left = std::max<int64_t>(0, static_cast<int64_t>(bytes.size()) - position);
  const auto n = static_cast<int32_t>(std::clamp<int64_t>(numBytes, 0, left));
  if (n > 0) std::memcpy(buffer, bytes.data() + position, static_cast<size_t>(n));
  position += n;
  if (numBytesRead) *numBytesRead = n;
  return kResultOk;
}

tresult MemoryStream::write(void* buffer, int32_t numBytes, int32_t* numBytesWritten)
{
  if (numBytes < 0) return kInvalidArgument;
  const auto end = static_cast<size_t>(position + numBytes);
  if (end > bytes.size()) bytes.resize(end);
  std::memcpy(bytes.data() + position, buffer, static_cast<size_t>(numBytes));
  position += numBytes;
  if (numBytesWritten) *numBytesWritten = numBytes;
  return kResultOk;
}

tresult MemoryStream::seek(int64_t pos, int32_t mode, int64_t* result)
{
  const int64_t base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? position : static_cast<int64_t>(bytes.size());
  if (base + pos < 0) return kInvalidArgument;
  position = base + pos;
  if (result) *result = position;
  return kResultOk;
}

tresult MemoryStream::tell(int64_t* pos)
{
  if (!pos) return kInvalidArgument;
  *pos = position;
  return kResultOk;
}

tresult ParamQueue::getPoint(int32_t index, int32_t& sampleOffset, ParamValue& value)
{
  if (index < 0 || index >= getPointCount()) return kInvalidArgument;
  sampleOffset = points[static_cast<size_t>(index)].first;
  value = points[static_cast<size_t>(index)].second;
  return kResultOk;
}

tresult ParamQueue::addPoint(int32_t sampleOffset, ParamValue value, int32_t& index)
{
  if (points.size() == points.capacity()) return kResultFalse;  // no allocation while processing
  auto at = std::upper_bound(points.begin(), points.end(), sampleOffset,
                             [](int32_t offset, const auto& p) { return offset < p.first; });
  index = static_cast<int32_t>(points.insert(at, {sampleOffset, value}) - points.begin());
  return kResultOk;
}

ParamChanges::ParamChanges(int count, int points) : queues(static_cast<size_t>(count)), pointsEach(static_cast<size_t>(points))
{
  for (auto& q : queues) q.points.reserve(pointsEach);
}

IParamValueQueue* ParamChanges::getParameterData(int32_t index)
{
  return index >= 0 && index < used ? &queues[static_cast<size_t>(index)] : nullptr;
}

IParamValueQueue* ParamChanges::addParameterData(const ParamID& id, int32_t& index)
{
  for (index = 0; index < used; ++index)
    if (queues[static_cast<size_t>(index)].id == id) return &queues[static_cast<size_t>(index)];
  if (used == static_cast<int32_t>(queues.size())) return nullptr;
  ParamQueue& q = queues[static_cast<size_t>(used++)];
  q.id = id;
  q.points.clear();
  return &q;
}

void ParamChanges::Add(ParamID id, int32_t offset, double value)
{
  int32_t index = 0;
  if (IParamValueQueue* q = addParameterData(id, index)) q->addPoint(offset, value, index);
}

void ParamChanges::Clear()
{
  used = 0;
}

bool ParamChanges::Last(ParamID id, double* value) const
{
  for (int32_t i = 0; i < used; ++i)
    if (queues[static_cast<size_t>(i)].id == id && !queues[static_cast<size_t>(i)].points.empty())
      return (*value = queues[static_cast<size_t>(i)].points.back().second), true;
  return false;
}

tresult EventList::getEvent(int32_t index, Event& e)
{
  if (index < 0 || index >= getEventCount()) return kInvalidArgument;
  e = events[static_cast<size_t>(index)];
  return kResultOk;
}

tresult EventList::addEvent(Event& e)
{
  if (events.size() == events.capacity()) return kResultFalse;
  events.push_back(e);
  return kResultOk;
}

// ---- The host -------------------------------------------------------------------------

tresult HostContext::queryInterface(const TUID iid, void** obj)
{
  *obj = nullptr;
  if (FUnknown::kIid.Is(iid) || IHostApplication::kIid.Is(iid)) *obj = static_cast<IHostApplication*>(this);
  else if (IComponentHandler::kIid.Is(iid)) *obj = static_cast<IComponentHandler*>(this);
  return *obj ? kResultOk : kNoInterface;
}

tresult HostContext::getName(String128 name)
{
  const char text[] = "Vesk VST3 host";
  for (size_t i = 0; i < sizeof text; ++i) name[i] = static_cast<TChar>(text[i]);
  return kResultOk;
}

tresult HostContext::createInstance(TUID, TUID, void** obj)
{
  *obj = nullptr;
  return kNotImplemented;
}

tresult HostContext::beginEdit(ParamID id)
{
  edits.push_back({'b', id, 0.0});
  return kResultOk;
}

tresult HostContext::performEdit(ParamID id, ParamValue value)
{
  edits.push_back({'p', id, value});
  return kResultOk;
}

tresult HostContext::endEdit(ParamID id)
{
  edits.push_back({'e', id, 0.0});
  return kResultOk;
}

tresult HostContext::restartComponent(int32_t flags)
{
  edits.push_back({'r', 0, static_cast<double>(flags)});
  return kResultOk;
}

#if !defined(_WIN32)
tresult RunLoop::registerEventHandler(IEventHandler* handler, int fd)
{
  if (!handler || fd < 0) return kInvalidArgument;
  handlers.emplace_back(handler, fd);
  return kResultOk;
}

tresult RunLoop::unregisterEventHandler(IEventHandler* handler)
{
  std::erase_if(handlers, [handler](const auto& h) { return h.first == handler; });
  return kResultOk;
}

tresult RunLoop::registerTimer(ITimerHandler* handler, uint64_t milliseconds)
{
  if (!handler || milliseconds == 0) return kInvalidArgument;
  timers.emplace_back(handler, milliseconds);
  return kResultOk;
}

tresult RunLoop::unregisterTimer(ITimerHandler* handler)
{
  std::erase_if(timers, [handler](const auto& t) { return t.first == handler; });
  return kResultOk;
}

// Each timer fires once per turn: a test's loop turns often enough.
void RunLoop::RunOnce(int milliseconds)
{
  std::vector<pollfd> fds;
  for (const auto& h : handlers) fds.push_back({h.second, POLLIN, 0});
  poll(fds.data(), fds.size(), milliseconds);
  const auto ready = handlers;
  for (size_t i = 0; i < fds.size() && i < ready.size(); ++i)
    if (fds[i].revents & POLLIN) ready[i].first->onFDIsSet(ready[i].second);
  const auto due = timers;
  for (const auto& t : due) t.first->onTimer();
}

tresult PlugFrame::queryInterface(const TUID iid, void** obj)
{
  if (IRunLoop::kIid.Is(iid))
  {
    *obj = static_cast<IRunLoop*>(&mLoop);
    mLoop.addRef();
    return kResultOk;
  }
  return Owned<IPlugFrame>::queryInterface(iid, obj);
}
#endif

// ---- The instance ---------------------------------------------------------------------

Vst3Instance::~Vst3Instance()
{
  if (component)
  {
    SetActive(false);
    controller->setComponentHandler(nullptr);
    component->terminate();
    controller->release();
    processor->release();
    component->release();
  }
  if (mFactory) mFactory->release();
  if (!mLibrary) return;
#if defined(_WIN32)
  if (auto exit = reinterpret_cast<bool (*)()>(plugin_library::Symbol(mLibrary, "ExitDll"))) exit();
#else
  if (auto exit = reinterpret_cast<bool (*)()>(plugin_library::Symbol(mLibrary, "ModuleExit"))) exit();
#endif
  plugin_library::Close(mLibrary);
}

bool Vst3Instance::Load(const std::string& path, std::string* error)
{
  const std::string module = ModulePath(path);
  mLibrary = plugin_library::Open(module, error);
  if (!mLibrary) return false;
#if defined(_WIN32)
  auto entry = reinterpret_cast<bool (*)()>(plugin_library::Symbol(mLibrary, "InitDll"));
  if (entry && !entry()) return (*error = module + ": InitDll refused"), false;
#else
  auto entry = reinterpret_cast<bool (*)(void*)>(plugin_library::Symbol(mLibrary, "ModuleEntry"));
  if (!entry) return (*error = module + " has no ModuleEntry"), false;
  if (!entry(mLibrary)) return (*error = module + ": ModuleEntry refused"), false;
#endif
  auto factory = reinterpret_cast<IPluginFactory* (*)()>(plugin_library::Symbol(mLibrary, "GetPluginFactory"));
  if (!factory) return (*error = module + " has no GetPluginFactory"), false;
  mFactory = factory();
  if (!mFactory) return (*error = module + ": no factory"), false;
  return Create(mFactory, error);
}

bool Vst3Instance::Create(IPluginFactory* factory, std::string* error)
{
  IPluginFactory2* second = nullptr;
  factory->queryInterface(IPluginFactory2::kIid.Data(), reinterpret_cast<void**>(&second));
  for (int32_t i = 0; i < factory->countClasses() && !component; ++i)
  {
    PClassInfo2 info{};
    if (!second || second->getClassInfo2(i, &info) != kResultOk) factory->getClassInfo(i, reinterpret_cast<PClassInfo*>(&info));
    if (std::strcmp(info.category, kAudioModuleClass) != 0) continue;
    className = info.name;
    subCategories = info.subCategories;
    vendor = info.vendor;
    factory->createInstance(info.cid, IComponent::kIid.Data(), reinterpret_cast<void**>(&component));
  }
  if (second) second->release();
  if (!component) return (*error = "the factory made no audio module"), false;
  if (component->initialize(static_cast<IHostApplication*>(&host)) != kResultOk)
    return (*error = "the component did not initialise"), false;
  component->queryInterface(IAudioProcessor::kIid.Data(), reinterpret_cast<void**>(&processor));
  component->queryInterface(IEditController::kIid.Data(), reinterpret_cast<void**>(&controller));
  if (!processor || !controller) return (*error = "the component is not its own processor and controller"), false;
  controller->setComponentHandler(&host);
  return true;
}

bool Vst3Instance::Setup(double sampleRate, int maxBlock, bool doubles)
{
  ProcessSetup setup{processMode, doubles ? kSample64 : kSample32, maxBlock, sampleRate};
  context.sampleRate = sampleRate;
  return processor->setupProcessing(setup) == kResultOk;
}

bool Vst3Instance::SetActive(bool active)
{
  if (active == mActive) return true;
  if (!active) processor->setProcessing(false);
  const bool done = component->setActive(active) == kResultOk;
  if (active) processor->setProcessing(true);
  mActive = active && done;
  return done;
}

void Vst3Instance::Midi(const uint8_t bytes[3], int offset)
{
  const int type = bytes[0] & 0xF0;
  Event e{};
  e.sampleOffset = offset;
  e.ppqPosition = transport.ppqPos;
  const auto channel = static_cast<int16_t>(bytes[0] & 0x0F);
  if (type == 0x90 && bytes[2] > 0)
  {
    e.type = Event::kNoteOnEvent;
    e.noteOn = {channel, static_cast<int16_t>(bytes[1]), 0.0f, bytes[2] / 127.0f, 0, -1};
  }
  else if (type == 0x80 || type == 0x90)
  {
    e.type = Event::kNoteOffEvent;
    e.noteOff = {channel, static_cast<int16_t>(bytes[1]), bytes[2] / 127.0f, -1, 0.0f};
  }
  if (type == 0x80 || type == 0x90)
  {
    events.addEvent(e);
    return;
  }
  auto* mapping = static_cast<IMidiMapping*>(nullptr);
  if (type != 0xB0 && type != 0xE0) return;
  if (controller->queryInterface(IMidiMapping::kIid.Data(), reinterpret_cast<void**>(&mapping)) != kResultOk) return;
  ParamID id = 0;
  const int16_t number = type == 0xB0 ? int16_t{bytes[1]} : int16_t{kPitchBend};
  if (mapping->getMidiControllerAssignment(0, channel, number, id) == kResultTrue)
    inputChanges.Add(id, offset, type == 0xB0 ? bytes[2] / 127.0f : ((bytes[2] << 7) | bytes[1]) / 16383.0f);
  mapping->release();
}

void Vst3Instance::FillContext()
{
  using P = ProcessContext;
  context.state = P::kTempoValid | P::kProjectTimeMusicValid | P::kTimeSigValid | (transport.playing ? P::kPlaying : 0u);
  context.projectTimeSamples = transport.samplePos;
  context.tempo = transport.tempo;
  context.projectTimeMusic = transport.ppqPos;
  context.timeSigNumerator = transport.numerator;
  context.timeSigDenominator = transport.denominator;
}

tresult Vst3Instance::Process(float** in, float** out, int frames)
{
  return ProcessBlock(in, out, frames, kSample32);
}

tresult Vst3Instance::Process(double** in, double** out, int frames)
{
  return ProcessBlock(in, out, frames, kSample64);
}

template <typename Sample>
tresult Vst3Instance::ProcessBlock(Sample** in, Sample** out, int frames, int32_t sampleSize)
{
  AudioBusBuffers input{}, output{};
  input.numChannels = output.numChannels = 2;
  input.silenceFlags = inputSilence;
  if constexpr (sizeof(Sample) == sizeof(double)) input.channelBuffers64 = in, output.channelBuffers64 = out;
  else input.channelBuffers32 = in, output.channelBuffers32 = out;
  FillContext();
  outputChanges.Clear();
  ProcessData data{processMode, sampleSize, frames, in ? 1 : 0, 1, &input, &output,
                   &inputChanges, &outputChanges, &events, nullptr, &context};
  const tresult result = processor->process(data);
  outputSilence = output.silenceFlags;
  inputChanges.Clear();
  events.events.clear();
  return result;
}

std::vector<uint8_t> Vst3Instance::SaveState()
{
  MemoryStream stream;
  if (component->getState(&stream) != kResultOk) return {};
  return stream.bytes;
}

bool Vst3Instance::LoadState(const std::vector<uint8_t>& bytes)
{
  MemoryStream stream(bytes);
  return component->setState(&stream) == kResultOk;
}

int64_t Vst3Instance::Request(int32_t index, int64_t value)
{
  IVeskRequests* requests = nullptr;
  if (component->queryInterface(IVeskRequests::kIid.Data(), reinterpret_cast<void**>(&requests)) != kResultOk)
    return 0;
  const int64_t answer = requests->request(index, value);
  requests->release();
  return answer;
}

int Vst3Instance::FindParam(const std::string& title)
{
  for (int32_t i = 0; i < controller->getParameterCount(); ++i)
  {
    ParameterInfo info{};
    if (controller->getParameterInfo(i, info) == kResultOk && Narrow(info.title) == title)
      return static_cast<int>(info.id);
  }
  return -1;
}

std::string Vst3Instance::ParamText(ParamID id, double normalized)
{
  String128 text = {};
  if (controller->getParamStringByValue(id, normalized, text) != kResultOk) return {};
  return Narrow(text);
}

}  // namespace vst3_host
