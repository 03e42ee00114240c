#include "editor/controls/IBufTabsZR.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/controls/IBufTabsLook.h"
#include "editor/controls/Knobs.h"
#include "editor/framework/IGraphics.h"
#include "frame/IPlugBase.h"

using namespace buftabs;

namespace {
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

IControlsMarker::Entry IControlsMarker::EntryFor(IControl* control)
{
  return {control, kRightSide, dynamic_cast<const IKnobControlZR*>(control) ? 1 : 3};
}

IControlsMarker::IControlsMarker(IPlugBase* plug, std::vector<Entry> entries)
  : IControlZR(plug, IRECT(), -1), mEntries(std::move(entries))
{
  mText.mSize = 13;
  SetTooltip("+");
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
