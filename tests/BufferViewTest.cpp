// The buffer view: tabs, requests, zoom, scroll, selection drags and the
// waveform of a buffer as it records.
#include <gtest/gtest.h>

#include "tests/EditorRig.h"

namespace {
int TabX(const IBufTabsZR& view, int tab)
{
  return (view.TabRect(tab).L + view.TabRect(tab).R) / 2;
}
int TabY(const IBufTabsZR& view, int tab)
{
  return view.TabRect(tab).B - 3;
}
}  // namespace

TEST(BufferView, GeometryAndTabColours)
{
  EditorRig rig;
  EXPECT_EQ(rig.view.WaveRect(), IRECT(130, 92, 610, 255));
  EXPECT_EQ(rig.view.TabRect(0).L, 122);
  EXPECT_EQ(rig.view.TabRect(31).R, 618);
  EXPECT_EQ(rig.view.TabRect(0).T, 65) << "the current tab reaches the top";
  EXPECT_GT(rig.view.TabRect(1).T, 65);
  for (int i = 1; i < 32; ++i) EXPECT_EQ(rig.view.TabRect(i).L, rig.view.TabRect(i - 1).R);
  // Pair 1 (148, 0) colours tab 0; tabs 12..23 swap the pair.
  EXPECT_EQ(rig.view.TabColour(0, 0), rig.view.TabColour(12, 1));
  EXPECT_EQ(rig.view.TabColour(0, 1), rig.view.TabColour(12, 0));
  EXPECT_EQ(rig.view.TabColour(0, 0), rig.view.TabColour(24, 0));
  EXPECT_EQ(rig.view.TabColour(0, 1).A, 127);
  EXPECT_EQ(rig.view.TabColour(0, 1), IColor(127, 255, 145, 145)) << "hue 0 at lightness 200";
}

TEST(BufferView, ClicksOnTabsPickAndRequest)
{
  EditorRig rig;
  rig.Click(TabX(rig.view, 5), TabY(rig.view, 5));
  EXPECT_EQ(rig.view.CurrentTab(), 5);
  EXPECT_EQ(rig.Value(kPickedBuf), 6.0);
  EXPECT_EQ(rig.plug->Core().tabs().pickedTab, 5);
  std::vector<double> requests;
  for (int i = 0; i < 3; ++i)
  {
    rig.Click(TabX(rig.view, 5), TabY(rig.view, 5));
    requests.push_back(rig.Value(kRequestPicked));
  }
  EXPECT_EQ(requests, (std::vector<double>{1.0, 0.0, 1.0}));
  // The host picking a buffer moves the view.
  rig.Set(kPickedBuf, 9);
  EXPECT_EQ(rig.view.CurrentTab(), 8);
}

TEST(BufferView, WheelOverTheStripWrapsAround)
{
  EditorRig rig;
  rig.view.SelectTab(31, true);
  rig.Wheel(TabX(rig.view, 10), TabY(rig.view, 10), 1);
  EXPECT_EQ(rig.view.CurrentTab(), 0);
  rig.Wheel(TabX(rig.view, 10), TabY(rig.view, 10), -1);
  EXPECT_EQ(rig.view.CurrentTab(), 31);
  EXPECT_EQ(rig.Value(kPickedBuf), 32.0);
}

TEST(BufferView, ZoomAndScrollStayInsideTheBuffer)
{
  EditorRig rig;
  const int y = 150;
  rig.Wheel(300, y, 1, [] { IMouseMod m; m.S = true; return m; }());
  EXPECT_EQ(rig.view.ViewStart(0), 0.0) << "no scrolling at zoom 1";
  for (int i = 0; i < 60; ++i) rig.Wheel(300, y, 1);
  EXPECT_DOUBLE_EQ(rig.view.TimeZoom(0), rig.view.MaxZoom());
  EXPECT_NEAR(rig.view.MaxZoom(), 10.0 * rig.plug->Core().bufferLength() / 480, 1e-9);
  EXPECT_NEAR(rig.view.ViewEnd(0) - rig.view.ViewStart(0), 1.0 / rig.view.TimeZoom(0), 1e-12);
  for (int i = 0; i < 80; ++i) rig.Wheel(300, y, -1);
  EXPECT_EQ(rig.view.TimeZoom(0), 1.0);
  for (int i = 0; i < 3; ++i) rig.Wheel(300, y, 1);
  for (int i = 0; i < 200; ++i) rig.Wheel(300, y, 1, [] { IMouseMod m; m.S = true; return m; }());
  EXPECT_DOUBLE_EQ(rig.view.ViewEnd(0), 1.0);
  EXPECT_NEAR(rig.view.ViewStart(0), 1.0 - 1.0 / 3.375, 1e-9) << "scrolling keeps the width";
  for (int i = 0; i < 80; ++i) rig.Wheel(300, y, -1);
  EXPECT_EQ(rig.view.TimeZoom(0), 1.0);
  EXPECT_EQ(rig.view.ViewStart(0), 0.0);
  EXPECT_EQ(rig.view.ViewEnd(0), 1.0);
  IMouseMod ctrl;
  ctrl.C = true;
  rig.Wheel(300, y, 1, ctrl);
  EXPECT_DOUBLE_EQ(rig.view.AmpZoom(0), 1.5);
  for (int i = 0; i < 5; ++i) rig.Wheel(300, y, -1, ctrl);
  EXPECT_GE(rig.view.AmpZoom(0), 1.0) << "never below the floor";
}

