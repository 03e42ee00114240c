#pragma once
// The buffer view: 32 tabs above the waveform of the chosen buffer with its
// selection, playhead and aim, readouts and a status text. Every click or
// drag ends as a parameter change of one of its companion controls.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "editor/controls/IControlZR.h"
#include "engine/Buffer.h"
#include "engine/EditorFeeds.h"

// An invisible control carrying one parameter, with an optional mapping of
// the values it receives onto a range.
class IBufPositionControlZR : public IControlZR
{
public:
  IBufPositionControlZR(IPlugBase* plug, int paramIdx);
  void OnMouseDown(int x, int y, IMouseMod* mod) override
  {
    if (IsContextPress(mod)) RaiseContext(x, y);
  }
  bool Draw(IGraphics*) override { return true; }
  void SetValueFromPlug(double value) override;
  void SetValueFromUserInput(double value) override;
  void SetRange(double lo, double hi) { mLo = lo, mHi = hi; }
  double RangeLo() const { return mLo; }
  double RangeHi() const { return mHi; }
  void MapFromPlug(bool on) { mMapFromPlug = on; }
  void MapFromUserInput(bool on) { mMapFromUser = on; }
  // The view's own value, reported to the plug-in as it is.
  void Push(double value);

private:
  double Mapped(double v) const;
  double mLo = 0.0, mHi = 1.0;
  bool mMapFromPlug = false, mMapFromUser = false;
};

// The list of per-buffer controls, each with the side its marker would sit on.
class IControlsMarker : public IControlZR
{
public:
  enum ESide { kRightSide, kLeftSide };
  struct Entry
  {
    IControl* control;
    int side;
    int offset;
  };
  IControlsMarker(IPlugBase* plug, const std::vector<IControl*>& controls);
  bool Draw(IGraphics*) override { return true; }
  bool IsHit(int, int) override { return false; }
  const std::vector<Entry>& Entries() const { return mEntries; }
  bool Active() const { return mActive; }

private:
  std::vector<Entry> mEntries;
  bool mActive = false;
};

class IBufTabsZR : public IControlZR, public BufferViewFeed
{
public:
  static constexpr int kTabs = 32, kTextSize = 16, kMinSelection = 4;
  struct Companions
  {
    IControl* picked = nullptr;
    IControl* request = nullptr;
    IBufPositionControlZR* aim = nullptr;
    IBufPositionControlZR* selStart = nullptr;
    IBufPositionControlZR* selEnd = nullptr;
    IBufPositionControlZR* visMin = nullptr;
    IBufPositionControlZR* visMax = nullptr;
    IControlZR* clearSel = nullptr;
    IControlZR* selectAll = nullptr;
    IControl* keys[12] = {};
    std::vector<IControl*> perBuffer;
  };
  using KeyQuery = std::function<bool(int buffer, int key)>;
  using VoiceValueQuery = std::function<double(int paramIdx, int voice)>;

  IBufTabsZR(IPlugBase* plug, IRECT rect, const Buffer* buffers, Companions companions, KeyQuery usedFor,
             VoiceValueQuery voiceValue);

  // Mouse.
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  void OnMouseOver(int x, int y, IMouseMod* mod) override;
  void OnMouseOut() override;
  bool Draw(IGraphics* graphics) override;

  // From the engine.
  void SetBufferLength(int samples) override;
  void SetSelectionStart(int tab, double sample) override;
  void SetSelectionEnd(int tab, double sample) override;
  void SetVisibleRange(int which, double value) override;
  void ResetSelection() override;
  void SetCommonMode(bool on, int bufferIndex) override;
  void BufferRefilled(int tab) override;
  void BufferGrew(int tab) override;
  void SetActivity(int tab, double activity) override;
  int ShownTab() const override;
  void SetPositions(double playhead, double aim) override;
  void SetInfoText(const char* text) override;
  void SelectTab(int tab, bool notify) override;
  void RefreshKeys() override { mKeysDirty = true, mDirty = true; }

  void SetLinkAllTabs(bool on) { mLinkAll = on; }
  void SetDropOnMouseUp(bool on) { mDropOnMouseUp = on; }
  bool DropOnMouseUp() const { return mDropOnMouseUp; }

