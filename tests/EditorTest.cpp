// The editor's controls as a user works them: knobs, switches, text entry
// and MIDI learn menus, every edit reaching the host, and random input.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "editor/controls/Buttons.h"
#include "editor/controls/Keyboard.h"
#include "editor/controls/Knobs.h"
#include "tests/EditorRig.h"

namespace {
// Every begin of an edit the host heard is followed by exactly one end of
// the same parameter before the next begin.
::testing::AssertionResult EditsPair(const std::vector<std::pair<int, int>>& edits)
{
  int open = -1;
  for (auto [kind, index] : edits)
  {
    if (kind > 0 && open >= 0) return ::testing::AssertionFailure() << "begin of " << index << " inside " << open;
    if (kind < 0 && open != index) return ::testing::AssertionFailure() << "end of " << index << " without its begin";
    open = kind > 0 ? index : -1;
  }
  if (open >= 0) return ::testing::AssertionFailure() << "edit of " << open << " never ended";
  return ::testing::AssertionSuccess();
}
}  // namespace

// A press that opens an entry ends its gesture and lets go of the mouse, the
// typed value is a gesture of its own, and a double click begins before it
// ends. (Window systems send no release to the editor while an entry is open.)
TEST(EditorEntry, EveryEditTheHostHearsEndsAndAnEntryLetsGoOfTheMouse)
{
  EditorRig rig;
  IControlZR& voices = rig.Control(kActiveVoices);
  IMouseMod left = EditorRig::Left();
  rig.g.OnButtonPress(EditorRig::CentreX(voices), EditorRig::CentreY(voices), &left);
  ASSERT_TRUE(rig.g.TextEntryOpen());
  EXPECT_LT(rig.g.GetCapturedControl(), 0);
  rig.g.Type("6");
  rig.g.PressEnter();
  rig.g.Tick();
  EXPECT_EQ(rig.Value(kActiveVoices), 6.0);
  const double mix = rig.Value(kMix);
  rig.Wheel(EditorRig::CentreX(rig.Control(kMix)), EditorRig::CentreY(rig.Control(kMix)), -2);
  EXPECT_EQ(rig.Value(kActiveVoices), 6.0) << "the wheel went to the control that opened the entry";
  EXPECT_LT(rig.Value(kMix), mix);
  IControlZR& freq = rig.Control(kFltFreq);
  rig.g.OnMouseDblClick(EditorRig::CentreX(freq), EditorRig::CentreY(freq), &left);
  rig.g.OnMouseUp(EditorRig::CentreX(freq), EditorRig::CentreY(freq), &left);
  rig.ClickOn(kAmp);
  EXPECT_TRUE(EditsPair(rig.host.edits));
  EXPECT_GE(rig.host.edits.size(), 6u);
}

TEST(EditorLearn, MenuArmsLearningAndShowsTheController)
{
  EditorRig rig;
  IMenuControlZR& menu = *rig.editor.MenuControl();
  rig.ClickOn(kFltQ, EditorRig::Right());
  ASSERT_NE(menu.OpenMenu(), nullptr);
  ZRMenu& m = *menu.OpenMenu();
  ASSERT_GE(m.items.size(), 3u);
  EXPECT_EQ(m.items[0].text, "flt q");
  EXPECT_EQ(m.items[0].state, ZRMenu::kTitle);
  EXPECT_EQ(m.items[1].text, "MIDI learn");
  EXPECT_EQ(m.items[2].text, "MIDI forget (none)");
  EXPECT_EQ(m.items[2].state, ZRMenu::kDisabled);
  const IRECT learn = menu.ItemRect(1);
  rig.Click(learn.L + 5, learn.T + 5);
  EXPECT_EQ(menu.OpenMenu(), nullptr);
  EXPECT_TRUE(rig.plug->Dispatcher().LearnArmed());

  TestIO io(64);
  IMidiMsg cc(0, 0xB0, 74, 64);
  rig.plug->ProcessMidiMsg(&cc);
  io.Process(*rig.plug, 64);
  rig.g.Tick();
  EXPECT_EQ(rig.plug->Dispatcher().ControllerOf(kFltQ), 74);
  ZRMenu& again = *rig.editor.LearnMenu(kFltQ);
  EXPECT_EQ(again.items[2].text, "MIDI forget CC#74");
  EXPECT_EQ(again.items[2].state, ZRMenu::kNormal);

  // A learned controller moves the control and the parameter, and tells the host.
  rig.host.automations.clear();
  IMidiMsg move(0, 0xB0, 74, 127);
  rig.plug->ProcessMidiMsg(&move);
  io.Process(*rig.plug, 64);
  rig.g.Tick();
  EXPECT_DOUBLE_EQ(rig.Control(kFltQ).GetValue(), 1.0);
  EXPECT_TRUE(HostHeard(rig.host, kFltQ));
}

