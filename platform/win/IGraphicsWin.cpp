#include "platform/win/IGraphicsWin.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "frame/IParam.h"
#include "platform/win/Module.h"

namespace {
constexpr UINT_PTR kTimerId = 2;
constexpr int kEditId = 99;
constexpr LONG_PTR kEditMarker = 0xDEADF00B;
constexpr const wchar_t* kWindowClass = L"IPlugWndClass";

// The process-wide count of open editors, which owns the window class.
std::mutex gClassLock;
int gOpenWindows = 0;

bool RegisterEditorClass(HINSTANCE instance, WNDPROC proc)
{
  std::lock_guard<std::mutex> lock(gClassLock);
  if (gOpenWindows++ > 0) return true;
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kWindowClass;
  return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void ReleaseEditorClass(HINSTANCE instance)
{
  std::lock_guard<std::mutex> lock(gClassLock);
  if (gOpenWindows > 0 && --gOpenWindows == 0) UnregisterClassW(kWindowClass, instance);
}

IMouseMod ModsOf(WPARAM wParam)
{
  IMouseMod mod;
  mod.L = (wParam & MK_LBUTTON) != 0;
  mod.R = (wParam & MK_RBUTTON) != 0;
  mod.S = (wParam & MK_SHIFT) != 0;
  mod.C = (wParam & MK_CONTROL) != 0;
  mod.A = GetKeyState(VK_MENU) < 0;
  return mod;
}

int EditorKeyCode(WPARAM key)
{
  if (key == VK_SPACE) return IGraphics::kKeySpace;
  if (key == VK_UP) return IGraphics::kKeyUp;
  if (key == VK_DOWN) return IGraphics::kKeyDown;
  if (key == VK_LEFT) return IGraphics::kKeyLeft;
  if (key == VK_RIGHT) return IGraphics::kKeyRight;
  if (key >= '0' && key <= '9') return IGraphics::kKeyDigit0 + static_cast<int>(key - '0');
  if (key >= 'A' && key <= 'Z') return IGraphics::kKeyLetterA + static_cast<int>(key - 'A');
  return IGraphics::kKeyNone;
}

// Native menu items numbered depth first from 1; the identifier maps back
// to the menu that holds the item and its index there.
HMENU BuildMenu(IPopupMenu* menu, int* nextId)
{
  HMENU native = CreatePopupMenu();
  for (int i = 0; i < menu->NItems(); ++i)
  {
    IPopupMenu::Item& item = menu->GetItem(i);
    const std::wstring label = Widen(menu->ItemLabel(i));
    if (item.flags & IPopupMenu::kSeparator)
    {
      AppendMenuW(native, MF_SEPARATOR, 0, nullptr);
      ++*nextId;
      continue;
    }
    if (item.submenu)
    {
      ++*nextId;
      AppendMenuW(native, MF_POPUP, reinterpret_cast<UINT_PTR>(BuildMenu(item.submenu.get(), nextId)), label.c_str());
      continue;
    }
    UINT flags = MF_STRING;
    if (item.flags & IPopupMenu::kDisabled) flags |= MF_GRAYED;
    if (item.flags & IPopupMenu::kTitle) flags |= MF_DISABLED;
    if (item.flags & IPopupMenu::kChecked) flags |= MF_CHECKED;
    AppendMenuW(native, flags, static_cast<UINT_PTR>((*nextId)++), label.c_str());
  }
  return native;
}

IPopupMenu* FindChosen(IPopupMenu* menu, int id, int* nextId)
{
  for (int i = 0; i < menu->NItems(); ++i)
  {
    IPopupMenu::Item& item = menu->GetItem(i);
    if ((*nextId)++ == id && !item.submenu)
    {
      menu->SetChosenItemIdx(i);
      return menu;
    }
    if (item.submenu)
      if (IPopupMenu* found = FindChosen(item.submenu.get(), id, nextId)) return found;
  }
  return nullptr;
}

}  // namespace

IGraphicsWin::IGraphicsWin(IPlugBase* plug, int w, int h, int fps) : IGraphics(plug, w, h, fps) {}

IGraphicsWin::~IGraphicsWin()
{
  CloseWindow();
}

bool IGraphicsWin::OpenWindow(void* parentWindow)
{
  RECT kept{0, 0, Width(), Height()};
  const bool keep = mWnd != nullptr;
  if (keep)
  {
    GetWindowRect(mWnd, &kept);
    MapWindowPoints(HWND_DESKTOP, GetParent(mWnd), reinterpret_cast<POINT*>(&kept), 2);
    CloseWindow();
  }
  mParentWnd = static_cast<HWND>(parentWindow);
  if (!mHInstance) mHInstance = static_cast<HINSTANCE>(VeskModule());
  if (!GetDrawBitmap()) PrepDraw();
  if (!RegisterEditorClass(mHInstance, &WndProc))
  {
    ReleaseEditorClass(mHInstance);
    return false;
  }
  mWnd = CreateWindowW(kWindowClass, L"IPlug", WS_CHILD | WS_VISIBLE, kept.left, kept.top, kept.right - kept.left,
                       kept.bottom - kept.top, mParentWnd, nullptr, mHInstance, nullptr);
  if (!mWnd)
  {
    ReleaseEditorClass(mHInstance);
    return false;
  }
  SetWindowLongPtrW(mWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetTimer(mWnd, kTimerId, static_cast<UINT>(1000 / std::max(1, FPS())), nullptr);
  SetFocus(mWnd);
  for (int i = 0; i < GetNControls(); ++i) GetControl(i)->SetDirty(false);
  return true;
}

void IGraphicsWin::CloseWindow()
{
  if (!mWnd) return;
  if (mParamEditWnd)
  {
    DestroyTextEntry();
    SetTextEntryState(kTextEntryNone);
  }
  KillTimer(mWnd, kTimerId);
  SetWindowLongPtrW(mWnd, GWLP_USERDATA, 0);
  DestroyWindow(mWnd);
  mWnd = nullptr;
  mTrackingLeave = false;
  ReleaseEditorClass(mHInstance);
}

LRESULT CALLBACK IGraphicsWin::WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  auto* self = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!self || self->mWnd != wnd) return DefWindowProcW(wnd, msg, wParam, lParam);
  return self->Handle(msg, wParam, lParam);
}

