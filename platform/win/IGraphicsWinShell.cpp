// The editor's calls into the Windows shell: message boxes, links, the
// clipboard, the cursor, folders and the file and colour dialogs.
#include "platform/win/IGraphicsWin.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win/Module.h"

namespace {
std::string FolderOf(const std::wstring& path)
{
  const size_t slash = path.find_last_of(L"\\/");
  return Narrow(path.substr(0, slash == std::wstring::npos ? 0 : slash + 1).c_str());
}

std::string ModuleFolder(HMODULE module)
{
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  return FolderOf(path);
}

std::string KnownFolder(int csidl)
{
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path))) return {};
  return Narrow(path) + "\\";
}

UINT_PTR CALLBACK TitleHook(HWND dialog, UINT msg, WPARAM, LPARAM lParam)
{
  if (msg == WM_INITDIALOG)
  {
    const auto* choose = reinterpret_cast<const CHOOSECOLORW*>(lParam);
    if (choose && choose->lCustData) SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(choose->lCustData));
  }
  return 0;
}
}  // namespace

HWND IGraphicsWin::MainWindow()
{
  if (mMainWnd && IsWindow(mMainWnd)) return mMainWnd;
  if (mParentWnd)
  {
    mMainWnd = GetAncestor(mParentWnd, GA_ROOT);
    wchar_t name[256] = {};
    GetClassNameW(mMainWnd, name, 256);
    mMainWndClass = Narrow(name);
    return mMainWnd;
  }
  if (mMainWndClass.empty()) return nullptr;
  struct Search { std::wstring cls; HWND found; } search{Widen(mMainWndClass), nullptr};
  EnumWindows(
    [](HWND w, LPARAM p) -> BOOL {
      auto* s = reinterpret_cast<Search*>(p);
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      wchar_t name[256] = {};
      GetClassNameW(w, name, 256);
      if (pid == GetCurrentProcessId() && s->cls == name) return s->found = w, FALSE;
      return TRUE;
    },
    reinterpret_cast<LPARAM>(&search));
  return mMainWnd = search.found;
}

bool IGraphicsWin::ShowMessageBox(const char* text, const char* caption, int type)
{
  return MessageBoxW(MainWindow(), Widen(text ? text : "").c_str(), Widen(caption ? caption : "").c_str(),
                     static_cast<UINT>(type)) != 0;
}

bool IGraphicsWin::OpenURL(const char* url, const char* title, const char* confirm, const char* error)
{
  if (!url) return false;
  if (confirm && MessageBoxW(mWnd, Widen(confirm).c_str(), Widen(title ? title : "").c_str(), MB_YESNO) != IDYES)
    return false;
  DWORD state = 0;
  if (InternetGetConnectedState(&state, 0) &&
      reinterpret_cast<INT_PTR>(ShellExecuteW(mWnd, L"open", Widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32)
    return true;
  if (error) MessageBoxW(mWnd, Widen(error).c_str(), Widen(title ? title : "").c_str(), MB_OK);
  return false;
}

bool IGraphicsWin::GetTextFromClipboard(std::string* out)
{
  out->clear();
  if (!OpenClipboard(mWnd)) return false;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data)))
    {
      *out = Narrow(text);
      GlobalUnlock(data);
      ok = true;
    }
  CloseClipboard();
  return ok;
}

void IGraphicsWin::HideMouseCursor()
{
  if (mCursorHidden) return;
  POINT p{};
  GetCursorPos(&p);
  mHiddenCursorX = p.x, mHiddenCursorY = p.y;
  ShowCursor(FALSE);
  mCursorHidden = true;
}

void IGraphicsWin::ShowMouseCursor()
{
  if (!mCursorHidden) return;
  SetCursorPos(mHiddenCursorX, mHiddenCursorY);
  ShowCursor(TRUE);
  mCursorHidden = false;
}

void IGraphicsWin::HostPath(std::string* out) { *out = ModuleFolder(nullptr); }
void IGraphicsWin::PluginPath(std::string* out) { *out = ModuleFolder(mHInstance); }
void IGraphicsWin::DesktopPath(std::string* out) { *out = KnownFolder(CSIDL_DESKTOPDIRECTORY); }

void IGraphicsWin::AppSupportPath(std::string* out, bool system)
{
  *out = KnownFolder(system ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA);
}

void IGraphicsWin::PromptForFile(std::string* filename, EFileAction action, std::string* dir, const char* extensions)
{
  if (!mWnd)
  {
    filename->clear();
    return;
  }
  std::string folder = dir ? *dir : std::string();
  if (folder.empty()) DesktopPath(&folder);
  // "*.a;*.b" from the blank-separated list, in a 255-character filter.
  std::string patterns, defaultExt;
  for (const char* p = extensions ? extensions : ""; *p;)
  {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end && *end != ' ') ++end;
    if (end > p)
    {
      const std::string ext(p, end);
      if (defaultExt.empty()) defaultExt = ext.substr(0, 15);
      patterns += (patterns.empty() ? "*." : ";*.") + ext;
    }
    p = end;
  }
  std::wstring filter = Widen(patterns.substr(0, 127));
  filter += L'\0' + filter + L'\0';
  const std::wstring initialDir = Widen(folder), ext = Widen(defaultExt);
  std::vector<wchar_t> chosen(MAX_PATH, L'\0');
  const std::wstring initial = Widen(*filename);
  std::copy_n(initial.begin(), std::min<size_t>(initial.size(), MAX_PATH - 1), chosen.begin());
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = mWnd;
  ofn.lpstrFilter = patterns.empty() ? nullptr : filter.c_str();
  ofn.lpstrFile = chosen.data();
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = initialDir.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = action == kFileSave ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  const bool ok = action == kFileSave ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok)
  {
    filename->clear();
    return;
  }
  *filename = Narrow(chosen.data());
  if (dir) *dir = FolderOf(chosen.data());
}

bool IGraphicsWin::PromptForColor(IColor* color, const char* prompt)
{
  if (!mWnd || !color) return false;
  if (!mCustomColors) mCustomColors = std::make_unique<std::array<COLORREF, 16>>();
  const std::wstring title = Widen(prompt ? prompt : "");
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = mWnd;
  cc.rgbResult = RGB(color->R, color->G, color->B);
  cc.lpCustColors = mCustomColors->data();
  cc.Flags = CC_FULLOPEN | CC_RGBINIT | CC_ENABLEHOOK;
  cc.lCustData = reinterpret_cast<LPARAM>(title.c_str());
  cc.lpfnHook = TitleHook;
  if (!ChooseColorW(&cc)) return false;
  color->R = GetRValue(cc.rgbResult);
  color->G = GetGValue(cc.rgbResult);
  color->B = GetBValue(cc.rgbResult);
  return true;
}
