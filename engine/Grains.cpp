// The grain engine of a voice: eight slots of windowed grains in NOTE and
// BEAT mode, and the straight reader of SIMPLE mode.
#include <algorithm>
#include <cmath>

#include "engine/Buffer.h"
#include "engine/EngineRates.h"
#include "engine/GrainScheduler.h"
#include "engine/Pitch.h"

namespace {

int FadeOf(int length, double overlap) { return static_cast<int>(length * overlap); }

// Grain periods are kept short enough that a grain with the widest fades
// (3.5 periods on each side) still counts its frames in an int, whatever
// tempo a host sends.
int ClampPeriod(double samples)
{
  return static_cast<int>(std::clamp(samples, 4.0, 134217728.0));
}

// Reads run through the buffers a frame at a time, many streams at once;
// asking for the memory a few cache lines ahead keeps them from stalling.
constexpr int kPrefetchFrames = 16;

void PrefetchAround(const Buffer& buffer, int idx, double dir)
{
#if defined(__GNUC__)
  const int ahead = dir < 0.0 ? idx - kPrefetchFrames : idx + kPrefetchFrames;
  if (ahead >= 0 && ahead < kBufferFrames) __builtin_prefetch(&buffer.frames[ahead]);
#endif
}

int Filled(const GrainContext& c) { return c.buffer ? c.buffer->filled : 0; }

}  // namespace

// ---- Periods and windows --------------------------------------------------------

int GrainScheduler::computeNotePeriod(const GrainContext& c) const
{
  return ClampPeriod(std::trunc(c.rates->sampleRate / c.note.periodFreq() + 0.5));
}

int GrainScheduler::computeBeatPeriod(const GrainContext& c) const
{
  return ClampPeriod(
    std::trunc(c.rates->samplesPerBeat * c.pitch->keyMeter[PitchClass(c.note.note())] / c.note.baseLenRatio()));
}

int GrainScheduler::grainLength(const GrainContext& c)
{
  if (mMode == GrainMode::kNote) return mNotePeriod = computeNotePeriod(c);
  return mBeatPeriod = computeBeatPeriod(c);
}

SelectionWindow GrainScheduler::window(const GrainContext& c) const
{
  return c.playhead.window(Filled(c));
}

void GrainScheduler::applyLength(int length)
{
  const int fade = FadeOf(length, mOverlap);
  if (mOverlap == 0.0) mSlots[mCurrent].clampElapsed(length);
  for (Grain& g : mSlots) g.rescaleElapsed(length, fade, mOverlap != 0.0);
  for (Grain& g : mSlots) g.setShape(length, fade);
}

void GrainScheduler::reset(bool hard, bool started, GrainContext& c)
{
  const double kept = mSlots[mCurrent].pos();
  if (hard) c.playhead.resetDirections();
  const int length = mMode == GrainMode::kBeat ? mBeatPeriod : mNotePeriod;
  const int fade = FadeOf(length, mOverlap);
  for (Grain& g : mSlots) g.reset(length, fade);
  Grain& cur = mSlots[mCurrent];
  if (!hard)
  {
    cur.place(kept);
    c.playhead.setPlay(kept - cur.fadeIn() - cur.length());
    if (!mPreservePos) c.playhead.setTrue(c.playhead.playPos());
    if (mMode != GrainMode::kSimple) startGrain(-mSlots[mCurrent].fadeIn(), c);
  }
  mSlots[mCurrent].setElapsed(mSlots[mCurrent].fadeIn());
  if (!started || mMode == GrainMode::kSimple) return;
  for (int n = 0; n < kSlots && mSlots[mCurrent].bodyLeft() < 1; ++n) startGrain(mSlots[mCurrent].bodyLeft(), c);
}

void GrainScheduler::setOverlap(double overlap, bool started)
{
  const double old = mOverlap;
  mOverlap = overlap;
  if (!started || mMode == GrainMode::kSimple) return;
  if (overlap < old)
  {
    const int current = mSlots[mCurrent].length();
    const int fade = FadeOf(current, overlap);
    for (Grain& g : mSlots) g.trimFades(current, fade);
  }
  else if (overlap > old)
    mOverlapGrew = true;
}

