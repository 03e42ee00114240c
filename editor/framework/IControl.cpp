#include "editor/framework/IControl.h"

#include <cmath>
#include <cstring>

#include "editor/framework/IGraphics.h"
#include "frame/IPlugBase.h"

void IControl::OnMouseDown(int, int, IMouseMod* mod)
{
  if (mod && mod->R) PromptUserInput();
}

void IControl::OnMouseDblClick(int, int, IMouseMod*)
{
  if (mDefaultValue < 0.0) return;
  mValue = mDefaultValue;
  SetDirty(true);
}

void IControl::SetValueFromPlug(double value)
{
  if (mDefaultValue < 0.0) mDefaultValue = value;
  if (value == mValue) return;
  mValue = value;
  SetDirty(false);
  mRedraw = true;
}

void IControl::SetValueFromUserInput(double value)
{
  if (value == mValue) return;
  mValue = value;
  SetDirty(true);
  mRedraw = true;
}

void IControl::Hide(bool hide)
{
  mHide = hide;
  mRedraw = true;
  SetDirty(false);
}

void IControl::GrayOut(bool gray)
{
  mGrayed = gray;
  mBlend.mWeight = gray ? 0.25f : 1.0f;
  SetDirty(false);
}

static void CopyCut(char* dst, const char* src, size_t n)
{
  std::strncpy(dst, src, n);
  dst[n] = '\0';
}

void IControl::SetDirty(bool pushToPlug)
{
  mValue = std::clamp(mValue, mClampLo, mClampHi);
  mDirty = true;
  if (!pushToPlug || !mPlug || mParamIdx < 0) return;
  mPlug->SetParameterFromGUI(mParamIdx, mValue);
  IParam* param = mPlug->GetParam(mParamIdx);
  if (!param) return;
  if (mValDisplayControl)
  {
    char display[33], label[33], text[70];
    param->GetDisplayForHost(display, sizeof display);
    CopyCut(label, param->GetLabelForHost(), 32);
    std::snprintf(text, sizeof text, "%s %s", display, label);
    mValDisplayControl->TextFromTextEntry(text);
  }
  if (mNameDisplayControl) mNameDisplayControl->TextFromTextEntry(param->GetNameForHost());
}

void IControl::SetClean()
{
  mDirty = mRedraw;
  mRedraw = false;
}

void IControl::SetAuxParamValueFromPlug(int auxIdx, double value)
{
  if (auxIdx < 0 || auxIdx >= NAuxParams()) return;
  AuxParam& aux = mAuxParams[static_cast<size_t>(auxIdx)];
  if (aux.mValue == value) return;
  aux.mValue = value;
  SetDirty(false);
  mRedraw = true;
}

void IControl::PromptUserInput()
{
  if (!mPlug || mParamIdx < 0 || mDisablePrompt) return;
  IParam* param = mPlug->GetParam(mParamIdx);
  if (!param || !mGraphics) return;
  IRECT r = mRECT;
  if (param->NDisplayTexts() == 0)
  {
    const int cx = (mRECT.L + mRECT.R) / 2, cy = (mRECT.T + mRECT.B) / 2;
    r = IRECT(cx - 20, cy - 8, cx + 20, cy + 8);
  }
  mGraphics->PromptUserInput(this, param, r);
  mRedraw = true;
}

void IControl::PromptUserInput(const IRECT& rect)
{
  if (!mPlug || mParamIdx < 0 || mDisablePrompt || !mGraphics) return;
  if (IParam* param = mPlug->GetParam(mParamIdx)) mGraphics->PromptUserInput(this, param, rect);
  mRedraw = true;
}

int IBitmapControl::Frame() const
{
  if (mBitmap.N <= 1) return 1;
  const int i = 1 + static_cast<int>(std::floor(0.5 + mValue * (mBitmap.N - 1)));
  return std::clamp(i, 1, mBitmap.N);
}

bool IBitmapControl::Draw(IGraphics* graphics)
{
  return graphics->DrawBitmap(mBitmap, mRECT, Frame(), &mBlend);
}
