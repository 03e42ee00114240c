#pragma once
// A small VST 2.4 host: loads a plug-in library through its entry point and
// drives it with audio, MIDI, parameters, chunks and a time line.
#include <string>
#include <vector>

#include "platform/vst2abi.h"

// Loading a shared library and finding its symbols, on either platform.
namespace plugin_library {
void* Open(const std::string& path, std::string* error);
void* Symbol(void* library, const char* name);
void Close(void* library);
}  // namespace plugin_library

// One MIDI event of three bytes, due `delta` frames into the block.
inline vst2::VstMidiEvent MidiEvent(int status, int data1, int data2, int delta = 0)
{
  vst2::VstMidiEvent e{};
  e.type = vst2::kVstMidiType;
  e.byteSize = sizeof e;
  e.deltaFrames = delta;
  e.midiData[0] = static_cast<char>(status);
  e.midiData[1] = static_cast<char>(data1);
  e.midiData[2] = static_cast<char>(data2);
  return e;
}

class PluginHost
{
public:
  // What the host callback reports while rendering.
  struct Transport
  {
    double sampleRate = 48000.0;
    double samplePos = 0.0;
    double tempo = 120.0;
    double ppqPos = 0.0;
    int numerator = 4, denominator = 4;
    bool playing = true;
  };

  PluginHost() = default;
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Loads the library and creates one instance; false with a reason on failure.
  bool Load(const std::string& path, std::string* error);
  void Start(double sampleRate, int blockSize);
  void Stop();

  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
  vst2::AEffect* Effect() const { return mEffect; }
  int NumParams() const { return mEffect ? mEffect->numParams : 0; }
  std::string ParamName(int index);
  std::string ParamDisplay(int index);
  int FindParam(const std::string& name);
  float GetParameter(int index) { return mEffect->getParameter(mEffect, index); }
  void SetParameter(int index, float value) { mEffect->setParameter(mEffect, index, value); }

  // The editor's size as the plug-in reports it; false without an editor.
  bool EditorSize(int* width, int* height);

  bool SetChunk(const std::vector<uint8_t>& bytes, bool bank);
  std::vector<uint8_t> GetChunk(bool bank);

  void SendMidi(const std::vector<vst2::VstMidiEvent>& events);
  void Process(float** in, float** out, int frames) { mEffect->processReplacing(mEffect, in, out, frames); }
  void ProcessDouble(double** in, double** out, int frames)
  {
    mEffect->processDoubleReplacing(mEffect, in, out, frames);
  }
  bool CanDoubles() const { return mEffect && (mEffect->flags & vst2::effFlagsCanDoubleReplacing); }

  Transport transport;
  std::vector<std::pair<int, float>> automation;  // parameter changes the plug-in reported
  int timeRequests = 0;  // how often the plug-in asked for the transport's time

private:
  static intptr_t Callback(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                           float opt);
  intptr_t Answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

  void* mLibrary = nullptr;
  vst2::AEffect* mEffect = nullptr;
  vst2::VstTimeInfo mTimeInfo{};
  bool mStarted = false;
};
