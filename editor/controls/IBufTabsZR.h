#pragma once
// The buffer view: 32 tabs above the waveform of the chosen buffer with its
// selection, playhead and aim, readouts and a status text. Every click or
// drag ends as a parameter change of one of its companion controls.
#include <string>
#include <vector>

#include "editor/controls/IControlZR.h"

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
  // A control's marker at its right, beside a knob or a little further out.
  static Entry EntryFor(IControl* control);
  IControlsMarker(IPlugBase* plug, std::vector<Entry> entries);
  bool Draw(IGraphics*) override { return true; }
  bool IsHit(int, int) override { return false; }
  const std::vector<Entry>& Entries() const { return mEntries; }
  bool Active() const { return mActive; }

private:
  std::vector<Entry> mEntries;
  bool mActive = false;
};

// The recorded buffers as the view reads them, only while the instrument's
// lock is held (inside IBufTabsZR::Show).
class WaveSource
{
public:
  virtual ~WaveSource() = default;
  virtual int Filled(int buffer) const = 0;
  virtual int Length(int buffer) const = 0;
  // Counts the refills the buffer has begun, so the view knows to start over.
  virtual unsigned Refills(int buffer) const = 0;
  virtual double Sample(int buffer, int frame, int channel) const = 0;
};

class IBufTabsZR : public IControlZR
{
public:
  static constexpr int kTabs = 32, kTextSize = 16, kMinSelection = 4, kKeys = 12, kMaxLength = 480000;

  // What the view shows of the instrument, handed over at every repaint tick.
  struct State
  {
    int length = kMaxLength;
    int picked = 0;
    bool common = false;
    int commonIndex = 0;
    double selStart[kTabs] = {}, selEnd[kTabs] = {};  // fractions of the buffer
    double activity[kTabs] = {};
    double playhead = 0.0, aim = -1.0;  // of the shown tab's voice, fractions; aim -1: none
    char info[16] = {};
    bool usedFor[kKeys][kTabs] = {};
    std::vector<double> voiceValues[kTabs];  // normalised, in the order of Companions::perBuffer
  };
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
  IBufTabsZR(IPlugBase* plug, IRECT rect, Companions companions);

  // The instrument's side, under its lock: what changed is taken over and
  // the shown buffer's waveform columns are brought up to date, so drawing
  // reads nothing of the instrument.
  void Show(const State& state, const WaveSource& wave);

  // Mouse.
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  void OnMouseOver(int x, int y, IMouseMod* mod) override;
  void OnMouseOut() override;
  bool Draw(IGraphics* graphics) override;

  void SetBufferLength(int samples);
  // which: 0 the start of the visible range, 1 its end.
  void SetVisibleRange(int which, double value);
  void SetCommonMode(bool on, int bufferIndex);
  void BufferRefilled(int tab);
  void BufferGrew(int tab);
  void SetActivity(int tab, double activity);
  // The tab whose voice positions the view wants: the hovered, else the current.
  int ShownTab() const;
  void SetPositions(double playhead, double aim);
  void SetInfoText(const char* text);
  void SelectTab(int tab, bool notify);
  void RefreshKeys() { mKeysDirty = true, mDirty = true; }

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
    double activity = 0.0;
    bool fullRebuild = true;
    bool append = false;
    std::vector<Column> columns[2];
    IColor colour[2];
    double selStart = 0.0, selEnd = 1.0;
    double viewStart = 0.0, viewEnd = 1.0;
    double zoom = 1.0, samplesPerPixel = 1.0;
    double ampZoom = 1.0, ampFloor = 1.0;
  };

  // One end of a tab's selection (of every tab when linked), a fraction.
  void SetSelectionEdge(int tab, double fraction, double Tab::*edge);
  void TakeSelections(const State& state);
  void TakeFills(const WaveSource& wave);
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
  int NextAimRandom();
  void StartSelectionDrag(int x, int y);
  void LinkSelection();
  void PushSelection(const Tab& t, bool endFirst);
  void ZoomTime(int x, int d);
  void Scroll(int d);
  void KeepViewInside(Tab& t);
  int TabAt(int x, int y) const;
  void BuildColumns(int tabIdx, int bufferIdx, const WaveSource& wave);
  void DrawWaveform(IGraphics* g, const Tab& t);
  void DrawSelection(IGraphics* g, const Tab& t);
  void DrawTabs(IGraphics* g);
  void DrawReadouts(IGraphics* g, const Tab& t);
  void PushKeys();

  Companions mC;
  bool mUsedFor[kKeys][kTabs] = {};
  std::vector<double> mVoiceValues[kTabs];
  int mFilled[kTabs] = {}, mBufferLength[kTabs] = {};
  unsigned mRefills[kTabs] = {};
  Tab mTab[kTabs];
  IRECT mWave, mStrip, mStartHandle, mEndHandle, mStatusBox, mLabelBox, mReadout[3];
  int mCurrent = 0;
  int mHovered = -1;
  bool mCommon = false;
  int mCommonIndex = 0;
  int mLength = kMaxLength;
  double mInvLength = 1.0 / kMaxLength;
  int mW = 0, mCentre = 0, mHalfHeight = 0;
  double mMaxZoom = 1.0;
  double mPlayhead = 0.0, mAimTarget = -1.0;
  double mMinSelPixels = 0.0;
  bool mDragging = false, mPendingNew = false;
  int mDirection = 0;
  enum class Marker { kNone, kStart, kEnd };
  Marker mDragMarker = Marker::kNone;  // the selection edge being dragged
  double mPressPos = 0.0;
  int mPressX = 0, mPressY = 0;
  bool mStartLit = false, mEndLit = false;
  bool mLayoutDirty = true, mKeysDirty = true, mLabelDirty = true;
  bool mLinkAll = false, mDropOnMouseUp = false, mAimPressed = false;
  unsigned mAimSeed = 22222;  // scatter of a click-to-aim position
  char mInfo[16] = {};
  IText mTextStyle;
};
