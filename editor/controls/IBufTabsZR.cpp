#include "editor/controls/IBufTabsZR.h"

#include <cmath>
#include <cstring>

#include "editor/controls/Knobs.h"
#include "editor/framework/IGraphics.h"
#include "frame/IPlugBase.h"

namespace {
const IColor kTextColour(255, 255, 132, 132);
const IColor kRequestColour(255, 255, 132, 132);
const IColor kShade(127, 60, 60, 60);
const IColor kPlayheadColour(127, 255, 255, 255);
const IColor kIdleMarker(255, 0x14, 0x14, 0x14);
const IColor kAimColour(0x28, 255, 255, 255);

constexpr int kHuePairs[12][2] = {{148, 0},  {218, 16},  {6, 37},    {12, 67},   {181, 83},  {144, 73},
                                  {34, 133}, {0, 124},   {117, 169}, {199, 147}, {119, 212}, {249, 196}};

double HueToChannel(double p, double q, double t)
{
  if (t < 0.0) t += 1.0;
  if (t > 1.0) t -= 1.0;
  if (t < 1.0 / 6.0) return p + (q - p) * 6.0 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3.0) return p + (q - p) * (2.0 / 3.0 - t) * 6.0;
  return p;
}

// Hue 0..255 at full saturation and lightness 200 / 255, alpha 127.
IColor HueColour(int hue)
{
  const double h = hue / 255.0, l = 200.0 / 255.0, s = 1.0;
  const double q = l < 0.5 ? l * (1.0 + s) : l + s - l * s, p = 2.0 * l - q;
  auto c = [&](double t) { return static_cast<int>(std::lround(255.0 * HueToChannel(p, q, t))); };
  return {127, c(h + 1.0 / 3.0), c(h), c(h - 1.0 / 3.0)};
}

int DigitsOf(int n)
{
  int d = 1;
  while (n >= 10) n /= 10, ++d;
  return d;
}

// Normalised form of the aim position across the aim parameter's range.
double AimValue(double p)
{
  return (p * 125.0 + 1.0) / 126.0;
}

unsigned gAimSeed = 22222;
int NextAimRandom()
{
  gAimSeed = gAimSeed * 1103515245u + 12345u;
  return static_cast<int>((gAimSeed >> 16) & 0x7FFF);
}
}  // namespace

// ---- Position carrier -----------------------------------------------------------

IBufPositionControlZR::IBufPositionControlZR(IPlugBase* plug, int paramIdx) : IControlZR(plug, IRECT(), paramIdx)
{
  mText.mSize = 16;
}

double IBufPositionControlZR::Mapped(double v) const
{
  return std::clamp(mLo + (mHi - mLo) * v, std::min(mLo, mHi), std::max(mLo, mHi));
}

void IBufPositionControlZR::SetValueFromPlug(double value)
{
  IControl::SetValueFromPlug(mMapFromPlug && value >= 0.0 ? Mapped(value) : value);
}

void IBufPositionControlZR::SetValueFromUserInput(double value)
{
  IControl::SetValueFromUserInput(mMapFromUser && value >= 0.0 ? Mapped(value) : value);
}

void IBufPositionControlZR::Push(double value)
{
  mValue = value;
  SetDirty(true);
}

// ---- Marker list ----------------------------------------------------------------------

IControlsMarker::IControlsMarker(IPlugBase* plug, const std::vector<IControl*>& controls)
  : IControlZR(plug, IRECT(), -1)
{
  mText.mSize = 13;
  SetTooltip("+");
  for (IControl* c : controls)
  {
    if (!c) continue;
    const int p = c->ParamIdx();
    Entry e{c, kRightSide, dynamic_cast<const IKnobControlZR*>(c) ? 1 : 3};
    if (p == 6 || p == 7 || p == 8) e.offset = -3;
    if (p == 36 || p == 55) e.offset = 3;
    if (p == 49 || p == 58) e.side = kLeftSide;
    mEntries.push_back(e);
  }
  mHide = true;
}

// ---- The view: construction and layout -------------------------------------------------

