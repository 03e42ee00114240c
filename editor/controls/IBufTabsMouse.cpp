#include "editor/controls/IBufTabsZR.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/controls/IBufTabsLook.h"
#include "editor/framework/IGraphics.h"
#include "frame/IPlugBase.h"

using namespace buftabs;

int IBufTabsZR::NextAimRandom()
{
  mAimSeed = mAimSeed * 1103515245u + 12345u;
  return static_cast<int>((mAimSeed >> 16) & 0x7FFF);
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
    mDragMarker = Marker::kStart;
    t.selStart = p;
    if (mC.selStart) mC.selStart->Push(p);
    mStartLit = true, mEndLit = false;
  }
  else if (mEndHandle.Contains(x, y))
  {
    mDragMarker = Marker::kEnd;
    t.selEnd = p;
    if (mC.selEnd) mC.selEnd->Push(p);
    mStartLit = false, mEndLit = true;
  }
  else
  {
    const double width = t.selEnd - t.selStart, oldEnd = t.selEnd;
    const bool endAtOne = t.selEnd == 1.0;
    t.selStart = p;
    t.selEnd = endAtOne ? 1.0 : std::min(1.0, p + width);
    PushSelection(t, t.selStart >= oldEnd);
    mDragMarker = Marker::kEnd;
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

// Both edges to the instrument as one move: the edge that leaves the old
// selection goes first, so it never holds a start past its end.
void IBufTabsZR::PushSelection(const Tab& t, bool endFirst)
{
  IBufPositionControlZR* first = endFirst ? mC.selEnd : mC.selStart;
  IBufPositionControlZR* second = endFirst ? mC.selStart : mC.selEnd;
  if (first) first->Push(endFirst ? t.selEnd : t.selStart);
  if (second) second->Push(endFirst ? t.selStart : t.selEnd);
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
      mDragMarker = Marker::kStart;
      t.selEnd = std::min(1.0, t.selStart + m);
    }
    else
      mDirection = 1;
  }
  const int shifted = x + static_cast<int>(mDirection * mMinSelPixels);
  const double p = std::clamp(PositionAt(shifted), t.viewStart, t.viewEnd);
  if (mDragMarker == Marker::kEnd && p < t.selStart + m)
  {
    mPressPos += 2 * m;
    t.selStart = t.selEnd;
    t.selEnd = t.selStart + m;
    if (t.selEnd > 1.0) t.selEnd = 1.0, t.selStart = 1.0 - m;
    if (mC.selEnd) mC.selEnd->Push(t.selEnd);
    mDragMarker = Marker::kStart;
    if (mDirection != 1) mDirection = -1;
  }
  else if (mDragMarker == Marker::kStart && p > t.selEnd - m)
  {
    t.selEnd = t.selStart;
    t.selStart = t.selEnd - m;
    if (t.selStart < 0.0) t.selStart = 0.0, t.selEnd = m;
    if (mC.selStart) mC.selStart->Push(t.selStart);
    mDragMarker = Marker::kEnd;
    if (mDirection != -1) mDirection = 1;
  }
  if (mDragMarker == Marker::kStart)
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
  mStartLit = mDragMarker == Marker::kStart;
  mEndLit = mDragMarker == Marker::kEnd;
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
  mDragMarker = Marker::kNone;
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
