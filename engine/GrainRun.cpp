// The grains of a voice over a run of frames, grain after grain: between two
// grain starts every slot's reads, weights and sums are worked out over the
// whole stretch at once. Each frame's sum still takes the slots in index
// order, from the same reads and weights as the frame-by-frame render, so
// every sample is the same to the bit.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/Buffer.h"
#include "engine/GrainScheduler.h"

namespace {

// The first k in [from, to) with t0 + k > limit, for whole frame numbers.
int FirstAfter(int64_t t0, int64_t limit, int from, int to)
{
  return static_cast<int>(std::clamp<int64_t>(limit - t0 + 1, from, to));
}

// Weights of one fade over k in [from, to): frame t = t0 + k is u = t - at
// into a fade of `fade` frames. Linear falls or rises; parabolic halves
// split at u < h, which for whole u is u < ceil(h).
template <typename Weight>
[[gnu::always_inline]] inline int FadeRange(double* wt, int from, int to, Weight weight)
{
  for (int k = from; k < to; ++k) wt[k] = weight(k);
  return to;
}

// One grain's weighted part of a stretch read frame after frame, forward
// (step 2 doubles) or backward (-2).
template <typename Sums>
[[gnu::always_inline]] inline void AddStretch(Sums& sums, const double* from, int step, const double* wt, int count)
{
  double* __restrict l = sums.l;
  double* __restrict r = sums.r;
  double* __restrict w = sums.w;
  if (step == 2)
    for (int k = 0; k < count; ++k)
    {
      l[k] += from[2 * k] * wt[k];
      r[k] += from[2 * k + 1] * wt[k];
      w[k] += wt[k];
    }
  else
    for (int k = 0; k < count; ++k)
    {
      l[k] += from[-2 * k] * wt[k];
      r[k] += from[-2 * k + 1] * wt[k];
      w[k] += wt[k];
    }
}

// Each frame of a stretch divided by its weights where two grains or more
// sound and the weights do not already sum to one.
template <typename Sums>
[[gnu::always_inline]] inline void NormaliseStretch(Sums& sums, int n, StereoPair* out)
{
  double* __restrict l = sums.l;
  double* __restrict r = sums.r;
  const double* __restrict w = sums.w;
  const int* __restrict active = sums.active;
  for (int k = 0; k < n; ++k)
  {
    const double by = active[k] >= 2 && w[k] > 0.0 ? w[k] : 1.0;  // x / 1 is x
    l[k] /= by;
    r[k] /= by;
  }
  for (int k = 0; k < n; ++k) out[k] = Pair(l[k], r[k]);
}

}  // namespace

// The window's weight of a grain at frames elapsed() .. + n - 1, as the
// frame-by-frame render takes it: 1 without a fade-in and in the body, the
// fades by their shape. Frame numbers are whole, so t and u are exact.
[[gnu::always_inline]] inline void GrainScheduler::runWeights(const Grain& g, int n, double* wt) const
{
  const int64_t t0 = g.elapsed(), fi = g.fadeIn(), fo = g.fadeOut(), body = g.length();
  if (fi == 0)
  {
    std::fill(wt, wt + n, 1.0);
    return;
  }
  const double fiD = static_cast<double>(fi), foD = static_cast<double>(fo), start = static_cast<double>(t0);
  const bool linear = mWindow == WindowShape::kLinear;
  const int inEnd = FirstAfter(t0, fi, 0, n);  // t <= fi
  int k = 0;
  if (linear)
    k = FadeRange(wt, k, inEnd, [&](int j) __attribute__((always_inline)) { return (start + j) / fiD; });
  else
  {
    const double h = fiD * 0.5;
    const int lowEnd = FirstAfter(t0, static_cast<int64_t>(std::ceil(h)) - 1, 0, inEnd);
    k = FadeRange(wt, k, lowEnd, [&](int j) __attribute__((always_inline)) {
      const double x = (start + j) / h;
      return x * x * 0.5;
    });
    k = FadeRange(wt, k, inEnd, [&](int j) __attribute__((always_inline)) {
      const double x = (start + j) / h;
      return (2.0 - (2.0 - x) * (2.0 - x)) * 0.5;
    });
  }
  const int bodyEnd = fo <= 0 ? n : FirstAfter(t0, body + fi, k, n);  // t <= body + fi
  std::fill(wt + k, wt + bodyEnd, 1.0);
  k = bodyEnd;
  const int64_t outStart = body + fi;
  const double u0 = static_cast<double>(t0 - outStart);  // u at k = 0
  if (linear)
  {
    FadeRange(wt, k, n, [&](int j) __attribute__((always_inline)) { return 1.0 - (u0 + j) / foD; });
    return;
  }
  const double h = foD * 0.5;
  const int lowEnd = FirstAfter(t0, outStart + static_cast<int64_t>(std::ceil(h)) - 1, k, n);
  k = FadeRange(wt, k, lowEnd, [&](int j) __attribute__((always_inline)) {
    const double x = (u0 + j) / h;
    return (2.0 - x * x) * 0.5;
  });
  FadeRange(wt, k, n, [&](int j) __attribute__((always_inline)) {
    const double x = (u0 + j) / h;
    return (2.0 - x) * (2.0 - x) * 0.5;
  });
}

