// The X11 editor window inside a parent window, driven by clicks sent
// through the X server (XTest). Runs under Xvfb; skipped without a display.
#include "tests/X11Rig.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "editor/framework/IPopupMenuView.h"

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

}  // namespace

TEST(X11Window, PopupMenuReportsTheClickedItemAndNoneForAClickOutside)
{
  BareEditor e;
  if (!e.parent.window) GTEST_SKIP() << "no X display with XTest";
  ASSERT_TRUE(e.Open());
  IGraphicsX11& gui = e.gui;
  ParentWindow& parent = e.parent;
  IPopupMenu menu;
  menu.AddItem("one");
  menu.AddItem("two", IPopupMenu::kChecked);
  auto sub = std::make_unique<IPopupMenu>();
  sub->AddItem("deep");
  menu.AddSubmenu("more", std::move(sub));

  // Rows: "one", "two", heading "more", then "deep" (the fourth row).
  std::thread clicker(ClickPopupWhenShown, 30, 1 + 3 * IPopupMenuView::kRowHeight + 5, false);
  IPopupMenu* chosen = gui.CreateIPopupMenu(&menu, IRECT(10, 10, 60, 30));
  clicker.join();
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen, menu.GetItem(2).submenu.get());
  EXPECT_EQ(chosen->GetChosenItemIdx(), 0);
  EXPECT_EQ(FindWindowNamed(parent.display, IGraphicsX11::kPopupWindowName), 0u) << "the menu window is gone";

  menu.SetChosenItemIdx(-1);
  std::thread outside(ClickPopupWhenShown, 0, 0, true);
  EXPECT_EQ(gui.CreateIPopupMenu(&menu, IRECT(10, 10, 60, 30)), nullptr);
  outside.join();
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  gui.CloseWindow();
}

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

// Hosts that destroy their window before closing the editor, or hand over a
// window that no longer exists, must not end through an X error.
TEST(X11Window, SurvivesAParentDestroyedFirstAndAParentThatIsGone)
{
  ParentWindow parent;
  if (!parent.window) GTEST_SKIP() << "no X display with XTest";
  PluginHost host;
  ASSERT_TRUE(Started(host));

  ASSERT_EQ(host.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(parent.window)), 1);
  for (int i = 0; i < 20; ++i) host.Dispatch(vst2::effEditIdle);
  XDestroyWindow(parent.display, parent.window);
  XSync(parent.display, False);
  const Window gone = parent.window;
  parent.window = 0;
  for (int i = 0; i < 20; ++i)
  {
    host.SetParameter(35, i % 2 ? 1.0f : 0.0f);  // a repaint of a window that is no more
    host.Dispatch(vst2::effEditIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  host.Dispatch(vst2::effEditClose);

  EXPECT_EQ(host.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(gone)), 0) << "a window that is gone";
  for (int i = 0; i < 5; ++i) host.Dispatch(vst2::effEditIdle);
  host.Dispatch(vst2::effEditClose);
  ParentWindow another;
  EXPECT_EQ(host.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(another.window)), 1) << "and then a real one";
  host.Dispatch(vst2::effEditClose);
}

namespace {
// An opener on PATH that writes the URL it is given to a file and exits
// with the given status.
struct FakeOpener
{
  std::string dir = testing::TempDir() + "vesk-opener";
  std::string log = dir + "/opened";
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";

  explicit FakeOpener(int status)
  {
    std::filesystem::create_directories(dir);
    std::filesystem::remove(log);
    const std::string script = dir + "/xdg-open";
    std::ofstream(script) << "#!/bin/sh\necho \"$1\" > " << log << "\nexit " << status << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    setenv("PATH", (dir + ":" + path).c_str(), 1);
    unsetenv("BROWSER");
  }
  ~FakeOpener() { setenv("PATH", path.c_str(), 1); }
  std::string Opened() const
  {
    std::string url;
    std::ifstream(log) >> url;
    return url;
  }
};
}  // namespace

// Links open with the desktop's opener; a failing opener or a "no" to the
// question opens nothing, and a failure shows the error in a window.
TEST(X11Window, LinksOpenWithTheDesktopsOpener)
{
  BareEditor e;
  if (!e.parent.window) GTEST_SKIP() << "no X display with XTest";
  ASSERT_TRUE(e.Open());
  IGraphicsX11& gui = e.gui;
  {
    FakeOpener opener(0);
    EXPECT_TRUE(gui.OpenURL("https://example.org/a"));
    EXPECT_EQ(opener.Opened(), "https://example.org/a");
  }
  {
    FakeOpener opener(3);
    std::thread dismiss(ClickPopupWhenShown, 0, 0, true);
    EXPECT_FALSE(gui.OpenURL("https://example.org/b", "Vesk", nullptr, "couldn't open the link"));
    dismiss.join();
    EXPECT_EQ(opener.Opened(), "https://example.org/b");
  }
  {
    FakeOpener opener(0);
    std::thread no(ClickPopupWhenShown, 0, 0, true);  // a click outside the question: no
    EXPECT_FALSE(gui.OpenURL("https://example.org/c", "Vesk", "open the page?"));
    no.join();
    EXPECT_EQ(opener.Opened(), "") << "asked and refused, nothing opens";
  }
  gui.CloseWindow();
}
