// The X11 editor window inside a parent window, driven by clicks sent
// through the X server (XTest). Runs under Xvfb; skipped without a display.
#include <gtest/gtest.h>
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include "tests/Lv2Host.h"
// X11 after gtest: its macros (None, Bool) clash with gtest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "editor/framework/IPopupMenuView.h"
#include "platform/x11/IGraphicsX11.h"
#include "tools/PluginHost.h"

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

void ClickAt(Display* d, int x, int y)
{
  XTestFakeMotionEvent(d, DefaultScreen(d), x, y, 0);
  XTestFakeButtonEvent(d, 1, True, 0);
  XTestFakeButtonEvent(d, 1, False, 20);
  XFlush(d);
}

// A top-level window with this name, or 0.
Window FindWindowNamed(Display* d, const char* name)
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
void ClickPopupWhenShown(int x, int y, bool outside)
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
testing::AssertionResult Started(PluginHost& host)
{
  std::string error;
  if (!host.Load(VESK_SO, &error)) return testing::AssertionFailure() << error;
  host.Start(48000, 256);
  return testing::AssertionSuccess();
}

// The root-window position of a window's origin.
void OriginOf(Display* d, Window w, int* x, int* y)
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

TEST(X11Window, InstrumentEditorOpensInAHostWindowAndAClickChangesAParameter)
{
  OpenEditor e;
  if (!e.parent.window) GTEST_SKIP() << "no X display with XTest";
  ASSERT_TRUE(e.Start());
  int width = 0, height = 0;
  ASSERT_TRUE(e.host.EditorSize(&width, &height));
  EXPECT_EQ(width, 815);
  EXPECT_EQ(height, 550);

  for (int round = 0; round < 2; ++round)
  {
    ASSERT_EQ(e.Show(), 1u) << "one editor window inside the host's, round " << round;
    ASSERT_EQ(e.openAnswer, 1) << round;
    ASSERT_EQ(e.shown.width, 815);
    std::vector<float> before(static_cast<size_t>(e.host.NumParams()));
    for (int p = 0; p < e.host.NumParams(); ++p) before[static_cast<size_t>(p)] = e.host.GetParameter(p);
    ClickAt(e.parent.display, e.x + 705, e.y + 36);  // the input-fill switch
    int changed = -1;
    e.IdleUntil([&] {
      for (int p = 0; p < e.host.NumParams(); ++p)
        if (e.host.GetParameter(p) != before[static_cast<size_t>(p)]) changed = p;
      return changed >= 0;
    });
    ASSERT_GE(changed, 0) << "round " << round;
    EXPECT_EQ(e.host.ParamName(changed), "input fills gaps");
    EXPECT_EQ(e.Close(), 0u) << "closing removes the editor window";
  }
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

// The editor draws from copies it takes under the plug-in lock, so an audio
// thread recording and playing (with a learned controller moving "mix") and
// a host automating from a third thread never race with it: run under
// ThreadSanitizer by the test command.
TEST(X11Window, EditorDrawsBesideAudioAndAutomationThreads)
{
  ParentWindow parent;
  if (!parent.window) GTEST_SKIP() << "no X display with XTest";
  PluginHost host;
  ASSERT_TRUE(Started(host));
  // Controller 20 learned for "mix": the state's MIDI map list for 20 holds 93.
  std::vector<uint8_t> chunk = host.GetChunk(false);
  const size_t list20 = 8 + 1428 + 4 * 20;
  const int32_t entry[2] = {1, 93};
  chunk.erase(chunk.begin() + static_cast<long>(list20), chunk.begin() + static_cast<long>(list20) + 4);
  chunk.insert(chunk.begin() + static_cast<long>(list20), reinterpret_cast<const uint8_t*>(entry),
               reinterpret_cast<const uint8_t*>(entry) + sizeof entry);
  ASSERT_TRUE(host.SetChunk(chunk, false));
  ASSERT_EQ(host.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(parent.window)), 1);

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    std::vector<std::vector<float>> in(64, std::vector<float>(256)), out(2, std::vector<float>(256));
    std::vector<float*> ip, op;
    for (auto& c : in)
    {
      for (size_t s = 0; s < c.size(); ++s) c[s] = 0.5f * std::sin(0.05f * static_cast<float>(s));
      ip.push_back(c.data());
    }
    for (auto& c : out) op.push_back(c.data());
    for (int block = 0; !stop; ++block)
    {
      std::vector<vst2::VstMidiEvent> events(2);
      for (auto& e : events) e.type = vst2::kVstMidiType, e.byteSize = sizeof e;
      events[0].midiData[0] = static_cast<char>(block % 8 == 7 ? 0x80 : 0x90);
      events[0].midiData[1] = static_cast<char>(48 + block % 8);
      events[0].midiData[2] = 100;
      events[1].midiData[0] = static_cast<char>(0xB0);
      events[1].midiData[1] = 20;
      events[1].midiData[2] = static_cast<char>(block % 128);
      host.SendMidi(events);
      host.Process(ip.data(), op.data(), 256);
    }
  });
  std::thread automation([&] {
    for (int i = 0; !stop; ++i)
    {
      host.SetParameter(i % 2 ? 32 : 26, (i % 32) / 31.0f);  // picked buffer, selection start
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  for (int i = 0; i < 60; ++i)
  {
    host.Dispatch(vst2::effEditIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(8));
  }
  stop = true;
  audio.join();
  automation.join();
  host.Dispatch(vst2::effEditClose);
}

// Typing into an entry replaces the text it opened with; keys the editor
// does not use reach the host's window, pressed and released.
TEST(X11Window, TypingReplacesTheEntryTextAndOtherKeysReachTheHost)
{
  OpenEditor e;
  if (!e.parent.window) GTEST_SKIP() << "no X display with XTest";
  ASSERT_TRUE(e.Open());
  const int voices = e.host.FindParam("active voices");
  ClickAt(e.parent.display, e.x + 594, e.y + 489);
  e.IdleFor(300);  // the entry opens
  e.Key(XK_2);
  e.Key(XK_Return);
  EXPECT_TRUE(e.IdleUntil([&] { return e.host.ParamDisplay(voices) == "2"; })) << e.host.ParamDisplay(voices);

  XTestFakeMotionEvent(e.parent.display, DefaultScreen(e.parent.display), e.x + 400, e.y + 520, 0);
  e.Key(XK_Escape);
  bool pressed = false, released = false;
  EXPECT_TRUE(e.IdleUntil([&] {
    while (XPending(e.parent.display))
    {
      XEvent event;
      XNextEvent(e.parent.display, &event);
      const bool escape = XLookupKeysym(&event.xkey, 0) == XK_Escape;
      pressed |= event.type == KeyPress && escape;
      released |= event.type == KeyRelease && escape;
    }
    return pressed && released;
  })) << "press " << pressed << ", release " << released;
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

namespace {
// The LV2 editor binary as a host loads it: in the host's window, with the
// instance and its extensions given, idled by the host, writing ports back.
struct Lv2Editor
{
  ParentWindow parent;
  Lv2Host dsp;
  void* library = nullptr;
  const LV2UI_Descriptor* descriptor = nullptr;
  LV2UI_Handle ui = nullptr;
  const LV2UI_Idle_Interface* idle = nullptr;
  Window widget = 0;
  std::vector<std::pair<uint32_t, float>> writes;
  int width = 0, height = 0;

  bool Open()
  {
    if (!parent.window || !dsp.Start()) return false;
    library = dlopen(VESK_LV2_BUNDLE "/vesk_ui.so", RTLD_NOW | RTLD_LOCAL);
    auto entry = library ? reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2ui_descriptor")) : nullptr;
    descriptor = entry ? entry(0) : nullptr;
    if (!descriptor) return false;
    LV2_Extension_Data_Feature access{dsp.descriptor->extension_data};
    LV2UI_Resize resize{this, [](LV2UI_Feature_Handle h, int w, int hh) {
                          static_cast<Lv2Editor*>(h)->width = w, static_cast<Lv2Editor*>(h)->height = hh;
                          return 0;
                        }};
    const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent.window)};
    const LV2_Feature instanceFeature{LV2_INSTANCE_ACCESS_URI, dsp.instance};
    const LV2_Feature accessFeature{LV2_DATA_ACCESS_URI, &access};
    const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    const LV2_Feature* features[] = {&dsp.mapFeature, &parentFeature, &instanceFeature, &accessFeature, &resizeFeature, nullptr};
    LV2UI_Widget w = nullptr;
    ui = descriptor->instantiate(descriptor, vesk_lv2::kPluginUri, VESK_LV2_BUNDLE "/", &Write, this, &w, features);
    widget = reinterpret_cast<Window>(w);
    idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    return ui && idle && widget;
  }

  ~Lv2Editor()
  {
    if (ui) descriptor->cleanup(ui);
  }

  static void Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
  {
    if (size == sizeof(float) && protocol == 0)
      static_cast<Lv2Editor*>(controller)->writes.emplace_back(port, *static_cast<const float*>(buffer));
  }

  template <typename Done>
  bool IdleUntil(Done&& done)
  {
    return PollUntil([&] { idle->idle(ui); }, done);
  }
};
}  // namespace

// A click in the LV2 editor changes a parameter of the instance; the host
// hears it through its write function and, writing the port, leaves it so.
TEST(X11Window, Lv2EditorOpensInTheHostWindowAndAClickReachesTheInstance)
{
  Lv2Editor e;
  if (!e.parent.window) GTEST_SKIP() << "no X display with XTest";
  ASSERT_TRUE(e.Open());
  EXPECT_EQ(e.width, 815);
  EXPECT_EQ(e.height, 550);
  XWindowAttributes shown{};
  ASSERT_TRUE(e.IdleUntil([&] { return XGetWindowAttributes(e.parent.display, e.widget, &shown) && shown.map_state == IsViewable; }));
  int x = 0, y = 0;
  OriginOf(e.parent.display, e.widget, &x, &y);
  e.dsp.Run(64);
  const std::vector<uint8_t> before = e.dsp.Save().bytes;
  ClickAt(e.parent.display, x + 705, y + 36);  // the input-fill switch
  ASSERT_TRUE(e.IdleUntil([&] { return !e.writes.empty(); }));
  EXPECT_EQ(e.writes.front().first, static_cast<uint32_t>(kGapFill));
  EXPECT_EQ(e.writes.front().second, 1.0f);
  e.dsp.controls[kGapFill] = e.writes.front().second;
  e.dsp.Run(64);
  e.dsp.Run(64);
  EXPECT_NE(e.dsp.Save().bytes, before) << "the instance took the change";
  e.dsp.controls[kGapFill] = 0.0f;  // the host moves it back
  e.dsp.Run(64);
  EXPECT_EQ(e.dsp.Save().bytes, before);
}
