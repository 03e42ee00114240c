#pragma once
// The one place where the editor meets the instrument. The host adapter
// sees it as an editor link; the editor sees it as its host. Whatever the
// editor shows of the instrument it takes here, at each repaint tick, under
// the plug-in lock, into copies the editor then draws from on its own.
// The editor itself is built when it is first opened (or asked for), so an
// instance whose editor never opens costs nothing for it.
#include <atomic>
#include <memory>
#include <optional>

#include "editor/framework/IGraphics.h"
#include "editor/layout/VeskEditor.h"
#include "frame/IEditorLink.h"

class Vesk;

class EditorBridge final : public IEditorLink, public VeskEditorHost, private WaveSource
{
public:
  explicit EditorBridge(Vesk& plug);
  ~EditorBridge() override;

  // The link.
  void Prepare() override;
  bool Open(void* parentWindow) override;
  void Close() override;
  void Idle() override;
  int Width() const override;
  int Height() const override;
  uintptr_t Window() const override;
  int EventSource() const override;
  void ParameterChanged(int paramIdx) override;

  // The host.
  bool Learnable(int paramIdx) const override;
  void ArmLearn(int paramIdx) override;
  void Forget(int paramIdx) override;
  void EraseMidiMap() override;
  void SetAllToCurrent() override;
  void SetDropOnMouseUp(bool on) override;
  void SetShowLabels(bool on) override;
  void UseForPickedBuffer(bool on) override;
  void UseForKey(int key, bool on) override;
  void ResetUseFor() override;

  // The editor, built now if it was not yet.
  VeskEditor& Editor();
  bool Built() const { return mEditor != nullptr; }

private:
  // Before each repaint: marked parameters, then the instrument's state.
  void PickUp();
  void TakeMarkedParams();
  void FillView(int shownTab);
  void PassLearnRanges();

  int Filled(int buffer) const override;
  int Length(int buffer) const override;
  unsigned Refills(int buffer) const override;
  double Sample(int buffer, int frame, int channel) const override;

  Vesk& mPlug;
  std::optional<EditorCacheUse> mCacheUse;  // from the first Prepare on
  std::unique_ptr<VeskEditor> mEditor;
  std::atomic<bool> mMarked[kNumParams];
  VeskEditorView mView;
};
