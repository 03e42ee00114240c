#pragma once
// The VST3 binary interface as far as this plug-in and its tools use it,
// declared from the published interface documentation: interface
// identifiers, method orders, structure layouts and result codes. Every
// interface is a table of virtual methods with no destructor, laid out as
// the COM convention lays it out on each platform.
#include <cstddef>
#include <cstdint>

namespace vst3 {

using tresult = int32_t;
using TBool = uint8_t;
using TChar = char16_t;
using String128 = TChar[128];
using FIDString = const char*;
using TUID = char[16];
using ParamID = uint32_t;
using ParamValue = double;
using SpeakerArrangement = uint64_t;

// Result codes: COM's own values on Windows, small numbers elsewhere.
#if defined(_WIN32)
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002L);
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057L);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001L);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005L);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFL);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000EL);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif

// An identifier from its four 32-bit words as the documentation writes
// them: on Windows the first eight bytes are in GUID order (the first word
// and the two halves of the second little-endian), elsewhere all bytes are
// in the order written.
struct Uid
{
  unsigned char bytes[16];
  constexpr Uid(uint32_t a, uint32_t b, uint32_t c, uint32_t d) : bytes{}
  {
#if defined(_WIN32)
    const uint32_t first[8] = {a, a >> 8, a >> 16, a >> 24, b >> 16, b >> 24, b, b >> 8};
#else
    const uint32_t first[8] = {a >> 24, a >> 16, a >> 8, a, b >> 24, b >> 16, b >> 8, b};
#endif
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(first[i] & 0xFF);
    for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<unsigned char>((c >> (24 - 8 * i)) & 0xFF);
    for (int i = 0; i < 4; ++i) bytes[12 + i] = static_cast<unsigned char>((d >> (24 - 8 * i)) & 0xFF);
  }
  bool Is(const void* other) const
  {
    const auto* o = static_cast<const unsigned char*>(other);
    for (int i = 0; i < 16; ++i)
      if (o[i] != bytes[i]) return false;
    return true;
  }
  const char* Data() const { return reinterpret_cast<const char*>(bytes); }
};

// ---- Base -----------------------------------------------------------------------------

struct FUnknown
{
  static constexpr Uid kIid{0x00000000, 0x00000000, 0xC0000000, 0x00000046};
  virtual tresult queryInterface(const TUID iid, void** obj) = 0;
  virtual uint32_t addRef() = 0;
  virtual uint32_t release() = 0;
};

struct IPluginBase : FUnknown
{
  static constexpr Uid kIid{0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625};
  virtual tresult initialize(FUnknown* context) = 0;
  virtual tresult terminate() = 0;
};

enum SeekMode : int32_t { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };

struct IBStream : FUnknown
{
  static constexpr Uid kIid{0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B};
  virtual tresult read(void* buffer, int32_t numBytes, int32_t* numBytesRead) = 0;
  virtual tresult write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) = 0;
  virtual tresult seek(int64_t pos, int32_t mode, int64_t* result) = 0;
  virtual tresult tell(int64_t* pos) = 0;
};

// ---- Factory --------------------------------------------------------------------------

struct PFactoryInfo
{
  enum : int32_t { kUnicode = 1 << 4 };
  char vendor[64];
  char url[256];
  char email[128];
  int32_t flags;
};

constexpr int32_t kManyInstances = 0x7FFFFFFF;

struct PClassInfo
{
  TUID cid;
  int32_t cardinality;
  char category[32];
  char name[64];
};

struct PClassInfo2
{
  TUID cid;
  int32_t cardinality;
  char category[32];
  char name[64];
  uint32_t classFlags;
  char subCategories[128];
  char vendor[64];
  char version[64];
  char sdkVersion[64];
};

struct PClassInfoW
{
  TUID cid;
  int32_t cardinality;
  char category[32];
  TChar name[64];
  uint32_t classFlags;
  char subCategories[128];
  TChar vendor[64];
  TChar version[64];
  TChar sdkVersion[64];
};

struct IPluginFactory : FUnknown
{
  static constexpr Uid kIid{0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F};
  virtual tresult getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32_t countClasses() = 0;
  virtual tresult getClassInfo(int32_t index, PClassInfo* info) = 0;
  virtual tresult createInstance(FIDString cid, FIDString iid, void** obj) = 0;
};