IBufTabsZR::IBufTabsZR(IPlugBase* plug, IRECT rect, Companions companions)
  : IControlZR(plug, rect, -1), mC(std::move(companions))
{
  const int s = kTextSize;
  mTextStyle = mText;
  mTextStyle.mSize = s;
  mTextStyle.mColor = kTextColour;
  mWave = IRECT(rect.L + 10, rect.T + static_cast<int>(1.1 * s + 10), rect.R - 10, rect.B);
  mW = rect.R - rect.L - 20;
  mCentre = static_cast<int>((mWave.T + mWave.B) / 2.0 + 1);
  mHalfHeight = (mWave.B - mWave.T - 4) / 2;
  for (int i = 0; i < kTabs; ++i)
  {
    const int pair = i % 12;
    const bool swapped = i >= 12 && i < 24;
    mTab[i].colour[0] = HueColour(kHuePairs[pair][swapped ? 1 : 0]);
    mTab[i].colour[1] = HueColour(kHuePairs[pair][swapped ? 0 : 1]);
    mTab[i].samplesPerPixel = static_cast<double>(mLength) / mW;
    for (auto& c : mTab[i].columns) c.reserve(static_cast<size_t>(mW));
  }
  mMaxZoom = std::max(1.0, 10.0 * mLength / mW);
  const int rw = static_cast<int>((DigitsOf(mLength) + 1) * 0.67 * s), rh = static_cast<int>(1.1 * s);
  const int y = mWave.B - rh - 2;
  mReadout[0] = IRECT(mWave.L + 2, y, mWave.L + 2 + rw, y + rh);
  mReadout[1] = IRECT(mReadout[0].R + 10, y, mReadout[0].R + 10 + rw, y + rh);
  mReadout[2] = IRECT(mReadout[1].R + 3 * s * 6 / 10, y, mReadout[1].R + 3 * s * 6 / 10 + rw, y + rh);
  mStatusBox = IRECT(mWave.R - 200, mWave.T + 10, mWave.R - 6, mWave.T + 10 + rh);
  mLabelBox = IRECT(mWave.L + 6, mWave.T + 10, mWave.L + 80, mWave.T + 10 + rh);
  for (auto* c : {mC.aim, mC.selStart, mC.selEnd})
    if (c) c->MapFromPlug(false), c->MapFromUserInput(true);
  for (auto* c : {mC.visMin, mC.visMax})
    if (c) c->MapFromPlug(false), c->MapFromUserInput(false);
  // The position carriers sit on the readouts so that hover and the learn menu find them.
  if (mC.aim) mC.aim->SetRects(mReadout[0]);
  if (mC.selStart) mC.selStart->SetRects(mReadout[1]);
  if (mC.selEnd) mC.selEnd->SetRects(mReadout[2]);
  PlaceButtons();
  LayoutTabs();
  PlaceHandles();
  UpdateMinSelectionPixels();
}

void IBufTabsZR::PlaceButtons()
{
  int x = mWave.R - 4;
  for (IControlZR* c : {mC.selectAll, mC.clearSel})
  {
    if (!c) continue;
    const int w = static_cast<int>(c->Width()), h = static_cast<int>(c->Height());
    x -= w;
    c->MoveTo(x, mWave.B - h - 3);
    x -= 4;
  }
}

void IBufTabsZR::LayoutTabs()
{
  const double s = kTextSize, wide = 1.8 * s;
  const int hovered = mHovered;
  const int k = (hovered >= 0 && hovered != mCurrent) ? 2 : 1;
  const double narrow = (mRECT.R - mRECT.L - 4 - wide * k) / (kTabs - k);
  const int bottom = mWave.T;
  const int lowTop = static_cast<int>(std::lround(bottom - 0.7 * (mWave.T - mAnchor.T)));
  double x = mAnchor.L + 2;
  mStrip = IRECT();
  for (int i = 0; i < kTabs; ++i)
  {
    const bool isWide = i == mCurrent || i == hovered;
    const double next = i == kTabs - 1 ? mAnchor.R - 2 : x + (isWide ? wide : narrow);
    mTab[i].rect = IRECT(static_cast<int>(std::lround(x)), isWide ? mAnchor.T : lowTop,
                         static_cast<int>(std::lround(next)), bottom);
    mStrip = mStrip.Union(mTab[i].rect);
    x = next;
  }
  mLayoutDirty = false;
}

int IBufTabsZR::PixelOf(double position) const
{
  const Tab& t = mTab[mCurrent];
  const double span = t.viewEnd - t.viewStart;
  double offset = std::floor((position - t.viewStart) / (span > 0 ? span : 1.0) * mW);
  // Far-off (or unreadable) positions from a restored state land just off
  // the wave's sides instead of overflowing.
  if (!(offset > -mW)) offset = -mW;
  if (offset > 2.0 * mW) offset = 2.0 * mW;
  return mWave.L + static_cast<int>(offset);
}

double IBufTabsZR::PositionAt(int x) const
{
  const Tab& t = mTab[mCurrent];
  return t.viewStart + (x - mWave.L) / static_cast<double>(mW) * (t.viewEnd - t.viewStart);
}

void IBufTabsZR::PlaceHandles()
{
  const Tab& t = mTab[mCurrent];
  const int ps = PixelOf(t.selStart), pe = PixelOf(t.selEnd);
  mStartHandle = IRECT(ps - 10 + 1, mWave.T + 3, ps + 1, mWave.B - 2);
  mEndHandle = IRECT(pe, mWave.T + 3, pe + 10, mWave.B - 2);
}

void IBufTabsZR::UpdateMinSelectionPixels()
{
  const double spp = mTab[mCurrent].samplesPerPixel;
  mMinSelPixels = spp >= 1.0 ? 0.0 : kMinSelection / spp;
}

