// The editor framework on its window-less backend: geometry, hit testing,
// input routing, the dirty/clean cycle, menus and text entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/framework/IGraphicsOffscreen.h"
#include "editor/framework/IPopupMenuView.h"
#include "frame/IPlugBase.h"

namespace {

class EditPlug : public IPlugBase
{
public:
  EditPlug() : IPlugBase(3, "1-1", 1, "Test", "", "Maker", 0x10000, 1, 0, false, false, false)
  {
    GetParam(0)->InitDouble("gain", 0.5, 0.0, 2.0, 0.001);
    GetParam(1)->InitEnum("mode", 1, 3);
    GetParam(1)->SetDisplayText(0, "soft");
    GetParam(1)->SetDisplayText(1, "hard");
    GetParam(1)->SetDisplayText(2, "wild");
    GetParam(2)->InitInt("voices", 4, 1, 16);
  }
  void BeginInformHostOfParamChange(int i) override { log.push_back("begin " + std::to_string(i)); }
  void EndInformHostOfParamChange(int i) override { log.push_back("end " + std::to_string(i)); }
  void InformHostOfParamChange(int i, double) override { log.push_back("set " + std::to_string(i)); }
  std::vector<std::string> log;
};

// Records what reaches it.
class Probe : public IControl
{
public:
  Probe(IPlugBase* plug, IRECT r, int param = -1) : IControl(plug, r, param) {}
  bool Draw(IGraphics*) override { ++draws; return true; }
  void OnMouseDown(int, int, IMouseMod* mod) override { ++downs; IControl::OnMouseDown(0, 0, mod); }
  void OnMouseWheel(int, int, IMouseMod*, int d) override { wheel.push_back(d); }
  bool OnKeyDown(int, int, int key) override { keys.push_back(key); return true; }
  void OnMouseOver(int, int, IMouseMod*) override { ++overs; }
  void OnMouseOut() override { ++outs; }
  int draws = 0, downs = 0, overs = 0, outs = 0;
  std::vector<int> wheel, keys;
};

struct Editor
{
  EditPlug plug;
  IGraphicsOffscreen gui{&plug, 200, 100};
  Probe* background;
  Editor()
  {
    gui.PrepDraw();
    background = new Probe(&plug, IRECT(0, 0, 200, 100));
    gui.AttachControl(background);
  }
  Probe* Add(IRECT r, int param = -1)
  {
    auto* p = new Probe(&plug, r, param);
    gui.AttachControl(p);
    return p;
  }
};

}  // namespace

TEST(EditorGeometry, EdgesOfRectangles)
{
  const IRECT r(10, 20, 30, 40);
  EXPECT_TRUE(r.Contains(10, 20));
  EXPECT_FALSE(r.Contains(30, 25));
  EXPECT_FALSE(r.Contains(15, 40));
  EXPECT_FALSE(IRECT().Contains(0, 0));
  EXPECT_TRUE(r.Intersects(IRECT(30, 40, 50, 60))) << "touching the right and bottom edges counts";
  EXPECT_FALSE(r.Intersects(IRECT(0, 0, 10, 10)));
  EXPECT_EQ(IRECT().Union(r), r);
  EXPECT_EQ(r.Union(IRECT(0, 0, 5, 50)), IRECT(0, 0, 30, 50));
}

TEST(EditorInput, LaterControlsWinTheClickAndTheHostHearsTheEdit)
{
  Editor e;
  Probe* low = e.Add(IRECT(10, 10, 60, 60), 0);
  Probe* high = e.Add(IRECT(40, 40, 90, 90), 2);
  IMouseMod mod;
  e.gui.OnMouseDown(50, 50, &mod);
  EXPECT_EQ(high->downs, 1);
  EXPECT_EQ(low->downs, 0);
  e.gui.OnMouseUp(50, 50, &mod);
  EXPECT_EQ(e.plug.log, (std::vector<std::string>{"begin 2", "end 2"}));
  high->Hide(true);
  EXPECT_EQ(e.gui.GetMouseControlIdx(50, 50), 1) << "hidden controls are not hit";
  low->GrayOut(true);
  EXPECT_EQ(e.gui.GetMouseControlIdx(50, 50), 0);
  low->SetMouseOverWhenGrayed(true);
  EXPECT_EQ(e.gui.GetMouseControlIdx(50, 50, true), 1);
}

