#include "editor/controls/Lists.h"

#include <cmath>

#include "editor/framework/IGraphics.h"
#include "frame/IPlugBase.h"

// ---- List with a grid ---------------------------------------------------------------

IListControlZR::IListControlZR(IPlugBase* plug, int x, int y, int paramIdx, std::vector<std::string> texts,
                               int textSize)
  : IControlZR(plug, IRECT(), paramIdx), mTexts(std::move(texts))
{
  mText.mSize = textSize;
  mBackground = IColor(255, 40, 40, 40);
  mHighlight = IColor(255, 120, 60, 60);
  int widest = 0, h = 0;
  for (const auto& t : mTexts)
  {
    int w = 0;
    MeasureTextSize(mText, t.c_str(), &w, &h);
    widest = std::max(widest, w);
  }
  mCellW = widest + 8;
  mBox = IRECT(x, y, x + mCellW, y + kCellHeight);
  mAnchor = mRECT = mTargetRECT = mBox;
}

int IListControlZR::CurrentIndex() const
{
  const IParam* param = mPlug ? mPlug->GetParam(mParamIdx) : nullptr;
  const int i = param ? static_cast<int>(std::lround(param->FromNormalized(mValue) - param->Min()))
                      : static_cast<int>(std::lround(mValue * (Count() - 1)));
  return std::clamp(i, 0, std::max(0, Count() - 1));
}

IRECT IListControlZR::CellRect(int i) const
{
  const int col = i / kPerColumn, row = i % kPerColumn;
  const int l = mBox.L + col * mCellW, t = mBox.T + row * kCellHeight;
  return {l, t, l + mCellW, t + kCellHeight};
}

int IListControlZR::CellAt(int x, int y) const
{
  for (int i = 0; i < Count(); ++i)
    if (CellRect(i).Contains(x, y)) return i;
  return -1;
}

void IListControlZR::Choose(int index)
{
  const IParam* param = mPlug ? mPlug->GetParam(mParamIdx) : nullptr;
  mValue = param ? param->GetNormalized(param->Min() + index) : index / std::max(1.0, Count() - 1.0);
  SetDirty(true);
}

void IListControlZR::OpenGrid()
{
  mGridOpen = true;
  mShrinkPending = false;
  mHoverCell = CurrentIndex();
  mGrid = IRECT();
  for (int i = 0; i < Count(); ++i) mGrid = mGrid.Union(CellRect(i));
  mGrid.R += 1, mGrid.B += 1;
  mRECT = mRECT.Union(mGrid);
  mTargetRECT = mGrid;
  SetDirty(false);
}

void IListControlZR::CloseGrid()
{
  if (!mGridOpen) return;
  mGridOpen = false;
  mHoverCell = CurrentIndex();
  mTargetRECT = mBox;
  mShrinkPending = true;
  SetDirty(false);
}

void IListControlZR::SetClean()
{
  IControl::SetClean();
  if (mShrinkPending && !mDirty)
  {
    mRECT = mBox;
    for (const IRECT& r : mLabelRects) mRECT = mRECT.Union(r);
    mShrinkPending = false;
  }
}

void IListControlZR::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (IsContextPress(mod)) return RaiseContext(x, y);
  if (!mod || !mod->L) return;
  if (Count() < 3)
  {
    mPressed = true;
    Choose(CurrentIndex() == 0 ? 1 : 0);
    return;
  }
  if (!mGridOpen) return OpenGrid();
  const int cell = CellAt(x, y);
  if (cell >= 0) Choose(cell);
  CloseGrid();
}

void IListControlZR::OnMouseUp(int, int, IMouseMod*)
{
  if (!mPressed) return;
  mPressed = false;
  SetDirty(false);
}

void IListControlZR::OnMouseDrag(int x, int y, int, int, IMouseMod* mod)
{
  OnMouseOver(x, y, mod);
}

void IListControlZR::OnMouseOver(int x, int y, IMouseMod* mod)
{
  if (mGridOpen)
  {
    const int cell = CellAt(x, y);
    if (cell >= 0 && cell != mHoverCell)
    {
      mHoverCell = cell;
      SetDirty(false);
    }
  }
  IControlZR::OnMouseOver(x, y, mod);
}

void IListControlZR::OnMouseOut()
{
  CloseGrid();
  IControlZR::OnMouseOut();
}

