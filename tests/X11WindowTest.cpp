// The X11 editor window inside a parent window, driven by clicks sent
// through the X server (XTest). Runs under Xvfb; skipped without a display.
#include <gtest/gtest.h>
// X11 after gtest: its macros (None, Bool) clash with gtest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <thread>

#include "platform/x11/IGraphicsX11.h"

namespace {

class Pad : public IControl
{
public:
  explicit Pad(IRECT r) : IControl(nullptr, r) {}
  bool Draw(IGraphics* g) override { return g->FillIRect(IColor(255, 0, 200, 0), mRECT); }
  void OnMouseDown(int, int, IMouseMod* mod) override { ++downs, left = mod->L; }
  void OnMouseUp(int, int, IMouseMod*) override { ++ups; }
  int downs = 0, ups = 0;
  bool left = false;
};

template <typename Done>
bool PumpUntil(IGraphicsX11& gui, Done&& done)
{
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);  // a wait, not a measurement
  while (std::chrono::steady_clock::now() < until)
  {
    gui.ProcessEvents();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

void ClickAt(Display* d, int x, int y)
{
  XTestFakeMotionEvent(d, DefaultScreen(d), x, y, 0);
  XTestFakeButtonEvent(d, 1, True, 0);
  XTestFakeButtonEvent(d, 1, False, 20);
  XFlush(d);
}

}  // namespace

TEST(X11Window, OpensInTheParentTakesClicksClosesAndReopens)
{
  Display* host = XOpenDisplay(nullptr);
  if (!host) GTEST_SKIP() << "no X display";
  int event, error, major, minor;
  if (!XTestQueryExtension(host, &event, &error, &major, &minor))
  {
    XCloseDisplay(host);
    GTEST_SKIP() << "no XTest";
  }
  const Window parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 400, 300, 0, 0, 0);
  XMapWindow(host, parent);
  XSync(host, False);

  IGraphicsX11 gui(nullptr, 200, 100);
  gui.PrepDraw();
  auto* pad = new Pad(IRECT(50, 50, 100, 100));
  gui.AttachControl(pad);
  for (int round = 0; round < 2; ++round)
  {
    ASSERT_TRUE(gui.OpenWindow(reinterpret_cast<void*>(parent))) << "round " << round;
    ASSERT_TRUE(gui.WindowIsOpen());
    XWindowAttributes attributes{};
    ASSERT_TRUE(PumpUntil(gui, [&] {
      XGetWindowAttributes(host, gui.Window(), &attributes);
      return attributes.map_state == IsViewable;
    }));
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(host, gui.Window(), DefaultRootWindow(host), 0, 0, &rootX, &rootY, &child);
    const int before = pad->downs;
    ClickAt(host, rootX + 60, rootY + 60);
    ASSERT_TRUE(PumpUntil(gui, [&] { return pad->downs == before + 1 && pad->ups == before + 1; })) << "round " << round;
    EXPECT_TRUE(pad->left);
    ClickAt(host, rootX + 10, rootY + 10);  // outside the pad
    const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    PumpUntil(gui, [&] { return std::chrono::steady_clock::now() > settle; });
    EXPECT_EQ(pad->downs, before + 1);

    XImage* shot = XGetImage(host, gui.Window(), 70, 70, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(XGetPixel(shot, 0, 0) & 0xFFFFFF, 0x00C800u) << "the pad's fill reached the window";
    XDestroyImage(shot);
    gui.CloseWindow();
    EXPECT_FALSE(gui.WindowIsOpen());
  }
  XDestroyWindow(host, parent);
  XCloseDisplay(host);
}
