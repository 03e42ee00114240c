#include "editor/controls/IControlZR.h"

#include <cstring>

#include "editor/framework/IGraphics.h"
#include "frame/IPlugBase.h"

IControlZR::IControlZR(IPlugBase* plug, IRECT rect, int paramIdx, IChannelBlend blend)
  : IControl(plug, rect, paramIdx, blend), mAnchor(rect)
{
  mText.mColor = mMain;
  std::strcpy(mText.mFont, "Roboto Mono");
}

void IControlZR::OnMouseOver(int x, int y, IMouseMod*)
{
  Hover(x, y);
}

void IControlZR::OnMouseOut()
{
  RaiseLeave();
}

void IControlZR::RaiseContext(int x, int y)
{
  for (auto& h : mContext) h(mParamIdx, x, y);
}

void IControlZR::RaiseLeave()
{
  for (auto& h : mLeave) h(mParamIdx);
}

void IControlZR::Hover(int x, int y)
{
  for (auto& h : mHover) h(mParamIdx, mDescription, x, y);
}

static IRECT Shifted(const IRECT& r, int dx, int dy)
{
  return r.Empty() ? r : IRECT(r.L + dx, r.T + dy, r.R + dx, r.B + dy);
}

void IControlZR::MoveTo(int x, int y)
{
  const int dx = x - mAnchor.L, dy = y - mAnchor.T;
  mAnchor = Shifted(mAnchor, dx, dy);
  mRECT = Shifted(mRECT, dx, dy);
  mTargetRECT = Shifted(mTargetRECT, dx, dy);
  for (IRECT& r : mLabelRects) r = Shifted(r, dx, dy);
  SetDirty(false);
}

void IControlZR::SetRects(const IRECT& rect)
{
  mRECT = mTargetRECT = rect;
}

void IControlZR::SetMainColour(const IColor& c)
{
  mMain = c;
  mText.mColor = c;
}

void IControlZR::SetTextStyle(int size, const IColor* colour, const char* font, IText::EStyle style,
                              IText::EAlign align)
{
  IText t;
  t.mSize = size;
  t.mColor = colour ? *colour : IText().mColor;
  std::snprintf(t.mFont, sizeof t.mFont, "%s", font ? font : "Verdana");
  t.mStyle = style;
  t.mAlign = align;
  SetTextStyle(t);
}

// Narrow characters count half a character in a label's measure.
static int LabelWidth(const IText& style, const std::string& text)
{
  int w = 0, h = 0;
  MeasureTextSize(style, text.c_str(), &w, &h);
  if (text.empty()) return 0;
  int narrow = 0;
  for (char c : text) narrow += std::strchr("!|:;',.`ilf", c) != nullptr;
  const int perChar = w / static_cast<int>(text.size());
  return w - narrow * perChar / 2;
}

void IControlZR::AddLabel(const std::string& text, const IText& style, int side, int dx, int dy)
{
  int tw = LabelWidth(style, text), th = 0, unused = 0;
  MeasureTextSize(style, text.c_str(), &unused, &th);
  if (style.mOrientation != 0) std::swap(tw, th);
  const int cx = (mAnchor.L + mAnchor.R) / 2, cy = (mAnchor.T + mAnchor.B) / 2;
  IRECT r(cx - tw / 2, cy - th / 2, cx - tw / 2 + tw, cy - th / 2 + th);
  const int w = mAnchor.W() / 2, h = mAnchor.H() / 2;
  switch (side)
  {
    case kBelow: r = Shifted(r, dx, h + dy); break;
    case kAbove: r = Shifted(r, dx, -h - dy); break;
    case kLeft: r = Shifted(r, -w - dx, dy); break;
    case kRight: r = Shifted(r, w + dx, dy); break;
    default: return;
  }
  mLabels.push_back({text, style});
  mLabelRects.push_back(r);
  if (!mRECT.Empty() && !r.Empty()) mRECT = mRECT.Union(r);
  SetDirty(false);
}

void IControlZR::DrawLabels(IGraphics* graphics, const IRECT& keepClear)
{
  if (!mShowLabels) return;
  for (int i = 0; i < NLabels(); ++i)
    if (!mLabelRects[static_cast<size_t>(i)].Intersects(keepClear)) DrawLabel(graphics, i);
}

void IControlZR::DrawLabel(IGraphics* graphics, int i)
{
  Label& label = mLabels[static_cast<size_t>(i)];
  IRECT r = mLabelRects[static_cast<size_t>(i)];
  if (label.style.mOrientation != 0)
    graphics->DrawITextTurned(label.style, label.text.c_str(), r);
  else
    graphics->DrawIText(label.style, label.text.c_str(), r);
}

std::string IControlZR::DisplayText() const
{
  const IParam* param = mPlug ? mPlug->GetParam(mParamIdx) : nullptr;
  if (!param) return {};
  char text[64];
  param->GetDisplayForHost(mValue, true, text, sizeof text, true);
  return text;
}

IColor Dimmed(const IColor& c, double factor, int offset)
{
  auto part = [&](int v) { return std::clamp(static_cast<int>(v * factor) + offset, 0, 255); };
  return {c.A, part(c.R), part(c.G), part(c.B)};
}

void DrawPanel(IGraphics* graphics, const IRECT& b, const IColor& fill, const IColor& frame)
{
  const IColor shadow(60, 0, 0, 0);
  graphics->FillAlpha(shadow, IRECT(b.R, b.T + 10, b.R + 10, b.B + 10));
  graphics->FillAlpha(shadow, IRECT(b.L + 10, b.B, b.R, b.B + 10));
  graphics->FillAlpha(fill, b);
  graphics->Outline(frame, b);
}

static std::vector<std::string> SplitLines(const std::string& str)
{
  std::vector<std::string> lines(1);
  for (char c : str)
    if (c == '\n') lines.emplace_back();
    else lines.back() += c;
  return lines;
}

void DrawTextLines(IGraphics* graphics, IText& text, const std::string& str, const IRECT& rect)
{
  int y = rect.T;
  for (const std::string& line : SplitLines(str))
  {
    int w = 0, h = 0;
    MeasureTextSize(text, line.empty() ? " " : line.c_str(), &w, &h);
    IRECT r(rect.L, y, rect.R, y + h);
    graphics->DrawIText(text, line.c_str(), r);
    y += h;
  }
}

void MeasureTextLines(const IText& text, const std::string& str, int* width, int* height)
{
  *width = *height = 0;
  for (const std::string& line : SplitLines(str))
  {
    int w = 0, h = 0;
    MeasureTextSize(text, line.empty() ? " " : line.c_str(), &w, &h);
    *width = std::max(*width, w);
    *height += h;
  }
}