void GrainScheduler::resetDirections()
{
  for (Grain& g : mSlots) g.place(g.pos(), 1.0);
}

void GrainScheduler::wrapCurrent(const SelectionWindow& w)
{
  mSlots[mCurrent].place(WrapIntoWindow(w, mSlots[mCurrent].pos()));
}

void GrainScheduler::wrapPositions(const SelectionWindow& w)
{
  if (mMode == GrainMode::kSimple)
    wrapCurrent(w);
  else
    for (Grain& g : mSlots) g.place(WrapIntoWindow(w, g.pos()));
}

// ---- Random sources -----------------------------------------------------------------

double GrainScheduler::externalError(GrainContext& c) const
{
  if (mErrorExt == 0.0) return 0.0;
  const int r = c.random->next() % 201 - 100;
  const double scale = mMode == GrainMode::kNote ? mNotePeriod * 0.01 : 5.0;
  return r * mErrorExt * 0.125 * scale;
}

double GrainScheduler::drawInternalError(GrainContext& c) const
{
  double e = c.random->next() / 1092.2333333333333 - 15.0;
  if (mMode == GrainMode::kNote) e *= 0.5;
  return e * mErrorInt;
}

GapMark GrainScheduler::drawGap(GrainContext& c) const
{
  const int p = mGapProbability;
  if (p == 0) return GapMark::kNone;
  const int a = c.random->next() % 101;
  if (!mGapStereo) return a >= p ? GapMark::kNone : GapMark::kBoth;
  const int b = c.random->next() % 101;
  if (a >= p) return b < p ? GapMark::kRight : GapMark::kNone;
  return b >= p ? GapMark::kLeft : GapMark::kBoth;
}

double GrainScheduler::gapSample(const GrainContext& c, int channel) const
{
  if (!mGapFill || !c.input[channel] || c.blockFrames <= 0) return 0.0;
  const double g = mErrorInt * 0.02;
  const int at = static_cast<int>(c.blockPos * (1.0 - g) + (c.random->next() % c.blockFrames) * g);
  return FiniteSample(c.input[channel][std::clamp(at, 0, c.blockFrames - 1)]);
}

// ---- Starting grains ------------------------------------------------------------------

void GrainScheduler::startPosition(int slot, int length, GrainContext& c)
{
  Playhead& ph = c.playhead;
  double pos = mPreservePos ? ph.truePos() : ph.playPos();
  if (++mRepeatCount > mRepeat)
  {
    mRepeatCount = 1;
    mStepNow = mStep;
    if (mStepByRate) mStepNow *= mPlayRate;
    if (mStepByRepeat) mStepNow *= mRepeat;
    if (mStepByLen) mStepNow *= length;
    const SelectionWindow w = window(c);
    const double played = SpanReduce(w, mStepNow * ph.playDir() + externalError(c));
    if (mPreservePos)
    {
      const PosDir t = ph.edgeRule(w, ph.truePos() + SpanReduce(w, mStepNow * ph.trueDir()), ph.trueDir());
      ph.setTrue(t.pos, t.dir);
    }
    pos += played;
  }
  mSlots[slot].place(pos);
}

// While the playhead glides, every advance of the start position moves it
// one glide step toward the aim.
void GrainScheduler::startPositionGliding(int slot, GrainContext& c)
{
  Playhead& ph = c.playhead;
  mSlots[slot].place(ph.truePos());
  if (++mRepeatCount <= mRepeat) return;
  mRepeatCount = 1;
  const SelectionWindow w = window(c);
  const double move = SpanReduce(w, ph.glideStep());
  ph.setPlay(ph.truePos() + SpanReduce(w, externalError(c) + move));
  ph.setTrue(ph.truePos() + move);
  mSlots[slot].place(ph.playPos());
  if (ph.countGlideStep() && ph.stopGlide()) mSlots[mCurrent].place(ph.truePos());
}

