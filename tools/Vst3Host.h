#pragma once
// A small VST3 host of our own: loads a module (a .vst3 bundle or the
// library in it) through its entry points and factory, makes one instance
// of its audio class, and drives it with audio, notes, controllers,
// parameter changes, a time line, states and (on Linux) a run loop for its
// editor. Its host objects hold fixed room, set up before processing, so a
// block allocates nothing on the host's side either.
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/vst3abi.h"

namespace vst3_host {

// A title or text the plug-in gave, up to its terminator or 128 units; what
// is not ASCII shows as '?'.
std::string Narrow(const vst3::TChar* text, size_t size = 128);

// Host objects live as long as their owner: references are counted for
// the plug-in's sake, never freed by it.
template <typename Interface>
struct Owned : Interface
{
  vst3::tresult queryInterface(const vst3::TUID iid, void** obj) override
  {
    const bool known = vst3::FUnknown::kIid.Is(iid) || Interface::kIid.Is(iid);
    *obj = known ? static_cast<Interface*>(this) : nullptr;
    return known ? vst3::kResultOk : vst3::kNoInterface;
  }
  uint32_t addRef() override { return ++refs; }
  uint32_t release() override { return --refs; }
  std::atomic<uint32_t> refs{1};
};

// A stream over bytes in memory.
class MemoryStream final : public Owned<vst3::IBStream>
{
public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> content) : bytes(std::move(content)) {}
  vst3::tresult read(void* buffer, int32_t numBytes, int32_t* numBytesRead) override;
  vst3::tresult write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) override;
  vst3::tresult seek(int64_t pos, int32_t mode, int64_t* result) override;
  vst3::tresult tell(int64_t* pos) override;
  std::vector<uint8_t> bytes;
  int64_t position = 0;
};

class ParamQueue final : public Owned<vst3::IParamValueQueue>
{
public:
  vst3::ParamID getParameterId() override { return id; }
  int32_t getPointCount() override { return static_cast<int32_t>(points.size()); }
  vst3::tresult getPoint(int32_t index, int32_t& sampleOffset, vst3::ParamValue& value) override;
  vst3::tresult addPoint(int32_t sampleOffset, vst3::ParamValue value, int32_t& index) override;
  vst3::ParamID id = 0;
  std::vector<std::pair<int32_t, double>> points;  // kept in order of offset
};

// The changes of one block, in queues made before processing.
class ParamChanges final : public Owned<vst3::IParameterChanges>
{
public:
  explicit ParamChanges(int queues = 512, int pointsEach = 64);
  int32_t getParameterCount() override { return used; }
  vst3::IParamValueQueue* getParameterData(int32_t index) override;
  vst3::IParamValueQueue* addParameterData(const vst3::ParamID& id, int32_t& index) override;
  void Add(vst3::ParamID id, int32_t offset, double value);
  void Clear();
  // The last value of a parameter in this block; false when it has none.
  bool Last(vst3::ParamID id, double* value) const;
  std::vector<ParamQueue> queues;
  int32_t used = 0;
  size_t pointsEach;
};

class EventList final : public Owned<vst3::IEventList>
{
public:
  EventList() { events.reserve(4096); }
  int32_t getEventCount() override { return static_cast<int32_t>(events.size()); }
  vst3::tresult getEvent(int32_t index, vst3::Event& e) override;
  vst3::tresult addEvent(vst3::Event& e) override;
  std::vector<vst3::Event> events;
};

// The host itself, as the instance sees it: its name, and the handler
// that records the edits the plug-in reports.
class HostContext final : public vst3::IHostApplication, public vst3::IComponentHandler
{
public:
  struct Edit
  {
    char kind;  // 'b'egin, 'p'erform, 'e'nd, 'r'estart
    vst3::ParamID id;
    double value;
  };
  vst3::tresult queryInterface(const vst3::TUID iid, void** obj) override;
  uint32_t addRef() override { return 1; }
  uint32_t release() override { return 1; }
  vst3::tresult getName(vst3::String128 name) override;
  vst3::tresult createInstance(vst3::TUID, vst3::TUID, void** obj) override;
  vst3::tresult beginEdit(vst3::ParamID id) override;
  vst3::tresult performEdit(vst3::ParamID id, vst3::ParamValue value) override;
  vst3::tresult endEdit(vst3::ParamID id) override;
  vst3::tresult restartComponent(int32_t flags) override;
  std::vector<Edit> edits;
};

