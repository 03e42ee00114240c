// The engine's rendering: the per-frame path and the runs, voice after
// voice through the kernel, and the master mix of every frame.
#include <algorithm>
#include <cmath>

#include "engine/EngineCore.h"

void EngineCore::endVoice(Voice& voice)
{
  voice.stopPhGlide();
  voice.setStarted(false);
  voice.forgetNote();
  voice.chain().silence();
  voice.deactivationObservers(voice.id());
  voice.setActive(false);
}

// The per-frame path: every sounding voice through the general lane, one
// frame, then the mix.
void EngineCore::renderFrame(int s, double* left, double* right)
{
  mShiver.frameStep();
  tempoRefill(s);
  FrameSums sums;
  for (Voice& v : mVoices)
  {
    if (!v.active()) continue;
    GeneralLane lane{v};
    RunLane(lane, &sums, 1, false, false, mScratch);
    if (v.chain().env().stage == Envelope::kIdle) endVoice(v);
  }
  sums.topStage = mVoices[mTables.top()].chain().env().stage;
  mixFrame(s, sums, left, right);
}

// Voices render one after another through a run of frames when nothing
// couples them inside the run: no random draws (their order would change),
// no running wobble, no tempo refills, one input pair for all.
bool EngineCore::voicesIndependent() const
{
  if (mPerBufInput || !mShiver.stopped) return false;
  for (const Voice& v : mVoices)
  {
    if (v.refillMode() == RefillMode::kTempo) return false;
    const GrainScheduler& g = v.grains();
    if (v.active() && (g.errorInt() != 0.0 || g.errorExt() != 0.0 || g.gapProbability() != 0)) return false;
  }
  return true;
}

void EngineCore::renderRun(int s0, int n, double* left, double* right)
{
  if (mMaxRun <= 1 || !voicesIndependent())
  {
    for (int s = s0; s < s0 + n; ++s) renderFrame(s, &left[s], &right[s]);
    return;
  }
  for (int c = s0; c < s0 + n; c += kRunChunk) renderChunk(c, std::min(kRunChunk, s0 + n - c), left, right);
}

// Up to kRunChunk frames, voice after voice, those whose chains step
// together in groups; then the mix frame by frame.
void EngineCore::renderChunk(int s0, int m, double* left, double* right)
{
  const int top = mTables.top();
  for (int j = 0; j < m; ++j) mRunSums[j] = FrameSums{};
  mSampleCounter += m;  // the tempo refill's counter, with no tempo voice to refill
  for (Voice& v : mVoices)
  {
    ChainGroup::Key key;
    if (v.active() && groupFits(v, m, &key))
    {
      if (mGroup.size() == ChainGroup::kLanes || (mGroup.size() > 0 && !(mGroup.key() == key))) runGroup(m);
      mGroup.add(v, key, v.id() == top);
      continue;
    }
    if (v.active()) runGroup(m);  // the voices before it first, so the sums keep their order
    finishVoiceRun(v, 0, mRunSums, m, top);
  }
  runGroup(m);
  for (int j = 0; j < m; ++j) mixFrame(s0 + j, mRunSums[j], &left[s0 + j], &right[s0 + j]);
}

void EngineCore::runGroup(int m)
{
  if (mGroup.size() == 0) return;
  const unsigned ended = mGroup.run(m, mRunSums, mIsa, mScratch.grains);
  for (int i = 0; i < mGroup.size(); ++i)
    if (ended >> i & 1) endVoice(mGroup.member(i));
  mGroup.clear();
}

// A voice may join a group when its sources can be read ahead of its chain.
bool EngineCore::groupFits(const Voice& v, int m, ChainGroup::Key* key) const
{
  if (!ChainGroup::KeyOf(v, key)) return false;
  if (v.grains().mode() != GrainMode::kSimple) return sourcesAheadFit(v, m);
  return simpleRunFits(v) && !mayEndWithin(v, m);
}

// A voice in release may fall idle within the next m frames (with a frame
// or two of slack): its sources must not run ahead of its last frame.
bool EngineCore::mayEndWithin(const Voice& v, int m)
{
  const Envelope& env = v.chain().env();
  return env.stage == Envelope::kRelease && env.length - env.counter <= m + 2;
}

