// vesk-shot: draws the editor off screen after a scripted sequence of
// events and writes it as a PNG.
//
//   vesk-shot OUT.png [step ...]
//
// Steps, run in order:
//   click:X,Y  rclick:X,Y  dblclick:X,Y  hover:X,Y  wheel:X,Y,NOTCHES
//   drag:X,Y,DX,DY (left button, moved by DX, DY, released)
//   set:NAME=VALUE  a parameter by its name, in its own units
//   play:NOTE,SECONDS  holds a note while a 220 Hz sine plays in
//   shot:PATH  writes the editor as it is now
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/ToolUsage.h"
#include "editor/framework/IGraphicsOffscreen.h"
#include "editor/layout/VeskEditor.h"
#include "plugin/Vesk.h"

namespace {
double gPhase = 0.0;

bool ParseInts(const std::string& text, std::vector<int>* out, size_t count)
{
  out->clear();
  const char* p = text.c_str();
  while (*p)
  {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 10);
    if (end == p) return false;
    out->push_back(static_cast<int>(v));
    p = *end == ',' ? end + 1 : end;
    if (*end && *end != ',') return false;
  }
  return out->size() == count;
}

void Play(Vesk& plug, int note, double seconds)
{
  const int block = 512;
  std::vector<double> in(block), silence(block, 0.0), outL(block), outR(block);
  std::vector<double*> inputs(kNumInputs, silence.data());
  inputs[0] = inputs[1] = in.data();
  double* outputs[2] = {outL.data(), outR.data()};
  IMidiMsg on(0, 0x90, static_cast<uint8_t>(note & 0x7F), 100);
  plug.ProcessMidiMsg(&on);
  const int blocks = static_cast<int>(seconds * plug.GetSampleRate() / block);
  for (int b = 0; b < blocks; ++b)
  {
    for (double& s : in) s = 0.6 * std::sin(gPhase += 2.0 * M_PI * 220.0 / plug.GetSampleRate());
    plug.ProcessDoubleReplacing(inputs.data(), outputs, block);
  }
}

int FindParamByName(Vesk& plug, const std::string& name)
{
  for (int i = 0; i < plug.NParams(); ++i)
    if (name == plug.GetParam(i)->GetNameForHost()) return i;
  return -1;
}

bool SetByName(Vesk& plug, const std::string& assignment)
{
  const size_t eq = assignment.find('=');
  if (eq == std::string::npos) return false;
  const int idx = FindParamByName(plug, assignment.substr(0, eq));
  if (idx < 0) return false;
  char* end = nullptr;
  const double v = std::strtod(assignment.c_str() + eq + 1, &end);
  if (end == assignment.c_str() + eq + 1) return false;
  plug.GetParam(idx)->Set(v);
  plug.OnParamChange(idx);
  plug.MarkParamForEditor(idx);
  return true;
}

bool RunStep(Vesk& plug, IGraphicsOffscreen& g, const std::string& step)
{
  const size_t colon = step.find(':');
  if (colon == std::string::npos) return false;
  const std::string verb = step.substr(0, colon), arg = step.substr(colon + 1);
  std::vector<int> n;
  IMouseMod left, right, none;
  left.L = true;
  right.R = true;
  if (verb == "click" && ParseInts(arg, &n, 2)) g.OnButtonPress(n[0], n[1], &left), g.OnMouseUp(n[0], n[1], &left);
  else if (verb == "rclick" && ParseInts(arg, &n, 2)) g.OnButtonPress(n[0], n[1], &right), g.OnMouseUp(n[0], n[1], &right);
  else if (verb == "dblclick" && ParseInts(arg, &n, 2)) g.OnMouseDblClick(n[0], n[1], &left);
  else if (verb == "hover" && ParseInts(arg, &n, 2)) g.OnMouseOver(n[0], n[1], &none);
  else if (verb == "wheel" && ParseInts(arg, &n, 3)) g.OnMouseWheel(n[0], n[1], &none, n[2] * 120);  // notches
  else if (verb == "drag" && ParseInts(arg, &n, 4))
  {
    g.OnButtonPress(n[0], n[1], &left);
    g.OnMouseDrag(n[0] + n[2], n[1] + n[3], &left);
    g.OnMouseUp(n[0] + n[2], n[1] + n[3], &left);
  }
  else if (verb == "set") return SetByName(plug, arg);
  else if (verb == "play")
  {
    const size_t comma = arg.find(',');
    if (comma == std::string::npos) return false;
    Play(plug, std::atoi(arg.c_str()), std::atof(arg.c_str() + comma + 1));
  }
  else if (verb == "shot")
  {
    g.Tick();
    return g.WritePNG(arg);
  }
  else
    return false;
  g.Tick();
  return true;
}
}  // namespace

const char kUsage[] =
    "usage: vesk-shot OUT.png [STEP ...]\n"
    "draws the editor off screen after the steps, in order, and writes it as a PNG:\n"
    "  click:X,Y  rclick:X,Y  dblclick:X,Y  hover:X,Y   the mouse at editor pixel X,Y\n"
    "  wheel:X,Y,D                                      D wheel notches there\n"
    "  drag:X,Y,DX,DY                                   a left drag from X,Y by DX,DY\n"
    "  set:NAME=VALUE                                   a parameter by its name and value\n"
    "  play:NOTE,SECONDS                                a held note over a test tone\n"
    "  shot:PATH                                        a picture on the way\n";

int main(int argc, char** argv)
{
  AnswerCommandLine(argc, argv, kUsage);
  if (argc < 2)
  {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::unique_ptr<Vesk> plug(new Vesk());
  auto* g = plug ? dynamic_cast<IGraphicsOffscreen*>(plug->Layout().Graphics()) : nullptr;
  if (!g)
  {
    std::fprintf(stderr, "vesk-shot: the instrument has no off-screen editor\n");
    return 1;
  }
  plug->OnParamReset();
  plug->SetSampleRate(48000.0);
  plug->SetBlockSize(512);
  plug->Reset();
  g->OpenWindow(nullptr);
  g->Tick();
  for (int i = 2; i < argc; ++i)
    if (!RunStep(*plug, *g, argv[i]))
    {
      std::fprintf(stderr, "vesk-shot: cannot run step \"%s\"\n", argv[i]);
      return 1;
    }
  g->Tick();
  if (!g->WritePNG(argv[1]))
  {
    std::fprintf(stderr, "vesk-shot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
