#pragma once
// The VST3 adapter: one object is the component, its audio processor and
// its edit controller, and drives the plug-in directly, beside the other
// formats' adapters. Its parameters are the plug-in's, followed by hidden
// ones that stand for MIDI controllers and pitch bend (the host turns those
// into parameter changes; they go back to MIDI here). The state is the
// plug-in's program chunk, the same bytes as the other formats'.
#include <atomic>
#include <bitset>
#include <memory>
#include <string>
#include <vector>

#include "frame/IPlugBase.h"
#include "platform/vst3abi.h"

// The component's two states, kept apart though their methods share a name.
struct Vst3ComponentSide : vst3::IComponent
{
  vst3::tresult setState(vst3::IBStream* state) final { return SetComponentState(state); }
  vst3::tresult getState(vst3::IBStream* state) final { return GetComponentState(state); }
  virtual vst3::tresult SetComponentState(vst3::IBStream* state) = 0;
  virtual vst3::tresult GetComponentState(vst3::IBStream* state) = 0;
};

struct Vst3ControllerSide : vst3::IEditController
{
  vst3::tresult setState(vst3::IBStream* state) final { return SetControllerState(state); }
  vst3::tresult getState(vst3::IBStream* state) final { return GetControllerState(state); }
  virtual vst3::tresult SetControllerState(vst3::IBStream* state) = 0;
  virtual vst3::tresult GetControllerState(vst3::IBStream* state) = 0;
};

class IPlugVST3 final : public Vst3ComponentSide,
                        public vst3::IAudioProcessor,
                        public Vst3ControllerSide,
                        public vst3::IMidiMapping,
                        public vst3::IProcessContextRequirements,
                        public vst3::IVeskRequests,
                        public IHostLink
{
public:
  // Hidden parameters for MIDI: this base plus the controller number
  // (0 to 127, and 129 for pitch bend).
  static constexpr vst3::ParamID kMidiParamBase = 0x10000;
  static constexpr int kMidiParams = 129;
  static constexpr int kMaxStateBytes = 16 << 20;

  // Drives the plug-in and owns it; the object starts with one reference.
  explicit IPlugVST3(std::unique_ptr<IPlugBase> plug);
  ~IPlugVST3() override;
  IPlugVST3(const IPlugVST3&) = delete;
  IPlugVST3& operator=(const IPlugVST3&) = delete;
  IPlugBase& Plug() { return *mPlug; }

  // FUnknown and IPluginBase.
  vst3::tresult queryInterface(const vst3::TUID iid, void** obj) override;
  uint32_t addRef() override;
  uint32_t release() override;
  vst3::tresult initialize(vst3::FUnknown* context) override;
  vst3::tresult terminate() override;

  // IComponent.
  vst3::tresult getControllerClassId(vst3::TUID classId) override;
  vst3::tresult setIoMode(int32_t mode) override;
  int32_t getBusCount(int32_t type, int32_t dir) override;
  vst3::tresult getBusInfo(int32_t type, int32_t dir, int32_t index, vst3::BusInfo& bus) override;
  vst3::tresult getRoutingInfo(vst3::RoutingInfo& inInfo, vst3::RoutingInfo& outInfo) override;
  vst3::tresult activateBus(int32_t type, int32_t dir, int32_t index, vst3::TBool state) override;
  vst3::tresult setActive(vst3::TBool state) override;
  vst3::tresult SetComponentState(vst3::IBStream* state) override;
  vst3::tresult GetComponentState(vst3::IBStream* state) override;

  // IAudioProcessor.
  vst3::tresult setBusArrangements(vst3::SpeakerArrangement* inputs, int32_t numIns,
                                   vst3::SpeakerArrangement* outputs, int32_t numOuts) override;
  vst3::tresult getBusArrangement(int32_t dir, int32_t index, vst3::SpeakerArrangement& arr) override;
  vst3::tresult canProcessSampleSize(int32_t symbolicSampleSize) override;
  uint32_t getLatencySamples() override;
  vst3::tresult setupProcessing(vst3::ProcessSetup& setup) override;
  vst3::tresult setProcessing(vst3::TBool state) override;
  vst3::tresult process(vst3::ProcessData& data) override;
  uint32_t getTailSamples() override;
  uint32_t getProcessContextRequirements() override;

  // IEditController and IMidiMapping.
  vst3::tresult setComponentState(vst3::IBStream* state) override;
  vst3::tresult SetControllerState(vst3::IBStream* state) override;
  vst3::tresult GetControllerState(vst3::IBStream* state) override;
  int32_t getParameterCount() override;
  vst3::tresult getParameterInfo(int32_t paramIndex, vst3::ParameterInfo& info) override;
  vst3::tresult getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                      vst3::String128 string) override;
  vst3::tresult getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                      vst3::ParamValue& valueNormalized) override;
  vst3::ParamValue normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue valueNormalized) override;
  vst3::ParamValue plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plainValue) override;
  vst3::ParamValue getParamNormalized(vst3::ParamID id) override;
  vst3::tresult setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
  vst3::tresult setComponentHandler(vst3::IComponentHandler* handler) override;
  vst3::IPlugView* createView(vst3::FIDString name) override;
  vst3::tresult getMidiControllerAssignment(int32_t busIndex, int16_t channel, int16_t midiControllerNumber,
                                            vst3::ParamID& id) override;

  // Our tools' requests.
  int64_t request(int32_t index, int64_t value) override;

  // The link.
  void BeginParamEdit(int paramIdx) override;
  void ParamChangedByPlug(int paramIdx, double normalized) override;
  void EndParamEdit(int paramIdx) override;
  void AllParamsChanged() override;
  bool GetTime(ITimeInfo* info) override;
  bool IsRenderingOffline() override;
  std::string HostProduct() override;
  int HostVersion() override;

  // The view tells when it goes, so another may open.
  void ViewClosed() { mViewOpen = false; }

