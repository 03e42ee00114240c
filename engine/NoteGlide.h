#pragma once
// A voice's note: its number, velocity and frequency with their glides, the
// pitch bend, the base length ratio and the wobble factor.
#include <algorithm>
#include <cmath>

class NoteGlide
{
public:
  int note() const { return mNote; }
  double velocity() const { return mVelocity; }
  double velocityGain() const { return mVelocityGain; }
  bool velocityGliding() const { return mVelocityRamping; }
  double freq() const { return mFreq; }
  double target() const { return mTarget; }
  double glideStep() const { return mGlideStep; }
  bool gliding() const { return mGliding; }
  double bend() const { return mBend; }
  int baseLenNom() const { return mBaseLenNom; }
  int baseLenDenum() const { return mBaseLenDenum; }
  double baseLenRatio() const { return mBaseLenRatio; }
  double wobbleFactor() const { return mWobbleFactor; }
  bool wobbleInternal() const { return mWobbleInternal; }
  bool wobbleExternal() const { return mWobbleExternal; }
  // The frequency the grains follow, bend and base length included.
  double periodFreq() const { return mFreq * mBaseLenRatio * mBend; }

  // A note at once, no glide.
  void setNote(int n, double freq)
  {
    mNote = n;
    mFreq = mTarget = freq;
    mGliding = false;
    mGlideStep = 0.0;
  }
  void clearNote() { mNote = -1; }
  // A new target; the glide toward it begins with glideTo.
  void retarget(int n, double freq)
  {
    mNote = n;
    mTarget = freq;
  }
  void glideTo(int steps)
  {
    if (mTarget != mFreq)
    {
      mGlideStep = (mTarget - mFreq) / std::max(1, steps);
      mGliding = true;
    }
    else
    {
      mGlideStep = 0.0;
      mGliding = false;
    }
  }
  // A glide left to run on in the release stops where it is.
  void stopGlide() { mGliding = false; }
  // True when the glide reached its target with this step.
  bool stepFrequency()
  {
    mFreq += mGlideStep;
    if ((mTarget - mFreq) * mGlideStep > 1e-10) return false;
    mFreq = mTarget;
    mGliding = false;
    mGlideStep = 0.0;
    return true;
  }

  void setVelocity(double velocity)
  {
    mVelocity = mVelocityTarget = std::trunc(velocity);
    mVelocityRamping = false;
    mVelocityGain = mVelocity / 127.0;
  }
  void glideVelocity(double target, int steps)
  {
    const double diff = target - mVelocity;
    mVelocityTarget = target;
    mVelocityStep = diff / std::max(1, steps);
    mVelocityRamping = diff != 0.0 || std::isnan(diff);
  }
  void stepVelocity()
  {
    mVelocity += mVelocityStep;
    if ((mVelocityTarget - mVelocity) * mVelocityStep <= 1e-10)
    {
      mVelocity = mVelocityTarget;
      mVelocityRamping = false;
    }
    mVelocityGain = mVelocity / 127.0;
  }
  // Running glides keep their targets when the glide time changes.
  void scaleGlides(double scale)
  {
    mVelocityStep *= scale;
    mGlideStep *= scale;
  }

  void setBend(double bend) { mBend = bend; }
  void setBaseLen(int nom, int denum)
  {
    mBaseLenRatio = static_cast<double>(denum) / nom;
    mBaseLenNom = nom;
    mBaseLenDenum = denum;
  }
  void setWobbleFactor(double factor) { mWobbleFactor = factor; }
  void setWobble(bool internal, bool external)
  {
    mWobbleInternal = internal;
    mWobbleExternal = external;
  }

private:
  int mNote = -1;
  double mVelocity = 0.0, mVelocityTarget = 0.0, mVelocityStep = 0.0, mVelocityGain = 0.0;
  bool mVelocityRamping = false;
  double mFreq = 220.0, mTarget = 220.0, mGlideStep = 0.0;
  bool mGliding = false;
  double mBend = 1.0;
  int mBaseLenNom = 1, mBaseLenDenum = 1;
  double mBaseLenRatio = 1.0;
  double mWobbleFactor = 1.0;
  bool mWobbleInternal = false, mWobbleExternal = false;
};
