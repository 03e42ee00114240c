// The editor's layout: every parameter placed once, inside its panel, with
// labels that never touch; tooltips; the grids and lists that open over it.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "editor/controls/Knobs.h"
#include "resources/img/Panels.h"
#include "tests/EditorRig.h"

namespace {

int IndexOf(IGraphics& g, const IControl* c)
{
  for (int i = 0; i < g.GetNControls(); ++i)
    if (g.GetControl(i) == c) return i;
  return -1;
}

}  // namespace

TEST(EditorLayout, EveryParameterHasOneControlAndPlacedControlsLeaveTheOrigin)
{
  EditorRig rig;
  for (int p = 0; p < kNumParams; ++p) ASSERT_NE(rig.editor.ControlOf(p), nullptr) << p;
  std::vector<int> placedLater = {kClearSel, kSelectAll};
  for (int p = kBeatNumC; p < kExtrudeInput; ++p) placedLater.push_back(p);
  for (int k = 0; k < kNumKeys; ++k) placedLater.push_back(UseForParam(k));
  for (int p : placedLater)
  {
    const IRECT& r = rig.Control(p).GetRECT();
    EXPECT_FALSE(r.L == 0 && r.T == 0) << p;
    EXPECT_FALSE(rig.Control(p).IsHidden()) << p;
  }
  for (int p : {kPlayheadPos, kSelStart, kSelEnd, kFltModel, kControlFreak}) EXPECT_TRUE(rig.Control(p).IsHidden()) << p;
  // Pixels at the origin are the background's own.
  LICE_IBitmap* bg = CachedBitmap(101);
  ASSERT_NE(bg, nullptr);
  rig.g.Draw(IRECT(0, 0, 815, 550));
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(*rig.g.GetDrawBitmap()->pixel(x, y), *bg->pixel(x, y)) << x << "," << y;
}

TEST(EditorLayout, ListGridsOpenAboveEverythingElse)
{
  EditorRig rig;
  auto& list = dynamic_cast<IListControlZR&>(rig.Control(kPerfMode));
  EXPECT_GT(IndexOf(rig.g, &list), IndexOf(rig.g, &rig.view));
  EXPECT_GT(IndexOf(rig.g, &list), IndexOf(rig.g, &rig.Control(kPlayRate)));
  rig.ClickOn(kPerfMode);
  ASSERT_TRUE(list.GridOpen());
  const IRECT cell = list.CellRect(1);
  EXPECT_EQ(rig.g.GetMouseControlIdx(cell.L + 3, cell.T + 3), IndexOf(rig.g, &list));
  rig.Click(cell.L + 3, cell.T + 3);
  EXPECT_FALSE(list.GridOpen());
  EXPECT_EQ(rig.Value(kPerfMode), 1.0) << "BEAT chosen";
  EXPECT_TRUE(HostHeard(rig.host, kPerfMode));
}

TEST(EditorLayout, TwoTextListsFlipWithoutAGrid)
{
  EditorRig rig;
  auto& list = dynamic_cast<IListControlZR&>(rig.Control(kPolyMono));
  const double before = rig.Value(kPolyMono);
  rig.ClickOn(kPolyMono);
  EXPECT_FALSE(list.GridOpen());
  EXPECT_NE(rig.Value(kPolyMono), before);
  rig.ClickOn(kPolyMono);
  EXPECT_EQ(rig.Value(kPolyMono), before);
}

