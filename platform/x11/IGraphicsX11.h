#pragma once
// The editor in an X11 child window of the host's window. The host's idle
// calls drive it: pending X events are handled and, every 40 ms, dirty
// controls are repainted. Text entry is drawn inside the editor; popup menus
// are drawn in their own window and run modally, as native menus do.
#include <chrono>

#include "editor/framework/IGraphics.h"

class IGraphicsX11 : public IGraphics
{
public:
  using IGraphics::IGraphics;
  ~IGraphicsX11() override;

  void DrawScreen(const IRECT& rect) override;
  bool OpenWindow(void* parentWindow) override;
  void CloseWindow() override;
  bool WindowIsOpen() override { return mWindow != 0; }
  const char* GetGUIAPI() override { return "X11"; }
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& area) override;
  void CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* initial,
                       IParam* param) override;
  std::string TextEntryText() override { return mEntryText; }
  void DestroyTextEntry() override;
  void Idle() override;

  unsigned long Window() const { return mWindow; }
  // The name of a popup menu's window, for tests that look for it.
  static constexpr const char* kPopupWindowName = "Vesk menu";
  // Handles every pending event, then ticks when a frame is due.
  void ProcessEvents();

private:
  void HandleEvent(void* event);
  void HandleKey(void* event);
  void HandlePress(void* event);
  void Tick();
  void DrawTextEntry();
  // Shows the menu at this screen position until a choice, Escape or a
  // click outside it.
  IPopupMenu* RunPopup(IPopupMenu* menu, int x, int y);

  void* mDisplay = nullptr;
  unsigned long mWindow = 0;
  void* mGC = nullptr;
  void* mImage = nullptr;
  std::chrono::steady_clock::time_point mLastTick{};
  std::chrono::steady_clock::time_point mLastPress{};
  int mLastPressX = -1, mLastPressY = -1;
  bool mButtonHeld = false;
  std::string mEntryText;
  IRECT mEntryRect;
  IText mEntryStyle;
};
