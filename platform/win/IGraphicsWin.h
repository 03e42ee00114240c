#pragma once
// The editor in a Win32 child window of the host's window: a 40 ms repaint
// timer, mouse capture and leave tracking, native popup menus, an edit
// control for text entry, and the system's dialogs, clipboard and folders.
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "editor/framework/IGraphics.h"

class IGraphicsWin : public IGraphics
{
public:
  IGraphicsWin(IPlugBase* plug, int w, int h, int fps = 25);
  ~IGraphicsWin() override;

  void SetHInstance(void* instance) { mHInstance = static_cast<HINSTANCE>(instance); }
  void DrawScreen(const IRECT& rect) override;
  bool OpenWindow(void* parentWindow) override;
  void CloseWindow() override;
  bool WindowIsOpen() override { return mWnd != nullptr; }
  uintptr_t NativeWindow() const override { return reinterpret_cast<uintptr_t>(mWnd); }
  const char* GetGUIAPI() override { return "Windows GDI"; }
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& area) override;
  void CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* initial,
                       IParam* param) override;
  std::string TextEntryText() override;
  void DestroyTextEntry() override;
  bool ShowMessageBox(const char* text, const char* caption, int type) override;
  bool OpenURL(const char* url, const char* title = nullptr, const char* confirm = nullptr,
               const char* error = nullptr) override;
  bool GetTextFromClipboard(std::string* out) override;
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  void HostPath(std::string* out) override;
  void PluginPath(std::string* out) override;
  void DesktopPath(std::string* out) override;
  void AppSupportPath(std::string* out, bool system = false) override;
  void PromptForFile(std::string* filename, EFileAction action, std::string* dir = nullptr,
                     const char* extensions = "") override;
  bool PromptForColor(IColor* color, const char* prompt = "") override;

  HWND Window() const { return mWnd; }

private:
  static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EditProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleEdit(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  bool HandleMouse(UINT msg, WPARAM wParam, LPARAM lParam);
  void HandleKey(UINT msg, WPARAM wParam, LPARAM lParam);
  void PassToHost(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnTimer();
  void Paint();
  HWND MainWindow();

  HINSTANCE mHInstance = nullptr;
  HWND mWnd = nullptr;
  HWND mParentWnd = nullptr;
  HWND mMainWnd = nullptr;
  std::string mMainWndClass;
  HWND mParamEditWnd = nullptr;
  HFONT mEditFont = nullptr;
  WNDPROC mDefEditProc = nullptr;
  HDC mPaintDC = nullptr;
  std::unique_ptr<std::array<COLORREF, 16>> mCustomColors;
  int mHiddenCursorX = 0, mHiddenCursorY = 0;
  bool mCursorHidden = false, mTrackingLeave = false;
};
