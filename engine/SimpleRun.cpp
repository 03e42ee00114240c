// Voices through a run of frames, one voice at a time, with the voice's
// state held in locals. The arithmetic is the per-frame path's, step for
// step, so both give the same samples.
#include <algorithm>

#include "engine/EngineCore.h"
#include "engine/EngineRates.h"
#include "engine/StereoPair.h"

namespace {
int FrameIndexOf(double pos)
{
  if (!(pos > 0.0)) return 0;
  return pos >= kBufferFrames - 1 ? kBufferFrames - 1 : static_cast<int>(pos);
}

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
  switch (v.filter.section.passType)
  {
    case VoiceFilter::kLowPass: return renderSimpleRun<VoiceFilter::kLowPass>(v, sums, m, isTop);
    case VoiceFilter::kBandPass: return renderSimpleRun<VoiceFilter::kBandPass>(v, sums, m, isTop);
    case VoiceFilter::kHighPass: return renderSimpleRun<VoiceFilter::kHighPass>(v, sums, m, isTop);
    case VoiceFilter::kPeak: return renderSimpleRun<VoiceFilter::kPeak>(v, sums, m, isTop);
    case VoiceFilter::kBandReject: return renderSimpleRun<VoiceFilter::kBandReject>(v, sums, m, isTop);
    default: return renderSimpleRun<-1>(v, sums, m, isTop);
  }
}

template <int PassType>
int EngineCore::renderSimpleRun(Voice& v, FrameSums* sums, int m, bool isTop)
{
  const Buffer& buffer = *v.buffer;
  const Voice::Window w = v.window();
  const double lastFrame = w.e - 1.0;
  const double rate = v.playRate * (v.wobbleInternal ? v.wobbleFactor : 1.0);
  const bool preserve = v.preservePos;
  const int cur = v.currentSlot;
  double playPos = v.playPos, playDir = v.playDir, truePos = v.truePos, trueDir = v.trueDir;
  double readPos = v.readPos[cur], readDir = v.readDir[cur];
  const bool synced = preserve && playPos == truePos && readPos == truePos && playDir == trueDir && readDir == trueDir;

  FilterSection& fs = v.filter.section;
  const bool filterOn = v.filter.enabled;
  const double q = fs.q;
  FilterSection section = fs;  // a local copy keeps the states in registers

  const bool dcOn = v.dcOn;
  DcBlocker dc = v.dc;  // likewise

  auto storeState = [&] {
    v.playPos = playPos;
    v.playDir = playDir;
    v.truePos = truePos;
    v.trueDir = trueDir;
    v.readPos[cur] = readPos;
    v.readDir[cur] = readDir;
    fs = section;
    v.dc = dc;
  };

  StereoPair source[kRunChunk];
  auto read = [&](int j) {
    const int idx = FrameIndexOf(readPos);
    source[j] = Pair(buffer.frames[idx][0], buffer.frames[idx][1]);

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
      return;
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
  };
  auto chain = [&](int j) {
    StereoPair x = source[j];
    if (filterOn)
    {
      StereoPair out;
      x = section.runPoles(x, &out) ? PassOutput(PassType, true, x, section.b0, out, q) : StereoPair{};
    }
    if (dcOn) x = dc.process(x);
    x = v.clipper.process(x);
    return stepEnvelope(v, x, sums[j], isTop, true);
  };
  // A frame's read is short: it overlaps the chain's latency best when the
  // two alternate.
  return runVoice(v, m, false, read, chain, storeState);
}

// NOTE and BEAT mode through a run: the grains as in the per-frame path,
// the chain after them with the filter and DC states held in locals.
int EngineCore::renderGrainRun(Voice& v, FrameSums* sums, int m, bool isTop)
{
  const VoiceFilter& filter = v.filter;
  const bool staticFilter = filter.cutoffGliding == 0.0 && filter.envDepth == 0.0;
  switch (filter.enabled ? (staticFilter ? filter.section.passType : -2) : -3)
  {
    case VoiceFilter::kLowPass: return renderGrainRun<VoiceFilter::kLowPass>(v, sums, m, isTop);
    case VoiceFilter::kBandPass: return renderGrainRun<VoiceFilter::kBandPass>(v, sums, m, isTop);
    case VoiceFilter::kHighPass: return renderGrainRun<VoiceFilter::kHighPass>(v, sums, m, isTop);
    case VoiceFilter::kPeak: return renderGrainRun<VoiceFilter::kPeak>(v, sums, m, isTop);
    case VoiceFilter::kBandReject: return renderGrainRun<VoiceFilter::kBandReject>(v, sums, m, isTop);
    case -2: return renderGrainRun<kMovingFilter>(v, sums, m, isTop);
    case -3: return renderGrainRun<kNoFilter>(v, sums, m, isTop);
    default: return renderGrainRun<-1>(v, sums, m, isTop);
  }
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