TEST(EditorLearn, EraseMapAndExcludedControls)
{
  EditorRig rig;
  rig.plug->Dispatcher().AppendToMap(10, kAmp);
  rig.plug->Dispatcher().AppendToMap(11, kMix);
  rig.plug->LearnAssigned(kAmp, 10);
  rig.plug->LearnAssigned(kMix, 11);
  rig.g.Tick();
  EXPECT_EQ(rig.editor.LearnMenu(kAmp)->items[2].text, "MIDI forget CC#10");
  rig.ClickOn(kMidiPanic, EditorRig::Right());
  ZRMenu* panic = rig.editor.MenuControl()->OpenMenu();
  ASSERT_NE(panic, nullptr);
  ASSERT_EQ(panic->items[3].text, "erase MIDI map");
  const IRECT erase = rig.editor.MenuControl()->ItemRect(3);
  rig.Click(erase.L + 5, erase.T + 5);
  rig.g.Tick();
  for (int p = 0; p < kNumParams; ++p)
  {
    if (ZRMenu* m = rig.editor.LearnMenu(p); m && m->items.size() >= 3)
    {
      EXPECT_EQ(m->items[2].text, "MIDI forget (none)") << p;
    }
  }
  EXPECT_EQ(rig.plug->Dispatcher().ControllerOf(kAmp), -1);
  EXPECT_EQ(rig.editor.LearnMenu(kBufMinVisible), nullptr);
  EXPECT_EQ(rig.editor.LearnMenu(kBufMaxVisible), nullptr);
}

TEST(EditorLearn, ToggleThisBufFlipsEveryKeyOfThePickedBuffer)
{
  EditorRig rig;
  ZRMenu& menu = *rig.editor.LearnMenu(UseForParam(0));
  ASSERT_EQ(menu.items[3].text, "toggle this buf");
  const int picked = rig.plug->Core().tabs().pickedTab;
  menu.onChoose(menu, 3);
  rig.g.Tick();
  for (int k = 0; k < kNumKeys; ++k)
  {
    EXPECT_FALSE(rig.plug->Core().tables().isUsedFor(k, picked)) << k;
    EXPECT_EQ(rig.Value(UseForParam(k)), 0.0);
    EXPECT_EQ(rig.plug->TargetValue(UseForParam(k)), -1.0);
  }
  EXPECT_TRUE(rig.plug->Core().tables().isUsedFor(0, picked + 1)) << "other buffers keep theirs";
  menu.onChoose(menu, 3);
  rig.g.Tick();
  for (int k = 0; k < kNumKeys; ++k) EXPECT_TRUE(rig.plug->Core().tables().isUsedFor(k, picked)) << k;
  menu.onChoose(menu, 4);  // toggle this note: C on every buffer
  rig.g.Tick();
  for (int b = 0; b < kNumVoices; ++b) EXPECT_FALSE(rig.plug->Core().tables().isUsedFor(0, b)) << b;
  menu.onChoose(menu, 5);  // reset all flags
  for (int b = 0; b < kNumVoices; ++b) EXPECT_TRUE(rig.plug->Core().tables().isUsedFor(0, b)) << b;
}

