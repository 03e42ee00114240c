#pragma once
// The one kernel every voice renders through: a run of frames of a lane's
// source and chain, then its envelope and the frame's sums. The per-frame
// path is a run of one frame through the general lane; the fast runs are
// the same kernel through lanes that hold a voice's state in locals for a
// filter kind known in advance. The lanes share the steps themselves (the
// reader's step, the chain's run, the grains' render), so every path gives
// the same samples.
#include <algorithm>

#include "engine/Voice.h"

// What the voices leave for the mix of one frame.
struct FrameSums
{
  double wetL = 0.0, wetR = 0.0;
  double gains = 0.0;
  double levels = 0.0;
  bool quiet = true;
  bool update = false;
  int topStage = 0;
};

// Calls f with a filter kind as a compile-time constant: the five pass
// types, a moving cut-off, no filter; anything else is the general kind.
template <typename F>
int WithFilterKind(int kind, F&& f)
{
  switch (kind)
  {
    case static_cast<int>(PassType::kLowPass): return f(std::integral_constant<int, static_cast<int>(PassType::kLowPass)>{});
    case static_cast<int>(PassType::kBandPass): return f(std::integral_constant<int, static_cast<int>(PassType::kBandPass)>{});
    case static_cast<int>(PassType::kHighPass): return f(std::integral_constant<int, static_cast<int>(PassType::kHighPass)>{});
    case static_cast<int>(PassType::kPeak): return f(std::integral_constant<int, static_cast<int>(PassType::kPeak)>{});
    case static_cast<int>(PassType::kBandReject): return f(std::integral_constant<int, static_cast<int>(PassType::kBandReject)>{});
    case kMovingFilter: return f(std::integral_constant<int, kMovingFilter>{});
    case kNoFilter: return f(std::integral_constant<int, kNoFilter>{});
    default: return f(std::integral_constant<int, kAnyFilter>{});
  }
}

// The end of a voice's frame: envelope, gain and the frame's sums. True
// when the envelope fell idle (the caller ends the voice).
inline bool StepEnvelope(Voice& v, StereoPair x, FrameSums& sum, bool isTop, bool update)
{
  OutputChain& chain = v.chain();
  const int stage = chain.stepEnvelope(v.rates().sampleRate, v.notes().velocityGain());
  v.nextFrame();
  sum.update = sum.update || update;
  if (isTop) sum.topStage = stage;
  if (stage == Envelope::kIdle)
  {
    sum.levels += chain.envLevel();
    return true;
  }
  const double gain = chain.gain();
  sum.wetL += x[0] * gain;
  sum.wetR += x[1] * gain;
  sum.gains += gain;
  const bool scaledRelease = stage == Envelope::kRelease && chain.releaseScaled();
  sum.levels += chain.envLevel() * (scaledRelease ? chain.releaseScale() : 1.0);
  sum.quiet = sum.quiet && (stage == Envelope::kAttack || stage == Envelope::kRelease);
  return false;
}

// A NOTE or BEAT voice's grains for one frame, glides first; update tells
// the gain control a grain started (not in a silent gap).
inline StereoPair GrainSource(Voice& v, bool* update)
{
  v.stepFrequencyGlide();
  v.stepVelocityGlide();
  double l, r;
  *update = v.renderGrains(&l, &r) && !v.grains().silentGap();
  return Pair(l, r);
}

// A run's grain sources at once: grain after grain where that fits.
inline void GrainSources(Voice& v, StereoPair* x, bool* updates, int m, Isa isa, GrainScheduler::RunScratch& scratch)
{
  if (v.grainRunFits())
    v.renderGrainRun(m, x, updates, isa, scratch);
  else
    for (int j = 0; j < m; ++j) x[j] = GrainSource(v, &updates[j]);
}

// Any voice, frame by frame, its state where it lives.
struct GeneralLane
{
  Voice& v;

  StereoPair source(bool* update)
  {
    if (v.grains().mode() != GrainMode::kSimple) return GrainSource(v, update);
    v.stepFrequencyGlide();
    v.stepVelocityGlide();
    double l, r;
    v.renderSimple(&l, &r);
    *update = true;
    return Pair(l, r);
  }
  StereoPair chain(StereoPair x, bool update)
  {
    OutputChain& c = v.chain();
    return c.run<kAnyFilter>(c.filter().section, c.dcState(), x, update);
  }
  void store() {}
};

// The chain of a run with its filter section and DC blocker in locals.
template <int Filter>
struct ChainCopy
{
  OutputChain& chain;
  FilterSection section;
  DcBlocker dc;

  explicit ChainCopy(OutputChain& c) : chain(c), section(c.filter().section), dc(c.dcState()) {}
  StereoPair run(StereoPair x, bool update) { return chain.run<Filter>(section, dc, x, update); }
  void store()
  {
    if (Filter != kMovingFilter && Filter != kNoFilter && Filter != kAnyFilter) chain.filter().section = section;
    chain.dcState() = dc;
  }
};