  // For inspection.
  int CurrentTab() const { return mCurrent; }
  int HoveredTab() const { return mHovered; }
  const IRECT& TabRect(int tab) const { return mTab[tab].rect; }
  const IRECT& StripRect() const { return mStrip; }
  const IRECT& WaveRect() const { return mWave; }
  double SelStart(int tab) const { return mTab[tab].selStart; }
  double SelEnd(int tab) const { return mTab[tab].selEnd; }
  double ViewStart(int tab) const { return mTab[tab].viewStart; }
  double ViewEnd(int tab) const { return mTab[tab].viewEnd; }
  double TimeZoom(int tab) const { return mTab[tab].zoom; }
  double AmpZoom(int tab) const { return mTab[tab].ampZoom; }
  double MaxZoom() const { return mMaxZoom; }
  int NColumns(int tab) const { return static_cast<int>(mTab[tab].columns[0].size()); }
  const IColor& TabColour(int tab, int channel) const { return mTab[tab].colour[channel]; }
  bool Dragging() const { return mDragging; }
  std::string StatusText() const;

private:
  struct Column
  {
    double min, max;
  };
  struct Tab
  {
    IRECT rect;
    std::atomic<double> activity{0.0};
    std::atomic<bool> fullRebuild{true};
    std::atomic<bool> append{false};
    std::vector<Column> columns[2];
    IColor colour[2];
    double selStart = 0.0, selEnd = 1.0;
    double viewStart = 0.0, viewEnd = 1.0;
    double zoom = 1.0, samplesPerPixel = 1.0;
    double ampZoom = 1.0, ampFloor = 1.0;
  };

  // One end of a tab's selection (of every tab when linked), in samples.
  void SetSelectionEdge(int tab, double sample, double Tab::*edge);
  int ShownBuffer() const;
  double PositionAt(int x) const;
  int PixelOf(double position) const;
  void LayoutTabs();
  void PlaceHandles();
  void PlaceButtons();
  void UpdateMinSelectionPixels();
  void SetAimRange(double start, double end);
  void SetSelectionRanges(const Tab& t);
  void ChooseTab(int tab);
  void ClickTab(int x, int y);
  void Aim(int x);
  void StartSelectionDrag(int x, int y);
  void LinkSelection();
  void ZoomTime(int x, int d);
  void Scroll(int d);
  void KeepViewInside(Tab& t);
  int TabAt(int x, int y) const;
  void BuildColumns(int tabIdx, int bufferIdx);
  void DrawWaveform(IGraphics* g, const Tab& t);
  void DrawSelection(IGraphics* g, const Tab& t);
  void DrawTabs(IGraphics* g);
  void DrawReadouts(IGraphics* g, const Tab& t);
  void PushKeys();

  const Buffer* mBuffers;
  Companions mC;
  KeyQuery mUsedFor;
  VoiceValueQuery mVoiceValue;
  Tab mTab[kTabs];
  IRECT mWave, mStrip, mStartHandle, mEndHandle, mStatusBox, mLabelBox, mReadout[3];
  int mCurrent = 0;
  std::atomic<int> mHovered{-1};
  bool mCommon = false;
  int mCommonIndex = 0;
  int mLength = kBufferFrames;
  double mInvLength = 1.0 / kBufferFrames;
  int mW = 0, mCentre = 0, mHalfHeight = 0;
  double mMaxZoom = 1.0;
  std::atomic<double> mPlayhead{0.0}, mAimTarget{-1.0};
  double mMinSelPixels = 0.0;
  bool mDragging = false, mPendingNew = false;
  int mDirection = 0;
  int mDragMarker = 0;  // 0 none, 1 start, 2 end
  double mPressPos = 0.0;
  int mPressX = 0, mPressY = 0;
  bool mStartLit = false, mEndLit = false;
  bool mLayoutDirty = true, mKeysDirty = true, mLabelDirty = true;
  bool mLinkAll = false, mDropOnMouseUp = false, mAimPressed = false;
  char mInfo[16] = {};
  IText mTextStyle;
};