TEST(EditorInput, WheelKeysAndMouseOver)
{
  Editor e;
  Probe* knob = e.Add(IRECT(10, 10, 60, 60));
  IMouseMod mod;
  for (int delta : {60, 120, -240, 359}) e.gui.OnMouseWheel(20, 20, &mod, delta);
  EXPECT_EQ(knob->wheel, (std::vector<int>{0, 1, -2, 2}));
  EXPECT_TRUE(e.gui.OnKeyDown(20, 20, IGraphics::kKeySpace));
  EXPECT_FALSE(e.gui.OnKeyDown(150, 80, IGraphics::kKeySpace)) << "the background never takes keys";
  EXPECT_TRUE(e.background->keys.empty());
  e.gui.HandleMouseOver(true);
  e.gui.OnMouseOver(20, 20, &mod);
  e.gui.OnMouseOver(150, 80, &mod);
  EXPECT_EQ(knob->overs, 1);
  EXPECT_EQ(knob->outs, 1);
}

TEST(EditorPaint, DirtyCleanCycle)
{
  Editor e;
  Probe* a = e.Add(IRECT(10, 10, 50, 50));
  Probe* b = e.Add(IRECT(150, 50, 190, 90));
  Probe* hidden = e.Add(IRECT(0, 0, 20, 20));
  hidden->Hide(true);
  e.gui.OpenWindow(nullptr);
  e.gui.Tick();
  EXPECT_EQ(a->draws, 1);
  EXPECT_EQ(hidden->draws, 0);
  EXPECT_TRUE(hidden->IsDirty()) << "its Hide asked for a redraw: dirty one more frame";
  e.gui.Tick();
  EXPECT_FALSE(hidden->IsDirty());
  EXPECT_FALSE(a->IsDirty());
  a->SetValueFromUserInput(0.5);  // sets redraw
  e.gui.Tick();
  EXPECT_TRUE(a->IsDirty()) << "a redraw keeps it dirty for the next tick";
  e.gui.Tick();
  EXPECT_FALSE(a->IsDirty());
  b->SetDirty(false);
  IRECT dirty;
  ASSERT_TRUE(e.gui.IsDirty(&dirty));
  EXPECT_EQ(dirty, b->GetRECT());
  const int before = a->draws;
  e.gui.Draw(IRECT(50, 50, 150, 60));
  EXPECT_EQ(a->draws, before + 1) << "a control touching with its right and bottom edges is drawn";
  EXPECT_EQ(b->draws, 1) << "one touching with its left edge is not";
}

TEST(EditorEntry, KeyFilter)
{
  EditPlug plug;
  const IParam* gain = plug.GetParam(0);
  const IParam* voices = plug.GetParam(2);
  for (char c : std::string("0123456789+-.")) EXPECT_TRUE(IGraphics::TextEntryAccepts(gain, c)) << c;
  EXPECT_FALSE(IGraphics::TextEntryAccepts(gain, 'e'));
  EXPECT_FALSE(IGraphics::TextEntryAccepts(voices, '.'));
  EXPECT_TRUE(IGraphics::TextEntryAccepts(voices, '\b'));
  EXPECT_TRUE(IGraphics::TextEntryAccepts(nullptr, 'x')) << "entries without a parameter take any text";
}

TEST(EditorEntry, TypedValueIsCommittedOnTheNextTick)
{
  Editor e;
  Probe* knob = e.Add(IRECT(40, 40, 80, 80), 0);
  knob->DisablePrompt(false);
  IMouseMod right;
  right.R = true;
  e.gui.OnMouseDown(60, 60, &right);
  ASSERT_TRUE(e.gui.TextEntryOpen());
  EXPECT_EQ(e.gui.EntryText(), "0.500");
  EXPECT_EQ(e.gui.EntryRect(), IRECT(40, 52, 81, 69)) << "40 x 16 around the centre, one pixel wider and higher";
  e.gui.Type("+1e.5");
  EXPECT_EQ(e.gui.EntryText(), "+1.5");
  e.gui.PressEnter();
  e.gui.Tick();
  EXPECT_FALSE(e.gui.TextEntryOpen());
  EXPECT_DOUBLE_EQ(e.plug.GetParam(0)->Value(), 1.5);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.75);
}

