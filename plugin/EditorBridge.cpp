#include "plugin/EditorBridge.h"

#include <algorithm>
#include <cstdio>

#include "editor/controls/IBufTabsZR.h"
#include "editor/controls/Keyboard.h"
#include "editor/framework/IGraphics.h"
#include "plugin/Vesk.h"

EditorBridge::EditorBridge(Vesk& plug) : mPlug(plug)
{
  for (auto& marked : mMarked) marked.store(false, std::memory_order_relaxed);
  std::fill(std::begin(mView.learnedController), std::end(mView.learnedController), -1);
}

EditorBridge::~EditorBridge() = default;

void EditorBridge::Prepare()
{
  if (!mCacheUse) mCacheUse.emplace();
  VeskEditor::LoadPictures();
}

// Built under the plug-in lock (its controls take the parameters' values);
// its first repaint takes everything else it shows.
VeskEditor& EditorBridge::Editor()
{
  if (mEditor) return *mEditor;
  if (!mCacheUse) mCacheUse.emplace();
  IMutexLock lock(mPlug.Mutex());
  mEditor = std::make_unique<VeskEditor>(mPlug, *this, PerVoiceParams());
  mEditor->Graphics()->SetPickUp([this] { PickUp(); });
  for (int i = 0; i < kNumParams; ++i) ParameterChanged(i);
  return *mEditor;
}

bool EditorBridge::Open(void* parentWindow)
{
  return Editor().Graphics()->OpenWindow(parentWindow);
}

void EditorBridge::Close()
{
  if (mEditor) mEditor->Graphics()->CloseWindow();
}

void EditorBridge::Idle()
{
  if (mEditor) mEditor->Graphics()->Idle();
}

int EditorBridge::Width() const
{
  return VeskEditor::kWidth;
}

uintptr_t EditorBridge::Window() const
{
  return mEditor ? mEditor->Graphics()->NativeWindow() : 0;
}

int EditorBridge::EventSource() const
{
  return mEditor ? mEditor->Graphics()->EventSource() : -1;
}

int EditorBridge::Height() const
{
  return VeskEditor::kHeight;
}

void EditorBridge::ParameterChanged(int paramIdx)
{
  if (paramIdx >= 0 && paramIdx < kNumParams) mMarked[paramIdx].store(true, std::memory_order_relaxed);
}

// ---- Before each repaint ---------------------------------------------------------

void EditorBridge::PickUp()
{
  IMutexLock lock(mPlug.Mutex());
  TakeMarkedParams();
  FillView(mEditor->BufferView()->ShownTab());
  mEditor->Show(mView, *this);
  PassLearnRanges();
}

void EditorBridge::TakeMarkedParams()
{
  IGraphics& g = *mEditor->Graphics();
  IBufTabsZR& view = *mEditor->BufferView();
  for (int i = 0; i < kNumParams; ++i)
  {
    if (!mMarked[i].exchange(false, std::memory_order_relaxed)) continue;
    const IParam& param = *mPlug.GetParam(i);
    g.SetParameterFromPlug(i, param.GetNormalized(), true);
    if (i == kBufMinVisible || i == kBufMaxVisible) view.SetVisibleRange(i == kBufMinVisible ? 0 : 1, param.Value());
  }
}

void EditorBridge::FillView(int shownTab)
{
  const EngineCore& core = mPlug.Core();
  IBufTabsZR::State& s = mView.buffers;
  s.length = core.bufferLength();
  s.picked = core.tabs().pickedTab;
  s.common = core.commonMode();
  s.commonIndex = core.commonIndex();
  std::fill(std::begin(mView.keyActivity), std::end(mView.keyActivity), 0.0);
  for (int b = 0; b < kNumVoices; ++b)
  {
    s.selStart[b] = core.tabs().selStartFraction[b];
    s.selEnd[b] = core.tabs().selEndFraction[b];
    const Voice& v = core.voice(b);
    s.activity[b] = v.active() ? v.gain() : 0.0;
    if (v.active() && v.note() >= 0) mView.keyActivity[v.note() % kNumKeys] += v.gain();
    for (int k = 0; k < kNumKeys; ++k) s.usedFor[k][b] = core.tables().isUsedFor(k, b);
    const std::vector<int>& perVoice = PerVoiceParams();
    s.voiceValues[b].resize(perVoice.size());
    for (size_t i = 0; i < perVoice.size(); ++i)
    {
      const int p = perVoice[i];
      s.voiceValues[b][i] = mPlug.GetParam(p)->GetNormalized(mPlug.valueForVoice(p, b));
    }
  }
  const Voice& shown = core.voice(std::clamp(shownTab, 0, kNumVoices - 1));
  const double inv = 1.0 / std::max(1, core.bufferLength());
  const Playhead& ph = shown.playhead();
  s.playhead = ph.playPos() * inv;
  s.aim = ph.aimTarget() < 0.0 ? -1.0 : ph.aimTarget() * inv;
  s.info[0] = '\0';
  if (shown.active() && shown.note() >= 0)
    std::snprintf(s.info, sizeof s.info, " - %s%d", kKeyNames[shown.note() % 12], shown.note() / 12 - 1);
  for (int p = 0; p < kNumParams; ++p) mView.learnedController[p] = mPlug.AssignedController(p);
  mView.showTooltips = mPlug.GetParam(kShowTooltips)->Bool();
  mView.dropOnMouseUp = mPlug.DropOnMouseUp();
  mView.showLabels = mPlug.ShowLabels();
}

// A learned controller sweeps the playhead over the selection and the
// selection edges over the visible part of the buffer, as the view maps them.
void EditorBridge::PassLearnRanges()
{
  for (int p : {kPlayheadPos, kSelStart, kSelEnd})
    if (auto* c = dynamic_cast<IBufPositionControlZR*>(mEditor->ControlOf(p)))
      mPlug.SetLearnRange(p, c->RangeLo(), c->RangeHi());
}

// ---- The buffers, read under the lock --------------------------------------------

int EditorBridge::Filled(int buffer) const
{
  return mPlug.Core().buffer(buffer).filled;
}

int EditorBridge::Length(int buffer) const
{
  return mPlug.Core().buffer(buffer).length;
}

unsigned EditorBridge::Refills(int buffer) const
{
  return mPlug.Core().buffer(buffer).refills;
}

double EditorBridge::Sample(int buffer, int frame, int channel) const
{
  return mPlug.Core().buffer(buffer).frames[frame][channel];
}

// ---- What the editor asks ----------------------------------------------------------

bool EditorBridge::Learnable(int paramIdx) const
{
  return !mPlug.IsExcludedFromLearn(paramIdx);
}

void EditorBridge::ArmLearn(int paramIdx)
{
  mPlug.ArmLearn(paramIdx);
}

void EditorBridge::Forget(int paramIdx)
{
  mPlug.Forget(paramIdx);
}

void EditorBridge::EraseMidiMap()
{
  mPlug.EraseMidiMap();
}

void EditorBridge::SetAllToCurrent()
{
  mPlug.SetAllToCurrent();
}

void EditorBridge::SetDropOnMouseUp(bool on)
{
  mPlug.SetDropOnMouseUp(on);
}

void EditorBridge::SetShowLabels(bool on)
{
  mPlug.SetShowLabels(on);
}

void EditorBridge::UseForPickedBuffer(bool on)
{
  mPlug.UseForPickedBuffer(on);
}

void EditorBridge::UseForKey(int key, bool on)
{
  mPlug.UseForKey(key, on);
}

void EditorBridge::ResetUseFor()
{
  mPlug.ResetUseFor();
}