// The frames one grain reads over `count` frames, its position moving after
// each but, when it ends there, the last. Where the positions are exact
// multiples of the move they are taken in one go; else step by step as the
// frame-by-frame render moves them.
[[gnu::always_inline]] inline int GrainScheduler::runReads(Grain& g, const RunView& v, int count, bool ends, int* idx) const
{
  double pos = g.pos(), dir = g.dir();
  const int moves = ends ? count - 1 : count;
  double move = v.moveFor(dir);
  int stride = 0;
  for (int k = 0; k < count;)
  {
    const int exact = ExactSteps(v.w, pos, move, moves - k);
    if (k == 0 && exact == moves && count > 1 && (move == 1.0 || move == -1.0))
    {
      // One frame after another from the first: the reads are a stretch.
      stride = static_cast<int>(move);
      idx[0] = static_cast<int>(pos);
      pos += exact * move;
      break;
    }
    if (exact > 0)
    {
      for (int i = 0; i < exact; ++i) idx[k + i] = static_cast<int>(pos + i * move);
      pos += exact * move;
      k += exact;
      continue;
    }
    idx[k] = FrameIndex(pos);
    if (k++ == moves) break;
    const double moved = pos + move;
    if (moved > v.lastFrame || moved < v.w.s)
    {
      const PosDir p = EdgeRuleOutside(v.w, moved, dir, v.edges);
      pos = p.pos;
      if (p.dir != dir) move = v.moveFor(dir = p.dir);
    }
    else
      pos = moved;
  }
  g.place(pos, dir);
  return stride;
}

// Every sounding slot's part of frames 0 .. n-1, in slot order.
[[gnu::always_inline]] inline void GrainScheduler::sumStretch(const RunView& v, int n, RunScratch& scratch)
{
  RunSums& sums = scratch.sums;
  int* idx = scratch.idx;
  double* wt = scratch.wt;
  std::fill(sums.l, sums.l + n, 0.0);
  std::fill(sums.r, sums.r + n, 0.0);
  std::fill(sums.w, sums.w + n, 0.0);
  int* endsAt = scratch.endsAt;  // slots whose part ends after k frames
  std::fill(endsAt, endsAt + n + 1, 0);
  int sounding = 0;
  const auto* frames = v.buffer->frames;
  for (Grain& g : mSlots)
  {
    if (!g.inUse()) continue;
    const int left = g.total() - g.elapsed();
    const int count = left <= 0 ? 1 : std::min(n, left);
    const bool ends = count >= left;
    runWeights(g, count, wt);
    const int stride = runReads(g, v, count, ends, idx);
    if (stride == 1)
      AddStretch(sums, &frames[idx[0]][0], 2, wt, count);
    else if (stride == -1)
      AddStretch(sums, &frames[idx[0]][0], -2, wt, count);
    else
      for (int k = 0; k < count; ++k)
      {
        sums.l[k] += frames[idx[k]][0] * wt[k];
        sums.r[k] += frames[idx[k]][1] * wt[k];
        sums.w[k] += wt[k];
      }
    ++sounding;
    ++endsAt[count];
    g.setElapsed(g.elapsed() + count);
    if (ends) g.setInUse(false);
  }
  for (int k = 0; k < n; ++k)
  {
    sums.active[k] = sounding;
    sounding -= endsAt[k + 1];
  }
}

bool GrainScheduler::runFits(const GrainContext& c) const
{
  return mErrorInt == 0.0 && mGapped == 0 && mWindow != WindowShape::kSine && c.buffer && c.buffer->filled > 1 &&
         window(c).span > 1.0;
}

GrainScheduler::RunView GrainScheduler::runView(const GrainContext& c) const
{
  RunView v;
  v.buffer = c.buffer;
  v.w = window(c);
  v.lastFrame = v.w.e - 1.0;
  v.edges = c.playhead.edges();
  v.rate = mPlayRate;
  v.wobble = c.note.wobbleInternal() ? c.note.wobbleFactor() : 0.0;
  v.wobbling = c.note.wobbleInternal();
  return v;
}

// The move of one frame in a direction, as the frame-by-frame render makes
// it: rate, wobble, the zero internal error, then the span's reduction.
double GrainScheduler::RunView::moveFor(double dir) const
{
  double d = rate * dir;
  if (wobbling) d *= wobble;
  d += 0.0;
  return d < w.span && d > -w.span ? d : SpanReduceLong(w, d);
}

VESK_AVX2 void GrainScheduler::renderRunAvx2(GrainContext& c, int m, StereoPair* out, bool* started,
                                             RunScratch& scratch)
{
  renderRunBody(c, m, out, started, scratch);
}

void GrainScheduler::renderRunBaseline(GrainContext& c, int m, StereoPair* out, bool* started, RunScratch& scratch)
{
  renderRunBody(c, m, out, started, scratch);
}

void GrainScheduler::renderRun(GrainContext& c, int m, StereoPair* out, bool* started, Isa isa, RunScratch& scratch)
{
  if (isa == Isa::kAvx2)
    renderRunAvx2(c, m, out, started, scratch);
  else
    renderRunBaseline(c, m, out, started, scratch);
}

[[gnu::always_inline]] inline void GrainScheduler::renderRunBody(GrainContext& c, int m, StereoPair* out,
                                                                bool* started, RunScratch& scratch)
{
  const RunView v = runView(c);
  RunSums& sums = scratch.sums;
  for (int j = 0; j < m;)
  {
    // The stretch ends where the current grain's body does: the next one
    // starts after that frame.
    const Grain& cur = mSlots[mCurrent];
    const int n = cur.inUse() ? std::clamp(cur.bodyLeft(), 1, m - j) : 1;
    sumStretch(v, n, scratch);
    NormaliseStretch(sums, n, out + j);
    std::fill(started + j, started + j + n, false);
    mActive = sums.active[n - 1];
    j += n;
    const Grain& last = mSlots[mCurrent];
    if (last.bodyLeft() <= 0 || !last.inUse())
    {
      startGrain(std::min(0, last.bodyLeft()), c);
      started[j - 1] = !silentGap();
    }
  }
}