void IBufTabsZR::SetAimRange(double start, double end)
{
  if (mC.aim) mC.aim->SetRange(AimValue(start), AimValue(end));
}

void IBufTabsZR::SetSelectionRanges(const Tab& t)
{
  for (auto* c : {mC.selStart, mC.selEnd})
    if (c) c->SetRange(t.viewStart, t.viewEnd);
}

int IBufTabsZR::ShownBuffer() const
{
  if (mCommon) return mCommonIndex;
  return ShownTab();
}

int IBufTabsZR::ShownTab() const
{
  return mHovered >= 0 ? mHovered : mCurrent;
}

int IBufTabsZR::TabAt(int x, int y) const
{
  for (int i = 0; i < kTabs; ++i)
    if (mTab[i].rect.Contains(x, y)) return i;
  return -1;
}

// ---- From the instrument ------------------------------------------------------------------

void IBufTabsZR::Show(const State& state, const WaveSource& wave)
{
  if (state.length != mLength) SetBufferLength(state.length);
  if (state.common != mCommon || (state.common && state.commonIndex != mCommonIndex))
    SetCommonMode(state.common, state.commonIndex);
  if (state.picked != mCurrent) SelectTab(state.picked, false);
  TakeSelections(state);
  TakeFills(wave);
  for (int i = 0; i < kTabs; ++i) SetActivity(i, state.activity[i]);
  if (state.playhead != mPlayhead || state.aim != mAimTarget) SetPositions(state.playhead, state.aim);
  SetInfoText(state.info);
  if (std::memcmp(mUsedFor, state.usedFor, sizeof mUsedFor) != 0)
  {
    std::memcpy(mUsedFor, state.usedFor, sizeof mUsedFor);
    RefreshKeys();
  }
  for (int i = 0; i < kTabs; ++i) mVoiceValues[i] = state.voiceValues[i];
  const int shown = ShownTab(), buffer = ShownBuffer();
  if (mFilled[buffer] > 0) BuildColumns(shown, buffer, wave);
}

void IBufTabsZR::TakeSelections(const State& state)
{
  for (int i = 0; i < kTabs; ++i)
  {
    if (mTab[i].selStart == state.selStart[i] && mTab[i].selEnd == state.selEnd[i]) continue;
    mTab[i].selStart = state.selStart[i];
    mTab[i].selEnd = state.selEnd[i];
    if (i != mCurrent) continue;
    SetAimRange(mTab[i].selStart, mTab[i].selEnd);
    PlaceHandles();
    mDirty = true;
  }
}

void IBufTabsZR::TakeFills(const WaveSource& wave)
{
  for (int b = 0; b < kTabs; ++b)
  {
    const int filled = wave.Filled(b), length = wave.Length(b);
    const unsigned refills = wave.Refills(b);
    const bool refilled = refills != mRefills[b], grew = filled != mFilled[b] || length != mBufferLength[b];
    mRefills[b] = refills;
    mFilled[b] = filled;
    mBufferLength[b] = length;
    if (refilled) BufferRefilled(b);
    if (grew) BufferGrew(b);
  }
}

void IBufTabsZR::SetBufferLength(int samples)
{
  if (samples <= 0) return;
  const int old = mLength;
  mLength = samples;
  mInvLength = 1.0 / samples;
  if (old > 0 && old != samples)
  {
    mMaxZoom = std::max(1.0, 10.0 * samples / mW);
    const int rw = static_cast<int>((DigitsOf(samples) + 1) * 0.67 * kTextSize);
    for (int i = 0; i < 3; ++i) mReadout[i].R = mReadout[i].L + rw;
    for (Tab& t : mTab)
    {
      t.viewStart = 0.0, t.viewEnd = 1.0, t.zoom = 1.0;
      t.samplesPerPixel = static_cast<double>(samples) / mW;
      t.fullRebuild = true;
    }
    PlaceHandles();
    UpdateMinSelectionPixels();
  }
  mDirty = true;
}

void IBufTabsZR::SetSelectionEdge(int tab, double fraction, double Tab::*edge)
{
  if (tab < 0 || tab >= kTabs) return;
  const double v = std::clamp(fraction, 0.0, 1.0);
  for (int i = 0; i < kTabs; ++i)
    if (i == tab || mLinkAll) mTab[i].*edge = v;
  if (tab == mCurrent || mLinkAll)
  {
    SetAimRange(mTab[mCurrent].selStart, mTab[mCurrent].selEnd);
    PlaceHandles();
  }
  mDirty = true;
}

void IBufTabsZR::SetVisibleRange(int which, double value)
{
  Tab& t = mTab[mCurrent];
  double& end = which == 0 ? t.viewStart : t.viewEnd;
  end = std::clamp(value, 0.0, 1.0);
  if (t.viewEnd - t.viewStart < 1e-9) return;
  t.zoom = 1.0 / (t.viewEnd - t.viewStart);
  t.samplesPerPixel = mLength / static_cast<double>(mW) / t.zoom;
  t.fullRebuild = true;
  PlaceHandles();
  mDirty = true;
}