void GrainScheduler::startGrain(int delay, GrainContext& c)
{
  int length = grainLength(c);
  if (c.note.wobbleExternal()) length = std::max(4, static_cast<int>(length * c.note.wobbleFactor()));
  int slot = 0;
  while (slot < kSlots && mSlots[slot].inUse()) ++slot;
  if (slot == kSlots) slot = (mCurrent + 1) % kSlots;

  const Grain& prev = mSlots[mCurrent];
  const int fi = mOverlapGrew ? prev.fadeOut() : FadeOf(prev.length(), mOverlap);
  mOverlapGrew = false;
  Grain& g = mSlots[slot];
  g.start(length, fi, FadeOf(length, mOverlap), prev.dir());
  mCurrent = slot;

  if (c.playhead.gliding())
    startPositionGliding(slot, c);
  else
    startPosition(slot, length, c);

  Playhead& ph = c.playhead;
  const PosDir p = ph.edgeRule(window(c), g.pos(), ph.playDir());
  g.place(p.pos, p.dir);
  ph.setPlay(ph.playPos(), p.dir);
  g.begin(-delay, GapMark::kNone);
  advance(window(c), slot, -delay, c);
  ph.setPlay(g.pos());
  if (!mPreservePos) ph.trueFollowsPlay();
  g.setGap(drawGap(c));
  if (g.gap() == GapMark::kNone)
    mGapped &= ~(1u << slot);
  else
    mGapped |= 1u << slot;
}

[[gnu::always_inline]] inline void GrainScheduler::advance(const SelectionWindow& w, int slot, int n, GrainContext& c)
{
  Grain& g = mSlots[slot];
  if (Filled(c) <= 1)
  {
    g.place(0.0);
    return;
  }
  double d = mPlayRate * g.dir() * n;
  if (c.note.wobbleInternal()) d *= c.note.wobbleFactor();
  g.move(w, SpanReduce(w, d + internalError(c)), c.playhead.edges());
}

// ---- Rendering --------------------------------------------------------------------------

[[gnu::always_inline]] inline void GrainScheduler::readSample(const GrainContext& c, int slot, double* left,
                                                            double* right) const
{
  const Grain& g = mSlots[slot];
  const int idx = FrameIndex(g.pos());
  PrefetchAround(*c.buffer, idx, mPlayRate * g.dir());
  *left = c.buffer->frames[idx][0];
  *right = c.buffer->frames[idx][1];
  const GapMark gap = g.gap();
  if (gap == GapMark::kNone) return;
  if (gap == GapMark::kLeft || gap == GapMark::kBoth) *left = gapSample(c, 0);
  if (gap == GapMark::kRight || gap == GapMark::kBoth) *right = gapSample(c, 1);
}

// Without errors and gaps no grain draws a random number: the sum over the
// slots runs on values read once per sample.
bool GrainScheduler::render(GrainContext& c, double* left, double* right)
{
  const bool plain = mErrorInt == 0.0 && mGapped == 0 && mWindow != WindowShape::kSine && window(c).span > 1.0;
  if (plain)
    sumPlainGrains(c, left, right);
  else
    sumGrains(c, left, right);
  // A freed current slot is due as well, so the stream never stalls.
  const Grain& cur = mSlots[mCurrent];
  const bool due = cur.bodyLeft() <= 0 || !cur.inUse();
  if (due) startGrain(std::min(0, cur.bodyLeft()), c);
  return due;
}

void GrainScheduler::normalise(StereoPair out, double sum, double* left, double* right) const
{
  if (mWindow == WindowShape::kSine)
    out *= 1.0 / (mOverlap + 1.0);
  else if (mActive >= 2 && sum > 0.0 && sum != 1.0)
    out /= sum;
  *left = out[0];
  *right = out[1];
}

