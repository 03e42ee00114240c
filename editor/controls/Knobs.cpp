#include "editor/controls/Knobs.h"

#include <cmath>

#include "editor/framework/IGraphics.h"
#include "frame/IPlugBase.h"

namespace {
bool Fine(const IMouseMod* mod) { return mod && (mod->C || mod->S); }
const IColor kBoxFill(255, 40, 40, 40);
}  // namespace

double IKnobControlZR::DragDelta(int dX, int dY, bool fine) const
{
  const double gearing = mGearing * (fine ? 10.0 : 1.0);
  const IRECT& r = mAnchor;
  if (mDirection == kVertical) return r.H() > 0 ? -dY / static_cast<double>(r.H()) / gearing : 0.0;
  return r.W() > 0 ? dX / static_cast<double>(r.W()) / gearing : 0.0;
}

void IKnobControlZR::OnMouseDrag(int, int, int dX, int dY, IMouseMod* mod)
{
  mValue += DragDelta(dX, dY, Fine(mod));
  SetDirty(true);
}

void IKnobControlZR::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
  mValue += (Fine(mod) ? 0.001 : 0.01) * d;
  SetDirty(true);
}

// ---- Strip knob with value box ---------------------------------------------

IKnobMultiControlZR::IKnobMultiControlZR(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap)
  : IKnobControlZR(plug, IRECT(x, y, x + bitmap.W, y + bitmap.H / std::max(1, bitmap.N)), paramIdx),
    mBitmap(bitmap), mBitmapRect(mRECT)
{
  DisablePrompt(false);
  ResetValueBoxStyle();
}

void IKnobMultiControlZR::ResetValueBoxStyle()
{
  mBoxText = mText;
  mBoxText.mColor = IColor(255, 255, 255, 255);
  mBoxText.mTextEntryFGColor = IColor(255, 255, 255, 255);
  mBoxText.mTextEntryBGColor = IColor(150, 30, 30, 30);
  mBoxText.mCached = nullptr;
  mText.mTextEntryFGColor = mBoxText.mTextEntryFGColor;
  mText.mTextEntryBGColor = mBoxText.mTextEntryBGColor;
}

void IKnobMultiControlZR::SetValueBoxSide(int side, int dx, int dy)
{
  mBoxSide = side, mBoxDx = dx, mBoxDy = dy;
}

int IKnobMultiControlZR::Frame() const
{
  const int n = std::max(1, mBitmap.N);
  return std::clamp(1 + static_cast<int>(std::lround((n - 1) * FramePosition())), 1, n);
}

void IKnobMultiControlZR::LayoutValueBox()
{
  const std::string text = DisplayText().substr(0, 5);
  const int size = mBoxText.mSize;
  const int w = (static_cast<int>(text.size()) + 1) * size / 2, h = size + 2;
  const IRECT& b = mBitmapRect;
  const int cx = (b.L + b.R) / 2 - w / 2, cy = (b.T + b.B) / 2 - h / 2;
  IRECT r;
  switch (mBoxSide)
  {
    case kAbove: r = IRECT(cx, b.T - 5 - h, cx + w, b.T - 5); break;
    case kLeft: r = IRECT(b.L - 5 - w, cy, b.L - 5, cy + h); break;
    case kRight: r = IRECT(b.R + 5, cy, b.R + 5 + w, cy + h); break;
    default: r = IRECT(cx, b.B + 5, cx + w, b.B + 5 + h); break;
  }
  mBoxRect = IRECT(r.L + mBoxDx, r.T + mBoxDy, r.R + mBoxDx, r.B + mBoxDy);
}

void IKnobMultiControlZR::ShowValueBox()
{
  if (!mBoxShowing) mRestRect = mRECT;
  mBoxShowing = true;
  mShrinkPending = false;
  LayoutValueBox();
  IRECT target = mBitmapRect.Union(mBoxRect);
  if (target.H() < 30) target = IRECT(target.L, target.T - 30, target.R, target.B + 30);
  mTargetRECT = target;
  mRECT = mRestRect.Union(mBoxRect);
  SetDirty(false);
}