#if !defined(_WIN32)
// The editor's run loop: timers and descriptors, run on the caller's thread.
class RunLoop final : public Owned<vst3::IRunLoop>
{
public:
  vst3::tresult registerEventHandler(vst3::IEventHandler* handler, int fd) override;
  vst3::tresult unregisterEventHandler(vst3::IEventHandler* handler) override;
  vst3::tresult registerTimer(vst3::ITimerHandler* handler, uint64_t milliseconds) override;
  vst3::tresult unregisterTimer(vst3::ITimerHandler* handler) override;
  // Waits up to `milliseconds` for a descriptor, then calls what is due.
  void RunOnce(int milliseconds);
  std::vector<std::pair<vst3::IEventHandler*, int>> handlers;
  std::vector<std::pair<vst3::ITimerHandler*, uint64_t>> timers;
};

// The window the editor opens in answers for the run loop.
class PlugFrame final : public Owned<vst3::IPlugFrame>
{
public:
  explicit PlugFrame(RunLoop& loop) : mLoop(loop) {}
  vst3::tresult queryInterface(const vst3::TUID iid, void** obj) override;
  vst3::tresult resizeView(vst3::IPlugView*, vst3::ViewRect*) override { return vst3::kResultOk; }

private:
  RunLoop& mLoop;
};
#endif

// One instance of a module's audio class, with its processor and controller.
class Vst3Instance
{
public:
  struct Transport
  {
    int64_t samplePos = 0;
    double tempo = 120.0, ppqPos = 0.0;
    int numerator = 4, denominator = 4;
    bool playing = true;
  };

  Vst3Instance() = default;
  ~Vst3Instance();
  Vst3Instance(const Vst3Instance&) = delete;
  Vst3Instance& operator=(const Vst3Instance&) = delete;

  // The module through its entry points; false with a reason on failure.
  bool Load(const std::string& path, std::string* error);
  // The first audio class of a factory, made and initialised.
  bool Create(vst3::IPluginFactory* factory, std::string* error);
  bool Setup(double sampleRate, int maxBlock, bool doubles);
  bool SetActive(bool active);

  // One block: the queued events and changes, the transport, then process.
  vst3::tresult Process(float** in, float** out, int frames);
  vst3::tresult Process(double** in, double** out, int frames);
  // A MIDI message of three bytes, as the host's MIDI input gives it: notes
  // become events, controllers and pitch bend the parameters the plug-in maps them to.
  void Midi(const uint8_t bytes[3], int offset);

  std::vector<uint8_t> SaveState();
  bool LoadState(const std::vector<uint8_t>& bytes);
  int64_t Request(int32_t index, int64_t value);
  int FindParam(const std::string& title);
  std::string ParamText(vst3::ParamID id, double normalized);

  std::string className, subCategories, vendor;
  vst3::IComponent* component = nullptr;
  vst3::IAudioProcessor* processor = nullptr;
  vst3::IEditController* controller = nullptr;
  HostContext host;
  ParamChanges inputChanges, outputChanges;
  EventList events;
  Transport transport;
  vst3::ProcessContext context{};
  int processMode = vst3::kOffline;
  uint64_t inputSilence = 0;   // the silence flags the input carries
  uint64_t outputSilence = 0;  // and those the plug-in set on the output

private:
  template <typename Sample>
  vst3::tresult ProcessBlock(Sample** in, Sample** out, int frames, int32_t sampleSize);
  void FillContext();

  void* mLibrary = nullptr;
  vst3::IPluginFactory* mFactory = nullptr;
  bool mActive = false;
};

}  // namespace vst3_host
