// Voices through a run of frames, one or two at a time, with their state
// held in locals. The arithmetic is the per-frame path's, step for
// step, so both give the same samples.
#include <algorithm>
#include <type_traits>

#include "engine/EngineCore.h"
#include "engine/StereoPair.h"

namespace {
int FrameIndexOf(double pos)
{
  if (!(pos > 0.0)) return 0;
  return pos >= kBufferFrames - 1 ? kBufferFrames - 1 : static_cast<int>(pos);
}

// Grain runs beside the five pass types: a cut-off that moves, no filter.
constexpr int kMovingFilter = -2, kNoFilter = -3;

// Calls f with the filter kind as a compile-time constant, so every run
// kernel is built once per kind: the five pass types, a moving cut-off, no
// filter; anything else gives -1.
template <typename F>
int WithPassType(int type, F&& f)
{
  switch (type)
  {
    case VoiceFilter::kLowPass: return f(std::integral_constant<int, VoiceFilter::kLowPass>{});
    case VoiceFilter::kBandPass: return f(std::integral_constant<int, VoiceFilter::kBandPass>{});
    case VoiceFilter::kHighPass: return f(std::integral_constant<int, VoiceFilter::kHighPass>{});
    case VoiceFilter::kPeak: return f(std::integral_constant<int, VoiceFilter::kPeak>{});
    case VoiceFilter::kBandReject: return f(std::integral_constant<int, VoiceFilter::kBandReject>{});
    case kMovingFilter: return f(std::integral_constant<int, kMovingFilter>{});
    case kNoFilter: return f(std::integral_constant<int, kNoFilter>{});
    default: return f(std::integral_constant<int, -1>{});
  }
}

// A SIMPLE-mode voice through a run, its state held in locals so it stays
// in registers: the position steps, then filter, DC blocker and clipper.
template <int PassType>
struct SimpleLane
{
  Voice& v;
  const Buffer& buffer;
  const Voice::Window w;
  const double lastFrame, rate;
  const bool preserve;
  const int cur;
  double playPos, playDir, truePos, trueDir, readPos, readDir;
  const bool synced, filterOn, dcOn;
  FilterSection section;
  DcBlocker dc;

  explicit SimpleLane(Voice& voice)
    : v(voice), buffer(*voice.buffer), w(voice.window()), lastFrame(w.e - 1.0),
      rate(voice.playRate * (voice.wobbleInternal ? voice.wobbleFactor : 1.0)), preserve(voice.preservePos),
      cur(voice.currentSlot), playPos(voice.playPos), playDir(voice.playDir), truePos(voice.truePos),
      trueDir(voice.trueDir), readPos(voice.readPos[cur]), readDir(voice.readDir[cur]),
      synced(preserve && playPos == truePos && readPos == truePos && playDir == trueDir && readDir == trueDir),
      filterOn(voice.filter.enabled), dcOn(voice.dcOn), section(voice.filter.section), dc(voice.dc)
  {
  }

  // The frame at the read position, then one step on.
  StereoPair read()
  {
    const int idx = FrameIndexOf(readPos);
    const StereoPair x = Pair(buffer.frames[idx][0], buffer.frames[idx][1]);
    const double move = Voice::spanReduce(w, rate * readDir + 0.0);
    if (synced)
    {
      // Without errors the true and the played position take the same
      // steps from the same place: one computation serves both. The span
      // is above one frame, so the edge rule only acts outside the window.
      const double moved = truePos + move;
      if (moved > lastFrame || moved < w.s)
      {
        const Voice::PosDir p = v.edgeRule(w, moved, trueDir);
        readPos = playPos = truePos = p.pos;
        readDir = playDir = trueDir = p.dir;
      }
      else
        readPos = playPos = truePos = moved;
      return x;
    }
    if (preserve)
    {
      playPos = truePos + move;
      const Voice::PosDir t = v.edgeRule(w, truePos + Voice::spanReduce(w, rate * trueDir), trueDir);
      truePos = t.pos;
      trueDir = t.dir;
    }
    else
      playPos += move;
    const Voice::PosDir p = v.edgeRule(w, playPos, playDir);
    playPos = p.pos;
    playDir = readDir = p.dir;
    if (!preserve)
    {
      truePos = playPos;
      trueDir = playDir;
    }
    readPos = playPos;
    return x;
  }

  StereoPair chain(StereoPair x)
  {
    if (filterOn)
    {
      StereoPair out;
      x = section.runPoles(x, &out) ? PassOutput(PassType, true, x, section.b0, out, section.q) : StereoPair{};
    }
    if (dcOn) x = dc.process(x);
    return v.clipper.process(x);
  }

  void store()
  {
    v.playPos = playPos;
    v.playDir = playDir;
    v.truePos = truePos;
    v.trueDir = trueDir;
    v.readPos[cur] = readPos;
    v.readDir[cur] = readDir;
    v.filter.section = section;
    v.dc = dc;
  }
};

}  // namespace

// Whether a run's sources may all be read before the chain runs over them:
// nothing in the chain may then feed back into the source or end the voice
// part way, which would leave its positions ahead of its last frame. Glides
// steer the gain control and the envelope's gain; a gap filled from the
// input reads at the frame the envelope step counts. The release test
// keeps a frame or two of slack.
bool EngineCore::sourcesAheadFit(const Voice& v, int m)
{
  const Envelope& env = v.ampEnv;
  const bool mayEnd = env.stage == Envelope::kRelease && env.length - env.counter <= m + 2;
  return !v.gliding && !v.velocityRamping && v.gappedSlots == 0 && !mayEnd;
}

