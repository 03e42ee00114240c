#include "editor/controls/Buttons.h"

#include <cmath>

#include "editor/framework/IGraphics.h"
#include "frame/IPlugBase.h"

IBitmapControlZR::IBitmapControlZR(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap)
  : IControlZR(plug, IRECT(x, y, x + bitmap.W, y + bitmap.H / std::max(1, bitmap.N)), paramIdx), mBitmap(bitmap)
{
}

int IBitmapControlZR::Frame() const
{
  const int n = std::max(1, mBitmap.N);
  return std::clamp(1 + static_cast<int>(std::lround((n - 1) * mValue)), 1, n);
}

bool IBitmapControlZR::Draw(IGraphics* graphics)
{
  graphics->DrawBitmap(mBitmap, mAnchor, Frame(), &mBlend);
  DrawLabels(graphics);
  return true;
}

// ---- Switches -----------------------------------------------------------------

ISwitchControlZR::ISwitchControlZR(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap)
  : IBitmapControlZR(plug, x, y, paramIdx, bitmap)
{
  if (const IParam* param = plug ? plug->GetParam(paramIdx) : nullptr)
    mStates = std::max(2, static_cast<int>(param->Max()) + 1);
}

void ISwitchControlZR::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (IsContextPress(mod)) return RaiseContext(x, y);
  if (!mod || !mod->L) return;
  mValue += 1.0 / (mStates - 1);
  if (mValue > 1.001) mValue = 0.0;
  SetDirty(true);
}

void ISwitchControlZR::SetValueFromUserInput(double value)
{
  const double step = 1.0 / (mStates - 1);
  int k = 0;
  for (int i = mStates - 1; i >= 0; --i)
    if (value >= i * step - step / 2)
    {
      k = i;
      break;
    }
  IControl::SetValueFromUserInput(std::min(1.0, k * step));
}

void IContactControlZR::OnMouseUp(int, int, IMouseMod*)
{
  if (mValue == 0.0) return;
  mValue = 0.0;
  SetDirty(true);
}

// ---- Text buttons ---------------------------------------------------------------

IContactTextControlZR::IContactTextControlZR(IPlugBase* plug, int x, int y, int paramIdx,
                                             std::vector<std::string> texts, int textSize)
  : IControlZR(plug, IRECT(x, y, x + 1, y + 1), paramIdx)
{
  mText.mSize = textSize;
  mBackground = IColor(255, 40, 40, 40);
  mHighlight = IColor(255, 120, 60, 60);
  SetTexts(std::move(texts));
}

void IContactTextControlZR::SetTexts(std::vector<std::string> texts)
{
  mTexts = std::move(texts);
  if (mTexts.empty()) mTexts.emplace_back();
  int widest = 0, h = 0;
  for (const auto& t : mTexts)
  {
    int w = 0;
    MeasureTextSize(mText, t.c_str(), &w, &h);
    widest = std::max(widest, w);
  }
  if (h == 0) h = mText.mSize;
  const IRECT r(mAnchor.L, mAnchor.T, mAnchor.L + widest + 8, mAnchor.T + h + 2);
  mAnchor = mRECT = mTargetRECT = r;
  SetDirty(false);
}

const std::string& IContactTextControlZR::ShownText() const
{
  const size_t i = mValue >= 0.5 && mTexts.size() > 1 ? 1 : 0;
  return mTexts[i];
}

void IContactTextControlZR::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (IsContextPress(mod)) return RaiseContext(x, y);
  if (!mod || !mod->L) return;
  mPressed = true;
  mValue = 1.0;
  SetDirty(true);
}

void IContactTextControlZR::OnMouseUp(int, int, IMouseMod*)
{
  if (!mPressed) return;
  mPressed = false;
  mValue = 0.0;
  SetDirty(true);
}

void IContactTextControlZR::SetValueFromPlug(double value)
{
  if (mDefaultValue < 0.0) mDefaultValue = value;
  const double v = value >= 0.5 ? 1.0 : 0.0;
  if (v == mValue) return;
  mValue = v;
  SetDirty(false);
}

void IContactTextControlZR::SetValueFromUserInput(double value)
{
  mValue = value >= 0.5 ? 1.0 : 0.0;
  SetDirty(true);
}

void IContactTextControlZR::DrawButton(IGraphics* graphics)
{
  const IRECT& r = mAnchor;
  const bool lit = mPressed || (mTexts.size() == 1 && mValue >= 0.5);
  if (lit)
  {
    graphics->FillAlpha(mHighlight, r);
    if (mFraming) graphics->Outline(Dimmed(mMain, 0.5, 40), r);
  }
  else if (mStyle == kStyleFilled)
  {
    graphics->FillAlpha(mBackground, r);
    graphics->Outline(Dimmed(mMain, 0.5, 40), r);
  }
  else
  {
    IColor box = mBackground;
    box.A = 100;
    graphics->FillAlpha(box, r);
  }
  IRECT t(r.L, r.T + 1, r.R, r.B);
  graphics->DrawIText(mText, ShownText().c_str(), t);
}

