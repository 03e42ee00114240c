#include "tools/PluginHost.h"

#include <cstring>
#include <mutex>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using namespace vst2;

namespace {
using EntryPoint = AEffect* (*)(HostCallback);

// The entry point calls back before the effect record exists; the host
// being loaded answers those calls.
PluginHost* gLoading = nullptr;
std::mutex gLoadingLock;

}  // namespace

namespace plugin_library {
void* Open(const std::string& path, std::string* error)
{
#if defined(_WIN32)
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
  return reinterpret_cast<void*>(module);
#else
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) *error = std::string("cannot load ") + dlerror();
  return handle;
#endif
}

void* Symbol(void* library, const char* name)
{
#if defined(_WIN32)
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
#else
  return dlsym(library, name);
#endif
}

void Close(void* library)
{
#if defined(_WIN32)
  FreeLibrary(reinterpret_cast<HMODULE>(library));
#else
  // Kept loaded until the process ends, as most hosts do: the library's
  // process-wide picture and font caches stay reachable for leak checks.
  (void)library;
#endif
}
}  // namespace plugin_library

PluginHost::~PluginHost()
{
  if (mEffect)
  {
    Stop();
    Dispatch(effClose);
  }
  if (mLibrary) plugin_library::Close(mLibrary);
}

bool PluginHost::Load(const std::string& path, std::string* error)
{
  mLibrary = plugin_library::Open(path, error);
  if (!mLibrary) return false;
  auto entry = reinterpret_cast<EntryPoint>(plugin_library::Symbol(mLibrary, "VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<EntryPoint>(plugin_library::Symbol(mLibrary, "main"));
  if (!entry) return (*error = path + " has no VSTPluginMain or main entry point"), false;
  {
    std::lock_guard<std::mutex> lock(gLoadingLock);
    gLoading = this;
    mEffect = entry(&Callback);
    gLoading = nullptr;
  }
  if (!mEffect) return (*error = path + ": the entry point returned no effect"), false;
  if (mEffect->magic != kEffectMagic)
  {
    mEffect = nullptr;
    return (*error = path + ": the effect record has the wrong magic"), false;
  }
  mEffect->user = this;
  Dispatch(effOpen);
  return true;
}

void PluginHost::Start(double sampleRate, int blockSize)
{
  transport.sampleRate = sampleRate;
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  Dispatch(effSetBlockSize, 0, blockSize);
  Dispatch(effMainsChanged, 0, 1);
  mStarted = true;
}

void PluginHost::Stop()
{
  if (mStarted) Dispatch(effMainsChanged, 0, 0);
  mStarted = false;
}

intptr_t PluginHost::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  return mEffect ? mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt) : 0;
}

std::string PluginHost::ParamName(int index)
{
  char text[256] = {};
  Dispatch(effGetParamName, index, 0, text);
  return text;
}

std::string PluginHost::ParamDisplay(int index)
{
  char text[256] = {};
  Dispatch(effGetParamDisplay, index, 0, text);
  return text;
}

int PluginHost::FindParam(const std::string& name)
{
  for (int i = 0; i < NumParams(); ++i)
    if (ParamName(i) == name) return i;
  return -1;
}

bool PluginHost::SetChunk(const std::vector<uint8_t>& bytes, bool bank)
{
  std::vector<uint8_t> copy = bytes;
  return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<intptr_t>(copy.size()), copy.data()) == 1;
}

std::vector<uint8_t> PluginHost::GetChunk(bool bank)
{
  void* data = nullptr;
  const intptr_t size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

void PluginHost::SendMidi(const std::vector<VstMidiEvent>& events)
{
  if (events.empty()) return;
  std::vector<uint8_t> storage(sizeof(VstEvents) + events.size() * sizeof(VstEvent*));
  auto* list = reinterpret_cast<VstEvents*>(storage.data());
  list->numEvents = static_cast<int32_t>(events.size());
  for (size_t i = 0; i < events.size(); ++i)
    list->events[i] = reinterpret_cast<VstEvent*>(const_cast<VstMidiEvent*>(&events[i]));
  Dispatch(effProcessEvents, 0, 0, list);
}

intptr_t PluginHost::Callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  PluginHost* host = effect && effect->user ? static_cast<PluginHost*>(effect->user) : gLoading;
  if (opcode == audioMasterVersion) return kVstVersion;
  return host ? host->Answer(opcode, index, value, ptr, opt) : 0;
}

intptr_t PluginHost::Answer(int32_t opcode, int32_t index, intptr_t, void* ptr, float opt)
{
  switch (opcode)
  {
    case audioMasterAutomate: automation.emplace_back(index, opt); return 0;
    case audioMasterGetTime:
      ++timeRequests;
      mTimeInfo = {};
      mTimeInfo.samplePos = transport.samplePos;
      mTimeInfo.sampleRate = transport.sampleRate;
      mTimeInfo.tempo = transport.tempo;
      mTimeInfo.ppqPos = transport.ppqPos;
      mTimeInfo.timeSigNumerator = transport.numerator;
      mTimeInfo.timeSigDenominator = transport.denominator;
      mTimeInfo.flags = kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid | (transport.playing ? kVstTransportPlaying : 0);
      return reinterpret_cast<intptr_t>(&mTimeInfo);
    case audioMasterGetSampleRate: return static_cast<intptr_t>(transport.sampleRate);
    case audioMasterGetCurrentProcessLevel: return kVstProcessLevelOffline;
    case audioMasterGetProductString:
      if (ptr) std::strcpy(static_cast<char*>(ptr), "vesk-render");
      return 1;
    case audioMasterGetVendorString:
      if (ptr) std::strcpy(static_cast<char*>(ptr), "Vesk Audio");
      return 1;
    case audioMasterGetVendorVersion: return 10000;
    case audioMasterCanDo:
      return ptr && (std::strcmp(static_cast<const char*>(ptr), "sendVstTimeInfo") == 0 ||
                     std::strcmp(static_cast<const char*>(ptr), "sendVstEvents") == 0 ||
                     std::strcmp(static_cast<const char*>(ptr), "sendVstMidiEvent") == 0)
               ? 1
               : 0;
    default: return 0;
  }
}

bool PluginHost::EditorSize(int* width, int* height)
{
  ERect* rect = nullptr;
  if (Dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect) return false;
  *width = rect->right - rect->left;
  *height = rect->bottom - rect->top;
  return true;
}