TEST(EditorTooltips, BeginWithTheParameterNameAndFollowTheQuestionMark)
{
  EditorRig rig;
  ITooltipControlZR& tip = *rig.editor.Tooltip();
  rig.Hover(rig.EditorRig::CentreX(rig.Control(kFltQ)), rig.EditorRig::CentreY(rig.Control(kFltQ)));
  EXPECT_FALSE(tip.Showing()) << "tooltips start off";
  rig.ClickOn(kShowTooltips);
  ASSERT_EQ(rig.Value(kShowTooltips), 1.0);
  for (int p = 0; p < kNumParams; ++p)
  {
    IControlZR& c = rig.Control(p);
    if (c.IsHidden() || c.GetTargetRECT().Empty() || p == kShowTooltips || p == kBufMinVisible || p == kBufMaxVisible)
      continue;
    tip.HideTip();
    c.Hover(rig.EditorRig::CentreX(c), rig.EditorRig::CentreY(c));
    ASSERT_TRUE(tip.Showing()) << p;
    EXPECT_EQ(tip.Text().rfind(rig.plug->GetParam(p)->GetNameForHost(), 0), 0u) << p << ": " << tip.Text();
  }
  tip.HideTip();
  rig.Hover(rig.EditorRig::CentreX(rig.Control(kPlayRate)), rig.EditorRig::CentreY(rig.Control(kPlayRate)));
  EXPECT_EQ(tip.Text(), "play rate\n\nin-grain and SIMPLE playrate.\nShift + wheel to * or / by 2.");
  EXPECT_GE(tip.Box().L, 10);
  EXPECT_LE(tip.Box().R, 815 - 10);
}

// The waveform view has no parameter: its tooltip is its description,
// which explains its mouse gestures. A move from one control straight onto
// another shows the new one's tooltip at once.
TEST(EditorTooltips, TheWaveformViewExplainsItselfAndAMoveBetweenControlsKeepsTheTip)
{
  EditorRig rig;
  ITooltipControlZR& tip = *rig.editor.Tooltip();
  rig.ClickOn(kShowTooltips);
  rig.Hover(300, 150);
  ASSERT_TRUE(tip.Showing());
  EXPECT_EQ(tip.Text().rfind("buffer waveform\n\nR drag or Shift + L drag - select.", 0), 0u) << tip.Text();
  for (auto [from, to] : {std::pair{kFltQ, kFltFreq}, std::pair{kMix, kAmp}})
  {
    rig.Hover(EditorRig::CentreX(rig.Control(from)), EditorRig::CentreY(rig.Control(from)));
    rig.Hover(EditorRig::CentreX(rig.Control(to)), EditorRig::CentreY(rig.Control(to)));
    ASSERT_TRUE(tip.Showing()) << to;
    EXPECT_EQ(tip.Text().rfind(rig.plug->GetParam(to)->GetNameForHost(), 0), 0u) << tip.Text();
  }
}

// Each label's ink stays inside its control's rect and keeps a pixel from
// every other label's, in the faces the editor embeds.
TEST(EditorLabels, NoLabelTouchesAnotherOrLeavesItsControl)
{
  EditorRig rig;
  LICE_IBitmap& bitmap = *rig.g.GetDrawBitmap();
  struct Ink
  {
    std::string name;
    IRECT box;
  };
  std::vector<Ink> inks;
  for (int c = 0; c < rig.g.GetNControls(); ++c)
  {
    auto* control = dynamic_cast<IControlZR*>(rig.g.GetControl(c));
    if (!control || control->IsHidden()) continue;
    for (int i = 0; i < control->NLabels(); ++i)
    {
      LICE_Clear(&bitmap, 0);
      control->DrawLabel(&rig.g, i);
      IRECT box(10000, 10000, -1, -1);
      for (int y = 0; y < bitmap.getHeight(); ++y)
        for (int x = 0; x < bitmap.getWidth(); ++x)
          if (*bitmap.pixel(x, y) & 0xFFFFFF)
            box = IRECT(std::min(box.L, x), std::min(box.T, y), std::max(box.R, x + 1), std::max(box.B, y + 1));
      if (box.R < 0) continue;
      const IRECT& r = control->GetRECT();  // what a redraw of the control covers
      EXPECT_TRUE(box.L >= r.L && box.T >= r.T && box.R <= r.R && box.B <= r.B) << control->LabelText(i) << " leaves its control";
      inks.push_back({control->LabelText(i), box});
    }
  }
  EXPECT_GE(inks.size(), 22u) << "every label drawn";
  for (size_t a = 0; a < inks.size(); ++a)
    for (size_t b = a + 1; b < inks.size(); ++b)
    {
      const IRECT& p = inks[a].box;
      const IRECT& q = inks[b].box;
      const bool apart = p.R < q.L || q.R < p.L || p.B < q.T || q.B < p.T;  // a pixel between them
      EXPECT_TRUE(apart) << '"' << inks[a].name << "\" touches \"" << inks[b].name << '"';
    }
}