void IKnobMultiControlZR::HideValueBox()
{
  if (!mBoxShowing) return;
  mBoxShowing = false;
  mTargetRECT = mBitmapRect;
  mShrinkPending = true;  // the box's area is repainted once more
  SetDirty(false);
}

void IKnobMultiControlZR::SetClean()
{
  IControl::SetClean();
  if (mShrinkPending && !mDirty)
  {
    mRECT = mRestRect;
    mShrinkPending = false;
  }
}

void IKnobMultiControlZR::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (IsContextPress(mod)) return RaiseContext(x, y);
  if (!mod || !mod->L) return;
  if (mBoxShowing && mBoxRect.Contains(x, y))
  {
    IText entry = mBoxText;
    SetText(entry);
    PromptUserInput(mBoxRect);
    return;
  }
  ShowValueBox();
}

void IKnobMultiControlZR::OnMouseDblClick(int, int, IMouseMod* mod)
{
  if (!mod || !mod->L || mDefaultValue < 0.0) return;
  mValue = mDefaultValue;
  SetDirty(true);
}

void IKnobMultiControlZR::OnMouseWheel(int x, int y, IMouseMod* mod, int d)
{
  ShowValueBox();
  IKnobControlZR::OnMouseWheel(x, y, mod, d);
}

void IKnobMultiControlZR::OnMouseOut()
{
  HideValueBox();
  IKnobControlZR::OnMouseOut();
}

bool IKnobMultiControlZR::Draw(IGraphics* graphics)
{
  graphics->DrawBitmap(mBitmap, mBitmapRect, Frame(), &mBlend);
  if (mBoxShowing)
  {
    LayoutValueBox();
    graphics->FillAlpha(kBoxFill, mBoxRect);
    IRECT r = mBoxRect;
    graphics->DrawIText(mBoxText, DisplayText().substr(0, 5).c_str(), r);
  }
  DrawLabels(graphics, mBoxShowing ? mBoxRect : IRECT());
  return true;
}

// ---- Mapped knob --------------------------------------------------------------

IKnobControlMappedZR::IKnobControlMappedZR(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                           Map positionToValue, Map valueToPosition, double shiftFactor)
  : IKnobMultiControlZR(plug, x, y, paramIdx, bitmap), mToValue(std::move(positionToValue)),
    mToPosition(std::move(valueToPosition)), mShiftFactor(shiftFactor)
{
}

IKnobControlMappedZR::Map IKnobControlMappedZR::PowerMap(double exponent)
{
  return [exponent](double x) {
    const double u = 2.0 * x - 1.0;
    return 0.5 + 0.5 * std::copysign(std::pow(std::fabs(u), exponent), u);
  };
}

void IKnobControlMappedZR::OnMouseDrag(int, int, int dX, int dY, IMouseMod* mod)
{
  mPosition += DragDelta(dX, dY, mod && mod->C);
  SetDirty(true);
}

void IKnobControlMappedZR::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
  ShowValueBox();
  if (mod && mod->S && !mod->C) return ScaleFromCentre(d);
  mPosition += (mod && mod->C ? 0.001 : 0.01) * d;
  SetDirty(true);
}

void IKnobControlMappedZR::ScaleFromCentre(int d)
{
  const double offset = mValue - 0.5;
  if (offset == 0.0 || d == 0) return;
  const bool away = (offset > 0.0) == (d > 0);
  const double distance = std::fabs(offset);
  double v = mValue + d * (away ? distance * (mShiftFactor - 1.0) : distance / mShiftFactor);
  // A halving that lands (almost) on the centre crosses it instead of sticking.
  if (!away && (std::fabs(v - 0.5) < 0.001 || (v - 0.5) * offset <= 0.0)) v = 1.0 - v;
  mValue = std::clamp(v, mClampLo, mClampHi);
  mPosition = mToPosition(mValue);
  IControl::SetDirty(true);
}

void IKnobControlMappedZR::OnMouseDblClick(int, int, IMouseMod* mod)
{
  if (!mod || !mod->L || mDefaultValue < 0.0) return;
  mValue = mDefaultValue;
  mPosition = mToPosition(mValue);
  IControl::SetDirty(true);
}

