// The VST3 bundle's editor as a Linux host shows it: a view attached to the
// host's X11 window, living on the host's run loop (its timer and its
// window connection), a click on it reaching the processor and the host.
#include <algorithm>

#include "editor/layout/ParamIds.h"
#include "tests/Vst3Rig.h"
#include "tests/X11Rig.h"  // X11 after the rest: its macros clash with their names

using namespace vst3;

namespace {
// The one window a parent holds, or 0.
Window OnlyChild(Display* d, Window parent)
{
  Window root, up, *children = nullptr;
  unsigned n = 0;
  XQueryTree(d, parent, &root, &up, &children, &n);
  const Window child = n == 1 ? children[0] : 0;
  if (children) XFree(children);
  return child;
}

bool Heard(const std::vector<vst3_host::HostContext::Edit>& edits, char kind, ParamID id)
{
  return std::any_of(edits.begin(), edits.end(), [&](const auto& e) { return e.kind == kind && e.id == id; });
}
}  // namespace

TEST(X11Window, Vst3EditorRunsOnTheHostsRunLoopAndAClickReachesTheProcessor)
{
  ParentWindow parent;
  if (!parent.window) GTEST_SKIP() << "no X display with XTest";
  Vst3Rig rig;
  ASSERT_TRUE(rig.Start()) << rig.error;
  vst3_host::RunLoop loop;
  vst3_host::PlugFrame frame(loop);
  IPlugView* view = rig.plug.controller->createView(kEditorView);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformX11), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformHwnd), kResultFalse);
  ViewRect size{};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.right - size.left, 815);
  EXPECT_EQ(size.bottom - size.top, 550);
  EXPECT_EQ(view->canResize(), kResultFalse);
  void* window = reinterpret_cast<void*>(parent.window);
  EXPECT_EQ(view->attached(window, kPlatformX11), kResultFalse) << "no run loop to live on";

  ASSERT_EQ(view->setFrame(&frame), kResultOk);
  for (int round = 0; round < 2; ++round)  // opened, closed and opened again
  {
    ASSERT_EQ(view->attached(window, kPlatformX11), kResultOk) << round;
    EXPECT_EQ(loop.timers.size(), 1u);
    EXPECT_EQ(loop.handlers.size(), 1u) << "the window's connection";
    const Window editor = OnlyChild(parent.display, parent.window);
    ASSERT_NE(editor, 0u);
    XWindowAttributes shown{};
    ASSERT_TRUE(PollUntil([&] { loop.RunOnce(5); },
                          [&] { return XGetWindowAttributes(parent.display, editor, &shown) && shown.map_state == IsViewable; }));
    int x = 0, y = 0;
    OriginOf(parent.display, editor, &x, &y);
    const double before = rig.plug.controller->getParamNormalized(kGapFill);
    rig.plug.host.edits.clear();
    ClickAt(parent.display, x + 705, y + 36);  // the input-fill switch
    ASSERT_TRUE(PollUntil([&] { loop.RunOnce(5); }, [&] { return Heard(rig.plug.host.edits, 'e', kGapFill); })) << round;
    EXPECT_TRUE(Heard(rig.plug.host.edits, 'b', kGapFill));
    EXPECT_TRUE(Heard(rig.plug.host.edits, 'p', kGapFill));
    EXPECT_NE(rig.plug.controller->getParamNormalized(kGapFill), before) << "the processor took the change";
    rig.Run(64);
    ASSERT_EQ(view->removed(), kResultOk);
    EXPECT_TRUE(loop.timers.empty() && loop.handlers.empty());
    EXPECT_EQ(OnlyChild(parent.display, parent.window), 0u);
  }
  view->release();
}