// The background's panel edges cut through no control: each control, its
// labels included, sits inside one panel or the header strip.
TEST(EditorLayout, EveryControlSitsInsideOnePanel)
{
  EditorRig rig;
  auto inside = [](const IRECT& r, const PanelRect& p) { return r.L >= p.l && r.T >= p.t && r.R <= p.r && r.B <= p.b; };
  for (int c = 1; c < rig.g.GetNControls(); ++c)  // the background itself is control 0
  {
    IControl* control = rig.g.GetControl(c);
    const IRECT r = control->GetRECT();
    if (control->IsHidden() || r.Empty() || (r.W() >= 815 && r.H() >= 550)) continue;  // panels over everything
    bool placed = inside(r, kHeaderPanel);
    for (const PanelRect& p : kPanels) placed |= inside(r, p);
    EXPECT_TRUE(placed) << "control " << c << " (parameter " << control->ParamIdx() << ") at " << r.L << "," << r.T
                        << "-" << r.R << "," << r.B;
  }
}

TEST(EditorLabels, HiddenLabelsKeepTheirArea)
{
  EditorRig rig;
  IControlZR& freq = rig.Control(kFltFreq);
  ASSERT_EQ(freq.NLabels(), 1);
  EXPECT_TRUE(freq.ShowsLabels());
  const IRECT withLabels = freq.GetRECT();
  EXPECT_GE(withLabels.B, freq.LabelRect(0).B);
  rig.ClickOn(kShowTooltips, EditorRig::Right());
  IMenuControlZR& menu = *rig.editor.MenuControl();
  ASSERT_NE(menu.OpenMenu(), nullptr) << "the ? control opens the labels menu";
  EXPECT_EQ(menu.OpenMenu()->items[0].text, "show labels");
  const IRECT item = menu.ItemRect(0);
  rig.Click(item.L + 5, item.T + 5);
  EXPECT_FALSE(freq.ShowsLabels());
  EXPECT_FALSE(rig.plug->ShowLabels());
  EXPECT_EQ(freq.GetRECT(), withLabels);
}

// A knob's value box reads the same whether its labels are shown or not:
// no label is drawn under or beside the box while it shows.
TEST(EditorLabels, AValueBoxIsNeverDrawnOverALabel)
{
  EditorRig rig;
  int checked = 0;
  for (int p = 0; p < kNumParams; ++p)
  {
    auto* knob = dynamic_cast<IKnobMultiControlZR*>(rig.editor.ControlOf(p));
    if (!knob || knob->NLabels() == 0 || knob->IsHidden()) continue;
    auto boxArea = [&](bool labels) {
      knob->SetShowLabels(labels);
      knob->ShowValueBox();
      rig.g.Tick();
      IRECT area = knob->ValueBoxRect();
      for (int i = 0; i < knob->NLabels(); ++i)
        if (knob->LabelRect(i).Intersects(area)) area = area.Union(knob->LabelRect(i));
      std::vector<LICE_pixel> pixels;
      for (int y = area.T; y < area.B; ++y)
        for (int x = area.L; x < area.R; ++x) pixels.push_back(*rig.g.GetDrawBitmap()->pixel(x, y));
      knob->HideValueBox();
      rig.g.Tick();
      rig.g.Tick();
      return pixels;
    };
    const auto with = boxArea(true), without = boxArea(false);
    ASSERT_EQ(with.size(), without.size());
    size_t differing = 0;
    for (size_t i = 0; i < with.size(); ++i) differing += with[i] != without[i];
    EXPECT_EQ(differing, 0u) << rig.plug->GetParam(p)->GetNameForHost();
    ++checked;
  }
  EXPECT_EQ(checked, 19) << "every labelled strip knob";
}
