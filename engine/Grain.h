#pragma once
// One grain slot: a stretch of the buffer read from a moving position under
// a window of fade-in, body and fade-out. Its state is its own; the grain
// scheduler starts grains and steps them.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/Selection.h"

enum class WindowShape : int { kLinear = 0, kParabolic = 1, kSine = 2 };

// Where a grain reads the live input instead of the buffer: nowhere, both
// channels, the left or the right one.
enum class GapMark : char { kNone = 'n', kBoth = 'b', kLeft = 'l', kRight = 'r' };

// A linear or parabolic window's weight at frame t of a grain with these
// fades and body, outside the body.
inline double FadeWeight(double t, double fi, double fo, double body, WindowShape shape)
{
  if (t <= fi)
  {
    if (fi <= 0.0) return 1.0;
    if (shape == WindowShape::kLinear) return t / fi;
    const double h = fi * 0.5, x = t / h;
    return t < h ? x * x * 0.5 : (2.0 - (2.0 - x) * (2.0 - x)) * 0.5;
  }
  if (t <= body + fi || fo <= 0.0) return 1.0;
  const double u = t - body - fi;
  if (shape == WindowShape::kLinear) return 1.0 - u / fo;
  const double h = fo * 0.5, x = u / h;
  return u < h ? (2.0 - x * x) * 0.5 : (2.0 - x) * (2.0 - x) * 0.5;
}

class Grain
{
public:
  int length() const { return mLength; }
  int fadeIn() const { return mFadeIn; }
  int fadeOut() const { return mFadeOut; }
  int total() const { return mTotal; }
  int elapsed() const { return mElapsed; }
  bool inUse() const { return mInUse; }
  double pos() const { return mPos; }
  double dir() const { return mDir; }
  GapMark gap() const { return mGap; }
  // Frames left before the body ends (the next grain is due then).
  int bodyLeft() const { return mLength - mElapsed; }

  // Idle, at the buffer's start, with the window for a grain of this length.
  void reset(int length, int fade)
  {
    mInUse = false;
    mElapsed = 0;
    mDir = 1.0;
    mPos = 0.0;
    setShape(length, fade);
  }
  void setShape(int length, int fade)
  {
    mLength = length;
    mFadeIn = mFadeOut = fade;
    mTotal = length + 2 * fade;
  }
  // A sounding grain keeps its place in its window when the length changes
  // (with `rescale`, in proportion), and never lies past the new window's
  // end: a grain left there by earlier changes would otherwise be scaled
  // by the next one beyond any count.
  void rescaleElapsed(int length, int fade, bool rescale)
  {
    if (!mInUse) return;
    double elapsed = mElapsed;
    if (rescale && mFadeIn != 0)
    {
      const double fi = mFadeIn;
      if (mElapsed < mFadeIn)
        elapsed = std::trunc(mElapsed / fi * fade);
      else if (mElapsed > mLength + mFadeIn)
        elapsed = std::trunc((mElapsed - mLength - mFadeIn) / fi * fade + length - 1);
      else if (mElapsed > length + fade)
        elapsed = length + fade - 1;
    }
    mElapsed = static_cast<int>(std::clamp(elapsed, 0.0, static_cast<double>(length + 2 * fade - 1)));
  }
  void clampElapsed(int length)
  {
    if (mElapsed >= length) mElapsed = length - 1;
  }
  // Shorter fades for a grain at least as long as the current one.
  void trimFades(int current, int fade)
  {
    if (!mInUse || mLength < current) return;
    mFadeIn = mFadeOut = fade;
    mTotal = mLength + 2 * fade;
    if (mElapsed >= mTotal) mInUse = false;
  }
  void setElapsed(int elapsed) { mElapsed = elapsed; }
  void setInUse(bool on) { mInUse = on; }

  // A new grain: its window and the direction it inherits; its position
  // and start come from the scheduler.
  void start(int length, int fadeIn, int fadeOut, double dir)
  {
    mLength = length;
    mFadeIn = fadeIn;
    mFadeOut = fadeOut;
    mTotal = fadeIn + length + fadeOut;
    mDir = dir;
  }
  void place(double pos) { mPos = pos; }
  void place(double pos, double dir)
  {
    mPos = pos;
    mDir = dir;
  }
  void begin(int elapsed, GapMark gap)
  {
    mElapsed = elapsed;
    mInUse = true;
    mGap = gap;
  }
  void setGap(GapMark gap) { mGap = gap; }

  // One frame on in the window; false when the grain has ended.
  bool tick()
  {
    if (++mElapsed < mTotal) return true;
    mInUse = false;
    return false;
  }
  // The read position moves; the edge rule keeps it in the window.
  void move(const SelectionWindow& w, double move, EdgeMode edges)
  {
    const PosDir p = EdgeRule(w, mPos + move, mDir, edges);
    mPos = p.pos;
    mDir = p.dir;
  }

  // The window's weight at the current frame.
  double weight(WindowShape shape) const
  {
    if (shape == WindowShape::kSine)
      return (1.0 - std::cos(2.0 * std::numbers::pi * mElapsed / mTotal)) * 0.5;
    if (mElapsed > mFadeIn && mElapsed <= mLength + mFadeIn) return 1.0;
    return fadeWeight(shape);
  }
  // Linear or parabolic weight in the fade-in or fade-out.
  double fadeWeight(WindowShape shape) const { return FadeWeight(mElapsed, mFadeIn, mFadeOut, mLength, shape); }

private:
  int mLength = 4, mFadeIn = 0, mFadeOut = 0, mTotal = 4;
  double mPos = 0.0, mDir = 1.0;
  int mElapsed = 0;
  bool mInUse = false;
  GapMark mGap = GapMark::kNone;
};