void IKnobControlMappedZR::SetValueFromPlug(double value)
{
  if (mDefaultValue < 0.0) mDefaultValue = value;
  mValue = value;
  mPosition = mToPosition(value);
  IControl::SetDirty(false);
}

void IKnobControlMappedZR::SetValueFromUserInput(double value)
{
  mValue = value;
  mPosition = mToPosition(value);
  IControl::SetDirty(true);
}

void IKnobControlMappedZR::SetDirty(bool pushToPlug)
{
  mPosition = std::clamp(mPosition, mClampLo, mClampHi);
  mValue = mToValue(mPosition);
  IControl::SetDirty(pushToPlug);
}

// ---- Integer text ---------------------------------------------------------------

static int Digits(int v)
{
  int n = v < 0 ? 2 : 1;
  for (v = std::abs(v); v >= 10; v /= 10) ++n;
  return n;
}

IIntValTextControlZR::IIntValTextControlZR(IPlugBase* plug, int x, int y, int paramIdx, int textSize, int style,
                                           int kind)
  : IKnobControlZR(plug, IRECT(), paramIdx), mStyle(style), mKind(kind)
{
  mText.mSize = textSize;
  const IParam* param = plug ? plug->GetParam(paramIdx) : nullptr;
  const int chars = (param ? std::max(Digits(static_cast<int>(param->Max())), Digits(static_cast<int>(param->Min())))
                           : 2) + (kind == kSlashAfter ? 1 : 0);
  const int w = std::max(textSize * 6 * chars / 10 + 2, textSize / 2 + 2);
  const int h = static_cast<int>(1.05 * textSize);
  mRECT = mTargetRECT = mAnchor = IRECT(x, y, x + w, y + h);
  DisablePrompt(false);
}

void IIntValTextControlZR::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (IsContextPress(mod)) return RaiseContext(x, y);
  if (!mod || !mod->L) return;
  if (!mDisablePrompt) PromptUserInput(mAnchor);
  IControl::SetDirty(false);
}

void IIntValTextControlZR::OnMouseDblClick(int, int, IMouseMod* mod)
{
  if (!mod || !mod->L || mDefaultValue < 0.0) return;
  mValue = mDefaultValue;
  SetDirty(true);
}

void IIntValTextControlZR::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
  const IParam* param = mPlug ? mPlug->GetParam(mParamIdx) : nullptr;
  if (!param) return;
  int n = static_cast<int>(std::lround(param->FromNormalized(mValue)));
  if (mod && mod->S) n = d < 1 ? n / 2 : n * 2;
  else n += d;
  n = std::clamp(n, static_cast<int>(param->Min()), static_cast<int>(param->Max()));
  mValue = param->GetNormalized(n);
  SetDirty(true);
}

// Whole steps only: the value lands on the nearest integer.
void IIntValTextControlZR::SetDirty(bool pushToPlug)
{
  if (const IParam* param = mPlug ? mPlug->GetParam(mParamIdx) : nullptr)
    if (param->Max() > param->Min())
      mValue = param->GetNormalized(std::round(param->FromNormalized(std::clamp(mValue, 0.0, 1.0))));
  IControl::SetDirty(pushToPlug);
}

bool IIntValTextControlZR::Draw(IGraphics* graphics)
{
  const IRECT& r = mAnchor;
  if (mStyle == kStyleFilled)
  {
    graphics->FillAlpha(mBackground, r);
    graphics->Outline(Dimmed(mMain, 0.5, 40), r);
  }
  else if (mStyle == kStyleFramedBox)
  {
    IColor box = mBackground;
    box.A = 100;
    graphics->FillAlpha(box, r);
    graphics->Outline(Dimmed(mMain, 0.5, 40), r);
  }
  std::string text = DisplayText();
  if (mKind == kSlashAfter) text += "/";
  IRECT t = r;
  graphics->DrawIText(mText, text.c_str(), t);
  if (mKind == kNumerator)
  {
    const int thickness = std::max(1, mText.mSize / 20), w = r.W() / 2;
    graphics->FillAlpha(mMain, IRECT(r.L + (r.W() - w) / 2, r.B - thickness, r.L + (r.W() - w) / 2 + w, r.B));
  }
  DrawLabels(graphics);
  return true;
}
