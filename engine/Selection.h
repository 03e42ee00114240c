#pragma once
// The stretch of a buffer a voice reads from: its selection, cut to what is
// filled, and what a position does at its edges (wraps round, or mirrors
// back with its direction turned).

// The selection over the filled part of the buffer: start, end and span in frames.
struct SelectionWindow
{
  double s, e, span;
};

// What a position does at the window's edges: it wraps round to the other
// end, or it mirrors back with its direction turned.
enum class EdgeMode : bool { kWrap, kMirror };

struct PosDir
{
  double pos, dir;
};

// Repeated subtraction of span until x is below it, done in one step when
// x is far away.
double ReduceBelowSpan(double x, double span);

// A position that left the window, brought back by the edge rule.
PosDir EdgeRuleOutside(const SelectionWindow& w, double pos, double dir, EdgeMode edges);

// A move of more than the span, reduced below it keeping its sign.
double SpanReduceLong(const SelectionWindow& w, double move);

// A position brought into the window by whole spans.
double WrapIntoWindow(const SelectionWindow& w, double pos);

inline PosDir EdgeRule(const SelectionWindow& w, double pos, double dir, EdgeMode edges)
{
  if (w.span <= 1.0) return {w.s, dir};
  if (pos > w.e - 1.0 || pos < w.s) return EdgeRuleOutside(w, pos, dir, edges);
  return {pos, dir};
}

// A move reduced below the selection span, keeping its sign.
inline double SpanReduce(const SelectionWindow& w, double move)
{
  if (w.span <= 1.0) return w.s;
  return move < w.span && move > -w.span ? move : SpanReduceLong(w, move);
}

// How many more steps of `move` from `pos` keep every position exactly
// pos + i * move, so a run can take them in one go: a move of at most 20
// whole and 10 fractional bits (128 of them add up exactly), every position
// in the binade of pos (where adding such a move is exact) and inside the
// window, where no edge rule applies. At most `most`.
int ExactSteps(const SelectionWindow& w, double pos, double move, int most);
