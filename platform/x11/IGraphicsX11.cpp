#include "platform/x11/IGraphicsX11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "editor/framework/IPopupMenuView.h"

namespace {
constexpr int kDoubleClickMs = 300;

Display* Dpy(void* d) { return static_cast<Display*>(d); }

// Xlib's default error handler ends the process, and a host may destroy its
// window before it closes the editor or hand over one already gone. The
// editor's connection is its own, so every error on it comes from its own
// requests: they are caught while the editor works, and the host's handler
// is put back after.
class XErrorTrap
{
public:
  explicit XErrorTrap(Display* display) : mDisplay(display), mStart(sErrors), mPrevious(XSetErrorHandler(&Catch)) {}
  ~XErrorTrap()
  {
    XSync(mDisplay, False);
    XSetErrorHandler(mPrevious);
  }
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;
  // Whether a request so far failed.
  bool Caught()
  {
    XSync(mDisplay, False);
    return sErrors != mStart;
  }

private:
  static int Catch(Display*, XErrorEvent*)
  {
    ++sErrors;
    return 0;
  }
  static inline std::atomic<int> sErrors{0};
  Display* mDisplay;
  int mStart;
  XErrorHandler mPrevious;
};

IMouseMod ModsOf(unsigned state, unsigned button)
{
  IMouseMod mod;
  mod.L = (state & Button1Mask) || button == Button1;
  mod.R = (state & Button3Mask) || button == Button3;
  mod.S = (state & ShiftMask) != 0;
  mod.C = (state & ControlMask) != 0;
  mod.A = (state & Mod1Mask) != 0;
  return mod;
}

// An image over the bitmap's own pixels, for putting it on screen.
XImage* ImageOver(Display* display, LICE_IBitmap* bitmap)
{
  const int screen = DefaultScreen(display);
  return XCreateImage(display, DefaultVisual(display, screen), static_cast<unsigned>(DefaultDepth(display, screen)),
                      ZPixmap, 0, reinterpret_cast<char*>(bitmap->getBits()), static_cast<unsigned>(bitmap->getWidth()),
                      static_cast<unsigned>(bitmap->getHeight()), 32, bitmap->getRowSpan() * 4);
}

void DestroyImageOver(XImage* image)
{
  image->data = nullptr;  // the pixels belong to the bitmap
  XDestroyImage(image);
}

int EditorKeyCode(KeySym sym)
{
  if (sym == XK_space) return IGraphics::kKeySpace;
  if (sym == XK_Up) return IGraphics::kKeyUp;
  if (sym == XK_Down) return IGraphics::kKeyDown;
  if (sym == XK_Left) return IGraphics::kKeyLeft;
  if (sym == XK_Right) return IGraphics::kKeyRight;
  if (sym >= XK_0 && sym <= XK_9) return IGraphics::kKeyDigit0 + static_cast<int>(sym - XK_0);
  if (sym >= XK_a && sym <= XK_z) return IGraphics::kKeyLetterA + static_cast<int>(sym - XK_a);
  if (sym >= XK_A && sym <= XK_Z) return IGraphics::kKeyLetterA + static_cast<int>(sym - XK_A);
  return IGraphics::kKeyNone;
}
}  // namespace

IGraphicsX11::~IGraphicsX11()
{
  CloseWindow();
}

bool IGraphicsX11::OpenWindow(void* parentWindow)
{
  if (mWindow) CloseWindow();
  const auto parent = static_cast<::Window>(reinterpret_cast<uintptr_t>(parentWindow));
  Display* display = XOpenDisplay(nullptr);
  if (!display || !parent)
  {
    if (display) XCloseDisplay(display);
    return false;
  }
  if (!GetDrawBitmap()) PrepDraw();
  const int screen = DefaultScreen(display);
  bool refused;
  {
    XErrorTrap trap(display);
    mWindow = XCreateSimpleWindow(display, parent, 0, 0, static_cast<unsigned>(Width()), static_cast<unsigned>(Height()),
                                  0, BlackPixel(display, screen), BlackPixel(display, screen));
    refused = !mWindow || trap.Caught();  // a parent that does not exist
  }
  if (refused)
  {
    mWindow = 0;
    XCloseDisplay(display);
    return false;
  }
  mDisplay = display;
  mParent = parent;
  mKeysTaken.reset();
  XErrorTrap trap(display);
  XSelectInput(display, mWindow,
               ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask | KeyReleaseMask |
                 LeaveWindowMask | EnterWindowMask | StructureNotifyMask);
  mGC = XCreateGC(display, mWindow, 0, nullptr);
  mImage = ImageOver(display, GetDrawBitmap());
  XMapWindow(display, mWindow);
  XFlush(display);
  for (int i = 0; i < GetNControls(); ++i) GetControl(i)->SetDirty(false);
  return true;
}

