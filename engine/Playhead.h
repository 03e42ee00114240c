#pragma once
// A voice's playhead: the selection it plays inside, the played and the
// true position with their directions (errors move only the played one
// while the true one keeps its pace), the edge rule, and the glide toward
// an aimed position.
#include "engine/Selection.h"

class Playhead
{
public:
  static constexpr double kMinSelWidth = 4.0;

  explicit Playhead(double bufferFrames) : mSelEnd(bufferFrames) {}

  double selStart() const { return mSelStart; }
  double selEnd() const { return mSelEnd; }
  double playPos() const { return mPlayPos; }
  double playDir() const { return mPlayDir; }
  double truePos() const { return mTruePos; }
  double trueDir() const { return mTrueDir; }
  EdgeMode edges() const { return mEdges; }
  bool returnsToStart() const { return mReturn; }
  double aimTarget() const { return mAimTarget; }
  double lastAim() const { return mLastAim; }
  bool gliding() const { return mGliding; }
  double glideStep() const { return mGlideStep; }
  int glideSamples() const { return mGlideSamples; }
  int glideSteps() const { return mGlideSteps; }
  int glideCount() const { return mGlideCount; }

  // The selection over the filled part of the buffer.
  SelectionWindow window(double filled) const
  {
    const double s = mSelStart >= filled ? 0.0 : mSelStart;
    const double e = filled < mSelEnd ? filled : mSelEnd;
    return {s, e, e - s};
  }
  PosDir edgeRule(const SelectionWindow& w, double pos, double dir) const { return EdgeRule(w, pos, dir, mEdges); }

  // Both edges keep the minimum width between them inside the buffer.
  void setSelStart(double frames, double length)
  {
    mSelStart = frames < length - kMinSelWidth ? frames : length - kMinSelWidth;
    if (mSelEnd > length) mSelEnd = length;
    if (mSelStart >= mSelEnd) mSelEnd = mSelStart + kMinSelWidth;
  }
  void setSelEnd(double frames, double length)
  {
    mSelEnd = frames > length ? length : (frames > kMinSelWidth ? frames : kMinSelWidth);
    if (mSelStart >= mSelEnd) mSelStart = mSelEnd - kMinSelWidth;
  }
  // Wrapping ends: every direction forward again.
  void setEdges(EdgeMode edges)
  {
    mEdges = edges;
    if (edges == EdgeMode::kWrap) mPlayDir = mTrueDir = 1.0;
  }
  void setReturnsToStart(bool on) { mReturn = on; }

  void setPlay(double pos) { mPlayPos = pos; }
  void setPlay(double pos, double dir)
  {
    mPlayPos = pos;
    mPlayDir = dir;
  }
  void setTrue(double pos) { mTruePos = pos; }
  void setTrue(double pos, double dir)
  {
    mTruePos = pos;
    mTrueDir = dir;
  }
  void setBoth(double pos) { mPlayPos = mTruePos = pos; }
  // Without errors kept apart, the true position follows the played one.
  void trueFollowsPlay()
  {
    mTruePos = mPlayPos;
    mTrueDir = mPlayDir;
  }
  void resetDirections() { mPlayDir = mTrueDir = 1.0; }

  // Aiming: the target clamped into the selection; false when unchanged.
  bool aim(double target)
  {
    if (mSelStart > target)
      target = mSelStart;
    else if (target >= mSelEnd)
      target = mSelEnd - 1.0;
    if (target == mAimTarget) return false;
    mAimTarget = target;
    return true;
  }
  void dropAim() { mAimTarget = -1.0; }
  void startGlide(int steps, double from, double target)
  {
    mGlideSteps = steps;
    mGlideStep = (target - from) / steps;
    mGliding = true;
    mGlideCount = 0;
  }
  void resetGlideCount() { mGlideCount = 0; }
  // True when this step was the glide's last.
  bool countGlideStep() { return ++mGlideCount >= mGlideSteps; }
  // The glide lands on its aim; false when none ran.
  bool stopGlide()
  {
    if (!mGliding) return false;
    mTruePos = mAimTarget;
    mLastAim = mAimTarget;
    mAimTarget = -1.0;
    mGlideStep = 0.0;
    mGlideCount = 0;
    mGliding = false;
    return true;
  }
  void setGlideSamples(int samples) { mGlideSamples = samples > 1 ? samples : 1; }
  void scaleGlideStep(double factor) { mGlideStep *= factor; }

private:
  double mSelStart = 0.0, mSelEnd;
  double mAimTarget = -1.0, mLastAim = 0.0;
  double mGlideStep = 0.0;
  int mGlideSamples = 1, mGlideSteps = 1, mGlideCount = 0;
  bool mGliding = false;
  bool mReturn = false;
  EdgeMode mEdges = EdgeMode::kWrap;
  double mPlayPos = 0.0, mPlayDir = 1.0, mTruePos = 0.0, mTrueDir = 1.0;
};
