#include "engine/VoiceFilter.h"

#include <algorithm>
#include <cmath>
#include <numbers>


void FilterSection::setCutoff(double c, double sampleRate)
{
  cutoff = c;
  f = 1.5 * std::sin(std::numbers::pi * c / sampleRate);
  setResonance(q);
}

void FilterSection::setResonance(double resonance)
{
  q = resonance;
  double d = 1.0 - f;
  if (d >= 0.0 && d < 0.0001) d = 0.0001;
  if (d < 0.0 && d > -0.0001) d = -0.0001;
  fb = q + q / d;
}

VoiceFilter::VoiceFilter()
{
  section.q = 0.0;
  section.setCutoff(std::min(20000.0, rates->topFilterFreq), rates->sampleRate);
  section.clear();
}


double VoiceFilter::targetCutoff() const
{
  const double m = harmonic * (trackPlayRate ? playRate : 1.0);
  const double base = followNote ? ratio * noteFreq : baseFreq;
  return clampCutoff(base * m);
}


void VoiceFilter::applyCutoff(double c)
{
  section.setCutoff(c, rates->sampleRate);
}

void VoiceFilter::endGlide()
{
  cutoff = cutoffTarget;
  cutoffStep = 0.0;
  cutoffGliding = 0.0;
  applyCutoff(envelopeCutoff(cutoff));
}

void VoiceFilter::glide(double length)
{
  cutoffTarget = targetCutoff();
  const double step = (cutoffTarget - cutoff) / length;
  if (std::fabs(step) > 1e-10)
  {
    cutoffStep = step;
    cutoffGliding = 1.0;
  }
  else
    endGlide();
}

void VoiceFilter::redirect()
{
  const int remaining = static_cast<int>((cutoffTarget - cutoff) / cutoffStep);
  cutoffTarget = targetCutoff();
  const double step = remaining > 0 ? (cutoffTarget - cutoff) / remaining : 0.0;
  if (std::fabs(step) <= 1e-10)
    endGlide();
  else
    cutoffStep = step;
}

void VoiceFilter::scaleThenRedirect(double factor)
{
  cutoff = clampCutoff(cutoff * factor);
  redirect();
}

// A change of the cut-off multiplier: glide when none runs, else carry the
// running glide over to the new target.
void VoiceFilter::retarget(double factor, bool active)
{
  if (!live(active))
  {
    dirty = true;
    return;
  }
  if (cutoffGliding != 0.0)
    scaleThenRedirect(factor);
  else
    glide(glideLength);
}

void VoiceFilter::resetState()
{
  env.reset();
  section.clear();
}

void VoiceFilter::applyStored()
{
  for (int s = 1; s <= 4; ++s) env.setStageValue(s, stageTimes[s], rates->sampleRate);
  cutoff = cutoffTarget = targetCutoff();
  applyCutoff(envelopeCutoff(cutoff));
  section.setResonance(resonance);
  dirty = false;
}

void VoiceFilter::updateRate()
{
  cutoff = clampCutoff(cutoff);
  cutoffTarget = clampCutoff(cutoffTarget);
  applyCutoff(envelopeCutoff(cutoff));
}

void VoiceFilter::noteOn(double freq)
{
  noteFreq = freq;
  if (!enabled)
  {
    dirty = true;
    return;
  }
  if (dirty) applyStored();
  glide(1.0);
}

void VoiceFilter::glideToNote(double freq, int samples)
{
  noteFreq = freq;
  if (!enabled)
  {
    dirty = true;
    return;
  }
  if (dirty) applyStored();
  if (followNote) glide(std::max(1, samples));
}

void VoiceFilter::setFollowNote(bool on, bool active)
{
  followNote = on;
  if (live(active))
    glide(glideLength);
  else
    dirty = true;
}

void VoiceFilter::setHarmonic(double h, bool active)
{
  const double factor = h / harmonic;
  harmonic = h;
  retarget(factor, active);
}

void VoiceFilter::setRatio(double r, bool active)
{
  const double factor = r / ratio;
  ratio = r;
  retarget(factor, active);
}

void VoiceFilter::setTrackPlayRate(bool on, bool active)
{
  if (on == trackPlayRate) return;
  trackPlayRate = on;
  if (live(active) && cutoffGliding != 0.0 && playRate == 1.0) return;
  retarget(on ? playRate : 1.0 / playRate, active);
}

void VoiceFilter::setBaseFreq(double freq, bool active)
{
  baseFreq = freq;
  if (followNote) return;
  if (!live(active))
    dirty = true;
  else if (cutoffGliding != 0.0)
    scaleThenRedirect(1.0);
  else
  {
    cutoff = cutoffTarget = targetCutoff();
    applyCutoff(envelopeCutoff(cutoff));
  }
}

void VoiceFilter::setPlayRate(double rate, bool active)
{
  playRate = std::fabs(rate);
  if (!trackPlayRate) return;
  if (!live(active))
    dirty = true;
  else if (cutoffGliding != 0.0)
    redirect();
  else
  {
    cutoff = cutoffTarget = targetCutoff();
    applyCutoff(envelopeCutoff(cutoff));
  }
}

void VoiceFilter::setResonance(double q, bool active)
{
  resonance = q;
  if (!live(active))
  {
    dirty = true;
    return;
  }
  section.setResonance(q);
}

void VoiceFilter::setPassType(PassType type)
{
  section.passType = type;
}

void VoiceFilter::setStageValue(int stage, double v, bool active)
{
  if (stage < 1 || stage > 4) return;
  stageTimes[stage] = v;
  if (live(active))
    env.setStageValue(stage, v, rates->sampleRate);
  else
    dirty = true;
}

void VoiceFilter::enterStage(int stage)
{
  if (enabled) env.enter(stage, rates->sampleRate);
}

void VoiceFilter::setEnabled(bool on, const Envelope& ampEnv)
{
  if (!on)
  {
    enabled = false;
    if (cutoffGliding != 0.0) endGlide();
    env.reset();
    lastEnvLevel = 0.0;
    return;
  }
  enabled = true;
  if (dirty) applyStored();
  section.clear();
  if (ampEnv.stage == Envelope::kRelease)
  {
    if (env.stage != Envelope::kRelease)
    {
      env.level = env.sustainLevel();
      env.enter(Envelope::kRelease, rates->sampleRate);
    }
  }
  else if (ampEnv.stage != Envelope::kIdle)
  {
    env.enter(Envelope::kSustain, rates->sampleRate);
  }
}
