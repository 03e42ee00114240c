// Mouse and key events, routed to the control under the pointer or to the
// one holding the mouse capture.
#include "editor/framework/IGraphics.h"

#include "frame/IPlugBase.h"

int IGraphics::GetMouseControlIdx(int x, int y, bool forMouseOver)
{
  if (mMouseCapture >= 0) return mMouseCapture;
  for (int i = GetNControls() - 1; i >= 0; --i)
  {
    IControl* c = mControls[static_cast<size_t>(i)].get();
    const bool usable = !c->IsGrayed() || (forMouseOver && c->MouseOverWhenGrayed());
    if (!c->IsHidden() && usable && c->IsHit(x, y)) return i;
  }
  return -1;
}

void IGraphics::ReleaseMouseCapture()
{
  mMouseCapture = mMouseX = mMouseY = -1;
}

void IGraphics::OnButtonPress(int x, int y, IMouseMod* mod)
{
  if (!TextEntryOpen())
  {
    OnMouseDown(x, y, mod);
    return;
  }
  mTextEntryState = mTextEntryState == kTextEntryEditing ? kTextEntryCancel : kTextEntryCommit;
}

void IGraphics::OnMouseDown(int x, int y, IMouseMod* mod)
{
  ReleaseMouseCapture();
  const int c = GetMouseControlIdx(x, y);
  if (c < 0) return;
  mMouseCapture = c;
  mMouseX = x;
  mMouseY = y;
  IControl* control = GetControl(c);
  if (control->ParamIdx() >= 0) mLastClickedParam = control->ParamIdx();
  BeginHostEdit(control->ParamIdx());
  control->OnMouseDown(x, y, mod);
  // A press that opened a menu or a text entry has let go of the mouse: its
  // gesture is over (an entry's typed value is a gesture of its own).
  if (mMouseCapture != c) EndHostEdit();
}

void IGraphics::BeginHostEdit(int param)
{
  EndHostEdit();
  if (param < 0 || !mPlug) return;
  mPlug->BeginInformHostOfParamChange(param);
  mHostEditParam = param;
}

void IGraphics::EndHostEdit()
{
  if (mHostEditParam >= 0 && mPlug) mPlug->EndInformHostOfParamChange(mHostEditParam);
  mHostEditParam = -1;
}

void IGraphics::OnMouseUp(int x, int y, IMouseMod* mod)
{
  const int c = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y);
  ReleaseMouseCapture();
  if (c >= 0)
    if (IControl* control = GetControl(c)) control->OnMouseUp(x, y, mod);
  EndHostEdit();
}

void IGraphics::OnMouseDrag(int x, int y, IMouseMod* mod)
{
  if (mMouseCapture < 0 || TextEntryOpen()) return;
  if (x == mMouseX && y == mMouseY) return;
  const int dX = x - mMouseX, dY = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  GetControl(mMouseCapture)->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, IMouseMod* mod)
{
  ReleaseMouseCapture();
  const int c = GetMouseControlIdx(x, y);
  if (c < 0) return false;
  IControl* control = GetControl(c);
  if (control->DblAsSingleClick())
  {
    OnMouseDown(x, y, mod);
    return mMouseCapture >= 0;  // the window takes the mouse capture
  }
  BeginHostEdit(control->ParamIdx());
  control->OnMouseDblClick(x, y, mod);
  EndHostEdit();
  return false;
}

void IGraphics::OnMouseWheel(int x, int y, IMouseMod* mod, int wheelDelta)
{
  const int c = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y);
  if (c >= 0) GetControl(c)->OnMouseWheel(x, y, mod, wheelDelta / 120);
}

bool IGraphics::OnMouseOver(int x, int y, IMouseMod* mod)
{
  if (!mHandleMouseOver) return false;
  const int c = GetMouseControlIdx(x, y, true);
  // The old control is left before the new one is hovered, so what the new
  // one shows (its tooltip) is not taken away again.
  if (mMouseOver >= 0 && mMouseOver != c)
    if (IControl* previous = GetControl(mMouseOver)) previous->OnMouseOut();
  mMouseOver = c;
  if (c >= 0)
  {
    mMouseX = x;
    mMouseY = y;
    GetControl(c)->OnMouseOver(x, y, mod);
  }
  return true;
}

void IGraphics::OnMouseOut()
{
  for (auto& control : mControls) control->OnMouseOut();
  mMouseOver = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key)
{
  const int c = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y);
  if (c > 0) return GetControl(c)->OnKeyDown(x, y, key);
  return mKeyCatcher ? mKeyCatcher->OnKeyDown(x, y, key) : false;
}