TEST(EditorLearn, SetAllToCurrentCopiesThePickedVoice)
{
  EditorRig rig;
  rig.plug->Core().voice(0).setErrorInt(7.5);
  ZRMenu& menu = *rig.editor.LearnMenu(kControlFreak);
  ASSERT_EQ(menu.items[3].text, "set all to current");
  menu.onChoose(menu, 3);
  EXPECT_EQ(rig.Value(kErrorInt), 7.5);
  for (int v = 0; v < kNumVoices; ++v) EXPECT_EQ(rig.plug->Core().voice(v).grains().errorInt(), 7.5) << v;
  EXPECT_TRUE(HostHeard(rig.host, kErrorInt));
}

TEST(EditorControls, KnobDragGearingAndFineControl)
{
  EditorRig rig;
  auto& knob = dynamic_cast<IKnobMultiControlZR&>(rig.Control(kAmp));
  const int h = knob.BitmapRect().H();
  knob.SetValueFromUserInput(0.5);
  IMouseMod plain = EditorRig::Left(), ctrl = EditorRig::Left(false, true);
  knob.OnMouseDrag(0, 0, 0, -h, &plain);
  EXPECT_NEAR(knob.GetValue(), 0.75, 1e-12);
  knob.OnMouseDrag(0, 0, 0, h, &ctrl);
  EXPECT_NEAR(knob.GetValue(), 0.725, 1e-12);
  EXPECT_NEAR(rig.plug->GetParam(kAmp)->GetNormalized(), 0.725, 1e-9);
  // A click shows the value box; leaving hides it.
  rig.ClickOn(kAmp);
  EXPECT_TRUE(knob.ValueBoxShowing());
  knob.OnMouseOut();
  EXPECT_FALSE(knob.ValueBoxShowing());
}

TEST(EditorControls, MappedKnobShiftWheelDoublesAndHalvesFromTheCentre)
{
  EditorRig rig;
  auto& knob = dynamic_cast<IKnobControlMappedZR&>(rig.Control(kPlayRate));
  IParam& rate = *rig.plug->GetParam(kPlayRate);
  knob.SetValueFromUserInput(rate.GetNormalized(1.0));
  IMouseMod shift;
  shift.S = true;
  for (double expected : {2.0, 4.0})
  {
    knob.OnMouseWheel(0, 0, &shift, 1);
    EXPECT_NEAR(rate.Value(), expected, 1e-9);
  }
  knob.SetValueFromUserInput(rate.GetNormalized(1.0));
  for (double expected : {0.5, 0.25})
  {
    knob.OnMouseWheel(0, 0, &shift, -1);
    EXPECT_NEAR(rate.Value(), expected, 1e-9);
  }
  EXPECT_NEAR(knob.Position(), 0.5 + 0.5 * std::sqrt(0.25 / 16.0), 1e-9) << "the frame follows the square-root travel";
}

TEST(EditorControls, SwitchesAndContactButtons)
{
  EditorRig rig;
  IBitmap strip;
  strip.W = 10, strip.H = 30, strip.N = 3;
  ISwitchControlZR three(rig.plug.get(), 0, 0, kPerfMode, strip);
  IMouseMod left = EditorRig::Left();
  std::vector<double> seen;
  for (int i = 0; i < 4; ++i)
  {
    three.OnMouseDown(1, 1, &left);
    seen.push_back(three.GetValue());
  }
  EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0, 0.5}));

  auto& panic = rig.Control(kMidiPanic);
  rig.host.automations.clear();
  IMouseMod mod = EditorRig::Left();
  panic.OnMouseDown(EditorRig::CentreX(panic), EditorRig::CentreY(panic), &mod);
  EXPECT_EQ(rig.Value(kMidiPanic), 1.0);
  panic.OnMouseUp(0, 0, &mod);
  EXPECT_EQ(rig.Value(kMidiPanic), 0.0);
  const size_t heard = rig.host.automations.size();
  EXPECT_EQ(heard, 2u);
  panic.OnMouseUp(0, 0, &mod);
  EXPECT_EQ(rig.host.automations.size(), heard) << "a second release reports nothing";
}