TEST(BufferView, SelectionDragsKeepTheMinimumAndSwapMarkers)
{
  EditorRig rig;
  const double length = rig.plug->Core().bufferLength();
  IMouseMod right = EditorRig::Right();
  // A new selection at 0.9 with the old width 0.5 ends at 1.0.
  rig.Select(0.2, 0.7);
  const int x09 = 130 + static_cast<int>(0.9 * 480);
  rig.g.OnButtonPress(x09, 150, &right);
  EXPECT_TRUE(rig.view.Dragging());
  EXPECT_NEAR(rig.view.SelStart(0), 0.9, 1.0 / 480);
  EXPECT_EQ(rig.view.SelEnd(0), 1.0);
  rig.g.OnMouseUp(x09, 150, &right);
  EXPECT_NEAR(rig.Value(kSelStart), rig.view.SelStart(0), 1e-6) << "the plug-in follows";

  // Drag the end marker left past the start: the roles swap, 4 samples stay.
  rig.Select(0.4, 0.6);
  const int endX = 130 + static_cast<int>(0.6 * 480);
  rig.g.OnButtonPress(endX + 2, 150, &right);
  rig.g.OnMouseDrag(130 + static_cast<int>(0.2 * 480), 150, &right);
  rig.g.OnMouseUp(130 + static_cast<int>(0.2 * 480), 150, &right);
  EXPECT_LT(rig.view.SelStart(0), 0.3);
  EXPECT_GE((rig.view.SelEnd(0) - rig.view.SelStart(0)) * length, 4.0 - 1e-6);
  EXPECT_FALSE(rig.view.Dragging());
}

TEST(BufferView, LeftClickAimsThePlayheadWithinTheSelection)
{
  EditorRig rig;
  rig.host.automations.clear();
  rig.Click(130 + 240, 150);
  const double aim = rig.plug->GetParam(kPlayheadPos)->GetNormalized();
  EXPECT_NEAR(aim, (0.5 * 125 + 1) / 126, 0.01);
  ASSERT_FALSE(rig.host.automations.empty());
  EXPECT_EQ(rig.host.automations.back().index, kPlayheadPos);
}

TEST(BufferView, RecordingGrowsColumnsAndEmptyBuffersWaitForARefill)
{
  EditorRig rig;
  EXPECT_EQ(rig.view.StatusText(), "REFILL PENDING");
  rig.plug->GetParam(kPerfMode)->Set(0);
  rig.plug->OnParamChange(kPerfMode);
  rig.Play(60, 8);
  rig.g.Tick();
  const int picked = rig.plug->Core().tabs().pickedTab;
  ASSERT_GT(rig.plug->Core().buffer(picked).filled, 0);
  EXPECT_EQ(rig.view.StatusText(), "FILLING");
  const int early = rig.view.NColumns(picked);
  EXPECT_GT(early, 0);
  EXPECT_LT(early, 480);
  rig.Play(60, 40);
  rig.g.Tick();
  EXPECT_GT(rig.view.NColumns(picked), early) << "columns are appended as the buffer fills";
}

TEST(BufferView, CommonModeShowsTheCommonBuffer)
{
  EditorRig rig;
  rig.Play(60, 8);
  rig.ClickOn(kCommonBuf);
  ASSERT_TRUE(rig.plug->Core().commonMode());
  rig.Click(TabX(rig.view, 7), TabY(rig.view, 7));
  EXPECT_EQ(rig.view.CurrentTab(), 7);
  EXPECT_EQ(rig.view.StatusText(), "FILLING") << "tab 8 shows the common buffer, which is recording";
}

