#pragma once
// The base of every editor control: where it draws and takes the mouse, the
// parameter it drives, its normalised value and its dirty state.
#include <string>
#include <vector>

#include "editor/framework/IGraphicsStructs.h"

class IGraphics;
class IPlugBase;

class IControl
{
public:
  struct AuxParam
  {
    double mValue;
    int mParamIdx;
  };

  IControl(IPlugBase* plug, IRECT rect, int paramIdx = -1, IChannelBlend blend = {})
    : mPlug(plug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx), mBlend(blend) {}

  // Virtual operations, in their fixed slot order.
  virtual ~IControl() = default;
  virtual void OnMouseDown(int x, int y, IMouseMod* mod);
  virtual void OnMouseUp(int /*x*/, int /*y*/, IMouseMod* /*mod*/) {}
  virtual void OnMouseDrag(int /*x*/, int /*y*/, int /*dX*/, int /*dY*/, IMouseMod* /*mod*/) {}
  virtual void OnMouseDblClick(int x, int y, IMouseMod* mod);
  virtual void OnMouseWheel(int /*x*/, int /*y*/, IMouseMod* /*mod*/, int /*d*/) {}
  virtual bool OnKeyDown(int /*x*/, int /*y*/, int /*key*/) { return false; }
  virtual void OnMouseOver(int /*x*/, int /*y*/, IMouseMod* /*mod*/) {}
  virtual void OnMouseOut() {}
  virtual bool Draw(IGraphics* graphics) = 0;
  virtual void SetValueFromPlug(double value);
  virtual void SetValueFromUserInput(double value);
  virtual void TextFromTextEntry(const char* /*text*/) {}
  virtual void Hide(bool hide);
  virtual void GrayOut(bool gray);
  virtual bool IsHit(int x, int y) { return mTargetRECT.Contains(x, y); }
  virtual void SetDirty(bool pushToPlug = true);
  virtual void SetClean();
  virtual bool IsDirty() { return mDirty; }
  virtual void OnIdle() {}
  virtual void SetAuxParamValueFromPlug(int auxIdx, double value);

  void PromptUserInput();
  void PromptUserInput(const IRECT& rect);
  void SetGraphics(IGraphics* graphics) { mGraphics = graphics; }
  IGraphics* GetGUI() const { return mGraphics; }

  const IRECT& GetRECT() const { return mRECT; }
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  void SetTargetRECT(const IRECT& r) { mTargetRECT = r; }
  int ParamIdx() const { return mParamIdx; }
  double GetValue() const { return mValue; }
  void SetDefaultValue(double v) { mDefaultValue = v; }
  double GetDefaultValue() const { return mDefaultValue; }
  void Clamp(double lo, double hi) { mClampLo = lo, mClampHi = hi; }
  void SetTextEntryLength(int n) { mTextEntryLength = n; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  IText& GetText() { return mText; }
  void SetText(const IText& t) { mText = t; }
  bool IsHidden() const { return mHide; }
  bool IsGrayed() const { return mGrayed; }
  bool MouseOverWhenGrayed() const { return mMOWhenGrayed; }
  void SetMouseOverWhenGrayed(bool on) { mMOWhenGrayed = on; }
  bool DblAsSingleClick() const { return mDblAsSingleClick; }
  void SetDblAsSingleClick(bool on) { mDblAsSingleClick = on; }
  void DisablePrompt(bool off) { mDisablePrompt = off; }
  void SetTooltip(const std::string& t) { mTooltip = t; }
  const std::string& GetTooltip() const { return mTooltip; }
  void SetValDisplayControl(IControl* c) { mValDisplayControl = c; }
  void SetNameDisplayControl(IControl* c) { mNameDisplayControl = c; }
  void AddAuxParam(int paramIdx) { mAuxParams.push_back({0.0, paramIdx}); }
  int NAuxParams() const { return static_cast<int>(mAuxParams.size()); }
  AuxParam& GetAuxParam(int i) { return mAuxParams[static_cast<size_t>(i)]; }
  void SetRedraw() { mRedraw = true; }
  IPlugBase* GetPlug() const { return mPlug; }
  const IChannelBlend& GetBlend() const { return mBlend; }

protected:
  int mTextEntryLength = 7;
  IText mText;
  IPlugBase* mPlug;
  IGraphics* mGraphics = nullptr;
  IRECT mRECT, mTargetRECT;
  int mParamIdx;
  std::vector<AuxParam> mAuxParams;
  double mValue = 0.0;
  double mDefaultValue = -1.0;
  double mClampLo = 0.0, mClampHi = 1.0;
  bool mDirty = true;
  bool mHide = false;
  bool mGrayed = false;
  bool mRedraw = false;
  bool mDisablePrompt = true;
  bool mClamped = false;
  bool mDblAsSingleClick = false;
  bool mMOWhenGrayed = false;
  IChannelBlend mBlend;
  IControl* mValDisplayControl = nullptr;
  IControl* mNameDisplayControl = nullptr;
  std::string mTooltip;
};

// Shows frame 1 + value x (N - 1) of a strip bitmap.
class IBitmapControl : public IControl
{
public:
  IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap, IChannelBlend blend = {})
    : IControl(plug, IRECT(x, y, x + bitmap.W, y + bitmap.H / std::max(1, bitmap.N)), paramIdx, blend),
      mBitmap(bitmap) {}
  bool Draw(IGraphics* graphics) override;
  int Frame() const;

protected:
  IBitmap mBitmap;
};
