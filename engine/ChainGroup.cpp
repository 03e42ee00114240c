#include "engine/ChainGroup.h"

#include <cmath>

// The members' chain states, a lane each; lanes past the members hold zeros.
struct ChainGroup::Lanes
{
  Quad b[4][2] = {};  // the section's four states, left and right
  Quad f = {}, fb = {}, q = {};
  Quad xPrev[2] = {}, yPrev[2] = {}, pole = {};
  Quad gain = {}, amount = {}, threshold = {};
  // Steady envelopes: level, step multiplier (1 in sustain), velocity gain
  // and the factor a scaled release counts the level with.
  Quad level = {}, multiplier = {}, velocity = {}, levelScale = {};
  Quad lastGain = {};
  bool quiet = true;  // every member in attack or release
  bool moving[kLanes] = {};
  bool stillCutoff[kLanes] = {};  // a moving kind whose cut-off stands still through the run
  unsigned live = 0;              // a bit per member still sounding

  void load(int i, OutputChain& c, int m)
  {
    const FilterSection& s = c.filter().section;
    const StereoPair* states[4] = {&s.b0, &s.b1, &s.b2, &s.b3};
    for (int p = 0; p < 4; ++p)
      for (int ch = 0; ch < 2; ++ch) b[p][ch][i] = (*states[p])[ch];
    f[i] = s.f, fb[i] = s.fb, q[i] = s.q;
    const DcBlocker& dc = c.dcState();
    for (int ch = 0; ch < 2; ++ch) xPrev[ch][i] = dc.xPrev[ch], yPrev[ch][i] = dc.yPrev[ch];
    pole[i] = dc.pole;
    gain[i] = c.agc().gain, amount[i] = c.agc().amount;
    threshold[i] = c.clipper().threshold;
    const bool movingKind = c.filterKind() == kMovingFilter;
    stillCutoff[i] = movingKind && c.filter().controlSteadyFor(m);
    moving[i] = movingKind && !stillCutoff[i];
    live |= 1u << i;
  }
  void loadEnvelope(int i, const Voice& v)
  {
    const OutputChain& c = v.chain();
    const Envelope& env = c.env();
    level[i] = env.level;
    multiplier[i] = env.stage == Envelope::kSustain ? 1.0 : env.multiplier;
    velocity[i] = v.notes().velocityGain();
    levelScale[i] = env.stage == Envelope::kRelease && c.releaseScaled() ? c.releaseScale() : 1.0;
    quiet = quiet && (env.stage == Envelope::kAttack || env.stage == Envelope::kRelease);
  }
  // A member's states back where they live, after `frames` frames of the run.
  void store(int i, OutputChain& c, bool filter, int frames) const
  {
    if (stillCutoff[i]) c.filter().skipSteadySteps(frames);
    if (filter)
    {
      FilterSection& s = c.filter().section;
      StereoPair* states[4] = {&s.b0, &s.b1, &s.b2, &s.b3};
      for (int p = 0; p < 4; ++p) *states[p] = Pair(b[p][0][i], b[p][1][i]);
    }
    DcBlocker& dc = c.dcState();
    dc.xPrev = Pair(xPrev[0][i], xPrev[1][i]);
    dc.yPrev = Pair(yPrev[0][i], yPrev[1][i]);
  }
};