struct IPluginFactory2 : IPluginFactory
{
  static constexpr Uid kIid{0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB};
  virtual tresult getClassInfo2(int32_t index, PClassInfo2* info) = 0;
};

struct IPluginFactory3 : IPluginFactory2
{
  static constexpr Uid kIid{0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931};
  virtual tresult getClassInfoUnicode(int32_t index, PClassInfoW* info) = 0;
  virtual tresult setHostContext(FUnknown* context) = 0;
};

constexpr const char kAudioModuleClass[] = "Audio Module Class";

// ---- The host -------------------------------------------------------------------------

struct IHostApplication : FUnknown
{
  static constexpr Uid kIid{0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5};
  virtual tresult getName(String128 name) = 0;
  virtual tresult createInstance(TUID cid, TUID iid, void** obj) = 0;
};

enum RestartFlags : int32_t { kParamValuesChanged = 1 << 2 };

struct IComponentHandler : FUnknown
{
  static constexpr Uid kIid{0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6};
  virtual tresult beginEdit(ParamID id) = 0;
  virtual tresult performEdit(ParamID id, ParamValue valueNormalized) = 0;
  virtual tresult endEdit(ParamID id) = 0;
  virtual tresult restartComponent(int32_t flags) = 0;
};

// ---- Component ------------------------------------------------------------------------

enum MediaType : int32_t { kAudio = 0, kEvent = 1 };
enum BusDirection : int32_t { kInput = 0, kOutput = 1 };
enum BusType : int32_t { kMain = 0, kAux = 1 };

struct BusInfo
{
  enum : uint32_t { kDefaultActive = 1 };
  int32_t mediaType;
  int32_t direction;
  int32_t channelCount;
  String128 name;
  int32_t busType;
  uint32_t flags;
};

struct RoutingInfo
{
  int32_t mediaType;
  int32_t busIndex;
  int32_t channel;
};

struct IComponent : IPluginBase
{
  static constexpr Uid kIid{0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802};
  virtual tresult getControllerClassId(TUID classId) = 0;
  virtual tresult setIoMode(int32_t mode) = 0;
  virtual int32_t getBusCount(int32_t type, int32_t dir) = 0;
  virtual tresult getBusInfo(int32_t type, int32_t dir, int32_t index, BusInfo& bus) = 0;
  virtual tresult getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
  virtual tresult activateBus(int32_t type, int32_t dir, int32_t index, TBool state) = 0;
  virtual tresult setActive(TBool state) = 0;
  virtual tresult setState(IBStream* state) = 0;
  virtual tresult getState(IBStream* state) = 0;
};

// ---- Processing -----------------------------------------------------------------------

