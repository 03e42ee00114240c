#pragma once
// Knobs: dragged or wheeled values, drawn from a strip with a value box,
// knobs whose travel is warped by a pair of functions, and integers shown
// as text.
#include <algorithm>
#include <functional>

#include "editor/controls/IControlZR.h"

class IKnobControlZR : public IControlZR
{
public:
  enum EDirection { kVertical, kHorizontal };
  static constexpr double kGearing = 4.0;

  IKnobControlZR(IPlugBase* plug, IRECT rect, int paramIdx, EDirection direction = kVertical)
    : IControlZR(plug, rect, paramIdx), mDirection(direction) {}
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  virtual void ShowValueBox() {}
  virtual void HideValueBox() {}
  virtual void SetValueBoxSide(int /*side*/, int /*dx*/ = 0, int /*dy*/ = -3) {}
  virtual void ResetValueBoxStyle() {}

protected:
  // The travel of a drag as a change of the normalised value.
  double DragDelta(int dX, int dY, bool fine) const;
  EDirection mDirection;
  double mGearing = kGearing;
};

class IKnobMultiControlZR : public IKnobControlZR
{
public:
  IKnobMultiControlZR(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  void OnMouseOut() override;
  bool Draw(IGraphics* graphics) override;
  void SetClean() override;
  void ShowValueBox() override;
  void HideValueBox() override;
  void SetValueBoxSide(int side, int dx = 0, int dy = -3) override;
  void ResetValueBoxStyle() override;
  bool ValueBoxShowing() const { return mBoxShowing; }
  const IRECT& ValueBoxRect() const { return mBoxRect; }
  const IRECT& BitmapRect() const { return mBitmapRect; }
  int Frame() const;

protected:
  virtual double FramePosition() const { return mValue; }
  void LayoutValueBox();

  IBitmap mBitmap;
  IRECT mBitmapRect;
  IRECT mBoxRect;
  IRECT mRestRect;  // the rect without the box, taken back after the next repaint
  IText mBoxText;
  int mBoxSide = kBelow, mBoxDx = 0, mBoxDy = -3;
  bool mBoxShowing = false, mShrinkPending = false;
};

class IKnobControlMappedZR : public IKnobMultiControlZR
{
public:
  using Map = std::function<double(double)>;
  IKnobControlMappedZR(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap, Map positionToValue,
                       Map valueToPosition, double shiftFactor = 2.0);
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  void SetValueFromPlug(double value) override;
  void SetValueFromUserInput(double value) override;
  void SetDirty(bool pushToPlug = true) override;
  double Position() const { return mPosition; }

  // Symmetric warps about the centre: the distance from it raised to a power.
  static Map PowerMap(double exponent);

protected:
  double FramePosition() const override { return mPosition; }
  // Shift + wheel: the distance from the centre doubled or halved.
  void ScaleFromCentre(int d);

  Map mToValue, mToPosition;
  double mPosition = 0.0;
  double mShiftFactor;
};

class IIntValTextControlZR : public IKnobControlZR
{
public:
  enum EStyle { kStyleFilled = 0, kStyleFramedBox = 2 };
  enum EKind { kPlain = 0, kNumerator = 1, kSlashAfter = 2 };
  IIntValTextControlZR(IPlugBase* plug, int x, int y, int paramIdx, int textSize, int style, int kind);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  bool Draw(IGraphics* graphics) override;
  void SetDirty(bool pushToPlug = true) override;
  // A readout with a neighbour to its right (a numerator and its "/"
  // before the denominator) takes the mouse only up to where that one begins.
  void EndAreaAt(int right) { mTargetRECT.R = std::min(mTargetRECT.R, right); }

private:
  int mStyle, mKind;
};
