// The grain engine of a voice: eight slots of windowed grains in NOTE and
// BEAT mode, and the straight reader of SIMPLE mode.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/Voice.h"

namespace {

int FadeOf(int length, double overlap) { return static_cast<int>(length * overlap); }

// Frames are read at trunc(position), kept inside the buffer's storage.
int FrameIndex(double pos)
{
  if (!(pos > 0.0)) return 0;
  return pos >= kBufferFrames - 1 ? kBufferFrames - 1 : static_cast<int>(pos);
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

}  // namespace

int Voice::grainLength()
{
  if (grainMode == kNoteMode) return notePeriod = computeNotePeriod();
  return beatPeriod = computeBeatPeriod();
}

void Voice::applyGrainLength(int length)
{
  const int fade = FadeOf(length, overlap);
  if (overlap != 0.0)
  {
    for (int i = 0; i < kNumSlots; ++i)
    {
      if (!inUse[i] || fadeIn[i] == 0) continue;
      const double fi = fadeIn[i];
      if (elapsed[i] < fadeIn[i])
        elapsed[i] = static_cast<int>(elapsed[i] / fi * fade);
      else if (elapsed[i] > grainLen[i] + fadeIn[i])
        elapsed[i] = static_cast<int>((elapsed[i] - grainLen[i] - fadeIn[i]) / fi * fade + length - 1);
      else if (elapsed[i] > length + fade)
        elapsed[i] = length + fade - 1;
    }
  }
  else if (elapsed[currentSlot] >= length)
    elapsed[currentSlot] = length - 1;
  for (int i = 0; i < kNumSlots; ++i)
  {
    grainLen[i] = length;
    fadeIn[i] = fadeOut[i] = fade;
    grainTotal[i] = length + 2 * fade;
  }
}

void Voice::resetGrains(bool hard)
{
  const double kept = readPos[currentSlot];
  if (hard) playDir = trueDir = 1.0;
  const int length = grainMode == kBeatMode ? beatPeriod : notePeriod;
  const int fade = FadeOf(length, overlap);
  for (int i = 0; i < kNumSlots; ++i)
  {
    inUse[i] = false;
    elapsed[i] = 0;
    readDir[i] = 1.0;
    readPos[i] = 0.0;
    grainLen[i] = length;
    fadeIn[i] = fadeOut[i] = fade;
    grainTotal[i] = length + 2 * fade;
  }
  if (!hard)
  {
    readPos[currentSlot] = kept;
    playPos = kept - fadeIn[currentSlot] - grainLen[currentSlot];
    if (!preservePos) truePos = playPos;
    if (grainMode != kSimpleMode) startGrain(-fadeIn[currentSlot]);
  }
  elapsed[currentSlot] = fadeIn[currentSlot];
  if (!started || grainMode == kSimpleMode) return;
  for (int n = 0; n < kNumSlots && grainLen[currentSlot] - elapsed[currentSlot] < 1; ++n)
    startGrain(grainLen[currentSlot] - elapsed[currentSlot]);
}

double Voice::externalError() const
{
  if (errorExt == 0.0) return 0.0;
  const int r = random->next() % 201 - 100;
  const double scale = grainMode == kNoteMode ? notePeriod * 0.01 : 5.0;
  return r * errorExt * 0.125 * scale;
}

double Voice::drawInternalError() const
{
  double e = random->next() / 1092.2333333333333 - 15.0;
  if (grainMode == kNoteMode) e *= 0.5;
  return e * errorInt;
}

char Voice::drawGap() const
{
  const int p = gapProbability;
  if (p == 0) return 'n';
  const int a = random->next() % 101;
  if (!gapStereo) return a >= p ? 'n' : 'b';
  const int b = random->next() % 101;
  if (a >= p) return b < p ? 'r' : 'n';
  return b >= p ? 'l' : 'b';
}

void Voice::startPosition(int slot, int length)
{
  double pos = preservePos ? truePos : playPos;
  if (++repeatCount > repeat)
  {
    repeatCount = 1;
    stepNow = step;
    if (stepByRate) stepNow *= playRate;
    if (stepByRepeat) stepNow *= repeat;
    if (stepByLen) stepNow *= length;
    const double played = spanReduce(stepNow * playDir + externalError());
    if (preservePos)
    {
      truePos += spanReduce(stepNow * trueDir);
      edgeRule(&truePos, &trueDir);
    }
    pos += played;
  }
  readPos[slot] = pos;
}

// While the playhead glides, every advance of the start position moves it
// one glide step toward the aim.
void Voice::startPositionGliding(int slot)
{
  readPos[slot] = truePos;
  if (++repeatCount <= repeat) return;
  repeatCount = 1;
  const double move = spanReduce(phGlideStep);
  playPos = truePos + spanReduce(externalError() + move);
  truePos += move;
  readPos[slot] = playPos;
  if (++phGlideCount >= phGlideSteps) stopPhGlide();
}

void Voice::startGrain(int delay)
{
  int length = grainLength();
  if (wobbleExternal) length = std::max(4, static_cast<int>(length * wobbleFactor));
  int slot = 0;
  while (slot < kNumSlots && inUse[slot]) ++slot;
  if (slot == kNumSlots) slot = (currentSlot + 1) % kNumSlots;

  const int prev = currentSlot;
  const int fi = overlapGrew ? fadeOut[prev] : FadeOf(grainLen[prev], overlap);
  overlapGrew = false;
  grainLen[slot] = length;
  fadeIn[slot] = fi;
  fadeOut[slot] = FadeOf(length, overlap);
  grainTotal[slot] = fi + length + fadeOut[slot];
  readDir[slot] = readDir[prev];
  currentSlot = slot;

  if (phGliding)
    startPositionGliding(slot);
  else
    startPosition(slot, length);

  edgeRule(&readPos[slot], &playDir);
  readDir[slot] = playDir;
  elapsed[slot] = -delay;
  inUse[slot] = true;
  advanceGrain(slot, -delay);
  playPos = readPos[slot];
  if (!preservePos)
  {
    truePos = playPos;
    trueDir = playDir;
  }
  gapMark[slot] = drawGap();
  if (gapMark[slot] == 'n')
    gappedSlots &= ~(1u << slot);
  else
    gappedSlots |= 1u << slot;
}

void Voice::advanceGrain(int slot, int n)
{
  advanceGrain(window(), slot, n);
}

[[gnu::always_inline]] inline void Voice::advanceGrain(const Window& w, int slot, int n)
{
  if (filledFrames() <= 1)
  {
    readPos[slot] = 0.0;
    return;
  }
  double d = playRate * readDir[slot] * n;
  if (wobbleInternal) d *= wobbleFactor;
  const double move = spanReduce(w, d + internalError());
  readPos[slot] += move;
  edgeRule(w, &readPos[slot], &readDir[slot]);
}

[[gnu::always_inline]] inline double Voice::windowValue(int slot) const
{
  const double t = elapsed[slot];
  const double fi = fadeIn[slot], body = grainLen[slot];
  if (windowType == kSine) return (1.0 - std::cos(2.0 * std::numbers::pi * t / grainTotal[slot])) * 0.5;
  if (t > fi && t <= body + fi) return 1.0;
  return fadeWeight(slot);
}

// Linear or parabolic weight of a slot in its fade-in or fade-out.
[[gnu::always_inline]] inline double Voice::fadeWeight(int slot) const
{
  const double t = elapsed[slot];
  const double fi = fadeIn[slot], fo = fadeOut[slot], body = grainLen[slot];
  if (t <= fi)
  {
    if (fi <= 0.0) return 1.0;
    if (windowType == kLinear) return t / fi;
    const double h = fi * 0.5, x = t / h;
    return t < h ? x * x * 0.5 : (2.0 - (2.0 - x) * (2.0 - x)) * 0.5;
  }
  if (t <= body + fi || fo <= 0.0) return 1.0;
  const double u = t - body - fi;
  if (windowType == kLinear) return 1.0 - u / fo;
  const double h = fo * 0.5, x = u / h;
  return u < h ? (2.0 - x * x) * 0.5 : (2.0 - x) * (2.0 - x) * 0.5;
}

double Voice::gapSample(int channel) const
{
  if (!gapFill || !input[channel] || blockFrames <= 0) return 0.0;
  const double g = errorInt * 0.02;
  const int at = static_cast<int>(blockPos * (1.0 - g) + (random->next() % blockFrames) * g);
  return FiniteSample(input[channel][std::clamp(at, 0, blockFrames - 1)]);
}

[[gnu::always_inline]] inline void Voice::readGrainSample(int slot, double* left, double* right) const
{
  const int idx = FrameIndex(readPos[slot]);
  PrefetchAround(*buffer, idx, playRate * readDir[slot]);
  const char gap = gapMark[slot];
  *left = buffer->frames[idx][0];
  *right = buffer->frames[idx][1];
  if (gap == 'n') return;
  if (gap == 'l' || gap == 'b') *left = gapSample(0);
  if (gap == 'r' || gap == 'b') *right = gapSample(1);
}

// Without errors and gaps no grain draws a random number: the sum over the
// slots runs on values read once per sample.
bool Voice::renderGrains(double* left, double* right)
{
  const bool plain = errorInt == 0.0 && gappedSlots == 0 && windowType != kSine && window().span > 1.0;
  if (plain) sumPlainGrains(left, right);
  else sumGrains(left, right);
  // A freed current slot is due as well, so the stream never stalls.
  const bool due = grainLen[currentSlot] - elapsed[currentSlot] <= 0 || !inUse[currentSlot];
  if (due) startGrain(std::min(0, grainLen[currentSlot] - elapsed[currentSlot]));
  return due;
}

void Voice::normaliseGrains(StereoPair out, double sum, double* left, double* right) const
{
  if (windowType == kSine)
    out *= 1.0 / (overlap + 1.0);
  else if (activeGrains >= 2 && sum > 0.0 && sum != 1.0)
    out /= sum;
  *left = out[0];
  *right = out[1];
}

void Voice::sumGrains(double* left, double* right)
{
  double outL = 0.0, outR = 0.0, sum = 0.0;
  activeGrains = 0;
  const Window w = window();
  for (int i = 0; i < kNumSlots; ++i)
  {
    if (!inUse[i]) continue;
    ++activeGrains;
    double l, r;
    readGrainSample(i, &l, &r);
    const double weight = fadeIn[i] == 0 && windowType != kSine ? 1.0 : windowValue(i);
    if (++elapsed[i] >= grainTotal[i])
      inUse[i] = false;
    else
      advanceGrain(w, i, 1);
    outL += l * weight;
    outR += r * weight;
    sum += weight;
  }
  normaliseGrains(Pair(outL, outR), sum, left, right);
}

// The same sums as sumGrains for linear and parabolic windows, with every
// per-voice value taken once. The advance adds the zero internal error as
// the general form does, so positions match to the bit.
void Voice::sumPlainGrains(double* left, double* right)
{
  StereoPair out = {};
  double sum = 0.0;
  int active = 0;
  const Window w = window();
  const double lastFrame = w.e - 1.0;
  const bool emptyish = filledFrames() <= 1;
  const auto* frames = buffer->frames;
#pragma GCC unroll 8
  for (int i = 0; i < kNumSlots; ++i)
  {
    if (!inUse[i]) continue;
    ++active;
    const double pos = readPos[i];
    const int idx = FrameIndex(pos);
    const StereoPair x = Pair(frames[idx][0], frames[idx][1]);
    const int t = elapsed[i], fi = fadeIn[i];
    const double weight = fi == 0 || (t > fi && t <= grainLen[i] + fi) ? 1.0 : fadeWeight(i);
    if (++elapsed[i] >= grainTotal[i])
      inUse[i] = false;
    else if (emptyish)
      readPos[i] = 0.0;
    else
    {
      // The span is above one frame here, so the reduction and the edge
      // rule take their short forms unless the move or the position is out.
      double d = playRate * readDir[i];
      if (wobbleInternal) d *= wobbleFactor;
      d += 0.0;
      const double moved = pos + (d < w.span && d > -w.span ? d : spanReduceLong(w, d));
      if (moved > lastFrame || moved < w.s)
      {
        const PosDir p = edgeRuleOutside(w, moved, readDir[i], mirror);
        readPos[i] = p.pos;
        readDir[i] = p.dir;
      }
      else
        readPos[i] = moved;
    }
    out += x * weight;
    sum += weight;
  }
  activeGrains = active;
  normaliseGrains(out, sum, left, right);
}

void Voice::renderSimple(double* left, double* right)
{
  const int cur = currentSlot;
  const int idx = FrameIndex(readPos[cur]);
  PrefetchAround(*buffer, idx, playRate * readDir[cur]);
  *left = buffer->frames[idx][0];
  *right = buffer->frames[idx][1];
  if (filledFrames() < 2)
  {
    playPos = truePos = readPos[cur] = 0.0;
    return;
  }
  const Window w = window();
  const double wobble = wobbleInternal ? wobbleFactor : 1.0;
  double rate = playRate * wobble, dir = readDir[cur], trueRate = playRate * wobble, trueD = trueDir;
  if (phGliding)
  {
    rate = trueRate = phGlideStep;
    dir = trueD = 1.0;
  }
  double e = internalError();
  if (preservePos) e *= 16.0;
  const double move = spanReduce(w, rate * dir + e);
  if (preservePos)
  {
    playPos = truePos + move;
    truePos += spanReduce(w, trueRate * trueD);
    edgeRule(w, &truePos, &trueDir);
  }
  else
    playPos += move;
  edgeRule(w, &playPos, &playDir);
  readDir[cur] = playDir;
  if (!preservePos)
  {
    truePos = playPos;
    trueDir = playDir;
  }
  readPos[cur] = playPos;
  if (phGliding && ++phGlideCount >= phGlideSteps) stopPhGlide();
}

void Voice::setGrainMode(int mode)
{
  grainMode = mode;
  if (!started || mode == kSimpleMode) return;
  resetGrains(false);
  if (mode == kNoteMode)
    notePeriod = computeNotePeriod();
  else
    beatPeriod = computeBeatPeriod();
}

void Voice::setOverlap(double o)
{
  const double old = overlap;
  overlap = o;
  if (!started || grainMode == kSimpleMode) return;
  if (o < old)
  {
    const int current = grainLen[currentSlot];
    const int fade = FadeOf(current, o);
    for (int i = 0; i < kNumSlots; ++i)
    {
      if (!inUse[i] || grainLen[i] < current) continue;
      fadeIn[i] = fadeOut[i] = fade;
      grainTotal[i] = grainLen[i] + 2 * fade;
      if (elapsed[i] >= grainTotal[i]) inUse[i] = false;
    }
  }
  else if (o > old)
    overlapGrew = true;
}

void Voice::setMirror(bool on)
{
  mirror = on;
  if (on) return;
  std::fill(std::begin(readDir), std::end(readDir), 1.0);
  playDir = trueDir = 1.0;
}

void Voice::setRepeat(int n)
{
  phGlideStep *= static_cast<double>(n) / repeat;
  repeat = n;
}
