#pragma once
// The LV2 adapter: it drives the plug-in directly, beside the other
// formats' adapters. Control ports become parameter changes, the event
// port's MIDI goes to the plug-in's queue and its time positions are the
// time the plug-in asks for, the state is the plug-in's chunk, and the
// editor is the plug-in's own, opened in the host's window.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "frame/IPlugBase.h"
#include "platform/Lv2Vesk.h"

class IPlugLV2 final : public IHostLink
{
public:
  // Takes the plug-in over (and deletes it when it cannot run); null when
  // the host offers no URI map or the rate is one the plug-in refuses.
  static IPlugLV2* Create(IPlugBase* plug, double sampleRate, const LV2_Feature* const* features);
  ~IPlugLV2() override;
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

  // The link: what the plug-in changed itself reaches the host through the
  // editor's port writes; the time is the host's last position, run on.
  void BeginParamEdit(int paramIdx) override;
  void ParamChangedByPlug(int paramIdx, double normalized) override;
  void EndParamEdit(int paramIdx) override;
  void AllParamsChanged() override;
  bool GetTime(ITimeInfo* info) override;
  bool IsRenderingOffline() override;
  std::string HostProduct() override;
  int HostVersion() override;

private:
  struct Uris;
  struct Transport;
  IPlugLV2(std::unique_ptr<IPlugBase> plug, double sampleRate, LV2_URID_Map* map, int maxBlock);
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
  std::unique_ptr<IPlugBase> mPlug;  // last: it goes first, while the adapter it calls is still whole
};