void IListControlZR::OnMouseDblClick(int x, int y, IMouseMod* mod)
{
  if (Count() < 3 || mDefaultValue < 0.0 || !mod || !mod->L) return OnMouseDown(x, y, mod);
  mValue = mDefaultValue;
  CloseGrid();
  SetDirty(true);
}

void IListControlZR::OnMouseWheel(int, int, IMouseMod*, int d)
{
  Choose(std::clamp(CurrentIndex() + d, 0, std::max(0, Count() - 1)));
}

void IListControlZR::SetDirty(bool pushToPlug)
{
  IControl::SetDirty(pushToPlug);
  if (!mGridOpen) mHoverCell = CurrentIndex();
}

bool IListControlZR::Draw(IGraphics* graphics)
{
  graphics->FillAlpha(mPressed ? mHighlight : mBackground, mBox);
  graphics->Outline(Dimmed(mMain, 0.5, 40), mBox);
  if (!mTexts.empty())
  {
    IRECT t(mBox.L, mBox.T + 1, mBox.R, mBox.B);
    graphics->DrawIText(mText, mTexts[static_cast<size_t>(CurrentIndex())].c_str(), t);
  }
  if (mGridOpen)
  {
    const IColor frame = Dimmed(mMain, 0.3, 56);
    for (int i = 0; i < Count(); ++i)
    {
      IRECT cell = CellRect(i);
      cell.R += 1, cell.B += 1;
      graphics->FillAlpha(i == CurrentIndex() ? mHighlight : mBackground, cell);
      if (i == mHoverCell && i != CurrentIndex()) graphics->FillAlpha(IColor(60, 255, 255, 255), cell);
      graphics->Outline(frame, cell);
      IRECT t(cell.L, cell.T + 1, cell.R, cell.B);
      graphics->DrawIText(mText, mTexts[static_cast<size_t>(i)].c_str(), t);
    }
  }
  DrawLabels(graphics);
  return true;
}

// ---- Tooltip ------------------------------------------------------------------------

ITooltipControlZR::ITooltipControlZR(IPlugBase* plug, int editorW, int editorH, std::function<bool()> enabled)
  : IControlZR(plug, IRECT(), -1), mEnabled(std::move(enabled)), mEditorW(editorW), mEditorH(editorH)
{
  mText.mSize = 13;
  mText.mAlign = IText::kAlignNear;
  mBackground = IColor(240, 24, 24, 24);
  mMain = IColor(255, 255, 255, 255);
}

void ITooltipControlZR::ShowFor(int paramIdx, const std::string& description, int x, int y)
{
  if (mEnabled && !mEnabled()) return HideTip();
  // A control without a parameter (the buffer view) shows its description alone.
  const IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
  if (!param && description.empty()) return HideTip();
  std::string text = param ? param->GetNameForHost() : description;
  if (param && !description.empty()) text += "\n" + description;
  int w = 0, h = 0;
  MeasureTextLines(mText, text, &w, &h);
  w += 12, h += 8;
  int l = x + 10, t = y + 10;
  if (l + w > mEditorW - 10) l -= w + 20;
  if (t + h > mEditorH - 10) t -= h + 20;
  l = std::max(l, 10), t = std::max(t, 10);
  const IRECT old = mShowing ? mRECT : IRECT();
  mBox = IRECT(l, t, l + w, t + h);
  mTipText = text;
  mShowing = true;
  mRECT = mTargetRECT = IRECT(l, t, l + w + 10, t + h + 10).Union(old);
  SetDirty(false);
}

void ITooltipControlZR::HideTip()
{
  if (!mShowing) return;
  mShowing = false;
  SetDirty(false);
}

bool ITooltipControlZR::Draw(IGraphics* graphics)
{
  if (!mShowing) return true;
  const IRECT& b = mBox;
  DrawPanel(graphics, b, mBackground, Dimmed(mMain, 0.4, 48));
  DrawTextLines(graphics, mText, mTipText, IRECT(b.L + 6, b.T + 4, b.R - 6, b.B - 4));
  return true;
}

// ---- In-editor menu -------------------------------------------------------------------

IMenuControlZR::IMenuControlZR(IPlugBase* plug, int editorW, int editorH)
  : IControlZR(plug, IRECT(0, 0, editorW, editorH), -1), mEditorW(editorW), mEditorH(editorH)
{
  mText.mSize = 13;
  mText.mAlign = IText::kAlignNear;
  mBackground = IColor(250, 28, 28, 28);
  mHighlight = IColor(255, 90, 50, 50);
  mAccent = IColor(255, 255, 132, 132);
  mHide = true;
}