void IGraphicsX11::CloseWindow()
{
  if (!mDisplay) return;
  Display* display = Dpy(mDisplay);
  {
    XErrorTrap trap(display);
    if (mImage) DestroyImageOver(static_cast<XImage*>(mImage));
    mImage = nullptr;
    if (mGC) XFreeGC(display, static_cast<GC>(mGC));
    mGC = nullptr;
    if (mWindow) XDestroyWindow(display, mWindow);
    mWindow = 0;
    mParent = 0;
  }
  XCloseDisplay(display);
  mDisplay = nullptr;
}

void IGraphicsX11::DrawScreen(const IRECT& rect)
{
  if (!mDisplay || !mImage || !mWindow) return;
  const int l = std::max(0, rect.L), t = std::max(0, rect.T);
  const int w = std::min(Width(), rect.R) - l, h = std::min(Height(), rect.B) - t;
  if (w <= 0 || h <= 0) return;
  XErrorTrap trap(Dpy(mDisplay));
  XPutImage(Dpy(mDisplay), mWindow, static_cast<GC>(mGC), static_cast<XImage*>(mImage), l, t, l, t,
            static_cast<unsigned>(w), static_cast<unsigned>(h));
  if (trap.Caught()) mWindow = 0;  // destroyed with the host's window
}

int IGraphicsX11::EventSource() const
{
  return mDisplay ? ConnectionNumber(Dpy(mDisplay)) : -1;
}

void IGraphicsX11::Idle()
{
  ProcessEvents();
}

void IGraphicsX11::ProcessEvents()
{
  if (!mDisplay) return;
  XErrorTrap trap(Dpy(mDisplay));
  while (XPending(Dpy(mDisplay)))
  {
    XEvent event;
    XNextEvent(Dpy(mDisplay), &event);
    HandleEvent(&event);
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - mLastTick >= std::chrono::milliseconds(1000 / std::max(1, FPS())))
  {
    mLastTick = now;
    Tick();
  }
}

void IGraphicsX11::Tick()
{
  const IRECT dirty = OnTimerTick();
  if (dirty.Empty()) return;
  Draw(dirty);
  if (TextEntryOpen()) DrawTextEntry();
}