namespace {

template <int Pass>
[[gnu::always_inline]] inline Quad PassOf(bool fourPoles, Quad x, Quad b0, Quad out, Quad q)
{
  if constexpr (Pass == static_cast<int>(PassType::kLowPass)) return out;
  else if constexpr (Pass == static_cast<int>(PassType::kBandPass)) return b0 - out;
  else if constexpr (Pass == static_cast<int>(PassType::kHighPass)) return fourPoles ? x - out : x - b0;
  else if constexpr (Pass == static_cast<int>(PassType::kPeak)) return (b0 - out) * q + (1.0 - q) * x;
  else return x - (b0 - out);
}

// The four poles of every lane for one frame; lanes whose states ran away
// start again from silence and give silence, as the section does alone.
template <int Pass>
[[gnu::always_inline]] inline void RunPoles(Quad (&b)[4][2], Quad f, Quad fb, Quad q, bool fourPoles, Quad (&x)[2])
{
  Quad out[2];
  for (int ch = 0; ch < 2; ++ch)
  {
    b[0][ch] += f * ((x[ch] - b[0][ch]) + fb * (b[0][ch] - b[1][ch]));
    b[1][ch] += f * (b[0][ch] - b[1][ch]);
    out[ch] = b[1][ch];
    if (fourPoles)
    {
      b[2][ch] += f * (b[1][ch] - b[2][ch]);
      b[3][ch] += f * (b[2][ch] - b[3][ch]);
      out[ch] = b[3][ch];
    }
  }
  const Quad l = QuadAbs(b[0][0]) + QuadAbs(out[0]), r = QuadAbs(b[0][1]) + QuadAbs(out[1]);
  const QuadMask ok = QuadSelect(l > r, l, r) < 1e6;
  for (int ch = 0; ch < 2; ++ch) x[ch] = PassOf<Pass>(fourPoles, x[ch], b[0][ch], out[ch], q);
  if (AllLanes(ok)) return;
  for (int i = 0; i < kQuadLanes; ++i)
    if (!ok[i])
      for (int ch = 0; ch < 2; ++ch)
      {
        for (auto& state : b) state[ch][i] = 0.0;
        x[ch][i] = 0.0;
      }
}

// The gain control of frames that measure nothing: a plain function of x.
[[gnu::always_inline]] inline void GainFrame(Quad gain, Quad amount, Quad (&x)[2])
{
  const QuadMask tiny = (QuadAbs(x[0]) < 1e-15) & (QuadAbs(x[1]) < 1e-15);
  for (int ch = 0; ch < 2; ++ch)
  {
    const Quad y = x[ch] * gain;
    const Quad mixed = QuadSelect(y != y, QuadSplat(0.0), (1.0 - amount) * x[ch] + amount * y);
    x[ch] = QuadSelect(tiny, x[ch], mixed);
  }
}

}  // namespace

bool ChainGroup::KeyOf(const Voice& v, Key* key)
{
  const OutputChain& c = v.chain();
  const int kind = c.filterKind();
  const int pass = kind == kMovingFilter ? static_cast<int>(c.filter().section.passType) : kind;
  if (pass != kNoFilter && (pass < 0 || pass > static_cast<int>(PassType::kBandReject))) return false;
  *key = {pass, c.filter().section.fourPoles, c.dcOn(), c.agcOn()};
  return true;
}

void ChainGroup::add(Voice& v, const Key& key, bool isTop)
{
  if (mCount == 0) mKey = key;
  mVoice[mCount] = &v;
  mTop[mCount] = isTop;
  ++mCount;
}

void ChainGroup::readSources(int m, Isa isa, GrainScheduler::RunScratch& scratch)
{
  static constexpr double kSilence[2 * kMaxRun] = {};
  for (int i = mCount; i < kLanes; ++i) mFrom[i] = kSilence;
  for (int i = 0; i < mCount; ++i)
  {
    Voice& v = *mVoice[i];
    mFrom[i] = PairSamples(mSource[i]);
    if (v.grains().mode() != GrainMode::kSimple)
    {
      GrainSources(v, mSource[i], mUpdate[i], m, isa, scratch);
      continue;
    }
    SimpleSource reader(v);
    mFrom[i] = reader.sources(mSource[i], mUpdate[i], m);
    reader.store();
  }
}

// Frame j of every member, left and right, a lane each.
[[gnu::always_inline]] inline void ChainGroup::sourceFrame(int j, Quad (&x)[2]) const
{
  const StereoPair a = LoadPair(mFrom[0] + 2 * j), b = LoadPair(mFrom[1] + 2 * j);
  const StereoPair c = LoadPair(mFrom[2] + 2 * j), d = LoadPair(mFrom[3] + 2 * j);
  x[0] = Quad{a[0], b[0], c[0], d[0]};
  x[1] = Quad{a[1], b[1], c[1], d[1]};
}