IRECT IMenuControlZR::ItemRect(int i) const
{
  return {mBox.L + 1, mBox.T + 3 + i * mItemH, mBox.R - 1, mBox.T + 3 + (i + 1) * mItemH};
}

int IMenuControlZR::ItemAt(int x, int y) const
{
  if (!mMenu) return -1;
  for (int i = 0; i < static_cast<int>(mMenu->items.size()); ++i)
    if (ItemRect(i).Contains(x, y)) return i;
  return -1;
}

void IMenuControlZR::Open(ZRMenu* menu, int x, int y)
{
  if (!menu) return;
  if (mMenu) Close();
  mMenu = menu;
  int widest = 0, h = 0;
  for (const auto& item : menu->items)
  {
    int w = 0;
    MeasureTextSize(mText, item.text.c_str(), &w, &h);
    widest = std::max(widest, w);
  }
  mItemH = std::max(18, h + 4);
  const int w = widest + 34, ht = static_cast<int>(menu->items.size()) * mItemH + 6;
  int l = std::clamp(x, 0, std::max(0, mEditorW - w - 10)), t = std::clamp(y, 0, std::max(0, mEditorH - ht - 10));
  mBox = IRECT(l, t, l + w, t + ht);
  mRECT = IRECT(l, t, l + w + 10, t + ht + 10);
  mTargetRECT = IRECT(0, 0, mEditorW, mEditorH);
  mHoverItem = -1;
  Hide(false);
}

void IMenuControlZR::Close()
{
  if (!mMenu) return;
  mMenu = nullptr;
  mHoverItem = -1;
  Hide(true);
}

void IMenuControlZR::OnMouseDown(int x, int y, IMouseMod*)
{
  ZRMenu* menu = mMenu;
  const int i = ItemAt(x, y);
  if (!menu) return;
  if (i < 0)
  {
    if (!mBox.Contains(x, y)) Close();
    return;
  }
  ZRMenu::Item& item = menu->items[static_cast<size_t>(i)];
  if (item.state == ZRMenu::kDisabled || item.state == ZRMenu::kTitle) return;
  Close();
  if (menu->onChoose) menu->onChoose(*menu, i);
}

void IMenuControlZR::OnMouseOver(int x, int y, IMouseMod*)
{
  if (!mMenu) return;
  const IRECT near(mBox.L - 20, mBox.T - 20, mBox.R + 20, mBox.B + 20);
  if (!near.Contains(x, y)) return Close();
  const int i = ItemAt(x, y);
  if (i != mHoverItem)
  {
    mHoverItem = i;
    SetDirty(false);
  }
}

void IMenuControlZR::OnMouseOut()
{
  Close();
}

bool IMenuControlZR::Draw(IGraphics* graphics)
{
  if (!mMenu) return true;
  DrawPanel(graphics, mBox, mBackground, Dimmed(mMain, 0.4, 48));
  for (int i = 0; i < static_cast<int>(mMenu->items.size()); ++i)
  {
    const ZRMenu::Item& item = mMenu->items[static_cast<size_t>(i)];
    const IRECT r = ItemRect(i);
    const bool usable = item.state != ZRMenu::kDisabled && item.state != ZRMenu::kTitle;
    if (i == mHoverItem && usable) graphics->FillAlpha(mHighlight, r);
    IText t = mText;
    t.mColor = item.state == ZRMenu::kDisabled ? IColor(255, 110, 110, 110)
               : item.state == ZRMenu::kTitle  ? mAccent
                                               : mMain;
    if (item.state == ZRMenu::kTicked) graphics->FillAlpha(mAccent, IRECT(r.L + 7, r.T + r.H() / 2 - 3, r.L + 13, r.T + r.H() / 2 + 3));
    IRECT tr(r.L + 20, r.T + 2, r.R - 4, r.B);
    graphics->DrawIText(t, item.text.c_str(), tr);
    if (item.state == ZRMenu::kTitle) graphics->LineAlpha(Dimmed(mMain, 0.4, 48), r.L + 4, r.B - 1, r.R - 5, r.B - 1);
  }
  return true;
}
