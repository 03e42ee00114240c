// The Windows editor inside a host's window: opened through the library's
// dispatcher, clicked through window messages, read back as a parameter
// change, and captured from the screen into a PNG.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "editor/layout/ParamIds.h"
#include "raster/lice.h"
#include "tools/PluginHost.h"
#include "tools/Vst3Host.h"

namespace {

// Runs the window messages of this thread for a while.
void Pump(int milliseconds)
{
  const DWORD until = GetTickCount() + static_cast<DWORD>(milliseconds);
  while (GetTickCount() < until)
  {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  }
}

HWND MakeHostWindow()
{
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VeskTestHost";
  RegisterClassW(&wc);
  HWND host = CreateWindowW(L"VeskTestHost", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 650, nullptr,
                            nullptr, wc.hInstance, nullptr);
  Pump(100);
  return host;
}

void Click(HWND window, int x, int y)
{
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// The window's pixels as the screen shows them.
bool Capture(HWND window, LICE_MemBitmap* into)
{
  RECT r;
  GetClientRect(window, &r);
  into->resize(r.right, r.bottom);
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = section && bits;
  if (ok)
  {
    HGDIOBJ old = SelectObject(memory, section);
    ok = BitBlt(memory, 0, 0, r.right, r.bottom, screen, 0, 0, SRCCOPY) != 0;
    GdiFlush();
    const auto* p = static_cast<const LICE_pixel*>(bits);
    for (int y = 0; y < r.bottom; ++y)
      for (int x = 0; x < r.right; ++x) *into->pixel(x, y) = p[y * r.right + x] | 0xFF000000u;
    SelectObject(memory, old);
    DeleteObject(section);
  }
  DeleteDC(memory);
  ReleaseDC(window, screen);
  return ok;
}

// The plug-in library loaded and started as a host does it.
testing::AssertionResult Started(PluginHost& host)
{
  std::string error;
  if (!host.Load(VESK_SO, &error)) return testing::AssertionFailure() << error;
  host.Start(48000, 256);
  return testing::AssertionSuccess();
}

std::vector<float> Parameters(PluginHost& host)
{
  std::vector<float> values(static_cast<size_t>(host.NumParams()));
  for (int p = 0; p < host.NumParams(); ++p) values[static_cast<size_t>(p)] = host.GetParameter(p);
  return values;
}

}  // namespace

TEST(WinEditor, OpensInAHostWindowTakesAClickAndPaints)
{
  PluginHost host;
  ASSERT_TRUE(Started(host));
  int width = 0, height = 0;
  ASSERT_TRUE(host.EditorSize(&width, &height));
  EXPECT_EQ(width, 815);
  EXPECT_EQ(height, 550);

  HWND parent = MakeHostWindow();
  ASSERT_NE(parent, nullptr);
  for (int round = 0; round < 2; ++round)
  {
    ASSERT_EQ(host.Dispatch(vst2::effEditOpen, 0, 0, parent), 1) << round;
    HWND editor = FindWindowExW(parent, nullptr, L"IPlugWndClass", nullptr);
    ASSERT_NE(editor, nullptr) << "the editor is a child of the host's window";
    wchar_t title[16] = {};
    GetWindowTextW(editor, title, 16);
    EXPECT_EQ(std::wstring(title), L"IPlug");
    RECT r;
    GetClientRect(editor, &r);
    EXPECT_EQ(r.right, 815);
    EXPECT_EQ(r.bottom, 550);
    Pump(300);  // the timer's first ticks paint everything

    const std::vector<float> before = Parameters(host);
    Click(editor, 705, 36);  // the input-fill switch
    int changed = -1;
    for (int tries = 0; tries < 200 && changed < 0; ++tries)
    {
      Pump(10);
      const std::vector<float> now = Parameters(host);
      for (size_t p = 0; p < now.size(); ++p)
        if (now[p] != before[p]) changed = static_cast<int>(p);
    }
    ASSERT_GE(changed, 0) << "round " << round;
    EXPECT_EQ(host.ParamName(changed), "input fills gaps");
    EXPECT_EQ(host.GetParameter(changed), 1.0f - before[static_cast<size_t>(changed)]);

    Pump(200);
    LICE_MemBitmap shot;
    ASSERT_TRUE(Capture(editor, &shot));
    int distinct = 0;
    const LICE_pixel first = *shot.pixel(0, 0);
    for (int y = 0; y < shot.getHeight(); y += 7)
      for (int x = 0; x < shot.getWidth(); x += 7) distinct += *shot.pixel(x, y) != first;
    EXPECT_GT(distinct, 1000) << "the editor's pictures reached the window";
    if (round == 0)
    {
      CreateDirectoryA(VESK_SHOTS, nullptr);
      EXPECT_TRUE(LICE_WritePNG(VESK_SHOTS "/windows-editor.png", &shot, true));
    }
    host.Dispatch(vst2::effEditClose);
    EXPECT_EQ(FindWindowExW(parent, nullptr, L"IPlugWndClass", nullptr), nullptr) << "closing removes the editor";
  }
  DestroyWindow(parent);
}

// The VST3 bundle's view in a host window: attached, clicked, heard by the
// host as an edit, removed, and attached again.
TEST(WinEditor, Vst3ViewOpensInAHostWindowAndAClickReachesTheHost)
{
  vst3_host::Vst3Instance plug;
  std::string error;
  ASSERT_TRUE(plug.Load(VESK_VST3_BUNDLE, &error)) << error;
  ASSERT_TRUE(plug.Setup(48000.0, 256, false) && plug.SetActive(true));
  vst3::IPlugView* view = plug.controller->createView(vst3::kEditorView);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->isPlatformTypeSupported(vst3::kPlatformHwnd), vst3::kResultTrue);
  HWND parent = MakeHostWindow();
  for (int round = 0; round < 2; ++round)
  {
    ASSERT_EQ(view->attached(parent, vst3::kPlatformHwnd), vst3::kResultOk) << round;
    HWND editor = FindWindowExW(parent, nullptr, L"IPlugWndClass", nullptr);
    ASSERT_NE(editor, nullptr);
    Pump(300);
    plug.host.edits.clear();
    Click(editor, 705, 36);  // the input-fill switch
    for (int tries = 0; tries < 200 && plug.host.edits.empty(); ++tries) Pump(10);
    ASSERT_FALSE(plug.host.edits.empty()) << round;
    EXPECT_EQ(plug.host.edits.front().kind, 'b');
    EXPECT_EQ(plug.host.edits.front().id, static_cast<vst3::ParamID>(kGapFill));
    EXPECT_EQ(view->removed(), vst3::kResultOk);
    EXPECT_EQ(FindWindowExW(parent, nullptr, L"IPlugWndClass", nullptr), nullptr);
  }
  view->release();
  DestroyWindow(parent);
}

