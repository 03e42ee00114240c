#include "engine/Selection.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

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

int ExactSteps(const SelectionWindow& w, double pos, double move, int most)
{
  const double scaled = move * 1024.0, lastFrame = w.e - 1.0;
  const bool simple = scaled != 0.0 && scaled == std::trunc(scaled) && std::fabs(scaled) < 1073741824.0;
  if (most <= 0 || !simple || !(pos >= 1.0) || pos < w.s || pos > lastFrame) return 0;
  const uint64_t binade = std::bit_cast<uint64_t>(pos) & 0xFFF0000000000000ull;
  const double lo = std::bit_cast<double>(binade);
  const double below = std::bit_cast<double>(binade + 0x0010000000000000ull - 1);  // the binade's last number
  const double top = std::min(lastFrame, below), bottom = std::max(w.s, lo);
  auto inside = [&](int i) {
    const double p = pos + i * move;
    return p <= top && p >= bottom;
  };
  const double room = move > 0.0 ? top - pos : bottom - pos;
  int k = static_cast<int>(std::min<double>(most, std::max(0.0, room / move)));
  while (k > 0 && !inside(k)) --k;
  while (k < most && inside(k + 1)) ++k;
  return k;
}
