#pragma once
// The LV2 side of the plug-in. It drives the same instance a VST 2.4 host
// gets, through the same effect record: control ports become parameter
// calls, the event port's MIDI becomes VST events and its time positions the
// time the instance asks for, the state is the instance's chunk, and the
// editor is the instance's own, opened in the host's window.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "frame/IPlugVST.h"
#include "platform/Lv2Vesk.h"

class IPlugLV2
{
public:
  // The host callback an instance for this adapter must be built with.
  static vst2::HostCallback HostCallback() { return &Callback; }
  // Takes the instance over (null: nothing is taken); null when the host
  // offers no URI map or the instance cannot run.
  static IPlugLV2* Create(IPlugVST* plug, double sampleRate, const LV2_Feature* const* features);
  ~IPlugLV2();
  IPlugLV2(const IPlugLV2&) = delete;
  IPlugLV2& operator=(const IPlugLV2&) = delete;

  void ConnectPort(uint32_t port, void* data);
  void Activate();
  void Deactivate();
  void Run(uint32_t frames);

  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
  // Applies a saved chunk only when all of it reads; nothing changes otherwise.
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  // The editor, for the editor binary (the host's user-interface thread).
  uintptr_t OpenEditor(uintptr_t parent, vesk_lv2::WritePort write, void* controller);
  void IdleEditor();
  void CloseEditor();
  void EditorSize(int* width, int* height);

  // The plug-in's extensions: the state interface and the editor link.
  static const void* ExtensionData(const char* uri);

private:
  struct Uris;
  struct Transport;
  IPlugLV2(IPlugVST* plug, double sampleRate, LV2_URID_Map* map, int maxBlock);

  static intptr_t Callback(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                           float opt);
  intptr_t Answer(int32_t opcode, int32_t index);
  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
  // Marks a parameter for the host, which hears it through the editor's writes.
  void MarkForEditor(int paramIdx);
  void MarkAllForEditor();

  void ReadPositions();
  void ReadPosition(const LV2_Atom* position);
  void ApplyControlPorts();
  void TakeControlPortsAsApplied();
  void SendMidi(uint32_t offset, uint32_t frames, uint32_t blockFrames);
  void RunPiece(uint32_t offset, uint32_t frames, uint32_t blockFrames);
  void EmptyNotify();
  void Silence(uint32_t frames);

  IPlugVST* mPlug;
  vst2::AEffect* mEffect;
  vesk_lv2::PortLayout mLayout;
  std::unique_ptr<Uris> mUris;
  std::unique_ptr<Transport> mTransport;
  int mMaxBlock;
  bool mActive = false;

  std::vector<uint8_t> mDefaultState;
  std::vector<const float*> mControls;
  std::vector<float> mLastControl;
  std::vector<const float*> mInputs;
  std::vector<float*> mOutputs;
  const LV2_Atom_Sequence* mEvents = nullptr;
  LV2_Atom_Sequence* mNotify = nullptr;

  // Room for one piece: zeros for an unconnected input, scratch for an
  // unconnected output, and the pointers the process call takes.
  std::vector<float> mZeros;
  std::vector<std::vector<float>> mScratch;
  std::vector<float*> mInPtrs, mOutPtrs;

  // Parameters the instance changed itself, for the notify port and the editor.
  std::unique_ptr<std::atomic<uint8_t>[]> mForEditor;
  vesk_lv2::WritePort mWrite = nullptr;
  void* mController = nullptr;
};
