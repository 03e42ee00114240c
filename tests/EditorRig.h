#pragma once
// The instrument with its editor open off screen, and mouse shorthands.
#include <algorithm>
#include <memory>

#include "editor/controls/IBufTabsZR.h"
#include "editor/controls/Lists.h"
#include "editor/framework/IGraphicsOffscreen.h"
#include "editor/layout/VeskEditor.h"
#include "tests/TestHost.h"

struct EditorRig
{
  TestHost host;
  std::unique_ptr<Vesk> plug = host.MakePlug();
  IGraphicsOffscreen& g = *dynamic_cast<IGraphicsOffscreen*>(plug->Layout().Graphics());
  VeskEditor& editor = plug->Layout();
  IBufTabsZR& view = *editor.BufferView();

  EditorRig()
  {
    g.OpenWindow(nullptr);
    g.Tick();
  }

  static IMouseMod Left(bool shift = false, bool ctrl = false)
  {
    IMouseMod m;
    m.L = true, m.S = shift, m.C = ctrl;
    return m;
  }
  static IMouseMod Right()
  {
    IMouseMod m;
    m.R = true;
    return m;
  }
  void Click(int x, int y, IMouseMod mod = Left())
  {
    g.OnButtonPress(x, y, &mod);
    g.OnMouseUp(x, y, &mod);
    g.Tick();
  }
  void Hover(int x, int y)
  {
    IMouseMod none;
    g.OnMouseOver(x, y, &none);
    g.Tick();
  }
  void Wheel(int x, int y, int d, IMouseMod mod = {})
  {
    g.OnMouseWheel(x, y, &mod, d * 120);  // window systems report 120 per notch
    g.Tick();
  }
  IControlZR& Control(int param) { return *editor.ControlOf(param); }
  static int CentreX(const IControl& c) { return (c.GetTargetRECT().L + c.GetTargetRECT().R) / 2; }
  static int CentreY(const IControl& c) { return (c.GetTargetRECT().T + c.GetTargetRECT().B) / 2; }
  void ClickOn(int param, IMouseMod mod = Left()) { Click(CentreX(Control(param)), CentreY(Control(param)), mod); }
  double Value(int param) const { return plug->GetParam(param)->Value(); }
  // Sets a parameter as the host would, and ticks so the editor shows it.
  void Set(int param, double v)
  {
    plug->GetParam(param)->Set(v);
    plug->OnParamChange(param);
    plug->MarkParamForEditor(param);
    g.Tick();
  }
  // The picked buffer's selection, as fractions.
  void Select(double start, double end)
  {
    Set(kSelStart, start);
    Set(kSelEnd, end);
  }
  // Plays a note with a sine at the input for a number of 512-frame blocks.
  void Play(int note, int blocks)
  {
    TestIO io(512);
    for (int i = 0; i < 512; ++i) io.in[0][static_cast<size_t>(i)] = io.in[1][static_cast<size_t>(i)] = 0.5 * ((i / 20) % 2 ? 1 : -1);
    plug->ProcessMidiMsg(std::make_unique<IMidiMsg>(0, 0x90, static_cast<uint8_t>(note), 100).get());
    for (int b = 0; b < blocks; ++b) io.Process(*plug, 512);
  }
};

// Whether the host heard an automation of this parameter.
inline bool HostHeard(const TestHost& host, int index)
{
  return std::any_of(host.automations.begin(), host.automations.end(),
                     [index](const TestHost::Automation& a) { return a.index == index; });
}
