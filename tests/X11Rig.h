#pragma once
// X11 test helpers: a parent window the tests own, clicks and keys sent
// through the X server (XTest), and the instrument's editor opened in it
// as a host does it.
#include <gtest/gtest.h>

#include "tools/PluginHost.h"
// X11 after gtest: its macros (None, Bool) clash with gtest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/x11/IGraphicsX11.h"

// Runs step until done says so, or 20 s have passed (a wait, not a measurement).
template <typename Step, typename Done>
bool PollUntil(Step&& step, Done&& done)
{
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < until)
  {
    step();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

template <typename Done>
bool PumpUntil(IGraphicsX11& gui, Done&& done)
{
  return PollUntil([&] { gui.ProcessEvents(); }, done);
}

inline void ClickAt(Display* d, int x, int y)
{
  XTestFakeMotionEvent(d, DefaultScreen(d), x, y, 0);
  XTestFakeButtonEvent(d, 1, True, 0);
  XTestFakeButtonEvent(d, 1, False, 20);
  XFlush(d);
}

// A top-level window with this name, or 0.
inline Window FindWindowNamed(Display* d, const char* name)
{
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  Window found = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return 0;
  for (unsigned i = 0; i < n && !found; ++i)
  {
    char* title = nullptr;
    if (XFetchName(d, children[i], &title) && title)
    {
      if (std::string(title) == name) found = children[i];
      XFree(title);
    }
  }
  if (children) XFree(children);
  return found;
}

// Waits on its own connection for the popup window, then clicks at (x, y)
// inside it, or outside it when outside is set.
inline void ClickPopupWhenShown(int x, int y, bool outside)
{
  Display* d = XOpenDisplay(nullptr);
  Window popup = 0;
  for (int tries = 0; tries < 4000 && !popup; ++tries)
  {
    popup = FindWindowNamed(d, IGraphicsX11::kPopupWindowName);
    if (!popup) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (popup)
  {
    XWindowAttributes a{};
    for (int tries = 0; tries < 4000 && a.map_state != IsViewable; ++tries)
    {
      XGetWindowAttributes(d, popup, &a);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the grab follows the mapping
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(d, popup, DefaultRootWindow(d), 0, 0, &rx, &ry, &child);
    ClickAt(d, outside ? rx + a.width + 30 : rx + x, outside ? ry + a.height + 30 : ry + y);
  }
  XCloseDisplay(d);
}

struct ParentWindow
{
  ParentWindow() : display(XOpenDisplay(nullptr))
  {
    // Xvfb now and then refuses a connection made just after others closed.
    for (int tries = 0; tries < 50 && !display; ++tries)
    {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      display = XOpenDisplay(nullptr);
    }
    if (!display) return;
    int event, error, major, minor;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) return;
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 900, 600, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
  }
  ~ParentWindow()
  {
    if (window) XDestroyWindow(display, window);
    if (display) XCloseDisplay(display);
  }
  Display* display;
  Window window = 0;
};

// A bare editor window open inside a parent window.
struct BareEditor
{
  ParentWindow parent;
  IGraphicsX11 gui{nullptr, 300, 200};
  bool Open()
  {
    gui.PrepDraw();
    return parent.window && gui.OpenWindow(reinterpret_cast<void*>(parent.window));
  }
  ~BareEditor() { gui.CloseWindow(); }
};

// The plug-in library loaded and started as a host does it.
inline testing::AssertionResult Started(PluginHost& host)
{
  std::string error;
  if (!host.Load(VESK_SO, &error)) return testing::AssertionFailure() << error;
  host.Start(48000, 256);
  return testing::AssertionSuccess();
}

// The root-window position of a window's origin.
inline void OriginOf(Display* d, Window w, int* x, int* y)
{
  Window child;
  XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, x, y, &child);
}

// The instrument's editor in a host window: the plug-in started, then the
// editor opened and shown, closed, and opened again as a host does it.
struct OpenEditor
{
  ParentWindow parent;
  PluginHost host;
  Window editor = 0;
  intptr_t openAnswer = 0;  // what effEditOpen returned
  XWindowAttributes shown{};
  int x = 0, y = 0;  // the editor's origin on the screen

  // The plug-in loaded and started; the parent hears the keys sent on to it.
  bool Start()
  {
    if (!parent.window || !Started(host)) return false;
    XSelectInput(parent.display, parent.window, KeyPressMask | KeyReleaseMask);
    return true;
  }
  // Opens the editor and waits until it shows; the windows found inside the parent.
  unsigned Show()
  {
    openAnswer = host.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(parent.window));
    const unsigned n = Children();
    if (n != 1) return n;
    shown = {};
    for (int tries = 0; tries < 2000 && shown.map_state != IsViewable; ++tries)
    {
      host.Dispatch(vst2::effEditIdle);
      XGetWindowAttributes(parent.display, editor, &shown);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    OriginOf(parent.display, editor, &x, &y);
    return n;
  }
  bool Open() { return Start() && Show() == 1 && openAnswer == 1 && shown.map_state == IsViewable; }
  // Closes the editor; the windows left inside the parent.
  unsigned Close()
  {
    host.Dispatch(vst2::effEditClose);
    editor = 0;
    return Children();
  }
  ~OpenEditor()
  {
    if (editor) host.Dispatch(vst2::effEditClose);
  }
  void Key(KeySym sym)
  {
    const KeyCode code = XKeysymToKeycode(parent.display, sym);
    XTestFakeKeyEvent(parent.display, code, True, 0);
    XTestFakeKeyEvent(parent.display, code, False, 10);
    XFlush(parent.display);
  }
  void IdleFor(int ms)
  {
    for (int t = 0; t < ms; t += 5)
    {
      host.Dispatch(vst2::effEditIdle);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  template <typename Done>
  bool IdleUntil(Done&& done)
  {
    return PollUntil([&] { host.Dispatch(vst2::effEditIdle); }, done);
  }

private:
  // The windows inside the parent; the editor is the only one.
  unsigned Children()
  {
    Window root, up, *children = nullptr;
    unsigned n = 0;
    XQueryTree(parent.display, parent.window, &root, &up, &children, &n);
    editor = n == 1 ? children[0] : 0;
    if (children) XFree(children);
    return n;
  }
};

