// Selection, playhead, pitch and envelope stages of a voice.
#include "engine/Voice.h"

#include <algorithm>
#include <cmath>


namespace {

// Grain periods are kept inside the int range whatever tempo a host sends.
int ClampPeriod(double samples)
{
  return static_cast<int>(std::clamp(samples, 4.0, 1073741824.0));
}

}  // namespace

double ReduceBelowSpan(double x, double span)
{
  if (x >= 4.0 * span) x = std::fmod(x, span);
  while (x >= span) x -= span;
  return x;
}

Voice::PosDir Voice::edgeRuleOutside(const Window& w, double pos, double dir, bool mirror)
{
  if (pos > w.e - 1.0)
  {
    const double over = ReduceBelowSpan(pos - (w.e - 1.0), w.span);
    return mirror ? PosDir{w.e - std::max(1.0, over), -dir} : PosDir{w.s + over, dir};
  }
  const double under = ReduceBelowSpan(w.s - pos, w.span);
  return mirror ? PosDir{w.s + under, -dir} : PosDir{w.e - std::max(1.0, under), dir};
}

double Voice::spanReduceLong(const Window& w, double move)
{
  const double reduced = ReduceBelowSpan(std::fabs(move), w.span);
  return move < 0.0 ? -reduced : reduced;
}

Voice::Voice()
{
  notePeriod = std::max(4, static_cast<int>(rates->sampleRate / 220.0 + 0.5));
  std::fill(std::begin(gapMark), std::end(gapMark), 'n');
  resetGrains(true);
}

void Voice::wrapIntoWindow(double* pos) const
{
  const Window w = window();
  if (w.span <= 1.0)
  {
    *pos = w.s;
    return;
  }
  // Whole spans off the end, then whole spans onto a negative position.
  if (*pos >= w.e) *pos = w.s + ReduceBelowSpan(*pos - w.s, w.span);
  if (*pos < 0.0) *pos += w.span * std::floor(-*pos / w.span);
  while (*pos < 0.0) *pos += w.span;
}

void Voice::wrapReadPositions()
{
  if (grainMode == kSimpleMode)
    wrapIntoWindow(&readPos[currentSlot]);
  else
    for (double& p : readPos) wrapIntoWindow(&p);
}

void Voice::setSelStart(double frames)
{
  const double length = bufferLength();
  selStart = std::min(length - minSelWidth, frames);
  if (selEnd > length) selEnd = length;
  if (selStart >= selEnd) selEnd = selStart + minSelWidth;
  wrapIntoWindow(&readPos[currentSlot]);
}

void Voice::setSelEnd(double frames)
{
  const double length = bufferLength();
  selEnd = frames > length ? length : std::max(minSelWidth, frames);
  if (selStart >= selEnd) selStart = selEnd - minSelWidth;
  wrapIntoWindow(&readPos[currentSlot]);
}

void Voice::aimPlayhead(double fraction)
{
  double target = (bufferLength() - 1) * fraction;
  if (selStart > target)
    target = selStart;
  else if (target >= selEnd)
    target = selEnd - 1.0;
  if (target == aimTarget) return;
  aimTarget = target;
  double p = target;
  edgeRule(&p, &readDir[currentSlot]);
  if (started)
  {
    if (!startPhGlide(phGlideSamples, p)) aimTarget = -1.0;
    return;
  }
  readPos[currentSlot] = playPos = truePos = p;
  aimTarget = -1.0;
}

bool Voice::startPhGlide(int samples, double target)
{
  if (grainMode == kSimpleMode)
  {
    if (samples < 2)
    {
      readPos[currentSlot] = playPos = truePos = target;
      return false;
    }
    phGlideSteps = samples;
  }
  else
  {
    phGlideSteps = samples / std::max(1, grainLen[currentSlot] * repeat);
    if (phGlideSteps < 2)
    {
      playPos = truePos = target;
      phGlideCount = 0;
      return false;
    }
  }
  phGlideStep = (target - readPos[currentSlot]) / phGlideSteps;
  phGliding = true;
  phGlideCount = 0;
  return true;
}

void Voice::stopPhGlide()
{
  if (!phGliding) return;
  readPos[currentSlot] = truePos = aimTarget;
  lastAim = aimTarget;
  aimTarget = -1.0;
  phGlideStep = 0.0;
  phGlideCount = 0;
  phGliding = false;
}

void Voice::setPhGlideSamples(int samples)
{
  phGlideSamples = std::max(1, samples);
  if (!phGliding) return;
  const int remaining = phGlideSamples - phGlideCount;
  if (remaining < 2)
    stopPhGlide();
  else
    startPhGlide(remaining, aimTarget);
}

int Voice::computeNotePeriod() const
{
  return ClampPeriod(std::trunc(rates->sampleRate / (noteFreq * baseLenRatio * bendFactor) + 0.5));
}

int Voice::computeBeatPeriod() const
{
  return ClampPeriod(std::trunc(rates->samplesPerBeat * pitch->keyMeter[PitchClass(note)] / baseLenRatio));
}