TEST(EditorControls, IntegerTextWheelAndShiftDoubling)
{
  EditorRig rig;
  IControlZR& voices = rig.Control(kActiveVoices);
  const int start = static_cast<int>(rig.Value(kActiveVoices));
  IMouseMod none, shift;
  shift.S = true;
  voices.OnMouseWheel(0, 0, &none, 1);
  EXPECT_EQ(rig.Value(kActiveVoices), start + 1);
  voices.OnMouseWheel(0, 0, &shift, 1);
  EXPECT_EQ(rig.Value(kActiveVoices), 2 * (start + 1));
  voices.OnMouseWheel(0, 0, &shift, -1);
  EXPECT_EQ(rig.Value(kActiveVoices), start + 1);
  for (int i = 0; i < 10; ++i) voices.OnMouseWheel(0, 0, &shift, 1);
  EXPECT_EQ(rig.Value(kActiveVoices), 32) << "bounded to the range";
}

// The refill ratio's two readouts sit side by side: a wheel over either's
// digits changes that one, and their hit areas do not overlap.
TEST(EditorControls, EachRefillReadoutTakesTheWheelOverItsOwnDigits)
{
  EditorRig rig;
  IControlZR& nom = rig.Control(kRefillNom);
  IControlZR& denum = rig.Control(kRefillDenum);
  EXPECT_LE(nom.GetTargetRECT().R, denum.GetTargetRECT().L);
  for (int x = denum.GetTargetRECT().L; x < denum.GetTargetRECT().R; ++x)
    EXPECT_EQ(rig.g.GetMouseControlIdx(x, EditorRig::CentreY(denum)), rig.g.GetMouseControlIdx(EditorRig::CentreX(denum), EditorRig::CentreY(denum))) << x;
  rig.Wheel(EditorRig::CentreX(denum), EditorRig::CentreY(denum), 2);
  EXPECT_EQ(rig.Value(kRefillDenum), 3.0);
  EXPECT_EQ(rig.Value(kRefillNom), 1.0);
  rig.Wheel(nom.GetTargetRECT().L + 4, EditorRig::CentreY(nom), 1);
  EXPECT_EQ(rig.Value(kRefillNom), 2.0);
}

TEST(EditorControls, InfoPanelTakesEveryClickUntilClosed)
{
  EditorRig rig;
  IInfoPanelControlZR& info = *rig.editor.InfoPanel();
  rig.Click(info.GetRECT().L + 3, info.GetRECT().T + 3);
  ASSERT_TRUE(info.IsOpen());
  EXPECT_EQ(info.GetTargetRECT(), IRECT(0, 0, 815, 550));
  const double amp = rig.Value(kAmp);
  rig.ClickOn(kShowTooltips);
  EXPECT_FALSE(info.IsOpen());
  EXPECT_EQ(rig.Value(kShowTooltips), 0.0) << "the editor behind gets no click";
  EXPECT_EQ(rig.Value(kAmp), amp);
  EXPECT_NE(VeskEditor::AboutText().find("VESK x64 v1.0.0\nby "), std::string::npos);
}

TEST(EditorControls, LogoPlaysOnceThenStops)
{
  EditorRig rig;
  IGifControlZR& logo = *rig.editor.Logo();
  EXPECT_EQ(logo.GetRECT(), IRECT(610, 285, 770, 395));
  ASSERT_GT(logo.NFrames(), 1);
  for (int i = 0; i < logo.NFrames() + 2; ++i) rig.g.Draw(logo.GetRECT());
  EXPECT_FALSE(logo.Playing());
  rig.Click(650, 300);
  EXPECT_TRUE(logo.Playing());
  EXPECT_TRUE(logo.Looping());
}