void IBufTabsZR::SetCommonMode(bool on, int bufferIndex)
{
  mCommon = on;
  mCommonIndex = std::clamp(bufferIndex, 0, kTabs - 1);
  for (Tab& t : mTab) t.fullRebuild = true;
  mLabelDirty = true;
  mDirty = true;
}

void IBufTabsZR::BufferRefilled(int tab)
{
  if (tab < 0 || tab >= kTabs) return;
  for (int i = 0; i < kTabs; ++i)
    if (i == tab || mCommon) mTab[i].fullRebuild = true;
  if (tab == ShownBuffer() || mCommon) mDirty = true;
}

void IBufTabsZR::BufferGrew(int tab)
{
  if (tab < 0 || tab >= kTabs) return;
  for (int i = 0; i < kTabs; ++i)
  {
    if (i != tab && !(mCommon && tab == mCommonIndex)) continue;
    if (mTab[i].fullRebuild) continue;
    mTab[i].append = true;
  }
  if (tab == ShownBuffer()) mDirty = true;
}

void IBufTabsZR::SetActivity(int tab, double activity)
{
  if (tab < 0 || tab >= kTabs || mTab[tab].activity == activity) return;
  mTab[tab].activity = activity;
  mDirty = true;
}

void IBufTabsZR::SetPositions(double playhead, double aim)
{
  mPlayhead = playhead;
  mAimTarget = aim;
  mDirty = true;
}

void IBufTabsZR::SetInfoText(const char* text)
{
  if (std::strcmp(mInfo, text ? text : "") == 0) return;
  std::snprintf(mInfo, sizeof mInfo, "%s", text ? text : "");
  mDirty = true;
}

// ---- Choosing tabs ----------------------------------------------------------------------

void IBufTabsZR::SelectTab(int tab, bool notify)
{
  if (tab < 0 || tab >= kTabs || tab == mCurrent) return;
  mCurrent = tab;
  if (mHovered == tab) mHovered = -1;
  mLayoutDirty = true;
  PlaceHandles();
  const Tab& t = mTab[tab];
  SetAimRange(t.selStart, t.selEnd);
  SetSelectionRanges(t);
  if (notify && mC.picked)
  {
    mC.picked->SetValueFromUserInput(tab / 31.0);
    mC.picked->SetDirty(true);
  }
  const std::vector<double>& values = mVoiceValues[tab];
  for (size_t i = 0; i < mC.perBuffer.size() && i < values.size(); ++i)
    if (mC.perBuffer[i]) mC.perBuffer[i]->SetValueFromPlug(values[i]);
  UpdateMinSelectionPixels();
  mKeysDirty = mLabelDirty = true;
  mDirty = true;
}

void IBufTabsZR::ChooseTab(int tab)
{
  SelectTab(tab, true);
}

void IBufTabsZR::ClickTab(int x, int y)
{
  const int hovered = mHovered;
  if (mTab[mCurrent].rect.Contains(x, y))
  {
    if (mC.request) mC.request->SetValueFromUserInput(mC.request->GetValue() >= 0.5 ? 0.0 : 1.0);
    mDirty = true;
    return;
  }
  if (hovered >= 0 && mTab[hovered].rect.Contains(x, y))
  {
    mHovered = -1;
    ChooseTab(hovered);
    return;
  }
  const int tab = TabAt(x, y);
  if (tab >= 0) ChooseTab(tab);
}

// ---- Mouse -------------------------------------------------------------------------------

void IBufTabsZR::Aim(int x)
{
  double p = PositionAt(x);
  if (!mDropOnMouseUp) p += (NextAimRandom() / 16383.5 - 1.0) * mInvLength;
  mAimPressed = true;
  if (mC.aim) mC.aim->Push(AimValue(std::clamp(p, 0.0, 1.0)));
}

void IBufTabsZR::StartSelectionDrag(int x, int y)
{
  if (mGraphics) mGraphics->HideMouseCursor();
  mDragging = true;
  mPressX = x, mPressY = y;
  Tab& t = mTab[mCurrent];
  const double p = std::clamp(PositionAt(x), t.viewStart, t.viewEnd);
  mPressPos = p;
  if (mStartHandle.Contains(x, y))
  {
    mDragMarker = 1;
    t.selStart = p;
    if (mC.selStart) mC.selStart->Push(p);
    mStartLit = true, mEndLit = false;
  }
  else if (mEndHandle.Contains(x, y))
  {
    mDragMarker = 2;
    t.selEnd = p;
    if (mC.selEnd) mC.selEnd->Push(p);
    mStartLit = false, mEndLit = true;
  }
  else
  {
    const double width = t.selEnd - t.selStart;
    const bool endAtOne = t.selEnd == 1.0;
    t.selStart = p;
    t.selEnd = endAtOne ? 1.0 : std::min(1.0, p + width);
    if (mC.selStart) mC.selStart->Push(t.selStart);
    if (mC.selEnd) mC.selEnd->Push(t.selEnd);
    mDragMarker = 2;
    mStartLit = mEndLit = true;
    mPendingNew = true;
    mDirection = 0;
  }
  SetAimRange(t.selStart, t.selEnd);
  LinkSelection();
  PlaceHandles();
  mDirty = true;
}