void Voice::updateAutoFreq()
{
  if (!agcAuto) return;
  double hz = 50.0;
  if (note >= 0 && grainMode == kNoteMode)
    hz = FoldAgcFrequency(noteFreq * baseLenRatio * bendFactor, true, 50.0, 500.0);
  else if (note >= 0 && grainMode == kBeatMode)
    hz = FoldAgcFrequency(pitch->keyMeter[PitchClass(note)] * baseLenRatio * bendFactor * rates->tempo / 60.0,
                          false, 4.0, 500.0);
  agc.setFrequency(hz);
}

void Voice::setNoteNow(int n)
{
  note = n;
  noteFreq = glideTarget = pitch->noteTable[n];
  gliding = false;
  glideStep = 0.0;
  notePeriod = computeNotePeriod();
  beatPeriod = computeBeatPeriod();
  updateAutoFreq();
  filter.noteOn(noteFreq);
}

void Voice::retune(int n, int steps)
{
  note = n;
  glideTarget = pitch->noteTable[n];
  beatPeriod = computeBeatPeriod();
  updateAutoFreq();
  filter.glideToNote(glideTarget, steps);
  if (glideTarget != noteFreq)
  {
    glideStep = (glideTarget - noteFreq) / std::max(1, steps);
    gliding = true;
  }
  else
  {
    glideStep = 0.0;
    gliding = false;
  }
}

void Voice::glideVelocity(double target, int steps)
{
  const double diff = target - velocity;
  velocityTarget = target;
  velocityStep = diff / std::max(1, steps);
  velocityRamping = diff != 0.0 || std::isnan(diff);
}



void Voice::advanceFrequencyGlide()
{
  noteFreq += glideStep;
  if ((glideTarget - noteFreq) * glideStep <= 1e-10)
  {
    noteFreq = glideTarget;
    gliding = false;
    glideStep = 0.0;
    notePeriod = computeNotePeriod();
    updateAutoFreq();
  }
}

void Voice::advanceVelocityGlide()
{
  velocity += velocityStep;
  if ((velocityTarget - velocity) * velocityStep <= 1e-10)
  {
    velocity = velocityTarget;
    velocityRamping = false;
  }
  velocityGain = velocity / 127.0;
}

void Voice::setBaseLen(int nom, int denum)
{
  baseLenRatio = static_cast<double>(denum) / nom;
  int period;
  if (grainMode == kBeatMode)
    period = beatPeriod = computeBeatPeriod();
  else
    period = notePeriod = computeNotePeriod();
  updateAutoFreq();
  applyGrainLength(period);
  filter.setRatio(baseLenRatio, active);
  baseLenNom = nom;
  baseLenDenum = denum;
}

void Voice::setPlayRate(double rate)
{
  playRate = rate;
  if (!phGliding) filter.setPlayRate(rate, active);
}

void Voice::setKeyMeterChanged()
{
  if (!active || grainMode != kBeatMode) return;
  beatPeriod = computeBeatPeriod();
  applyGrainLength(beatPeriod);
}

void Voice::setRates(const EngineRates* r)
{
  rates = filter.rates = dc.rates = agc.rates = r;
}

void Voice::setStage(int stage)
{
  if (stage == Envelope::kRelease)
  {
    releaseFromDecay = ampEnv.stage == Envelope::kDecay;
    releaseFromSustain = ampEnv.stage == Envelope::kSustain;
    const bool scaled = (releaseFromDecay || releaseFromSustain) && envLevel > 0.0;
    releaseScale = scaled ? 1.0 / envLevel : 1.0;
  }
  ampEnv.enter(stage, rates->sampleRate);
  if (stage == Envelope::kAttack || stage == Envelope::kRelease) filter.enterStage(stage);
}

void Voice::resetEnvelopes()
{
  ampEnv.reset();
  filter.resetState();
}

void Voice::clearStates()
{
  resetEnvelopes();
  dc.clear();
  agc.reset();
}

void Voice::healNonFinite()
{
  const FilterSection& s = filter.section;
  if (!IsFinite(s.b0) || !IsFinite(s.b1) || !IsFinite(s.b2) || !IsFinite(s.b3)) filter.section.clear();
  if (!IsFinite(dc.xPrev) || !IsFinite(dc.yPrev)) dc.clear();
  if (!agc.finite()) agc.reset();
}

void Voice::setAgcAmount(double amount)
{
  const double old = agc.amount;
  agc.amount = amount;
  if (amount == 0.0) agc.reset();
  agcOn = amount == 0.0 ? 0.0 : 1.0;
  if (old == 0.0 && amount != 0.0)
  {
    const bool wasAuto = agcAuto;
    agcAuto = true;
    updateAutoFreq();
    agcAuto = wasAuto;
  }
}

void Voice::setDcRemoval(bool on)
{
  dcOn = on;
  dc.clear();
  dc.updatePole();
}
