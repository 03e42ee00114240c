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

// The pass type's output of a four-pole chain.
template <int PassType>
StereoPair PassPair(StereoPair x, StereoPair b0, StereoPair out, double q)
{
  switch (PassType)
  {
    case VoiceFilter::kLowPass: return out;
    case VoiceFilter::kBandPass: return b0 - out;
    case VoiceFilter::kHighPass: return x - out;
    case VoiceFilter::kPeak: return (b0 - out) * q + (1.0 - q) * x;
    case VoiceFilter::kBandReject: return x - (b0 - out);
    default: return Splat(0.0);
  }
}

// The voice clipper on both channels; the last excess is the right
// channel's when it clipped, else the left's.
[[gnu::always_inline]] inline StereoPair ClipPair(SoftClipper& c, StereoPair s)
{
  if (MaxLane(Abs(s)) <= c.threshold) return s;
  const StereoMask above = s > c.threshold, below = s < -c.threshold;
  const StereoPair eAbove = s - c.threshold, eBelow = c.threshold + s;
  const StereoPair up = eAbove / (eAbove * c.k + 1.0) + c.threshold;
  const StereoPair down = eBelow / (1.0 - eBelow * c.k) - c.threshold;
  const StereoPair excess = Select(above, eAbove, eBelow);
  for (int ch = 0; ch < 2; ++ch)
    if (above[ch] | below[ch]) c.lastExcess = excess[ch];
  return Select(above, up, Select(below, down, s));
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
  const double f = fs.f, fb = fs.fb, q = fs.q;
  StereoPair b0 = Pair(fs.b0[0], fs.b0[1]), b1 = Pair(fs.b1[0], fs.b1[1]);
  StereoPair b2 = Pair(fs.b2[0], fs.b2[1]), b3 = Pair(fs.b3[0], fs.b3[1]);

  const bool dcOn = v.dcOn;
  const double pole = v.dc.pole;
  StereoPair xPrev = Pair(v.dc.xPrev[0], v.dc.xPrev[1]), yPrev = Pair(v.dc.yPrev[0], v.dc.yPrev[1]);

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
    for (int ch = 0; ch < 2; ++ch)
    {
      fs.b0[ch] = b0[ch], fs.b1[ch] = b1[ch], fs.b2[ch] = b2[ch], fs.b3[ch] = b3[ch];
      v.dc.xPrev[ch] = xPrev[ch], v.dc.yPrev[ch] = yPrev[ch];
    }
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
      b0 += f * ((x - b0) + fb * (b0 - b1));
      b1 += f * (b0 - b1);
      b2 += f * (b1 - b2);
      b3 += f * (b2 - b3);
      const StereoPair out = b3;
      if (!(MaxLane(Abs(b0) + Abs(out)) < 1e6))
      {
        b0 = b1 = b2 = b3 = x = Splat(0.0);
      }
      else
        x = PassPair<PassType>(x, b0, out, q);
    }
    if (dcOn)
    {
      const StereoPair y = x - xPrev + pole * yPrev;
      xPrev = x;
      yPrev = y;
      x = y;
    }
    x = ClipPair(v.clipper, x);

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