TEST(WinEditor, TextEntryFiltersKeysAndCommitsOnEnter)
{
  PluginHost host;
  ASSERT_TRUE(Started(host));
  const int param = host.FindParam("base len nom");
  ASSERT_GE(param, 0);
  HWND parent = MakeHostWindow();
  ASSERT_EQ(host.Dispatch(vst2::effEditOpen, 0, 0, parent), 1);
  HWND editor = FindWindowExW(parent, nullptr, L"IPlugWndClass", nullptr);
  ASSERT_NE(editor, nullptr);
  Pump(200);
  Click(editor, 56, 328);  // the base length's numerator
  HWND entry = nullptr;
  for (int tries = 0; tries < 100 && !entry; ++tries)
  {
    Pump(10);
    entry = FindWindowExW(editor, nullptr, L"EDIT", nullptr);
  }
  ASSERT_NE(entry, nullptr) << "a click on the number opens an edit box";
  EXPECT_EQ(GetDlgCtrlID(entry), 99);
  for (wchar_t c : {L'x', L'1', L'.', L'2'}) SendMessageW(entry, WM_CHAR, c, 0);
  wchar_t typed[16] = {};
  GetWindowTextW(entry, typed, 16);
  EXPECT_EQ(std::wstring(typed), L"12") << "an integer takes digits only";
  SendMessageW(entry, WM_KEYDOWN, VK_RETURN, 0);
  for (int tries = 0; tries < 100 && FindWindowExW(editor, nullptr, L"EDIT", nullptr); ++tries) Pump(10);
  EXPECT_EQ(FindWindowExW(editor, nullptr, L"EDIT", nullptr), nullptr) << "Enter closes the box";
  EXPECT_EQ(host.ParamDisplay(param), "12");
  host.Dispatch(vst2::effEditClose);
  DestroyWindow(parent);
}

// Hosts that destroy their window before closing the editor, or hand over a
// window that no longer exists.
TEST(WinEditor, SurvivesAParentDestroyedFirstAndAParentThatIsGone)
{
  PluginHost host;
  ASSERT_TRUE(Started(host));
  HWND parent = MakeHostWindow();
  ASSERT_EQ(host.Dispatch(vst2::effEditOpen, 0, 0, parent), 1);
  Pump(100);
  DestroyWindow(parent);
  for (int i = 0; i < 10; ++i)
  {
    host.SetParameter(35, i % 2 ? 1.0f : 0.0f);
    host.Dispatch(vst2::effEditIdle);
    Pump(10);
  }
  host.Dispatch(vst2::effEditClose);
  EXPECT_EQ(host.Dispatch(vst2::effEditOpen, 0, 0, parent), 0) << "a window that is gone";
  host.Dispatch(vst2::effEditClose);
  HWND another = MakeHostWindow();
  EXPECT_EQ(host.Dispatch(vst2::effEditOpen, 0, 0, another), 1) << "and then a real one";
  EXPECT_NE(FindWindowExW(another, nullptr, L"IPlugWndClass", nullptr), nullptr);
  host.Dispatch(vst2::effEditClose);
  DestroyWindow(another);
}
