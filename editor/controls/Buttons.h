#pragma once
// Strip pictures, switches, momentary and toggling buttons, the info panel
// button and the invisible parameter carrier.
#include <string>
#include <vector>

#include "editor/controls/IControlZR.h"

class IBitmapControlZR : public IControlZR
{
public:
  IBitmapControlZR(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap);
  bool Draw(IGraphics* graphics) override;
  int Frame() const;

protected:
  IBitmap mBitmap;
};

class ISwitchControlZR : public IBitmapControlZR
{
public:
  ISwitchControlZR(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override { OnMouseDown(x, y, mod); }
  void SetValueFromUserInput(double value) override;
  int NStates() const { return mStates; }

protected:
  int mStates = 2;
};

class IContactControlZR : public ISwitchControlZR
{
public:
  using ISwitchControlZR::ISwitchControlZR;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
};

class IContactTextControlZR : public IControlZR
{
public:
  enum EStyle { kStyleFilled = 0, kStyleBox = 2 };
  IContactTextControlZR(IPlugBase* plug, int x, int y, int paramIdx, std::vector<std::string> texts = {"OFF", "ON"},
                        int textSize = 14);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;
  void SetValueFromPlug(double value) override;
  void SetValueFromUserInput(double value) override;
  virtual void SetTexts(std::vector<std::string> texts);
  virtual void DrawButton(IGraphics* graphics);
  void SetStyle(int style) { mStyle = style; }
  void SetFraming(bool on) { mFraming = on; }
  bool Pressed() const { return mPressed; }

protected:
  const std::string& ShownText() const;
  std::vector<std::string> mTexts;
  int mStyle = kStyleFilled;
  bool mFraming = true;
  bool mPressed = false;
};

class IButtonTextControlZR : public IContactTextControlZR
{
public:
  using IContactTextControlZR::IContactTextControlZR;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseUp(int, int, IMouseMod*) override {}
};

class IGraphics;

class IInfoPanelControlZR : public IContactTextControlZR
{
public:
  struct Link
  {
    std::string text, url;
  };
  IInfoPanelControlZR(IPlugBase* plug, int x, int y, int editorW, int editorH);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseUp(int, int, IMouseMod*) override {}
  void OnMouseOut() override { RaiseLeave(); }
  bool Draw(IGraphics* graphics) override;
  void SetClean() override;
  // The panel's text; lines equal to a link's text are drawn as that link.
  void SetPanelText(const std::string& text, std::vector<Link> links);
  bool IsOpen() const { return mOpen; }
  const IRECT& PanelRect() const { return mPanel; }
  // Where each link was laid out, in the order given.
  const std::vector<IRECT>& LinkRects() const { return mLinkRects; }

private:
  std::string FullText() const;
  void Layout();
  void Close();

  std::string mPanelText;
  std::vector<Link> mLinks;
  std::vector<IRECT> mLinkRects;
  IRECT mButtonRect, mPanel;
  IText mPanelStyle;
  int mEditorW, mEditorH;
  bool mOpen = false, mClosePending = false;
};

class ITransparentControlZR : public IControlZR
{
public:
  ITransparentControlZR(IPlugBase* plug, IRECT rect, int paramIdx) : IControlZR(plug, rect, paramIdx) {}
  void OnMouseDown(int x, int y, IMouseMod* mod) override
  {
    if (IsContextPress(mod)) RaiseContext(x, y);
  }
  bool Draw(IGraphics*) override { return true; }
};