bool IContactTextControlZR::Draw(IGraphics* graphics)
{
  DrawButton(graphics);
  DrawLabels(graphics);
  return true;
}

void IButtonTextControlZR::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (IsContextPress(mod)) return RaiseContext(x, y);
  if (!mod || !mod->L) return;
  mValue = mValue >= 0.5 ? 0.0 : 1.0;
  SetDirty(true);
}

// ---- Info panel -------------------------------------------------------------------

IInfoPanelControlZR::IInfoPanelControlZR(IPlugBase* plug, int x, int y, int editorW, int editorH)
  : IContactTextControlZR(plug, x, y, -1, {"i"}), mButtonRect(mAnchor), mEditorW(editorW), mEditorH(editorH)
{
  mPanelStyle = mText;
  mPanelStyle.mSize = 14;
  mPanelStyle.mAlign = IText::kAlignNear;
  mPanelStyle.mCached = nullptr;
  mBackground = IColor(255, 30, 30, 30);
  mAccent = IColor(255, 255, 132, 132);
}

void IInfoPanelControlZR::SetPanelText(const std::string& text, std::vector<Link> links)
{
  mPanelText = text;
  mLinks = std::move(links);
}

std::string IInfoPanelControlZR::FullText() const
{
  std::string text = mPanelText;
  if (mPlug)
  {
    IMutexLock lock(mPlug->Mutex());  // the host sets them on its own threads
    text += "\nblock size: " + std::to_string(mPlug->GetBlockSize());
    text += "\nsample rate: " + std::to_string(static_cast<long>(mPlug->GetSampleRate()));
  }
  return text;
}

void IInfoPanelControlZR::Layout()
{
  int w = 0, h = 0;
  const std::string text = FullText();
  MeasureTextLines(mPanelStyle, text, &w, &h);
  w += 40, h += 30;
  const int l = (mEditorW - w) / 2, t = (mEditorH - h) / 2;
  mPanel = IRECT(l, t, l + w, t + h);
  mLinkRects.assign(mLinks.size(), IRECT());
  int y = t + 15, lineW = 0, lineH = 0;
  size_t start = 0;
  while (start <= text.size())
  {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    MeasureTextSize(mPanelStyle, line.empty() ? " " : line.c_str(), &lineW, &lineH);
    for (size_t i = 0; i < mLinks.size(); ++i)
      if (line == mLinks[i].text) mLinkRects[i] = IRECT(l + 20, y, l + 20 + lineW, y + lineH);
    y += lineH;
    start = end + 1;
  }
}

void IInfoPanelControlZR::Close()
{
  mOpen = false;
  mClosePending = true;  // the whole editor is repainted once more
  SetDirty(false);
}

void IInfoPanelControlZR::SetClean()
{
  IControl::SetClean();
  if (mClosePending && !mDirty)
  {
    mRECT = mTargetRECT = mButtonRect;
    mClosePending = false;
  }
}

void IInfoPanelControlZR::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (!mOpen)
  {
    if (!mod || !mod->L || !mButtonRect.Contains(x, y)) return;
    Layout();
    mOpen = true;
    mClosePending = false;
    mRECT = mTargetRECT = IRECT(0, 0, mEditorW, mEditorH);
    SetDirty(false);
    return;
  }
  for (size_t i = 0; i < mLinks.size(); ++i)
    if (mLinkRects[i].Contains(x, y))
    {
      if (mGraphics && !mGraphics->OpenURL(mLinks[i].url.c_str()))
        mGraphics->ShowMessageBox("couldn't open the link", "Vesk", 0);
      return;
    }
  Close();
}

bool IInfoPanelControlZR::Draw(IGraphics* graphics)
{
  const IRECT keep = mAnchor;
  mAnchor = mButtonRect;
  DrawButton(graphics);
  mAnchor = keep;
  if (!mOpen) return true;
  const IRECT& p = mPanel;
  DrawPanel(graphics, p, mBackground, Dimmed(mMain, 0.6, 32));
  IText body = mPanelStyle;
  body.mColor = Dimmed(mMain, 0.8, 16);
  DrawTextLines(graphics, body, FullText(), IRECT(p.L + 20, p.T + 15, p.R - 20, p.B - 15));
  IText link = mPanelStyle;
  link.mColor = mAccent;
  for (size_t i = 0; i < mLinks.size(); ++i)
  {
    IRECT r = mLinkRects[i];
    graphics->FillAlpha(mBackground, r);
    graphics->DrawIText(link, mLinks[i].text.c_str(), r);
  }
  return true;
}