void IBufTabsZR::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (!mod) return;
  const bool inWave = mWave.Contains(x, y);
  if (mod->L && !mod->S)
  {
    if (inWave) return Aim(x);
    return ClickTab(x, y);
  }
  if (mod->R && !mod->L)
  {
    IBufPositionControlZR* readouts[3] = {mC.aim, mC.selStart, mC.selEnd};
    for (int i = 0; i < 3; ++i)
      if (mReadout[i].Contains(x, y) && readouts[i]) return readouts[i]->OnMouseDown(x, y, mod);
    if (mStrip.Contains(x, y))
    {
      IControl* target = mTab[mCurrent].rect.Contains(x, y) ? mC.request : mC.picked;
      if (target) target->OnMouseDown(x, y, mod);
      return;
    }
    if (inWave) StartSelectionDrag(x, y);
    return;
  }
  if (mod->L && mod->S && inWave) StartSelectionDrag(x, y);
}

void IBufTabsZR::LinkSelection()
{
  if (!mLinkAll) return;
  for (Tab& t : mTab) t.selStart = mTab[mCurrent].selStart, t.selEnd = mTab[mCurrent].selEnd;
}

void IBufTabsZR::OnMouseDrag(int x, int y, int dX, int, IMouseMod*)
{
  if (!mDragging) return;
  Tab& t = mTab[mCurrent];
  const double m = kMinSelection * mInvLength;
  if (mPendingNew)
  {
    mPendingNew = false;
    if (dX < 1)
    {
      mDragMarker = 1;
      t.selEnd = std::min(1.0, t.selStart + m);
    }
    else
      mDirection = 1;
  }
  const int shifted = x + static_cast<int>(mDirection * mMinSelPixels);
  const double p = std::clamp(PositionAt(shifted), t.viewStart, t.viewEnd);
  if (mDragMarker == 2 && p < t.selStart + m)
  {
    mPressPos += 2 * m;
    t.selStart = t.selEnd;
    t.selEnd = t.selStart + m;
    if (t.selEnd > 1.0) t.selEnd = 1.0, t.selStart = 1.0 - m;
    if (mC.selEnd) mC.selEnd->Push(t.selEnd);
    mDragMarker = 1;
    if (mDirection != 1) mDirection = -1;
  }
  else if (mDragMarker == 1 && p > t.selEnd - m)
  {
    t.selEnd = t.selStart;
    t.selStart = t.selEnd - m;
    if (t.selStart < 0.0) t.selStart = 0.0, t.selEnd = m;
    if (mC.selStart) mC.selStart->Push(t.selStart);
    mDragMarker = 2;
    if (mDirection != -1) mDirection = 1;
  }
  if (mDragMarker == 1)
  {
    t.selStart = std::min(p, t.selEnd - m);
    if (mC.selStart) mC.selStart->Push(t.selStart);
    if (mC.aim) mC.aim->SetRange(AimValue(t.selStart), mC.aim->RangeHi());
  }
  else
  {
    t.selEnd = std::max(p, t.selStart + m);
    if (mC.selEnd) mC.selEnd->Push(t.selEnd);
    if (mC.aim) mC.aim->SetRange(mC.aim->RangeLo(), AimValue(t.selEnd));
  }
  mStartLit = mDragMarker == 1;
  mEndLit = mDragMarker == 2;
  LinkSelection();
  PlaceHandles();
  mDirty = true;
  (void)y;
}

void IBufTabsZR::OnMouseUp(int, int, IMouseMod*)
{
  const bool dragged = mDragging;
  mDragging = mPendingNew = false;
  mDirection = 0;
  mDragMarker = 0;
  mStartLit = mEndLit = false;
  if (mDropOnMouseUp && mAimPressed && mC.aim) mC.aim->Push(0.0);
  mAimPressed = false;
  if (dragged && mGraphics) mGraphics->ShowMouseCursor();
  mDirty = true;
}

void IBufTabsZR::KeepViewInside(Tab& t)
{
  if (t.viewStart < 0.0) t.viewEnd -= t.viewStart, t.viewStart = 0.0;
  if (t.viewEnd > 1.0) t.viewStart -= t.viewEnd - 1.0, t.viewEnd = 1.0;
  t.viewStart = std::max(0.0, t.viewStart);
}

