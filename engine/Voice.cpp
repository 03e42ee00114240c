// A voice's parts together: selection and playhead against the reader,
// pitch against the grains and the filter, envelope stages.
#include "engine/Voice.h"

#include <algorithm>
#include <cmath>

#include "engine/EngineRates.h"

Voice::Voice() : mRates(&EngineRates::Default())
{
  mGrains.setNotePeriod(std::max(4, static_cast<int>(mRates->sampleRate / 220.0 + 0.5)));
  resetGrains(true);
}

void Voice::attach(int id, Buffer* buffer, const PitchBlock* pitch, const EngineRates* rates, RandomSource* random)
{
  mId = id;
  mBuffer = buffer;
  mPitch = pitch;
  mRates = rates;
  mRandom = random;
  mChain.setRates(rates);
}

GrainContext Voice::context() const
{
  // The parts are the voice's own; a const voice is only read through them.
  Voice& self = const_cast<Voice&>(*this);
  return {mBuffer, mRates, mPitch, mInput, mBlockFrames, mBlockPos, mRandom, self.mNote, self.mPlayhead};
}

// ---- Selection and playhead ---------------------------------------------------

void Voice::edgeRule(double* pos, double* dir) const
{
  const PosDir r = mPlayhead.edgeRule(window(), *pos, *dir);
  *pos = r.pos;
  *dir = r.dir;
}

void Voice::setSelStart(double frames)
{
  mPlayhead.setSelStart(frames, bufferLength());
  mGrains.wrapCurrent(window());
}

void Voice::setSelEnd(double frames)
{
  mPlayhead.setSelEnd(frames, bufferLength());
  mGrains.wrapCurrent(window());
}

void Voice::wrapReadPositions()
{
  mGrains.wrapPositions(window());
}

void Voice::returnToSelectionStart()
{
  mPlayhead.setBoth(mPlayhead.selStart());
}

void Voice::aimPlayhead(double fraction)
{
  if (!mPlayhead.aim((bufferLength() - 1) * fraction)) return;
  const PosDir p = mPlayhead.edgeRule(window(), mPlayhead.aimTarget(), mGrains.current().dir());
  mGrains.placeCurrent(mGrains.current().pos(), p.dir);
  if (mStarted)
  {
    if (!startPhGlide(mPlayhead.glideSamples(), p.pos)) mPlayhead.dropAim();
    return;
  }
  mGrains.placeCurrent(p.pos);
  mPlayhead.setBoth(p.pos);
  mPlayhead.dropAim();
}

bool Voice::startPhGlide(int samples, double target)
{
  int steps = samples;
  if (mGrains.mode() == GrainMode::kSimple)
  {
    if (samples < 2)
    {
      mGrains.placeCurrent(target);
      mPlayhead.setBoth(target);
      return false;
    }
  }
  else
  {
    steps = samples / std::max(1, mGrains.current().length() * mGrains.repeat());
    if (steps < 2)
    {
      mPlayhead.setBoth(target);
      mPlayhead.resetGlideCount();
      return false;
    }
  }
  mPlayhead.startGlide(steps, mGrains.current().pos(), target);
  return true;
}

void Voice::stopPhGlide()
{
  if (mPlayhead.stopGlide()) mGrains.placeCurrent(mPlayhead.truePos());
}

void Voice::setPhGlideSamples(int samples)
{
  mPlayhead.setGlideSamples(samples);
  if (!mPlayhead.gliding()) return;
  const int remaining = mPlayhead.glideSamples() - mPlayhead.glideCount();
  if (remaining < 2)
    stopPhGlide();
  else
    startPhGlide(remaining, mPlayhead.aimTarget());
}

void Voice::setEdges(EdgeMode edges)
{
  mPlayhead.setEdges(edges);
  if (edges == EdgeMode::kWrap) mGrains.resetDirections();
}

// ---- Pitch ------------------------------------------------------------------------