LRESULT IGraphicsWin::Handle(UINT msg, WPARAM wParam, LPARAM lParam)
{
  if (mParamEditWnd && TextEntryState() == kTextEntryEditing)
  {
    // While typing, a click anywhere in the editor cancels; nothing else runs.
    if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) SetTextEntryState(kTextEntryCancel);
    return DefWindowProcW(mWnd, msg, wParam, lParam);
  }
  switch (msg)
  {
    case WM_TIMER:
      if (wParam == kTimerId) OnTimer();
      return 0;
    case WM_PAINT: Paint(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_CLOSE: CloseWindow(); return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: return 0;
    case WM_KEYDOWN:
    case WM_KEYUP: HandleKey(msg, wParam, lParam); return 0;
    case WM_CTLCOLOREDIT:
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    default:
      if (HandleMouse(msg, wParam, lParam)) return 0;
      return DefWindowProcW(mWnd, msg, wParam, lParam);
  }
}

bool IGraphicsWin::HandleMouse(UINT msg, WPARAM wParam, LPARAM lParam)
{
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  IMouseMod mod = ModsOf(wParam);
  switch (msg)
  {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (mParamEditWnd)
      {
        OnButtonPress(x, y, &mod);
        return true;
      }
      SetCapture(mWnd);
      OnMouseDown(x, y, &mod);
      return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      ReleaseCapture();
      if (!mParamEditWnd) OnMouseUp(x, y, &mod);
      return true;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      if (mParamEditWnd) OnButtonPress(x, y, &mod);
      else if (OnMouseDblClick(x, y, &mod)) SetCapture(mWnd);
      return true;
    case WM_MOUSEMOVE:
      if ((wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() == mWnd)
      {
        if (!mParamEditWnd) OnMouseDrag(x, y, &mod);
      }
      else if (OnMouseOver(x, y, &mod) && !mTrackingLeave)
      {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, mWnd, 0};
        mTrackingLeave = TrackMouseEvent(&track) != 0;
      }
      return true;
    case WM_MOUSELEAVE:
      mTrackingLeave = false;
      OnMouseOut();
      return true;
    case WM_MOUSEWHEEL:
    {
      if (mParamEditWnd)
      {
        SetTextEntryState(kTextEntryCancel);
        return true;
      }
      POINT p{x, y};
      ScreenToClient(mWnd, &p);
      OnMouseWheel(p.x, p.y, &mod, GET_WHEEL_DELTA_WPARAM(wParam));
      return true;
    }
    default: return false;
  }
}

