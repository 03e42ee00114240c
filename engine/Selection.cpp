#include "engine/Selection.h"

#include <algorithm>
#include <cmath>

double ReduceBelowSpan(double x, double span)
{
  if (x >= 4.0 * span) x = std::fmod(x, span);
  while (x >= span) x -= span;
  return x;
}

PosDir EdgeRuleOutside(const SelectionWindow& w, double pos, double dir, EdgeMode edges)
{
  const bool mirror = edges == EdgeMode::kMirror;
  if (pos > w.e - 1.0)
  {
    const double over = ReduceBelowSpan(pos - (w.e - 1.0), w.span);
    return mirror ? PosDir{w.e - std::max(1.0, over), -dir} : PosDir{w.s + over, dir};
  }
  const double under = ReduceBelowSpan(w.s - pos, w.span);
  return mirror ? PosDir{w.s + under, -dir} : PosDir{w.e - std::max(1.0, under), dir};
}

double SpanReduceLong(const SelectionWindow& w, double move)
{
  const double reduced = ReduceBelowSpan(std::fabs(move), w.span);
  return move < 0.0 ? -reduced : reduced;
}

double WrapIntoWindow(const SelectionWindow& w, double pos)
{
  if (w.span <= 1.0) return w.s;
  // Whole spans off the end, then whole spans onto a negative position.
  if (pos >= w.e) pos = w.s + ReduceBelowSpan(pos - w.s, w.span);
  if (pos < 0.0) pos += w.span * std::floor(-pos / w.span);
  while (pos < 0.0) pos += w.span;
  return pos;
}