void IBufTabsZR::ZoomTime(int x, int d)
{
  Tab& t = mTab[mCurrent];
  const double zoom = std::clamp(d >= 1 ? t.zoom * 1.5 : t.zoom / 1.5, 1.0, mMaxZoom);
  if (zoom == t.zoom) return;
  t.zoom = zoom;
  t.samplesPerPixel = mLength / static_cast<double>(mW) / zoom;
  t.fullRebuild = true;
  if (zoom != 1.0)
  {
    const double u = (x - mWave.L) / static_cast<double>(mW);
    const double start = t.viewStart + (t.viewEnd - t.viewStart) * u - u / zoom;
    t.viewStart = start;
    t.viewEnd = start + 1.0 / zoom;
  }
  else
    t.viewStart = 0.0, t.viewEnd = 1.0;
  KeepViewInside(t);
  SetSelectionRanges(t);
  UpdateMinSelectionPixels();
  PlaceHandles();
}

void IBufTabsZR::Scroll(int d)
{
  Tab& t = mTab[mCurrent];
  if (t.zoom <= 1.0) return;
  const double shift = 20.0 * t.samplesPerPixel * mInvLength * d;
  const double oldStart = t.viewStart;
  t.viewStart += shift;
  t.viewEnd += shift;
  KeepViewInside(t);
  if (t.viewStart != oldStart)
  {
    t.fullRebuild = true;
    SetSelectionRanges(t);
    PlaceHandles();
  }
}

void IBufTabsZR::OnMouseWheel(int x, int y, IMouseMod* mod, int d)
{
  if (mWave.Contains(x, y))
  {
    const bool ctrl = mod && mod->C, shift = mod && mod->S;
    Tab& t = mTab[mCurrent];
    if (!ctrl && !shift) ZoomTime(x, d);
    else if (shift && !ctrl) Scroll(d);
    else if (ctrl) t.ampZoom = std::max(t.ampFloor, d >= 1 ? t.ampZoom * 1.5 : t.ampZoom / 1.5);
  }
  else if (mStrip.Contains(x, y))
  {
    mDragging = mPendingNew = false;
    mHovered = -1;
    ChooseTab((mCurrent + (d >= 0 ? 1 : kTabs - 1)) % kTabs);
  }
  mDirty = true;
}

void IBufTabsZR::OnMouseOver(int x, int y, IMouseMod* mod)
{
  if (mStrip.Contains(x, y))
  {
    if (auto* picked = dynamic_cast<IControlZR*>(mC.picked)) picked->Hover(x, y);
    int tab = TabAt(x, y);
    if (tab == mCurrent) tab = -1;
    if (tab != mHovered)
    {
      mHovered = tab;
      mLayoutDirty = mKeysDirty = mLabelDirty = true;
      mDirty = true;
    }
    return;
  }
  if (mHovered != -1)
  {
    mHovered = -1;
    mLayoutDirty = mKeysDirty = mLabelDirty = true;
    mDirty = true;
  }
  const bool startLit = mDragging ? mStartLit : mStartHandle.Contains(x, y);
  const bool endLit = mDragging ? mEndLit : mEndHandle.Contains(x, y);
  if (startLit != mStartLit || endLit != mEndLit) mDirty = true;
  mStartLit = startLit, mEndLit = endLit;
  IBufPositionControlZR* readouts[3] = {mC.aim, mC.selStart, mC.selEnd};
  for (int i = 0; i < 3; ++i)
    if (mReadout[i].Contains(x, y) && readouts[i]) return readouts[i]->Hover(x, y);
  IControlZR::OnMouseOver(x, y, mod);
}

void IBufTabsZR::OnMouseOut()
{
  if (mHovered != -1)
  {
    mHovered = -1;
    mLayoutDirty = mKeysDirty = mLabelDirty = true;
  }
  if (!mDragging) mStartLit = mEndLit = false;
  mDirty = true;
  IControlZR::OnMouseOut();
}

// ---- Waveform columns -------------------------------------------------------------------