void IGraphicsWin::HandleKey(UINT msg, WPARAM wParam, LPARAM lParam)
{
  const int code = EditorKeyCode(wParam);
  if (msg == WM_KEYDOWN && code != kKeyNone)
  {
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(mWnd, &p);
    if (OnKeyDown(p.x, p.y, code)) return;
  }
  PassToHost(msg, wParam, lParam);
}

void IGraphicsWin::PassToHost(UINT msg, WPARAM wParam, LPARAM lParam)
{
  HWND top = mParentWnd ? GetAncestor(mParentWnd, GA_ROOT) : nullptr;
  if (top && top != mWnd) SendMessageW(top, msg, wParam, lParam);
  DefWindowProcW(mWnd, msg, wParam, lParam);
}

void IGraphicsWin::OnTimer()
{
  const IRECT dirty = OnTimerTick();
  if (dirty.Empty()) return;
  RECT r{dirty.L, dirty.T, dirty.R, dirty.B};
  InvalidateRect(mWnd, &r, FALSE);
  if (mParamEditWnd && TextEntryControl())
  {
    // The entry box is not painted over.
    const IRECT c = TextEntryControl()->GetRECT();
    RECT keep{c.L, c.T, c.R, c.B};
    ValidateRect(mWnd, &keep);
    SetTextEntryState(kTextEntryUpdate);
  }
  UpdateWindow(mWnd);
}

void IGraphicsWin::Paint()
{
  RECT update;
  if (!GetUpdateRect(mWnd, &update, FALSE))
  {
    ValidateRect(mWnd, nullptr);
    return;
  }
  PAINTSTRUCT ps;
  mPaintDC = BeginPaint(mWnd, &ps);
  Draw(IRECT(update.left, update.top, update.right, update.bottom));
  EndPaint(mWnd, &ps);
  mPaintDC = nullptr;
}

void IGraphicsWin::DrawScreen(const IRECT& rect)
{
  LICE_IBitmap* bitmap = GetDrawBitmap();
  if (!mWnd || !bitmap || !bitmap->getBits()) return;
  const int l = std::max(0, rect.L), t = std::max(0, rect.T);
  const int w = std::min(bitmap->getWidth(), rect.R) - l, h = std::min(bitmap->getHeight(), rect.B) - t;
  if (w <= 0 || h <= 0) return;
  // The rect's rows alone, as a top-down bitmap drawn whole in height, so
  // that no bottom-up source origin comes into play.
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), bitmap->getRowSpan(), -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC dc = mPaintDC ? mPaintDC : GetDC(mWnd);
  SetDIBitsToDevice(dc, l, t, static_cast<DWORD>(w), static_cast<DWORD>(h), l, 0, 0, static_cast<UINT>(h),
                    bitmap->pixel(0, t), &info, DIB_RGB_COLORS);
  if (!mPaintDC) ReleaseDC(mWnd, dc);
}

IPopupMenu* IGraphicsWin::CreateIPopupMenu(IPopupMenu* menu, const IRECT& area)
{
  ReleaseMouseCapture();
  ReleaseCapture();
  if (!menu || !mWnd) return nullptr;
  int nextId = 1;
  HMENU native = BuildMenu(menu, &nextId);
  POINT at{area.L, area.B};
  ClientToScreen(mWnd, &at);
  const int id = static_cast<int>(TrackPopupMenu(native, TPM_LEFTALIGN | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0,
                                                 mWnd, nullptr));
  DestroyMenu(native);
  InvalidateRect(mWnd, nullptr, FALSE);
  if (id <= 0) return nullptr;
  nextId = 1;
  return FindChosen(menu, id, &nextId);
}