private:
  struct Cursor  // one parameter's queue of changes in a block, and how far it is applied
  {
    vst3::IParamValueQueue* queue;
    int param;
    int32_t point, count;
  };
  static constexpr int kMaxQueues = 256;
  static constexpr int kInputBuses = 32;

  // The buses.
  void ConnectInputBus(int bus);
  bool InputBusCarries(int bus) const { return mInputBusActive[bus] && !mInputBusEmpty[bus]; }
  // Room for blocks of up to `frames`: zeros for inputs the host does not
  // give, scratch for outputs it does not take.
  void MakeRoom(int frames);

  // A block.
  void TakeEvents(vst3::IEventList* events, int frames);
  void TakeMidiParam(vst3::IParamValueQueue* queue, vst3::ParamID id, int frames);
  int GatherParamQueues(vst3::IParameterChanges* changes, int frames);
  int ApplyPointsUpTo(int cursors, int at, int frames);
  void ApplyParam(int paramIdx, double normalized);
  void RenderSegment(int start, int frames);
  template <typename Sample>
  void RenderPiece(int start, int frames);
  void MarkSilentOutputs(int frames);
  void Silence(vst3::ProcessData& data);
  bool InProcess() const { return mData != nullptr; }

  // The parameters, ours and the MIDI ones.
  // Slots 0 to 127 are the controllers, 128 pitch bend; -1 for any other ID.
  static int MidiSlot(vst3::ParamID id)
  {
    if (id >= kMidiParamBase && id < kMidiParamBase + 128) return static_cast<int>(id - kMidiParamBase);
    return id == kMidiParamBase + vst3::kPitchBend ? 128 : -1;
  }
  static vst3::ParamID MidiParamId(int slot) { return kMidiParamBase + (slot < 128 ? slot : vst3::kPitchBend); }
  void MidiParamInfo(int slot, vst3::ParameterInfo& info) const;

  std::atomic<uint32_t> mRefs{1};
  vst3::IComponentHandler* mHandler = nullptr;
  std::string mHostName;
  bool mActive = false;
  bool mViewOpen = false;
  int32_t mProcessMode = vst3::kRealtime;
  bool mInputBusActive[kInputBuses] = {true};
  bool mInputBusEmpty[kInputBuses] = {};
  std::bitset<1024> mGestures;  // parameters inside a gesture the editor began
  double mMidiValues[kMidiParams] = {};

  // While a block is processed (under the lock): the host's data and where
  // the piece being rendered starts in it.
  vst3::ProcessData* mData = nullptr;
  int mSegmentStart = 0;
  int mRoom = 0;
  Cursor mCursors[kMaxQueues] = {};
  std::vector<float> mZeros32;
  std::vector<double> mZeros64;
  std::vector<std::vector<float>> mScratch32;
  std::vector<std::vector<double>> mScratch64;
  std::vector<float*> mIn32, mOut32;
  std::vector<double*> mIn64, mOut64;

  std::unique_ptr<IPlugBase> mPlug;  // last: it goes first, while the adapter it calls is still whole
};