TEST(EditorEntry, ClickOutsideCommitsAndReachesNoControl)
{
  Editor e;
  Probe* knob = e.Add(IRECT(40, 40, 80, 80), 0);
  Probe* other = e.Add(IRECT(100, 0, 140, 40));
  knob->DisablePrompt(false);
  IMouseMod right, left;
  right.R = true;
  e.gui.OnMouseDown(60, 60, &right);
  e.gui.Type("2");
  e.gui.OnButtonPress(120, 20, &left);
  EXPECT_EQ(other->downs, 0);
  e.gui.Tick();
  EXPECT_DOUBLE_EQ(e.plug.GetParam(0)->Value(), 2.0);
  e.gui.OnButtonPress(120, 20, &left);
  EXPECT_EQ(other->downs, 1) << "with the entry gone, clicks reach controls again";
}

TEST(EditorMenu, EnumPromptOffersEveryValue)
{
  Editor e;
  Probe* sw = e.Add(IRECT(10, 10, 30, 30), 1);
  sw->DisablePrompt(false);
  e.gui.QueueMenuChoice(2);
  IMouseMod right;
  right.R = true;
  e.gui.OnMouseDown(20, 20, &right);
  const IPopupMenu& menu = e.gui.LastMenu();
  ASSERT_EQ(menu.NItems(), 3);
  EXPECT_EQ(menu.GetItem(0).text, "soft");
  EXPECT_TRUE(menu.GetItem(1).flags & IPopupMenu::kChecked);
  EXPECT_EQ(e.plug.GetParam(1)->Value(), 2.0);
  EXPECT_EQ(sw->GetValue(), 1.0);
  IPopupMenu numbered;
  numbered.SetPrefix(2);
  numbered.AddItem("x");
  EXPECT_EQ(numbered.ItemLabel(0), "01: x");
}

TEST(EditorMenu, DrawnMenuMapsRowsBackToTheMenuThatHoldsThem)
{
  IPopupMenu menu;
  menu.AddItem("title", IPopupMenu::kTitle);
  menu.AddSeparator();
  menu.AddItem("off", IPopupMenu::kDisabled);
  auto sub = std::make_unique<IPopupMenu>();
  sub->AddItem("a");
  sub->AddItem("b", IPopupMenu::kChecked);
  IPopupMenu* inner = sub.get();
  menu.AddSubmenu("more", std::move(sub));
  IPopupMenuView view(&menu);
  const int row = IPopupMenuView::kRowHeight, sep = IPopupMenuView::kSeparatorHeight;
  EXPECT_EQ(view.Height(), 2 + 5 * row + sep);
  EXPECT_EQ(view.ChoosableRowAt(5), -1) << "title";
  EXPECT_EQ(view.ChoosableRowAt(1 + row + 2), -1) << "separator";
  EXPECT_EQ(view.ChoosableRowAt(1 + row + sep + 2), -1) << "disabled";
  EXPECT_EQ(view.ChoosableRowAt(1 + 2 * row + sep + 2), -1) << "sub-menu heading";
  const int b = view.ChoosableRowAt(1 + 4 * row + sep + 2);
  ASSERT_GE(b, 0);
  EXPECT_EQ(view.Choose(b), inner);
  EXPECT_EQ(inner->GetChosenItemIdx(), 1);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  EXPECT_EQ(view.ChoosableRowAt(view.Height() + 5), -1);

  LICE_MemBitmap pixels(view.Width(), view.Height());
  view.SetHover(b);
  view.Draw(&pixels);
  EXPECT_EQ(*pixels.pixel(0, 0), LICE_RGBA(110, 110, 110, 255)) << "border";
  EXPECT_EQ(*pixels.pixel(view.Width() - 3, 1 + 4 * row + sep + 1), LICE_RGBA(48, 112, 192, 255)) << "hover band";
}