void IBufTabsZR::BuildColumns(int tabIdx, int bufferIdx, const WaveSource& wave)
{
  Tab& t = mTab[tabIdx];
  const bool full = t.fullRebuild;
  t.fullRebuild = false;
  if (!full && !t.append) return;
  if (full)
  {
    for (auto& c : t.columns) c.clear();
    t.ampFloor = 1.0;
  }
  const int filled = std::min(mFilled[bufferIdx], kMaxLength), length = std::min(mLength, mBufferLength[bufferIdx]);
  double peak = 1.0 / t.ampFloor;
  const double spp = t.samplesPerPixel;
  if (spp >= 1.0)
  {
    const int per = std::max(1, static_cast<int>(std::lround(spp)));
    for (int ch = 0; ch < 2; ++ch)
    {
      auto& cols = t.columns[ch];
      for (int c = static_cast<int>(cols.size()); c < mW; ++c)
      {
        const double first = spp * c + t.viewStart * length;
        const int start = static_cast<int>(std::lround(first));
        if (start + per > filled && start + per <= length) break;  // comes when more is recorded
        Column col{0.0, 0.0};
        for (int i = start; i < start + per && i < length && i < filled; ++i)
        {
          const double v = wave.Sample(bufferIdx, i, ch);
          col.min = std::min(col.min, v), col.max = std::max(col.max, v);
          peak = std::max(peak, std::fabs(v));
        }
        cols.push_back(col);
      }
    }
  }
  else
  {
    const int from = static_cast<int>(t.viewStart * length), to = std::min({static_cast<int>(t.viewEnd * length), length, filled});
    for (int ch = 0; ch < 2; ++ch)
    {
      auto& cols = t.columns[ch];
      cols.clear();
      for (int i = from; i < to && static_cast<int>(cols.size()) < mW; ++i)
      {
        const double v = wave.Sample(bufferIdx, i, ch);
        cols.push_back(v < 0.0 ? Column{v, 0.0} : Column{0.0, v});
        peak = std::max(peak, std::fabs(v));
      }
    }
  }
  t.ampFloor = 1.0 / std::max(1.0, peak);
  t.ampZoom = std::max(t.ampZoom, t.ampFloor);
  const int n = static_cast<int>(t.columns[0].size());
  if (n == 0) t.fullRebuild = true;
  t.append = n > 0 && n < mW && spp >= 1.0;
  if (spp < 1.0 && filled < length) t.append = true;
}

// ---- Drawing ------------------------------------------------------------------------------

void IBufTabsZR::DrawWaveform(IGraphics* g, const Tab& t)
{
  const double a = mHalfHeight * t.ampZoom;
  const double spp = t.samplesPerPixel;
  for (int ch = 0; ch < 2; ++ch)
  {
    const auto& cols = t.columns[ch];
    const IColor colour = t.colour[ch];
    IColor clip = colour;
    clip.A = 200;
    for (size_t c = 0; c < cols.size(); ++c)
    {
      const int x = spp >= 1.0 ? mWave.L + static_cast<int>(c)
                               : std::min(mWave.R - 1, mWave.L + static_cast<int>(c / spp));
      const int top = std::clamp(static_cast<int>(mCentre - cols[c].max * a), mWave.T, mWave.B - 1);
      const int bottom = std::clamp(static_cast<int>(mCentre - cols[c].min * a), mWave.T, mWave.B - 1);
      g->FillAlpha(colour, IRECT(x, top, x + 1, bottom + 1));
      if (cols[c].max > 1.0) g->FillAlpha(clip, IRECT(x, mWave.T, x + 1, mWave.T + 2));
      if (cols[c].min < -1.0) g->FillAlpha(clip, IRECT(x, mWave.B - 2, x + 1, mWave.B));
    }
  }
  IColor centre = kTextColour;
  centre.A = 50;
  g->FillAlpha(centre, IRECT(mWave.L, mCentre, mWave.R, mCentre + 1));
  const double playhead = mPlayhead;
  if (playhead >= t.viewStart && playhead <= t.viewEnd)
  {
    const int x = PixelOf(playhead);
    g->FillAlpha(kPlayheadColour, IRECT(x, mWave.T + 3, x + 1, mWave.B - 2));
  }
  const double aim = mAimTarget;
  if (aim >= 0.0 && aim >= t.viewStart && aim <= t.viewEnd)
  {
    const int x = PixelOf(aim);
    g->FillAlpha(IColor(40, 255, 255, 255), IRECT(x - 1, mWave.T, x + 2, mWave.B));
  }
}

void IBufTabsZR::DrawSelection(IGraphics* g, const Tab& t)
{
  const int ps = std::clamp(PixelOf(t.selStart), mWave.L, mWave.R), pe = std::clamp(PixelOf(t.selEnd), mWave.L, mWave.R);
  if (ps > mWave.L) g->FillAlpha(kShade, IRECT(mWave.L, mWave.T, ps, mWave.B));
  if (pe < mWave.R) g->FillAlpha(kShade, IRECT(pe, mWave.T, mWave.R, mWave.B));
  IColor lit = kTextColour;
  lit.A = 150;
  const struct
  {
    int x;
    bool lit;
    IRECT handle;
  } markers[2] = {{ps, mStartLit, mStartHandle}, {pe, mEndLit, mEndHandle}};
  for (const auto& m : markers)
  {
    if (m.lit) g->FillAlpha(lit, m.handle);
    g->FillAlpha(m.lit ? kTextColour : kIdleMarker, IRECT(m.x, mWave.T, m.x + 1, mWave.B));
  }
}