// The cut-off glides and envelopes of the members whose cut-off moves.
[[gnu::always_inline]] inline void ChainGroup::stepMovingCutoffs(Lanes& g)
{
  double f[kLanes], fb[kLanes];
  for (int i = 0; i < kLanes; ++i) f[i] = g.f[i], fb[i] = g.fb[i];
  for (int i = 0; i < mCount; ++i)
    if (g.moving[i] && (g.live >> i & 1))
    {
      VoiceFilter& filter = mVoice[i]->chain().filter();
      filter.stepControl();
      f[i] = filter.section.f, fb[i] = filter.section.fb;
    }
  g.f = Quad{f[0], f[1], f[2], f[3]};
  g.fb = Quad{fb[0], fb[1], fb[2], fb[3]};
}

// The members' clippers: a lane above the threshold goes through its own.
[[gnu::always_inline]] inline void ChainGroup::clip(Lanes& g, Quad (&x)[2])
{
  const Quad al = QuadAbs(x[0]), ar = QuadAbs(x[1]);
  const QuadMask calm = QuadSelect(al > ar, al, ar) <= g.threshold;
  if (AllLanes(calm)) return;
  for (int i = 0; i < mCount; ++i)
    if (!calm[i] && (g.live >> i & 1))
    {
      const StereoPair y = mVoice[i]->chain().clipper().process(Pair(x[0][i], x[1][i]));
      x[0][i] = y[0], x[1][i] = y[1];
    }
}

// One frame of steady envelopes for every member at once, and the frame's
// sums taking the members in index order, as each voice's envelope step does.
[[gnu::always_inline]] inline void ChainGroup::addSteadyFrame(Lanes& g, const Quad (&x)[2], int j, int topLane, FrameSums& sum)
{
  g.level = g.level * g.multiplier;
  const Quad gain = g.velocity * g.level;
  const Quad wetL = x[0] * gain, wetR = x[1] * gain, levels = g.level * g.levelScale;
  g.lastGain = gain;
  for (int i = 0; i < mCount; ++i)
  {
    sum.update = sum.update || mUpdate[i][j];
    sum.wetL += wetL[i];
    sum.wetR += wetR[i];
    sum.gains += gain[i];
    sum.levels += levels[i];
  }
  sum.quiet = sum.quiet && g.quiet;
  if (topLane >= 0) sum.topStage = mVoice[topLane]->chain().env().stage;
}

[[gnu::always_inline]] inline void ChainGroup::blockDc(Lanes& g, Quad (&x)[2])
{
  for (int ch = 0; ch < 2; ++ch)
  {
    const Quad y = x[ch] - g.xPrev[ch] + g.pole * g.yPrev[ch];
    g.xPrev[ch] = x[ch];
    g.yPrev[ch] = x[ch] = y;
  }
}

// The lanes' gain control; a lane whose control updates this frame steps
// its own, so its level follows the per-frame rule.
[[gnu::always_inline]] inline void ChainGroup::gainControl(Lanes& g, int j, Quad (&x)[2])
{
  const Quad in[2] = {x[0], x[1]};
  GainFrame(g.gain, g.amount, x);
  for (int i = 0; i < mCount; ++i)
    if (mUpdate[i][j] && (g.live >> i & 1))
    {
      GainControl& agc = mVoice[i]->chain().agc();
      double l = in[0][i], r = in[1][i];
      agc.process(&l, &r, true);
      x[0][i] = l, x[1][i] = r;
      g.gain[i] = agc.gain;
    }
}

// Each live lane's envelope through frame j, in index order; a lane whose
// envelope falls idle keeps its state and leaves. Returns those lanes' bits.
[[gnu::always_inline]] inline unsigned ChainGroup::stepEnvelopes(Lanes& g, const Quad (&x)[2], int j, bool filtered,
                                                                 FrameSums& sum)
{
  unsigned ended = 0;
  for (int i = 0; i < mCount; ++i)
  {
    if (!(g.live >> i & 1)) continue;
    Voice& v = *mVoice[i];
    if (!StepEnvelope(v, Pair(x[0][i], x[1][i]), sum, mTop[i], mUpdate[i][j])) continue;
    g.store(i, v.chain(), filtered, j + 1);
    g.live &= ~(1u << i);
    ended |= 1u << i;
  }
  return ended;
}

