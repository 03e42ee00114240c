#pragma once
// The editor in an X11 child window of the host's window. The host's idle
// calls drive it: pending X events are handled and, every 40 ms, dirty
// controls are repainted. Text entry is drawn inside the editor; popup menus
// are drawn in their own window and run modally, as native menus do.
#include <bitset>
#include <chrono>
#include <string>
#include <vector>

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
  uintptr_t NativeWindow() const override { return mWindow; }
  int EventSource() const override;
  const char* GetGUIAPI() override { return "X11"; }
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& area) override;
  void CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* initial,
                       IParam* param) override;
  std::string TextEntryText() override { return mEntry.text; }
  void DestroyTextEntry() override;
  void Idle() override;
  // A message or a question in a window of its own, drawn as a menu whose
  // headings are the text: "OK", or "yes" and "no".
  bool ShowMessageBox(const char* text, const char* caption, int type) override;
  // Asks first when a confirmation is given, then opens the URL with the
  // desktop's opener ($BROWSER, else xdg-open); a failure shows the error.
  bool OpenURL(const char* url, const char* title = nullptr, const char* confirm = nullptr,
               const char* error = nullptr) override;

  unsigned long Window() const { return mWindow; }
  // The name of a popup menu's window, for tests that look for it.
  static constexpr const char* kPopupWindowName = "Vesk menu";
  // Handles every pending event, then ticks when a frame is due.
  void ProcessEvents();

private:
  void HandleEvent(void* event);
  void HandleKey(void* event);
  // A key the editor does not use goes on to the host's window, so its
  // transport and shortcuts keep working while the mouse is over the editor.
  void ForwardKey(void* event);
  void HandlePress(void* event);
  void Tick();
  void DrawTextEntry();
  // Shows the menu at this screen position until a choice, Escape or a
  // click outside it.
  IPopupMenu* RunPopup(IPopupMenu* menu, int x, int y);
  // The text's lines as headings, then the answers; the index of the answer chosen, or -1.
  int Ask(const char* text, const char* caption, const std::vector<std::string>& answers);

  void* mDisplay = nullptr;
  unsigned long mWindow = 0;
  unsigned long mParent = 0;
  std::bitset<256> mKeysTaken;  // key codes whose press the editor used: their release stays too
  void* mGC = nullptr;
  void* mImage = nullptr;
  std::chrono::steady_clock::time_point mLastTick{};
  std::chrono::steady_clock::time_point mLastPress{};
  int mLastPressX = -1, mLastPressY = -1;
  bool mButtonHeld = false;
  IEntryText mEntry;
  IRECT mEntryRect;
  IText mEntryStyle;
};