TEST(EditorParams, PlugChangesReachBoundControlsAndAuxSlots)
{
  Editor e;
  Probe* gain = e.Add(IRECT(0, 0, 10, 10), 0);
  Probe* withAux = e.Add(IRECT(20, 0, 30, 10), 2);
  withAux->AddAuxParam(0);
  e.gui.SetParameterFromPlug(0, 1.0, false);
  EXPECT_DOUBLE_EQ(gain->GetValue(), 0.5) << "1.0 of 0..2, normalised";
  EXPECT_DOUBLE_EQ(gain->GetDefaultValue(), 0.5) << "the first value becomes the default";
  EXPECT_DOUBLE_EQ(withAux->GetAuxParam(0).mValue, 0.5);
  e.gui.AssignParamNameToolTips();
  EXPECT_EQ(gain->GetTooltip(), "gain");
}

TEST(EditorDraw, FillsAndBitmapsLandInTheDrawBitmap)
{
  Editor e;
  e.gui.FillIRect(IColor(255, 10, 20, 30), IRECT(5, 5, 10, 10));
  LICE_IBitmap* b = e.gui.GetDrawBitmap();
  EXPECT_EQ(*b->pixel(5, 5), LICE_RGBA(10, 20, 30, 255));
  EXPECT_EQ(*b->pixel(10, 10), 0u);
  LICE_MemBitmap strip(4, 8);  // two frames of 4 x 4
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 4; ++x) *strip.pixel(x, y) = y < 4 ? LICE_RGBA(255, 0, 0, 255) : LICE_RGBA(0, 0, 255, 255);
  IBitmap bitmap;
  bitmap.mData = &strip;
  bitmap.W = 4;
  bitmap.H = 8;
  bitmap.N = 2;
  e.gui.DrawBitmap(bitmap, IRECT(20, 20, 24, 24), 2);
  EXPECT_EQ(*b->pixel(21, 21), LICE_RGBA(0, 0, 255, 255)) << "frame 2 starts at source y = 4";
  IText text;
  IRECT r(0, 0, 10, 10);
  EXPECT_TRUE(e.gui.DrawIText(text, "", r)) << "an empty string draws nothing and succeeds";
}

TEST(EditorText, DrawsAndMeasuresWithCachedFonts)
{
  Editor e;
  IText text;
  text.mSize = 14;
  text.mColor = IColor(255, 255, 255, 255);
  text.mAlign = IText::kAlignNear;
  IRECT measured(10, 10, 190, 40);
  ASSERT_TRUE(e.gui.MeasureIText(text, "Vesk 440", measured));
  EXPECT_EQ(measured.L, 10);
  EXPECT_GT(measured.W(), 30);
  EXPECT_GT(measured.H(), 10);
  EXPECT_NE(text.mCached, nullptr) << "the font is remembered in the text";
  LICE_Clear(e.gui.GetDrawBitmap(), 0xFF000000);
  IRECT at(10, 10, 190, 40);
  ASSERT_TRUE(e.gui.DrawIText(text, "Vesk 440", at));
  int lit = 0, outside = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x)
    {
      const bool on = (*e.gui.GetDrawBitmap()->pixel(x, y) & 0xFFFFFF) != 0;
      const bool inside = x >= measured.L - 1 && x <= measured.R + 1 && y >= measured.T && y <= measured.B;
      lit += on;
      outside += on && !inside;
    }
  EXPECT_GT(lit, 40);
  EXPECT_EQ(outside, 0) << "the drawn text stays inside its measured box";
  IText centred = text;
  centred.mCached = nullptr;
  centred.mAlign = IText::kAlignCenter;
  IRECT c(0, 0, 200, 20);
  e.gui.MeasureIText(centred, "ab", c);
  EXPECT_NEAR(c.L + c.W() / 2.0, 100.0, 1.0) << "centred on the rect";
}