// A NOTE or BEAT voice through a run: its grains as in the general lane,
// its chain for a filter kind known in advance.
template <int Filter>
struct GrainLane
{
  Voice& v;
  Isa isa;
  GrainScheduler::RunScratch& scratch;
  ChainCopy<Filter> chainCopy{v.chain()};

  StereoPair source(bool* update) { return GrainSource(v, update); }
  void sources(StereoPair* x, bool* updates, int m) { GrainSources(v, x, updates, m, isa, scratch); }
  StereoPair chain(StereoPair x, bool update) { return chainCopy.run(x, update); }
  void store() { chainCopy.store(); }
};

// A SIMPLE voice's reader through a run with no glides or errors: its
// positions in locals.
struct SimpleSource
{
  Voice& v;
  const Buffer& buffer;
  const SelectionWindow w;
  const double rate;
  const bool preserve;
  const EdgeMode edges;
  const bool synced;
  ReaderState s;

  explicit SimpleSource(Voice& voice)
    : v(voice), buffer(*voice.buffer()), w(voice.window()),
      rate(voice.grains().playRate() * (voice.notes().wobbleInternal() ? voice.notes().wobbleFactor() : 1.0)),
      preserve(voice.grains().preservePos()), edges(voice.playhead().edges()),
      synced(preserve && voice.playhead().playPos() == voice.playhead().truePos() &&
             voice.grains().current().pos() == voice.playhead().truePos() &&
             voice.playhead().playDir() == voice.playhead().trueDir() &&
             voice.grains().current().dir() == voice.playhead().trueDir()),
      s(voice.grains().reader(voice.playhead()))
  {
  }

  // The frame at the read position, then one step on.
  StereoPair next()
  {
    const int idx = FrameIndex(s.readPos);
    const StereoPair x = Pair(buffer.frames[idx][0], buffer.frames[idx][1]);
    const double move = SpanReduce(w, rate * s.readDir + 0.0);
    if (synced)
      StepReaderSynced(s, w, move, edges);
    else
      StepReader(s, w, move, rate * s.trueDir, preserve, edges);
    return x;
  }
  // A run's frames, left and right after each other. Where the positions
  // are one and their steps add up exactly, the frames are read in one go:
  // returned in place when the whole run is one stretch forward, else
  // copied into x.
  const double* sources(StereoPair* x, bool* updates, int m)
  {
    std::fill(updates, updates + m, true);
    const double first = s.truePos;
    for (int j = 0; j < m;)
    {
      const double move = SpanReduce(w, rate * s.readDir + 0.0);
      const int exact = synced ? ExactSteps(w, s.truePos, move, m - j) : 0;
      if (exact == 0)
      {
        x[j++] = next();
        continue;
      }
      const double pos = s.truePos;
      if (exact == m && move == 1.0)
      {
        s.readPos = s.playPos = s.truePos = pos + exact * move;
        return buffer.frames[static_cast<int>(first)];
      }
      for (int i = 0; i < exact; ++i)
      {
        const int idx = static_cast<int>(pos + i * move);
        x[j + i] = Pair(buffer.frames[idx][0], buffer.frames[idx][1]);
      }
      s.readPos = s.playPos = s.truePos = pos + exact * move;
      j += exact;
    }
    return PairSamples(x);
  }
  void store() { v.grainState().storeReader(s, v.playheadState()); }
};

// A SIMPLE voice through a run with no glides, errors or gain control: the
// reader's positions and the chain's states in locals.
template <int Filter>
struct SimpleLane
{
  Voice& v;
  SimpleSource reader;
  ChainCopy<Filter> chainCopy;

  explicit SimpleLane(Voice& voice) : v(voice), reader(voice), chainCopy(voice.chain()) {}
  StereoPair source(bool* update)
  {
    *update = true;
    return reader.next();
  }
  StereoPair chain(StereoPair x, bool update) { return chainCopy.run(x, update); }
  void store()
  {
    reader.store();
    chainCopy.store();
  }
};

// A lane through up to m frames: source and chain frame by frame, or with
// `ahead` the sources of the whole run first (only where nothing in the
// chain feeds back into them). Returns the frames rendered: fewer when the
// voice's envelope fell idle; the caller then ends the voice.
// The room a lane's run takes, kept by the engine.
struct LaneScratch
{
  StereoPair source[GrainScheduler::kMaxRun];
  bool updates[GrainScheduler::kMaxRun];
  GrainScheduler::RunScratch grains;
};

template <typename Lane>
int RunLane(Lane& lane, FrameSums* sums, int m, bool isTop, bool ahead, LaneScratch& scratch)
{
  StereoPair* source = scratch.source;
  bool* updates = scratch.updates;
  if (ahead)
  {
    if constexpr (requires { lane.sources(source, updates, m); })
      lane.sources(source, updates, m);
    else
      for (int j = 0; j < m; ++j) source[j] = lane.source(&updates[j]);
  }
  for (int j = 0; j < m; ++j)
  {
    if (!ahead) source[j] = lane.source(&updates[j]);
    if (StepEnvelope(lane.v, lane.chain(source[j], updates[j]), sums[j], isTop, updates[j]))
    {
      lane.store();
      return j + 1;
    }
  }
  lane.store();
  return m;
}
