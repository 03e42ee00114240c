#include "tools/ParamTable.h"

#include <cstdio>

#include "frame/IPlugBase.h"
#include "plugin/VeskParams.h"

static const char* KindName(IParam::EParamType type)
{
  switch (type)
  {
    case IParam::kTypeBool: return "bool";
    case IParam::kTypeInt: return "int";
    case IParam::kTypeEnum: return "enum";
    case IParam::kTypeDouble: return "double";
    default: return "none";
  }
}

// Every value with a text of its own, as value=text; empty for a parameter
// shown as a number.
static std::string DisplayTexts(const IParam& p)
{
  std::string texts;
  for (int i = 0; i < p.NDisplayTexts(); ++i)
  {
    const IParam::DisplayText& t = p.GetDisplayText(i);
    char entry[128];
    std::snprintf(entry, sizeof entry, "%s%d=%s", texts.empty() ? "" : "; ", static_cast<int>(t.value), t.text);
    texts += entry;
  }
  return texts;
}

std::string FormatParamTable(IPlugBase& plug)
{
  std::string table = "idx\tname\tkind\tmin\tmax\tdefault\tstep\tshape\tdisplay\t"
                      "flags (a automatable, l MIDI-learnable, v kept per voice, s smoothed)\ttexts\n";
  for (int i = 0; i < plug.NParams(); ++i)
  {
    const IParam* p = plug.GetParam(i);
    const ParamRow& row = VeskParam(i);
    char display[64], line[256];
    p->GetDisplayForHost(p->Default(), false, display, sizeof display);
    // a: automatable, l: learnable, v: per voice, s: smoothed
    const std::string flags = std::string(row.automatable ? "a" : "-") + (row.learnable ? "l" : "-") +
                              (row.PerVoice() ? "v" : "-") + (row.Smoothed() ? "s" : "-");
    std::snprintf(line, sizeof line, "%d\t\"%s\"\t%s\t%.9g\t%.9g\t%.9g\t%.9g\t%g\t%s\t%s\t", i, p->GetNameForHost(),
                  KindName(p->Type()), p->Min(), p->Max(), p->Default(), p->Step(), p->Shape(), display, flags.c_str());
    table += line + DisplayTexts(*p) + "\n";
  }
  return table;
}