// A press of the wheel scrolls; a second press at the same spot soon after
// the first is a double click.
void IGraphicsX11::HandlePress(void* e)
{
  const XButtonEvent& b = static_cast<XEvent*>(e)->xbutton;
  IMouseMod mod = ModsOf(b.state, b.button);
  if (b.button == Button4 || b.button == Button5)
  {
    if (TextEntryOpen())
      SetTextEntryState(kTextEntryCancel);
    else
      OnMouseWheel(b.x, b.y, &mod, b.button == Button4 ? 120 : -120);
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  const bool doubled =
    now - mLastPress < std::chrono::milliseconds(kDoubleClickMs) && b.x == mLastPressX && b.y == mLastPressY;
  mLastPress = now;
  mLastPressX = b.x;
  mLastPressY = b.y;
  mButtonHeld = true;
  if (TextEntryOpen())
    OnButtonPress(b.x, b.y, &mod);
  else if (doubled)
    OnMouseDblClick(b.x, b.y, &mod);
  else
    OnMouseDown(b.x, b.y, &mod);
}

void IGraphicsX11::HandleEvent(void* e)
{
  XEvent& event = *static_cast<XEvent*>(e);
  switch (event.type)
  {
    case Expose:
      Draw(IRECT(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                 event.xexpose.y + event.xexpose.height));
      if (TextEntryOpen()) DrawTextEntry();
      break;
    case ButtonPress: HandlePress(&event); break;
    case ButtonRelease:
    {
      const XButtonEvent& b = event.xbutton;
      if (b.button == Button4 || b.button == Button5) break;
      IMouseMod mod = ModsOf(b.state, b.button);
      mButtonHeld = false;
      if (!TextEntryOpen()) OnMouseUp(b.x, b.y, &mod);
      break;
    }
    case MotionNotify:
    {
      const XMotionEvent& m = event.xmotion;
      IMouseMod mod = ModsOf(m.state, 0);
      if (mButtonHeld)
        OnMouseDrag(m.x, m.y, &mod);
      else
        OnMouseOver(m.x, m.y, &mod);
      break;
    }
    case LeaveNotify: OnMouseOut(); break;
    case DestroyNotify:
      // The host destroyed its window first: nothing is drawn any more, and
      // closing only lets go of the rest.
      if (event.xdestroywindow.window == mWindow) mWindow = 0;
      break;
    case KeyPress: HandleKey(&event); break;
    case KeyRelease:
      if (TextEntryOpen() || mKeysTaken.test(event.xkey.keycode & 0xFF))
        mKeysTaken.reset(event.xkey.keycode & 0xFF);
      else
        ForwardKey(&event);
      break;
    default: break;
  }
}

void IGraphicsX11::HandleKey(void* e)
{
  XKeyEvent& key = static_cast<XEvent*>(e)->xkey;
  char text[8] = {};
  KeySym sym = 0;
  const int n = XLookupString(&key, text, sizeof text - 1, &sym, nullptr);
  if (TextEntryOpen())
  {
    if (sym == XK_Return || sym == XK_KP_Enter) SetTextEntryState(kTextEntryCommit);
    else if (sym == XK_Escape) SetTextEntryState(kTextEntryCancel);
    else if (sym == XK_BackSpace) EntryKey(mEntry, '\b');
    else if (n == 1) EntryKey(mEntry, text[0]);
    DrawTextEntry();
    return;
  }
  const int code = EditorKeyCode(sym);
  if (code != kKeyNone && OnKeyDown(key.x, key.y, code))
    mKeysTaken.set(key.keycode & 0xFF);
  else
    ForwardKey(e);
}

void IGraphicsX11::ForwardKey(void* e)
{
  if (!mParent || !mDisplay) return;
  XEvent event = *static_cast<XEvent*>(e);
  XKeyEvent& key = event.xkey;
  Display* display = Dpy(mDisplay);
  XErrorTrap trap(display);  // the host's window may be gone
  ::Window child;
  XTranslateCoordinates(display, mWindow, mParent, key.x, key.y, &key.x, &key.y, &child);
  key.window = mParent;
  key.subwindow = 0;
  XSendEvent(display, mParent, True, event.type == KeyPress ? KeyPressMask : KeyReleaseMask, &event);
  XFlush(display);
}

IPopupMenu* IGraphicsX11::CreateIPopupMenu(IPopupMenu* menu, const IRECT& area)
{
  ReleaseMouseCapture();
  mButtonHeld = false;
  if (!menu || !mDisplay || !mWindow || menu->NItems() == 0) return nullptr;
  Display* display = Dpy(mDisplay);
  XErrorTrap trap(display);
  int x = 0, y = 0;
  ::Window child;
  XTranslateCoordinates(display, mWindow, DefaultRootWindow(display), area.L, area.B, &x, &y, &child);
  IPopupMenu* chosen = RunPopup(menu, x, y);
  for (int i = 0; i < GetNControls(); ++i) GetControl(i)->SetDirty(false);
  return chosen;
}

IPopupMenu* IGraphicsX11::RunPopup(IPopupMenu* menu, int x, int y)
{
  Display* display = Dpy(mDisplay);
  const int screen = DefaultScreen(display);
  IPopupMenuView view(menu);
  const int w = view.Width(), h = view.Height();
  // Kept on the screen: flipped above the area when it would run off the bottom.
  x = std::clamp(x, 0, std::max(0, DisplayWidth(display, screen) - w));
  if (y + h > DisplayHeight(display, screen)) y = std::max(0, y - h);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.event_mask = ExposureMask | ButtonPressMask | PointerMotionMask | KeyPressMask;
  const ::Window popup = XCreateWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(w),
                                       static_cast<unsigned>(h), 0, CopyFromParent, InputOutput, CopyFromParent,
                                       CWOverrideRedirect | CWEventMask, &attributes);
  XStoreName(display, popup, kPopupWindowName);
  XMapRaised(display, popup);
  LICE_MemBitmap pixels(w, h);
  XImage* image = ImageOver(display, &pixels);
  auto repaint = [&] {
    view.Draw(&pixels);
    XPutImage(display, popup, static_cast<GC>(mGC), image, 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XFlush(display);
  };
  XSync(display, False);
  XGrabPointer(display, popup, False, ButtonPressMask | PointerMotionMask, GrabModeAsync, GrabModeAsync, None, None,
               CurrentTime);
  XGrabKeyboard(display, popup, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  IPopupMenu* chosen = nullptr;
  for (bool open = true; open;)
  {
    XEvent event;
    XNextEvent(display, &event);
    if (event.xany.window != popup) continue;  // the editor waits until the menu is gone
    if (event.type == Expose) repaint();
    else if (event.type == MotionNotify)
    {
      const int row = view.ChoosableRowAt(event.xmotion.y);
      if (row != view.Hover()) view.SetHover(row), repaint();
    }
    else if (event.type == ButtonPress)
    {
      const XButtonEvent& b = event.xbutton;
      const bool inside = b.x >= 0 && b.y >= 0 && b.x < w && b.y < h;
      const int row = inside ? view.ChoosableRowAt(b.y) : -1;
      if (row >= 0) chosen = view.Choose(row);
      open = inside && row < 0;  // a click on a heading or separator keeps it open
    }
    else if (event.type == KeyPress && XLookupKeysym(&event.xkey, 0) == XK_Escape) open = false;
  }
  XUngrabKeyboard(display, CurrentTime);
  XUngrabPointer(display, CurrentTime);
  DestroyImageOver(image);
  XDestroyWindow(display, popup);
  XFlush(display);
  return chosen;
}

void IGraphicsX11::CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* initial,
                                   IParam* param)
{
  if (!control || TextEntryOpen()) return;
  mEntry.Open(initial);
  mEntryRect = IRECT(rect.L, rect.T, rect.R + 1, rect.B + 1);
  mEntryStyle = text;
  mEntryStyle.mCached = nullptr;
  BeginTextEntry(control, param);
  SetTextEntryState(kTextEntryEditing);
  DrawTextEntry();
}

void IGraphicsX11::DestroyTextEntry()
{
  const IRECT was = mEntryRect;
  mEntry.Clear();
  mEntryRect = IRECT();
  for (int i = 0; i < GetNControls(); ++i)
    if (GetControl(i)->GetRECT().Intersects(was)) GetControl(i)->SetDirty(false);
}

void IGraphicsX11::DrawTextEntry()
{
  FillIRect(mEntryStyle.mTextEntryBGColor, mEntryRect);
  DrawRect(mEntryStyle.mTextEntryFGColor, mEntryRect);
  IText style = mEntryStyle;
  style.mColor = mEntryStyle.mTextEntryFGColor;
  IRECT inner(mEntryRect.L + 2, mEntryRect.T + 1, mEntryRect.R - 2, mEntryRect.B - 1);
  if (mEntry.selected)
  {
    // Selected text: drawn inverted, as edit boxes show a selection.
    FillIRect(mEntryStyle.mTextEntryFGColor, inner);
    IColor back = mEntryStyle.mTextEntryBGColor;
    back.A = 255;
    style.mColor = back;
  }
  DrawIText(style, mEntry.text.c_str(), inner);
  mEntryStyle.mCached = style.mCached;
  DrawScreen(mEntryRect);
}

int IGraphicsX11::Ask(const char* text, const char* caption, const std::vector<std::string>& answers)
{
  if (!mDisplay || !mWindow) return -1;
  IPopupMenu menu;
  if (caption && *caption) menu.AddItem(caption, IPopupMenu::kTitle);
  std::istringstream lines(text ? text : "");
  for (std::string line; std::getline(lines, line);) menu.AddItem(line, IPopupMenu::kTitle);
  menu.AddItem("", IPopupMenu::kSeparator);
  for (const std::string& answer : answers) menu.AddItem(answer);
  Display* display = Dpy(mDisplay);
  XErrorTrap trap(display);
  int x = 0, y = 0;
  ::Window child;
  XTranslateCoordinates(display, mWindow, DefaultRootWindow(display), Width() / 3, Height() / 3, &x, &y, &child);
  ReleaseMouseCapture();
  mButtonHeld = false;
  IPopupMenu* chosen = RunPopup(&menu, x, y);
  for (int i = 0; i < GetNControls(); ++i) GetControl(i)->SetDirty(false);
  if (!chosen) return -1;
  return chosen->GetChosenItemIdx() - (menu.NItems() - static_cast<int>(answers.size()));
}

bool IGraphicsX11::ShowMessageBox(const char* text, const char* caption, int)
{
  if (!mDisplay || !mWindow) return false;
  Ask(text, caption, {"OK"});
  return true;
}

namespace {
// The desktop's opener: the first of $BROWSER's entries, else xdg-open.
std::string UrlOpener()
{
  const char* browser = std::getenv("BROWSER");
  std::string first = browser ? std::string(browser).substr(0, std::string(browser).find(':')) : "";
  return first.empty() ? "xdg-open" : first;
}

// Runs the opener; it reports a failure by its exit status, and one still
// running after a while (a browser run in the foreground) has succeeded
// and is waited for elsewhere, so it leaves no zombie.
bool RunOpener(const char* url)
{
  const std::string opener = UrlOpener();
  char* const argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(url), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, opener.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  for (int waited = 0; waited < 2000; waited += 10)
  {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0) return true;  // the host reaps its children itself
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  return true;
}
}  // namespace

bool IGraphicsX11::OpenURL(const char* url, const char* title, const char* confirm, const char* error)
{
  if (!url || !*url) return false;
  if (confirm && Ask(confirm, title, {"yes", "no"}) != 0) return false;
  if (RunOpener(url)) return true;
  if (error) ShowMessageBox(error, title, 0);
  return false;
}
