#pragma once
// The editor without a window: it draws into its bitmap and takes input
// events from its caller. Tests and the screenshot tool use it; popup menu
// choices and text typed into entries are scripted.
#include <deque>
#include <string>

#include "editor/framework/IGraphics.h"

class IGraphicsOffscreen : public IGraphics
{
public:
  using IGraphics::IGraphics;

  void DrawScreen(const IRECT& rect) override { mLastScreenRect = rect; ++mScreenCopies; }
  bool OpenWindow(void*) override;
  void CloseWindow() override { mOpen = false; }
  bool WindowIsOpen() override { return mOpen; }
  const char* GetGUIAPI() override { return "offscreen"; }
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& area) override;
  void CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* initial,
                       IParam* param) override;
  std::string TextEntryText() override { return mEntry.text; }
  void DestroyTextEntry() override { mEntry.Clear(); }

  // One timer tick: resolves a text entry or repaints what is dirty.
  void Tick();
  // Answers for the next popup menus: the item index to choose (-1: none).
  void QueueMenuChoice(int item) { mMenuChoices.push_back(item); }
  // A copy of the last menu shown (its items' texts and flags).
  const IPopupMenu& LastMenu() const { return mLastMenu; }
  // Typing into an open entry: filtered as the edit box filters keys.
  void Type(const std::string& keys);
  void PressEnter() { SetTextEntryState(kTextEntryCommit); }
  void PressEscape() { SetTextEntryState(kTextEntryCancel); }
  const std::string& EntryText() const { return mEntry.text; }
  IRECT EntryRect() const { return mEntryRect; }
  int ScreenCopies() const { return mScreenCopies; }
  // Writes the draw bitmap as a PNG file.
  bool WritePNG(const std::string& path);

private:
  bool mOpen = false;
  std::deque<int> mMenuChoices;
  IPopupMenu mLastMenu;
  IEntryText mEntry;
  IRECT mEntryRect;
  IRECT mLastScreenRect;
  int mScreenCopies = 0;
};