// A voice through a run: its source and its chain frame by frame, or with
// `ahead` the sources of the whole run first. Returns the frames rendered,
// fewer when the voice ended.
template <typename Source, typename Chain, typename Store>
int EngineCore::runVoice(Voice& v, int m, bool ahead, Source& source, Chain& chain, Store& store)
{
  if (ahead)
    for (int j = 0; j < m; ++j) source(j);
  for (int j = 0; j < m; ++j)
  {
    if (!ahead) source(j);
    if (chain(j))
    {
      store();
      endVoice(v);
      return j + 1;
    }
  }
  store();
  return m;
}

bool EngineCore::simpleRunFits(const Voice& v) const
{
  const VoiceFilter& filter = v.filter;
  const bool staticFilter =
    !filter.enabled || (filter.cutoffGliding == 0.0 && filter.envDepth == 0.0 && filter.section.poles == 1);
  return v.grainMode == Voice::kSimpleMode && !v.phGliding && v.errorInt == 0.0 && v.agcOn == 0.0 &&
         !v.velocityRamping && !v.gliding && staticFilter && v.filledFrames() >= 2 && v.window().span > 1.0;
}

int EngineCore::renderSimpleRun(Voice& v, FrameSums* sums, int m, bool isTop)
{
  return WithPassType(v.filter.section.passType,
                      [&](auto type) { return renderSimpleRun<decltype(type)::value>(v, sums, m, isTop); });
}

template <int PassType>
int EngineCore::renderSimpleRun(Voice& v, FrameSums* sums, int m, bool isTop)
{
  SimpleLane<PassType> lane(v);
  StereoPair source[kRunChunk];
  auto read = [&](int j) { source[j] = lane.read(); };
  auto chain = [&](int j) { return stepEnvelope(v, lane.chain(source[j]), sums[j], isTop, true); };
  auto store = [&] { lane.store(); };
  // A frame's read is short: it overlaps the chain's latency best when the
  // two alternate.
  return runVoice(v, m, false, read, chain, store);
}

// Two voices, a before b, through the run frame by frame together: each
// one's chain waits on its own last state, so the two fill each other's
// waits. A frame's sums take a's part, then b's, as when the voices run one
// after the other. Stops after the frame where either ends; returns the
// frames both rendered.
template <int PassType>
int EngineCore::renderSimplePair(Voice& a, Voice& b, FrameSums* sums, int m, int top)
{
  SimpleLane<PassType> la(a), lb(b);
  bool endA = false, endB = false;
  int j = 0;
  while (j < m && !endA && !endB)
  {
    const StereoPair xa = la.chain(la.read()), xb = lb.chain(lb.read());
    endA = stepEnvelope(a, xa, sums[j], a.id == top, true);
    endB = stepEnvelope(b, xb, sums[j], b.id == top, true);
    ++j;
  }
  la.store();
  lb.store();
  if (endA) endVoice(a);
  if (endB) endVoice(b);
  return j;
}

int EngineCore::renderSimplePair(Voice& a, Voice& b, FrameSums* sums, int m, int top)
{
  return WithPassType(a.filter.section.passType,
                      [&](auto type) { return renderSimplePair<decltype(type)::value>(a, b, sums, m, top); });
}

// NOTE and BEAT mode through a run: the grains as in the per-frame path,
// the chain after them with the filter and DC states held in locals.
int EngineCore::renderGrainRun(Voice& v, FrameSums* sums, int m, bool isTop)
{
  const VoiceFilter& filter = v.filter;
  const bool staticFilter = filter.cutoffGliding == 0.0 && filter.envDepth == 0.0;
  const int type = filter.enabled ? (staticFilter ? filter.section.passType : kMovingFilter) : kNoFilter;
  return WithPassType(type, [&](auto t) { return renderGrainRun<decltype(t)::value>(v, sums, m, isTop); });
}

template <int Filter>
int EngineCore::renderGrainRun(Voice& v, FrameSums* sums, int m, bool isTop)
{
  FilterSection& fs = v.filter.section;
  FilterSection section = fs;  // used while the cut-off stands still
  const bool dcOn = v.dcOn, agcOn = v.agcOn != 0.0, poles4 = fs.poles == 1;
  DcBlocker dc = v.dc;
  StereoPair source[kRunChunk];
  bool updates[kRunChunk];
  auto storeState = [&] {
    if (Filter != kMovingFilter && Filter != kNoFilter) fs = section;
    v.dc = dc;
  };
  auto grains = [&](int j) {
    v.stepFrequencyGlide();
    v.stepVelocityGlide();
    double l, r;
    updates[j] = v.renderGrains(&l, &r) && !(v.gapMark[v.currentSlot] == 'b' && !v.gapFill);
    source[j] = Pair(l, r);
  };
  auto chain = [&](int j) {
    StereoPair x = source[j];
    if (Filter == kMovingFilter)
      x = v.filter.process(x);
    else if (Filter != kNoFilter)
    {
      StereoPair out;
      x = section.runPoles(x, &out) ? PassOutput(Filter, poles4, x, section.b0, out, section.q) : StereoPair{};
    }
    if (dcOn) x = dc.process(x);
    if (agcOn)
    {
      double l = x[0], r = x[1];
      v.agc.process(&l, &r, updates[j]);
      x = Pair(l, r);
    }
    x = v.clipper.process(x);
    return stepEnvelope(v, x, sums[j], isTop, updates[j]);
  };
  // The grain sums are long: apart from the chain they run as a tight loop,
  // where together every frame would wait on the chain's recurrences.
  return runVoice(v, m, sourcesAheadFit(v, m), grains, chain, storeState);
}