// The live lanes' states back into their voices after m frames; steady
// envelopes take their m steps at once.
[[gnu::always_inline]] inline void ChainGroup::storeLanes(Lanes& g, int m, bool filtered, bool steady)
{
  for (int i = 0; i < mCount; ++i)
  {
    if (!(g.live >> i & 1)) continue;
    Voice& v = *mVoice[i];
    g.store(i, v.chain(), filtered, m);
    if (!steady) continue;
    v.chain().takeSteadySteps(m, g.level[i], g.lastGain[i]);
    v.setBlockPos(v.blockPos() + m);
  }
}

template <int Pass, bool Dc, bool Agc>
[[gnu::always_inline]] inline unsigned ChainGroup::runChains(int m, FrameSums* sums)
{
  Lanes g;
  for (int i = 0; i < mCount; ++i) g.load(i, mVoice[i]->chain(), m);
  bool anyMoving = false;
  for (int i = 0; i < mCount; ++i) anyMoving = anyMoving || g.moving[i];
  const bool fourPoles = mKey.fourPoles;
  bool steady = true;
  for (int i = 0; i < mCount; ++i) steady = steady && mVoice[i]->chain().envelopeSteadyFor(m);
  int topLane = -1;
  for (int i = 0; i < mCount; ++i)
  {
    g.loadEnvelope(i, *mVoice[i]);
    if (mTop[i]) topLane = i;
  }
  unsigned ended = 0;
  for (int j = 0; j < m && g.live; ++j)
  {
    Quad x[2];
    sourceFrame(j, x);
    if constexpr (Pass != kNoFilter)
    {
      if (anyMoving) stepMovingCutoffs(g);
      RunPoles<Pass>(g.b, g.f, g.fb, g.q, fourPoles, x);
    }
    if constexpr (Dc) blockDc(g, x);
    if constexpr (Agc) gainControl(g, j, x);
    clip(g, x);
    if (steady)
      addSteadyFrame(g, x, j, topLane, sums[j]);
    else
      ended |= stepEnvelopes(g, x, j, Pass != kNoFilter, sums[j]);
  }
  storeLanes(g, m, Pass != kNoFilter, steady);
  return ended;
}

template <int Pass>
[[gnu::always_inline]] inline unsigned ChainGroup::runFlags(int m, FrameSums* sums)
{
  if (mKey.dc) return mKey.agc ? runChains<Pass, true, true>(m, sums) : runChains<Pass, true, false>(m, sums);
  return mKey.agc ? runChains<Pass, false, true>(m, sums) : runChains<Pass, false, false>(m, sums);
}

[[gnu::always_inline]] inline unsigned ChainGroup::runKinds(int m, FrameSums* sums)
{
  switch (mKey.pass)
  {
    case static_cast<int>(PassType::kLowPass): return runFlags<static_cast<int>(PassType::kLowPass)>(m, sums);
    case static_cast<int>(PassType::kBandPass): return runFlags<static_cast<int>(PassType::kBandPass)>(m, sums);
    case static_cast<int>(PassType::kHighPass): return runFlags<static_cast<int>(PassType::kHighPass)>(m, sums);
    case static_cast<int>(PassType::kPeak): return runFlags<static_cast<int>(PassType::kPeak)>(m, sums);
    case static_cast<int>(PassType::kBandReject): return runFlags<static_cast<int>(PassType::kBandReject)>(m, sums);
    default: return runFlags<kNoFilter>(m, sums);
  }
}

VESK_AVX2 unsigned ChainGroup::runAvx2(int m, FrameSums* sums)
{
  return runKinds(m, sums);
}

unsigned ChainGroup::runBaseline(int m, FrameSums* sums)
{
  return runKinds(m, sums);
}

unsigned ChainGroup::run(int m, FrameSums* sums, Isa isa, GrainScheduler::RunScratch& scratch)
{
  readSources(m, isa, scratch);
  return isa == Isa::kAvx2 ? runAvx2(m, sums) : runBaseline(m, sums);
}