TEST(EditorBeatKeyboard, ControlsSitOnTheirKeysAndActivityLights)
{
  EditorRig rig;
  IBeatKeyboardContainerZR& keys = *rig.editor.Keyboard();
  for (int k = 0; k < kNumKeys; ++k)
  {
    const IRECT key = keys.KeyRect(k);
    const IControlZR& num = rig.Control(BeatNumParam(k));
    EXPECT_GE(num.GetRECT().L + num.Width() / 2, key.L - 1) << k;
    EXPECT_LE(num.GetRECT().L + num.Width() / 2, key.R + 1) << k;
    EXPECT_LT(num.Top(), rig.Control(BeatDenParam(k)).Top()) << k;
  }
  rig.Play(69, 4);
  rig.g.Tick();
  rig.g.Draw(IRECT(0, 0, 815, 550));
  const IRECT a = keys.KeyRect(9);
  const LICE_pixel lit = *rig.g.GetDrawBitmap()->pixel(a.L + a.W() / 2, a.B - 4);
  const LICE_pixel dark = *rig.g.GetDrawBitmap()->pixel(keys.KeyRect(11).L + 3, a.B - 4);
  EXPECT_NE(lit, dark) << "the playing key shows a bar";
}

// A user who clicks, drags, scrolls and types anywhere, picks any menu item
// and types into any entry, while the instrument plays and the host loads
// states: every parameter stays inside its range and nothing breaks.
TEST(EditorMonkey, AnyInputKeepsEveryParameterInRange)
{
  EditorRig r;
  std::mt19937 pick(7);
  auto any = [&](int lo, int hi) { return lo + static_cast<int>(pick() % static_cast<unsigned>(hi - lo + 1)); };
  ByteChunk saved;
  r.plug->SerializeState(&saved);
  int entries = 0;
  std::vector<bool> touched(static_cast<size_t>(r.plug->NParams()));
  for (int step = 0; step < 400; ++step)
  {
    const int x = any(-10, r.g.Width() + 10), y = any(-10, r.g.Height() + 10);
    IMouseMod mod;
    mod.L = any(0, 4) != 0, mod.R = !mod.L, mod.S = any(0, 3) == 0, mod.C = any(0, 5) == 0;
    r.g.QueueMenuChoice(any(-1, 12));
    switch (any(0, 7))
    {
      case 0: r.Click(x, y, mod); break;
      case 1:
        r.g.OnButtonPress(x, y, &mod);
        for (int n = any(1, 6); n > 0; --n) r.g.OnMouseDrag(x + any(-80, 80), y + any(-80, 80), &mod);
        r.g.OnMouseUp(x, y, &mod);
        break;
      case 2: r.g.OnMouseDblClick(x, y, &mod); break;
      case 3: r.Wheel(x, y, any(-3, 3), mod); break;
      case 4: r.Hover(x, y); break;
      case 5: r.g.OnKeyDown(x, y, any(-1, 40)); break;
      case 6: r.Play(any(30, 90), 1); break;
      default:
        if (any(0, 9) == 0)
        {
          ByteChunk copy = saved;
          r.plug->UnserializeState(&copy, 0);
        }
        break;
    }
    if (r.g.TextEntryOpen())
    {
      ++entries;
      r.g.Type(any(0, 1) ? "12.5" : "-x9");
      any(0, 1) ? r.g.PressEnter() : r.g.PressEscape();
    }
    r.g.Tick();
    for (int i = 0; i < r.plug->NParams(); ++i)
    {
      const IParam& p = *r.plug->GetParam(i);
      if (p.Value() != p.Default()) touched[static_cast<size_t>(i)] = true;
      ASSERT_TRUE(p.Value() >= p.Min() && p.Value() <= p.Max()) << "step " << step << ": " << p.GetNameForHost() << " at "
                                                                << p.Value();
    }
  }
  EXPECT_GT(std::count(touched.begin(), touched.end(), true), 15) << "the input reached the controls";
  EXPECT_GT(entries, 0) << "and some text entries";
}