void IGraphicsWin::CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* initial,
                                   IParam* param)
{
  if (!control || !mWnd || mParamEditWnd) return;
  static const DWORD kAlign[] = {ES_LEFT, ES_CENTER, ES_RIGHT};
  mParamEditWnd = CreateWindowW(L"EDIT", Widen(initial ? initial : "").c_str(),
                                WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL | kAlign[text.mAlign], rect.L,
                                rect.T, rect.W() + 1, rect.H() + 1, mWnd, reinterpret_cast<HMENU>(kEditId),
                                mHInstance, nullptr);
  if (!mParamEditWnd) return;
  mEditFont = CreateFontW(text.mSize, 0, 0, 0, text.mStyle == IText::kStyleBold ? FW_BOLD : 0,
                          text.mStyle == IText::kStyleItalic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, Widen(text.mFont).c_str());
  SendMessageW(mParamEditWnd, WM_SETFONT, reinterpret_cast<WPARAM>(mEditFont), FALSE);
  SendMessageW(mParamEditWnd, EM_LIMITTEXT, static_cast<WPARAM>(control->GetTextEntryLength()), 0);
  SendMessageW(mParamEditWnd, EM_SETSEL, 0, -1);
  SetFocus(mParamEditWnd);
  mDefEditProc = reinterpret_cast<WNDPROC>(
    SetWindowLongPtrW(mParamEditWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc)));
  SetWindowLongPtrW(mParamEditWnd, GWLP_USERDATA, kEditMarker);
  BeginTextEntry(control, param);
  SetTextEntryState(kTextEntryEditing);
}

LRESULT CALLBACK IGraphicsWin::EditProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  auto* self = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(GetParent(wnd), GWLP_USERDATA));
  if (!self || self->mParamEditWnd != wnd) return DefWindowProcW(wnd, msg, wParam, lParam);
  return self->HandleEdit(wnd, msg, wParam, lParam);
}

LRESULT IGraphicsWin::HandleEdit(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
  switch (msg)
  {
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) return SetTextEntryState(kTextEntryCommit), 0;
      if (wParam == VK_ESCAPE) return SetTextEntryState(kTextEntryCancel), 0;
      break;
    case WM_SETFOCUS: SetTextEntryState(kTextEntryEditing); break;
    case WM_KILLFOCUS: SetTextEntryState(kTextEntryCommit); break;
    case WM_GETDLGCODE:
      if (!mEdParam) return CallWindowProcW(mDefEditProc, wnd, msg, wParam, lParam) | DLGC_WANTALLKEYS;
      break;
    case WM_CHAR:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) return 0;  // handled on key down, no beep
      if (mEdParam && wParam != VK_BACK && (wParam > 0x7F || !TextEntryAccepts(mEdParam, static_cast<char>(wParam))))
        return 0;
      break;
    case WM_COMMAND:
      if (HIWORD(wParam) == CBN_SELCHANGE) return SetTextEntryState(kTextEntryCommit), 0;
      break;
    default: break;
  }
  return CallWindowProcW(mDefEditProc, wnd, msg, wParam, lParam);
}

std::string IGraphicsWin::TextEntryText()
{
  if (!mParamEditWnd) return {};
  wchar_t text[33] = {};
  const int n = GetWindowTextW(mParamEditWnd, text, 33);
  return Narrow(text, n);
}

void IGraphicsWin::DestroyTextEntry()
{
  if (!mParamEditWnd) return;
  SetWindowLongPtrW(mParamEditWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mDefEditProc));
  DestroyWindow(mParamEditWnd);
  mParamEditWnd = nullptr;
  if (mEditFont) DeleteObject(mEditFont);
  mEditFont = nullptr;
  if (mWnd) SetFocus(mWnd);
}