void GrainScheduler::sumGrains(GrainContext& c, double* left, double* right)
{
  double outL = 0.0, outR = 0.0, sum = 0.0;
  mActive = 0;
  const SelectionWindow w = window(c);
  for (int i = 0; i < kSlots; ++i)
  {
    Grain& g = mSlots[i];
    if (!g.inUse()) continue;
    ++mActive;
    double l, r;
    readSample(c, i, &l, &r);
    const double weight = g.fadeIn() == 0 && mWindow != WindowShape::kSine ? 1.0 : g.weight(mWindow);
    if (g.tick()) advance(w, i, 1, c);
    outL += l * weight;
    outR += r * weight;
    sum += weight;
  }
  normalise(Pair(outL, outR), sum, left, right);
}

// The same sums as sumGrains for linear and parabolic windows, with every
// per-voice value taken once. The advance adds the zero internal error as
// the general form does, so positions match to the bit.
void GrainScheduler::sumPlainGrains(GrainContext& c, double* left, double* right)
{
  StereoPair out = {};
  double sum = 0.0;
  int active = 0;
  const SelectionWindow w = window(c);
  const double lastFrame = w.e - 1.0;
  const bool emptyish = Filled(c) <= 1;
  const EdgeMode edges = c.playhead.edges();
  const double wobble = c.note.wobbleInternal() ? c.note.wobbleFactor() : 0.0;
  const auto* frames = c.buffer->frames;
#pragma GCC unroll 8
  for (int i = 0; i < kSlots; ++i)
  {
    Grain& g = mSlots[i];
    if (!g.inUse()) continue;
    ++active;
    const double pos = g.pos();
    const int idx = FrameIndex(pos);
    const StereoPair x = Pair(frames[idx][0], frames[idx][1]);
    const int t = g.elapsed(), fi = g.fadeIn();
    const double weight = fi == 0 || (t > fi && t <= g.length() + fi) ? 1.0 : g.fadeWeight(mWindow);
    if (!g.tick()) {}
    else if (emptyish)
      g.place(0.0);
    else
    {
      // The span is above one frame here, so the reduction and the edge
      // rule take their short forms unless the move or the position is out.
      double d = mPlayRate * g.dir();
      if (c.note.wobbleInternal()) d *= wobble;
      d += 0.0;
      const double moved = pos + (d < w.span && d > -w.span ? d : SpanReduceLong(w, d));
      if (moved > lastFrame || moved < w.s)
      {
        const PosDir p = EdgeRuleOutside(w, moved, g.dir(), edges);
        g.place(p.pos, p.dir);
      }
      else
        g.place(moved);
    }
    out += x * weight;
    sum += weight;
  }
  mActive = active;
  normalise(out, sum, left, right);
}

void GrainScheduler::renderSimple(GrainContext& c, double* left, double* right)
{
  Grain& cur = mSlots[mCurrent];
  Playhead& ph = c.playhead;
  const int idx = FrameIndex(cur.pos());
  PrefetchAround(*c.buffer, idx, mPlayRate * cur.dir());
  *left = c.buffer->frames[idx][0];
  *right = c.buffer->frames[idx][1];
  if (Filled(c) < 2)
  {
    ph.setBoth(0.0);
    cur.place(0.0);
    return;
  }
  const SelectionWindow w = window(c);
  const double wobble = c.note.wobbleInternal() ? c.note.wobbleFactor() : 1.0;
  double rate = mPlayRate * wobble, dir = cur.dir(), trueRate = mPlayRate * wobble, trueD = ph.trueDir();
  if (ph.gliding())
  {
    rate = trueRate = ph.glideStep();
    dir = trueD = 1.0;
  }
  double e = internalError(c);
  if (mPreservePos) e *= 16.0;
  ReaderState s = reader(ph);
  StepReader(s, w, SpanReduce(w, rate * dir + e), trueRate * trueD, mPreservePos, ph.edges());
  storeReader(s, ph);
  if (ph.gliding() && ph.countGlideStep() && ph.stopGlide()) mSlots[mCurrent].place(ph.truePos());
}