void IBufTabsZR::DrawTabs(IGraphics* g)
{
  if (mLayoutDirty) LayoutTabs();
  const IColor outline = Dimmed(kTextColour, 0.3, 56);
  const int hovered = mHovered;
  for (int i = 0; i < kTabs; ++i)
  {
    const IRECT& r = mTab[i].rect;
    if (i == mCurrent && mC.request && mC.request->GetValue() >= 0.5) g->FillAlpha(kRequestColour, r);
    const double activity = mTab[i].activity;
    if (activity != 0.0)
      g->FillAlpha(IColor(std::clamp(static_cast<int>(40 + 180 * activity), 0, 255), 255, 255, 255),
                   IRECT(r.L + 1, r.T + 1, r.R - 1, std::min(r.B, r.T + 6)));
    if (i == mCurrent)
    {
      g->LineAlpha(outline, r.L, r.T, r.R - 1, r.T);
      g->LineAlpha(outline, r.L, r.T, r.L, r.B);
      g->LineAlpha(outline, r.R - 1, r.T, r.R - 1, r.B);
    }
    else
      g->Outline(outline, r);
    if (i == mCurrent || i == hovered)
    {
      char number[4];
      std::snprintf(number, sizeof number, "%d", i + 1);
      IText t = mTextStyle;
      t.mSize = 13;
      t.mCached = nullptr;
      IRECT nr(r.L, r.T + 4, r.R, r.B);
      g->DrawIText(t, number, nr);
    }
  }
  // The current tab's outline continues around the waveform.
  const IRECT& cur = mTab[mCurrent].rect;
  const int top = mWave.T, left = mAnchor.L, right = mAnchor.R - 1, bottom = mAnchor.B - 1;
  g->LineAlpha(outline, left, top, cur.L, top);
  g->LineAlpha(outline, cur.R - 1, top, right, top);
  g->LineAlpha(outline, left, top, left, bottom);
  g->LineAlpha(outline, right, top, right, bottom);
  g->LineAlpha(outline, left, bottom, right, bottom);
}

void IBufTabsZR::DrawReadouts(IGraphics* g, const Tab& t)
{
  const double values[3] = {mPlayhead, t.selStart, t.selEnd};
  for (int i = 0; i < 3; ++i)
  {
    g->FillAlpha(kShade, mReadout[i]);
    char text[16];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(values[i] * mLength));
    IRECT r = mReadout[i];
    g->DrawIText(mTextStyle, text, r);
  }
  IRECT dash(mReadout[1].R, mReadout[1].T, mReadout[2].L, mReadout[2].B);
  g->DrawIText(mTextStyle, " - ", dash);
}

std::string IBufTabsZR::StatusText() const
{
  const int b = ShownBuffer();
  if (mFilled[b] <= 0) return "REFILL PENDING";
  if (mFilled[b] < mBufferLength[b]) return "FILLING";
  return {};
}

void IBufTabsZR::PushKeys()
{
  if (!mKeysDirty) return;
  mKeysDirty = false;
  const int shown = ShownTab();
  for (int k = 0; k < kKeys; ++k)
    if (mC.keys[k]) mC.keys[k]->SetValueFromPlug(mUsedFor[k][shown] ? 1.0 : 0.0);
}

bool IBufTabsZR::Draw(IGraphics* g)
{
  const int shown = ShownTab();
  const int buffer = ShownBuffer();
  Tab& t = mTab[shown];
  const int filled = mFilled[buffer], length = mBufferLength[buffer];
  g->FillAlpha(IColor(255, 16, 16, 18), mWave);
  if (filled > 0)
  {
    if (!t.columns[0].empty()) DrawWaveform(g, t);
    DrawSelection(g, t);
    if (filled < length)
    {
      IText status = mTextStyle;
      status.mAlign = IText::kAlignFar;
      status.mCached = nullptr;
      IRECT r = mStatusBox;
      g->DrawIText(status, "FILLING", r);
    }
  }
  else
  {
    DrawSelection(g, t);
    IRECT r(mWave.L, mCentre - kTextSize / 2, mWave.R, mCentre + kTextSize / 2);
    g->DrawIText(mTextStyle, "REFILL PENDING", r);
  }
  DrawTabs(g);
  DrawReadouts(g, mTab[mCurrent]);
  if (mInfo[0])
  {
    IText info = mTextStyle;
    info.mAlign = IText::kAlignNear;
    info.mCached = nullptr;
    IRECT r(mLabelBox.L + 30, mLabelBox.T, mLabelBox.R + 60, mLabelBox.B);
    g->DrawIText(info, mInfo, r);
  }
  if (mCommon && shown != mCommonIndex)
  {
    char label[16];
    std::snprintf(label, sizeof label, "(%d)", mCommonIndex + 1);
    IText lt = mTextStyle;
    lt.mAlign = IText::kAlignNear;
    lt.mCached = nullptr;
    IRECT r = mLabelBox;
    g->DrawIText(lt, label, r);
  }
  mLabelDirty = false;
  PushKeys();
  // Recording in progress: keep repainting while the buffer grows.
  if (filled > 0 && filled < length) SetRedraw();
  return true;
}