// Whether a run's grain sources may all be read before the chain runs over
// them: nothing in the chain may then feed back into the source or end the
// voice part way, which would leave its positions ahead of its last frame.
// Glides steer the gain control and the envelope's gain; a gap filled from
// the input reads at the frame the envelope step counts. The release test
// keeps a frame or two of slack.
bool EngineCore::sourcesAheadFit(const Voice& v, int m)
{
  return !v.notes().gliding() && !v.notes().velocityGliding() && v.grains().gappedSlots() == 0 && !mayEndWithin(v, m);
}

bool EngineCore::simpleRunFits(const Voice& v) const
{
  const int kind = v.chain().filterKind();
  return v.grains().mode() == GrainMode::kSimple && !v.playhead().gliding() && v.grains().errorInt() == 0.0 &&
         !v.chain().agcOn() && !v.notes().velocityGliding() && !v.notes().gliding() && kind != kMovingFilter &&
         v.filledFrames() >= 2 && v.window().span > 1.0;
}

// A voice through the kernel for up to m frames, by the lane that fits it;
// returns the frames rendered and ends the voice when its envelope fell idle.
int EngineCore::runVoice(Voice& v, FrameSums* sums, int m, bool isTop)
{
  const int kind = v.chain().filterKind();
  int n;
  if (simpleRunFits(v))
    n = WithFilterKind(kind, [&](auto k) {
      SimpleLane<decltype(k)::value> lane(v);
      return RunLane(lane, sums, m, isTop, false, mScratch);
    });
  else if (v.grains().mode() != GrainMode::kSimple)
    // The grain sums are long: apart from the chain they run as a tight
    // loop, where together every frame would wait on the chain's recurrences.
    n = WithFilterKind(kind, [&](auto k) {
      GrainLane<decltype(k)::value> lane{v, mIsa, mScratch.grains};
      return RunLane(lane, sums, m, isTop, sourcesAheadFit(v, m), mScratch);
    });
  else
  {
    GeneralLane lane{v};
    n = RunLane(lane, sums, m, isTop, false, mScratch);
  }
  if (v.chain().env().stage == Envelope::kIdle) endVoice(v);
  return n;
}

// A voice through the rest of a run from frame `from`.
void EngineCore::finishVoiceRun(Voice& v, int from, FrameSums* sums, int m, int top)
{
  const bool isTop = v.id() == top;
  int j = from;
  if (j < m && v.active()) j += runVoice(v, sums + j, m - j, isTop);
  if (isTop)
    for (; j < m; ++j) sums[j].topStage = v.chain().env().stage;
}

void EngineCore::mixFrame(int s, FrameSums& sums, double* left, double* right)
{
  double wetL = sums.wetL, wetR = sums.wetR;
  bool quiet = sums.quiet;
  if (mGlobalDcOn) mGlobalDc.process(&wetL, &wetR);
  if (mGlobalAgcOn)
  {
    mGlobalAgc.process(&wetL, &wetR, sums.update);
    wetL *= sums.gains;
    wetR *= sums.gains;
  }
  if (!mRoomOpen && mTables.heldNotes.size() == 1 && sums.topStage == Envelope::kAttack) quiet = false;

  double room = 0.0, levels = sums.levels;
  if (mExtrudeInput && quiet)
  {
    if (levels > 1.0) levels = std::log(levels) + 1.0;
    room = 1.0 - levels;
  }
  // The host's input as it may reach the output: a sample that is not a
  // number is silence, even in the dry part, so it cannot spoil the wet one.
  double dryL, dryR;
  if (!mPerBufInput)
  {
    dryL = FiniteSample(mInputs[0][s]);
    dryR = FiniteSample(mInputs[1][s]);
  }
  else
  {
    dryL = dryR = 0.0;
    for (const Voice& v : mVoices)
      if (v.active())
      {
        dryL += FiniteSample(v.input(0)[s]);
        dryR += FiniteSample(v.input(1)[s]);
      }
  }
  if (room > 0.0)
  {
    wetL += room * dryL;
    wetR += room * dryR;
  }
  *left = mMixAmount * mGlobalClipper.process(mAmpGain * wetL) + (1.0 - mMixAmount) * dryL;
  *right = mMixAmount * mGlobalClipper.process(mAmpGain * wetR) + (1.0 - mMixAmount) * dryR;
  mRoomOpen = quiet;
}