TEST(BufferView, SelectionsFollowTheStateAndTheHost)
{
  EditorRig rig;
  rig.Set(kSelEnd, 0.5);
  EXPECT_DOUBLE_EQ(rig.view.SelEnd(0), 0.5);
  ByteChunk chunk;
  ASSERT_TRUE(rig.plug->SerializeState(&chunk));
  EditorRig other;
  other.plug->UnserializeState(&chunk, 0);
  other.g.Tick();
  EXPECT_DOUBLE_EQ(other.view.SelEnd(0), 0.5);
  EXPECT_DOUBLE_EQ(other.Value(kSelEnd), 0.5);
}

TEST(BufferView, AHairlineVisibleRangeFromTheHostStillDraws)
{
  EditorRig rig;
  rig.Play(60, 40);
  rig.Set(kBufMinVisible, 0.5);
  rig.Set(kBufMaxVisible, 0.5 + 2e-9);  // a billion-fold zoom: selection edges lie far off the wave
  rig.g.Draw(IRECT(0, 0, 815, 550));
  EXPECT_GT(rig.view.TimeZoom(0), 1e8);
  rig.Set(kBufMaxVisible, 1.0);
  rig.Set(kBufMinVisible, 0.0);
  EXPECT_EQ(rig.view.TimeZoom(0), 1.0);
}

// A right-click in the wave starts a new selection there with the old
// width, to the right or to the left of the old one; the engine never holds
// a collapsed selection on the way, and the plug-in and the view agree on
// both edges afterwards.
TEST(BufferView, RightClickMovesTheSelectionAndKeepsItsWidth)
{
  for (const auto& [from, to, click] : {std::tuple{0.2, 0.4, 0.5}, std::tuple{0.6, 0.8, 0.1}})
  {
    EditorRig rig;
    rig.Select(from, to);
    double narrowest = 1.0;
    rig.host.onAutomate = [&](int) {
      const auto& tabs = rig.plug->Core().tabs();
      narrowest = std::min(narrowest, tabs.selEndFraction[0] - tabs.selStartFraction[0]);
    };
    IMouseMod right = EditorRig::Right();
    const int x = 130 + static_cast<int>(click * 480);
    rig.g.OnButtonPress(x, 150, &right);
    rig.g.Tick();  // a repaint between press and release picks up what changed
    rig.g.OnMouseUp(x, 150, &right);
    rig.g.Tick();
    EXPECT_NEAR(rig.Value(kSelStart), click, 1.0 / 480);
    EXPECT_NEAR(rig.Value(kSelEnd) - rig.Value(kSelStart), to - from, 1e-6);
    EXPECT_NEAR(rig.view.SelEnd(0) - rig.view.SelStart(0), to - from, 1e-6);
    EXPECT_GT(narrowest, 0.1) << "the selection collapsed on the way, clicked at " << click;
  }
}

// The current tab is drawn as requested while "request picked buf" is on,
// and as before once a note has used the request.
TEST(BufferView, TheRequestTabFollowsTheParameter)
{
  EditorRig rig;
  const int x = TabX(rig.view, 0), y = TabY(rig.view, 0);
  auto pixel = [&] { return *rig.g.GetDrawBitmap()->pixel(x, y - 3); };
  const auto plain = pixel();
  rig.Click(x, y);
  ASSERT_EQ(rig.Value(kRequestPicked), 1.0);
  EXPECT_NE(pixel(), plain);
  rig.Play(60, 1);
  rig.g.Tick();
  EXPECT_EQ(rig.Value(kRequestPicked), 0.0);
  EXPECT_EQ(pixel(), plain);
}

// The outer tabs' edges run straight down into the waveform's frame.
TEST(BufferView, TheCurrentTabsOutlineMeetsTheFrameWithoutAJog)
{
  EditorRig rig;
  for (int tab : {0, 31})
  {
    rig.view.SelectTab(tab, true);
    rig.g.Tick();
    const IRECT r = rig.view.TabRect(tab);
    auto at = [&](int x, int y) { return *rig.g.GetDrawBitmap()->pixel(x, y); };
    const LICE_pixel outline = at((r.L + r.R) / 2, r.T);
    const int edge = tab == 0 ? r.L : r.R - 1, outside = tab == 0 ? r.L - 1 : r.R;
    for (int y = r.T; y < rig.view.WaveRect().B; ++y) EXPECT_EQ(at(edge, y), outline) << tab << " at " << y;
    EXPECT_NE(at(outside, rig.view.WaveRect().T - 10), outline) << tab;
  }
}