void Voice::updateAutoFreq()
{
  if (!mChain.agcAuto()) return;
  double hz = 50.0;
  const int n = mNote.note();
  if (n >= 0 && mGrains.mode() == GrainMode::kNote)
    hz = FoldAgcFrequency(mNote.periodFreq(), true, 50.0, 500.0);
  else if (n >= 0 && mGrains.mode() == GrainMode::kBeat)
    hz = FoldAgcFrequency(
      mPitch->keyMeter[PitchClass(n)] * mNote.baseLenRatio() * mNote.bend() * mRates->tempo / 60.0, false, 4.0, 500.0);
  mChain.agc().setFrequency(hz);
}

void Voice::setNoteNow(int n)
{
  mNote.setNote(n, mPitch->noteTable[n]);
  mGrains.setPeriods(computeNotePeriod(), computeBeatPeriod());
  updateAutoFreq();
  mChain.filter().noteOn(mNote.freq());
}

void Voice::retune(int n, int steps)
{
  mNote.retarget(n, mPitch->noteTable[n]);
  mGrains.setBeatPeriod(computeBeatPeriod());
  updateAutoFreq();
  mChain.filter().glideToNote(mNote.target(), steps);
  mNote.glideTo(steps);
}

void Voice::advanceFrequencyGlide()
{
  if (!mNote.stepFrequency()) return;
  mGrains.setNotePeriod(computeNotePeriod());
  updateAutoFreq();
}

void Voice::setBaseLen(int nom, int denum)
{
  mNote.setBaseLen(nom, denum);
  int period;
  if (mGrains.mode() == GrainMode::kBeat)
    mGrains.setBeatPeriod(period = computeBeatPeriod());
  else
    mGrains.setNotePeriod(period = computeNotePeriod());
  updateAutoFreq();
  applyGrainLength(period);
  mChain.filter().setRatio(mNote.baseLenRatio(), mActive);
}

void Voice::setPlayRate(double rate)
{
  mGrains.setPlayRate(rate);
  if (!mPlayhead.gliding()) mChain.filter().setPlayRate(rate, mActive);
}

void Voice::setKeyMeterChanged()
{
  if (!mActive || mGrains.mode() != GrainMode::kBeat) return;
  const int period = computeBeatPeriod();
  mGrains.setBeatPeriod(period);
  applyGrainLength(period);
}

// ---- Grains ---------------------------------------------------------------------------

void Voice::resetGrains(bool hard)
{
  GrainContext c = context();
  mGrains.reset(hard, mStarted, c);
}

void Voice::startGrain(int delay)
{
  GrainContext c = context();
  mGrains.startGrain(delay, c);
}

bool Voice::renderGrains(double* left, double* right)
{
  GrainContext c = context();
  return mGrains.render(c, left, right);
}

void Voice::renderSimple(double* left, double* right)
{
  GrainContext c = context();
  mGrains.renderSimple(c, left, right);
}

void Voice::setGrainMode(GrainMode mode)
{
  mGrains.setMode(mode);
  if (!mStarted || mode == GrainMode::kSimple) return;
  resetGrains(false);
  if (mode == GrainMode::kNote)
    mGrains.setNotePeriod(computeNotePeriod());
  else
    mGrains.setBeatPeriod(computeBeatPeriod());
}

void Voice::setRepeat(int n)
{
  mPlayhead.scaleGlideStep(static_cast<double>(n) / mGrains.repeat());
  mGrains.setRepeat(n);
}

// ---- Envelopes and the chain ------------------------------------------------------------

void Voice::setStage(int stage)
{
  mChain.enterStage(stage, mRates->sampleRate);
}

void Voice::setAgcAmount(double amount)
{
  if (!mChain.setAgcAmount(amount)) return;
  // The gain control coming on takes its frequency from the note, whether
  // or not the automatic mode is on.
  const bool wasAuto = mChain.agcAuto();
  mChain.setAgcAuto(true);
  updateAutoFreq();
  mChain.setAgcAuto(wasAuto);
}
