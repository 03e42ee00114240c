#pragma once
// Value lists with a grid of choices, the in-editor tooltip and the
// in-editor menu that MIDI learn opens.
#include <functional>
#include <string>
#include <vector>

#include "editor/controls/IControlZR.h"

class IListControlZR : public IControlZR
{
public:
  static constexpr int kPerColumn = 5, kCellHeight = 17;
  IListControlZR(IPlugBase* plug, int x, int y, int paramIdx, std::vector<std::string> texts, int textSize = 14);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  void OnMouseOver(int x, int y, IMouseMod* mod) override;
  void OnMouseOut() override;
  bool Draw(IGraphics* graphics) override;
  void SetDirty(bool pushToPlug = true) override;
  void SetClean() override;
  bool GridOpen() const { return mGridOpen; }
  const IRECT& GridRect() const { return mGrid; }
  IRECT CellRect(int i) const;
  int Highlighted() const { return mHoverCell; }

private:
  int Count() const { return static_cast<int>(mTexts.size()); }
  int CurrentIndex() const;
  int CellAt(int x, int y) const;
  void Choose(int index);
  void OpenGrid();
  void CloseGrid();

  std::vector<std::string> mTexts;
  IRECT mBox, mGrid;
  int mCellW = 0;
  int mHoverCell = -1;
  bool mGridOpen = false, mShrinkPending = false, mPressed = false;
};

class ITooltipControlZR : public IControlZR
{
public:
  ITooltipControlZR(IPlugBase* plug, int editorW, int editorH, std::function<bool()> enabled);
  void OnMouseDown(int x, int y, IMouseMod* mod) override
  {
    if (IsContextPress(mod)) RaiseContext(x, y);
  }
  void OnMouseOver(int, int, IMouseMod*) override {}
  void OnMouseOut() override {}
  bool IsHit(int, int) override { return false; }  // never takes the mouse from what it describes
  bool Draw(IGraphics* graphics) override;
  virtual void ShowFor(int paramIdx, const std::string& description, int x, int y);
  virtual void HideTip();
  bool Showing() const { return mShowing; }
  const std::string& Text() const { return mTipText; }
  const IRECT& Box() const { return mBox; }

private:
  std::function<bool()> mEnabled;
  std::string mTipText;
  IRECT mBox;
  int mEditorW, mEditorH;
  bool mShowing = false;
};

// A menu of the in-editor kind: items with a state and one action.
struct ZRMenu
{
  enum EState { kNormal = 0, kDisabled = 1, kTitle = 2, kTicked = 3, kAction = 5 };
  struct Item
  {
    std::string text;
    int state = kNormal;
  };
  int paramIdx = -1;
  std::vector<Item> items;
  std::function<void(ZRMenu& menu, int item)> onChoose;

  void Add(const std::string& text, int state) { items.push_back({text, state}); }
};

class IMenuControlZR : public IControlZR
{
public:
  IMenuControlZR(IPlugBase* plug, int editorW, int editorH);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseOver(int x, int y, IMouseMod* mod) override;
  void OnMouseOut() override;
  bool IsHit(int x, int y) override { return mMenu && IControlZR::IsHit(x, y); }
  bool Draw(IGraphics* graphics) override;
  // Lays the menu out at (x, y) and shows it.
  void Open(ZRMenu* menu, int x, int y);
  void Close();
  ZRMenu* OpenMenu() const { return mMenu; }
  const IRECT& MenuRect() const { return mBox; }
  IRECT ItemRect(int i) const;

private:
  int ItemAt(int x, int y) const;
  ZRMenu* mMenu = nullptr;
  IRECT mBox;
  int mItemH = 18;
  int mHoverItem = -1;
  int mEditorW, mEditorH;
};
