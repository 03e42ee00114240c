// Prints the instrument's parameter table.
#include <cstdio>
#include <memory>

#include "plugin/Vesk.h"
#include "tools/ParamTable.h"
#include "tools/ToolUsage.h"

namespace {
const char kUsage[] =
    "usage: vesk-params\n"
    "prints every parameter of the plug-in, one a line, its columns separated by tabs:\n"
    "  idx      its index (0 to 112), as hosts, MIDI learn and the saved state number them\n"
    "  name     its name as hosts show it (and vesk-render --set takes it)\n"
    "  kind     bool, int, enum (a list of values) or double\n"
    "  min max default step shape   its range, default, step and the curve of a host's 0..1 over the range\n"
    "  display  the default as the plug-in shows it\n"
    "  flags    a: hosts may automate it, l: MIDI learn can take it, v: each voice keeps its own,\n"
    "           s: a change glides over a block instead of jumping; '-' where not\n"
    "  texts    the values with a text of their own, as value=text (empty: shown as a number)\n";
}  // namespace

int main(int argc, char** argv)
{
  AnswerCommandLine(argc, argv, kUsage);
  if (argc > 1)
  {
    std::fprintf(stderr, "vesk-params: takes no arguments\n%s", kUsage);
    return 2;
  }
  std::unique_ptr<Vesk> plug(new Vesk());
  if (!plug)
  {
    std::fprintf(stderr, "vesk-params: not enough memory for the instrument\n");
    return 1;
  }
  std::fputs(FormatParamTable(*plug).c_str(), stdout);
  return 0;
}
