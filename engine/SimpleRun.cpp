// SIMPLE mode through a run of frames, one voice at a time, with the voice's
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

bool EngineCore::simpleRunFits(const Voice& v) const
{
  const VoiceFilter& filter = v.filter;
  const bool staticFilter =
    !filter.enabled || (filter.cutoffGliding == 0.0 && filter.envDepth == 0.0 && filter.section.poles == 1);
  return v.grainMode == Voice::kSimpleMode && !v.phGliding && v.errorInt == 0.0 && v.agcOn == 0.0 &&
         !v.velocityRamping && !v.gliding && staticFilter && v.filledFrames() >= 2;
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
  DcBlocker dc = v.dc;

  Envelope& env = v.ampEnv;
  const double velocityGain = v.velocityGain;
  const bool scaledRelease = v.releaseFromDecay || v.releaseFromSustain;
  const double sr = gRates.sampleRate;

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

  for (int j = 0; j < m; ++j)
  {
    const int idx = FrameIndexOf(readPos);
    StereoPair x = Pair(buffer.frames[idx][0], buffer.frames[idx][1]);

    const double move = Voice::spanReduce(w, rate * readDir + 0.0);
    if (synced)
    {
      // Without errors the true and the played position take the same
      // steps from the same place: one computation serves both.
      const Voice::PosDir p = v.edgeRule(w, truePos + move, trueDir);
      readPos = playPos = truePos = p.pos;
      readDir = playDir = trueDir = p.dir;
    }
    else if (preserve)
    {
      playPos = truePos + move;
      const Voice::PosDir t = v.edgeRule(w, truePos + Voice::spanReduce(w, rate * trueDir), trueDir);
      truePos = t.pos;
      trueDir = t.dir;
    }
    else
      playPos += move;
    if (!synced)
    {
      const Voice::PosDir p = v.edgeRule(w, playPos, playDir);
      playPos = p.pos;
      playDir = readDir = p.dir;
      if (!preserve)
      {
        truePos = playPos;
        trueDir = playDir;
      }
      readPos = playPos;
    }

    if (filterOn)
    {
      StereoPair out;
      x = section.runPoles(x, &out) ? PassOutput(PassType, true, x, section.b0, out, q) : StereoPair{};
    }
    if (dcOn) x = dc.process(x);
    x = v.clipper.process(x);

    env.step(sr);
    v.envLevel = env.level;
    ++v.blockPos;
    FrameSums& sum = sums[j];
    sum.update = true;
    const int stage = env.stage;
    if (stage == Envelope::kIdle)
    {
      storeState();
      endVoice(v);
      sum.levels += v.envLevel;
      if (isTop) sum.topStage = stage;
      return j + 1;
    }
    v.gain = velocityGain * v.envLevel;
    sum.wetL += x[0] * v.gain;
    sum.wetR += x[1] * v.gain;
    sum.gains += v.gain;
    sum.levels += v.envLevel * (stage == Envelope::kRelease && scaledRelease ? v.releaseScale : 1.0);
    sum.quiet = sum.quiet && (stage == Envelope::kAttack || stage == Envelope::kRelease);
    if (isTop) sum.topStage = stage;
  }
  storeState();
  return m;
}
