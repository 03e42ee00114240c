#pragma once
// The base of the editor's own controls: the right-button, hover and leave
// broadcasts, four style colours, a text style, geometry, moving, and text
// labels drawn around the control.
#include <functional>
#include <string>
#include <vector>

#include "editor/framework/IControl.h"

class IControlZR : public IControl
{
public:
  using ContextHandler = std::function<void(int paramIdx, int x, int y)>;
  using HoverHandler = std::function<void(int paramIdx, const std::string& description, int x, int y)>;
  using LeaveHandler = std::function<void(int paramIdx)>;
  enum ELabelSide { kBelow = 0, kAbove, kLeft, kRight };

  IControlZR(IPlugBase* plug, IRECT rect, int paramIdx = -1, IChannelBlend blend = {});
  ~IControlZR() override = default;
  void OnMouseOver(int x, int y, IMouseMod* mod) override;
  void OnMouseOut() override;

  virtual double Width() const { return mRECT.R - mRECT.L; }
  virtual double Height() const { return mRECT.B - mRECT.T; }
  virtual double Top() const { return mRECT.T; }
  virtual double Bottom() const { return mRECT.B; }
  virtual double Right() const { return mRECT.R; }
  virtual double Left() const { return mRECT.L; }
  virtual void MoveTo(int x, int y);
  virtual void SetRects(const IRECT& rect);
  virtual void SetMainColour(const IColor& c);
  virtual void SetBackgroundColour(const IColor& c) { mBackground = c; }
  virtual void SetHighlightColour(const IColor& c) { mHighlight = c; }
  virtual void SetAccentColour(const IColor& c) { mAccent = c; }
  virtual void SetTextSize(int size) { mText.mSize = size, mText.mCached = nullptr; }
  virtual void SetTextStyle(const IText& text) { mText = text, mText.mCached = nullptr; }
  virtual void SetTextStyle(int size, const IColor* colour, const char* font, IText::EStyle style = IText::kStyleNormal,
                            IText::EAlign align = IText::kAlignCenter);
  virtual void Hover(int x, int y);
  // Labels that meet keepClear (a value box showing) are left out.
  virtual void DrawLabels(IGraphics* graphics, const IRECT& keepClear = IRECT());

  // A label beside the anchor rect; the control's rect grows to hold it.
  void AddLabel(const std::string& text, const IText& style, int side, int dx, int dy);
  void SetShowLabels(bool on) { mShowLabels = on, SetDirty(false); }
  bool ShowsLabels() const { return mShowLabels; }
  int NLabels() const { return static_cast<int>(mLabels.size()); }
  const IRECT& LabelRect(int i) const { return mLabelRects[static_cast<size_t>(i)]; }
  const std::string& LabelText(int i) const { return mLabels[static_cast<size_t>(i)].text; }
  void DrawLabel(IGraphics* graphics, int i);

  void SubscribeContext(ContextHandler h) { mContext.push_back(std::move(h)); }
  void SubscribeHover(HoverHandler h) { mHover.push_back(std::move(h)); }
  void SubscribeLeave(LeaveHandler h) { mLeave.push_back(std::move(h)); }
  void SetDescription(const std::string& d) { mDescription = d; }
  const std::string& Description() const { return mDescription; }
  const IRECT& AnchorRect() const { return mAnchor; }
  const IColor& MainColour() const { return mMain; }
  const IColor& BackgroundColour() const { return mBackground; }
  const IColor& HighlightColour() const { return mHighlight; }
  const IColor& AccentColour() const { return mAccent; }

  // A press of the right button alone opens the context (MIDI learn) menu.
  static bool IsContextPress(const IMouseMod* mod) { return mod && mod->R && !mod->L; }
  void RaiseContext(int x, int y);
  void RaiseLeave();

protected:
  // The control's own text for its parameter's value.
  std::string DisplayText() const;

  std::vector<ContextHandler> mContext;
  std::vector<HoverHandler> mHover;
  std::vector<LeaveHandler> mLeave;
  std::string mDescription;
  IColor mMain{255, 255, 255, 255};
  IColor mBackground{255, 0, 0, 0};
  IColor mHighlight{255, 0, 0, 0};
  IColor mAccent{255, 255, 255, 255};
  IRECT mAnchor;
  struct Label
  {
    std::string text;
    IText style;
  };
  std::vector<Label> mLabels;
  std::vector<IRECT> mLabelRects;
  bool mShowLabels = false;
};

// Colour arithmetic of the editor's dimmed frames: each of R, G, B times
// factor plus offset, alpha kept.
IColor Dimmed(const IColor& c, double factor, int offset);

// A floating box: a 10-pixel drop shadow along its right and bottom edges,
// the fill and a one-pixel frame.
void DrawPanel(IGraphics* graphics, const IRECT& box, const IColor& fill, const IColor& frame);

// Text of several lines, one under another, from the top of rect.
void DrawTextLines(IGraphics* graphics, IText& text, const std::string& str, const IRECT& rect);
// The size of such a text: its widest line and the sum of line heights.
void MeasureTextLines(const IText& text, const std::string& str, int* width, int* height);