constexpr SpeakerArrangement kSpeakerStereo = 0x3;  // left and right
enum ProcessMode : int32_t { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
enum SymbolicSampleSize : int32_t { kSample32 = 0, kSample64 = 1 };

struct ProcessSetup
{
  int32_t processMode;
  int32_t symbolicSampleSize;
  int32_t maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers
{
  int32_t numChannels;
  uint64_t silenceFlags;
  union
  {
    float** channelBuffers32;
    double** channelBuffers64;
  };
};

struct Chord
{
  uint8_t keyNote;
  uint8_t rootNote;
  int16_t chordMask;
};

struct FrameRate
{
  uint32_t framesPerSecond;
  uint32_t flags;
};

struct ProcessContext
{
  enum : uint32_t
  {
    kPlaying = 1 << 1,
    kCycleActive = 1 << 2,
    kRecording = 1 << 3,
    kSystemTimeValid = 1 << 8,
    kProjectTimeMusicValid = 1 << 9,
    kTempoValid = 1 << 10,
    kBarPositionValid = 1 << 11,
    kCycleValid = 1 << 12,
    kTimeSigValid = 1 << 13,
    kContTimeValid = 1 << 17,
  };
  uint32_t state;
  double sampleRate;
  int64_t projectTimeSamples;
  int64_t systemTime;
  int64_t continousTimeSamples;
  double projectTimeMusic;
  double barPositionMusic;
  double cycleStartMusic;
  double cycleEndMusic;
  double tempo;
  int32_t timeSigNumerator;
  int32_t timeSigDenominator;
  Chord chord;
  int32_t smpteOffsetSubframes;
  FrameRate frameRate;
  int32_t samplesToNextClock;
};

struct IParamValueQueue : FUnknown
{
  static constexpr Uid kIid{0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA};
  virtual ParamID getParameterId() = 0;
  virtual int32_t getPointCount() = 0;
  virtual tresult getPoint(int32_t index, int32_t& sampleOffset, ParamValue& value) = 0;
  virtual tresult addPoint(int32_t sampleOffset, ParamValue value, int32_t& index) = 0;
};

struct IParameterChanges : FUnknown
{
  static constexpr Uid kIid{0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D};
  virtual int32_t getParameterCount() = 0;
  virtual IParamValueQueue* getParameterData(int32_t index) = 0;
  virtual IParamValueQueue* addParameterData(const ParamID& id, int32_t& index) = 0;
};

struct NoteOnEvent
{
  int16_t channel;
  int16_t pitch;
  float tuning;
  float velocity;
  int32_t length;
  int32_t noteId;
};

struct NoteOffEvent
{
  int16_t channel;
  int16_t pitch;
  float velocity;
  int32_t noteId;
  float tuning;
};

struct DataEvent
{
  enum : uint32_t { kMidiSysEx = 0 };
  uint32_t size;
  uint32_t type;
  const uint8_t* bytes;
};

struct Event
{
  enum : uint16_t { kNoteOnEvent = 0, kNoteOffEvent = 1, kDataEvent = 2 };
  int32_t busIndex;
  int32_t sampleOffset;
  double ppqPosition;
  uint16_t flags;
  uint16_t type;
  union
  {
    NoteOnEvent noteOn;
    NoteOffEvent noteOff;
    DataEvent data;
    unsigned char largest[24];  // the biggest member of the published union
  };
};

struct IEventList : FUnknown
{
  static constexpr Uid kIid{0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44};
  virtual int32_t getEventCount() = 0;
  virtual tresult getEvent(int32_t index, Event& e) = 0;
  virtual tresult addEvent(Event& e) = 0;
};

struct ProcessData
{
  int32_t processMode;
  int32_t symbolicSampleSize;
  int32_t numSamples;
  int32_t numInputs;
  int32_t numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents;
  ProcessContext* processContext;
};

struct IAudioProcessor : FUnknown
{
  static constexpr Uid kIid{0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D};
  virtual tresult setBusArrangements(SpeakerArrangement* inputs, int32_t numIns, SpeakerArrangement* outputs,
                                     int32_t numOuts) = 0;
  virtual tresult getBusArrangement(int32_t dir, int32_t index, SpeakerArrangement& arr) = 0;
  virtual tresult canProcessSampleSize(int32_t symbolicSampleSize) = 0;
  virtual uint32_t getLatencySamples() = 0;
  virtual tresult setupProcessing(ProcessSetup& setup) = 0;
  virtual tresult setProcessing(TBool state) = 0;
  virtual tresult process(ProcessData& data) = 0;
  virtual uint32_t getTailSamples() = 0;
};

struct IProcessContextRequirements : FUnknown
{
  static constexpr Uid kIid{0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0};
  enum : uint32_t
  {
    kNeedProjectTimeMusic = 1 << 2,
    kNeedBarPositionMusic = 1 << 3,
    kNeedCycleMusic = 1 << 4,
    kNeedTempo = 1 << 6,
    kNeedTimeSignature = 1 << 7,
    kNeedTransportState = 1 << 10,
  };
  virtual uint32_t getProcessContextRequirements() = 0;
};

// ---- Edit controller ------------------------------------------------------------------

struct ParameterInfo
{
  enum : int32_t { kCanAutomate = 1 << 0, kIsReadOnly = 1 << 1, kIsList = 1 << 3, kIsHidden = 1 << 4 };
  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32_t stepCount;
  ParamValue defaultNormalizedValue;
  int32_t unitId;
  int32_t flags;
};

struct IPlugView;

struct IEditController : IPluginBase
{
  static constexpr Uid kIid{0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E};
  virtual tresult setComponentState(IBStream* state) = 0;
  virtual tresult setState(IBStream* state) = 0;
  virtual tresult getState(IBStream* state) = 0;
  virtual int32_t getParameterCount() = 0;
  virtual tresult getParameterInfo(int32_t paramIndex, ParameterInfo& info) = 0;
  virtual tresult getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
  virtual tresult getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) = 0;
  virtual ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue getParamNormalized(ParamID id) = 0;
  virtual tresult setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult setComponentHandler(IComponentHandler* handler) = 0;
  virtual IPlugView* createView(FIDString name) = 0;
};

// Controller numbers beyond the 128 MIDI controllers.
enum ControllerNumbers : int16_t { kAfterTouch = 128, kPitchBend = 129 };

struct IMidiMapping : FUnknown
{
  static constexpr Uid kIid{0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5};
  virtual tresult getMidiControllerAssignment(int32_t busIndex, int16_t channel, int16_t midiControllerNumber,
                                              ParamID& id) = 0;
};

// ---- Editor ---------------------------------------------------------------------------

constexpr const char kEditorView[] = "editor";
constexpr const char kPlatformX11[] = "X11EmbedWindowID";
constexpr const char kPlatformHwnd[] = "HWND";

struct ViewRect
{
  int32_t left, top, right, bottom;
};

struct IPlugFrame : FUnknown
{
  static constexpr Uid kIid{0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3};
  virtual tresult resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

struct IPlugView : FUnknown
{
  static constexpr Uid kIid{0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29};
  virtual tresult isPlatformTypeSupported(FIDString type) = 0;
  virtual tresult attached(void* parent, FIDString type) = 0;
  virtual tresult removed() = 0;
  virtual tresult onWheel(float distance) = 0;
  virtual tresult onKeyDown(TChar key, int16_t keyCode, int16_t modifiers) = 0;
  virtual tresult onKeyUp(TChar key, int16_t keyCode, int16_t modifiers) = 0;
  virtual tresult getSize(ViewRect* size) = 0;
  virtual tresult onSize(ViewRect* newSize) = 0;
  virtual tresult onFocus(TBool state) = 0;
  virtual tresult setFrame(IPlugFrame* frame) = 0;
  virtual tresult canResize() = 0;
  virtual tresult checkSizeConstraint(ViewRect* rect) = 0;
};

// The Linux host's run loop, through which an editor gets its timer and
// its window connection's events on the host's user-interface thread.
struct IEventHandler : FUnknown
{
  static constexpr Uid kIid{0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983};
  virtual void onFDIsSet(int fd) = 0;
};

struct ITimerHandler : FUnknown
{
  static constexpr Uid kIid{0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9};
  virtual void onTimer() = 0;
};

struct IRunLoop : FUnknown
{
  static constexpr Uid kIid{0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389};
  virtual tresult registerEventHandler(IEventHandler* handler, int fd) = 0;
  virtual tresult unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult registerTimer(ITimerHandler* handler, uint64_t milliseconds) = 0;
  virtual tresult unregisterTimer(ITimerHandler* handler) = 0;
};

// ---- Ours -----------------------------------------------------------------------------

// Requests of our own for our tools (the vendor requests of the VST 2.4
// build): the index names the request, the value carries its argument.
struct IVeskRequests : FUnknown
{
  static constexpr Uid kIid{0x5665736B, 0x52657175, 0x65737473, 0x00010000};
  virtual int64_t request(int32_t index, int64_t value) = 0;
};

// The layouts hosts and plug-ins share.
static_assert(sizeof(PFactoryInfo) == 452 && sizeof(PClassInfo) == 116);
static_assert(sizeof(BusInfo) == 276 && sizeof(ParameterInfo) == 792);
static_assert(sizeof(ProcessSetup) == 24 && sizeof(AudioBusBuffers) == 24 && sizeof(ProcessData) == 80);
static_assert(offsetof(ProcessData, inputs) == 24 && offsetof(ProcessContext, tempo) == 72);
static_assert(sizeof(Event) == 48 && offsetof(Event, noteOn) == 24);
static_assert(offsetof(ParameterInfo, defaultNormalizedValue) == 776);

}  // namespace vst3
