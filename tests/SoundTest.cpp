// The instrument end to end: pitch, beat grains, dry mix, envelopes, the
// per-frame and the run-at-a-time paths, and extreme settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>
#include <random>

#include "tests/Rig.h"

namespace {

double Sine(long frame, double hz, double amp = 0.5)
{
  return amp * std::sin(2.0 * std::numbers::pi * hz * frame / 48000.0);
}

// Fundamental from rising zero crossings, interpolated, over the samples.
double EstimateHz(const std::vector<double>& x)
{
  double first = -1, last = -1;
  int count = 0;
  for (size_t i = 1; i < x.size(); ++i)
    if (x[i - 1] < 0.0 && x[i] >= 0.0)
    {
      const double at = (i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (first < 0) first = at;
      last = at;
      ++count;
    }
  return count > 1 ? (count - 1) * 48000.0 / (last - first) : 0.0;
}

std::vector<double> Capture(Rig& r, int blocks)
{
  std::vector<double> out;
  for (int b = 0; b < blocks; ++b)
  {
    r.run();
    out.insert(out.end(), r.io.out[0].begin(), r.io.out[0].end());
  }
  return out;
}

// Both channels over `blocks` blocks, through the run kernels or only the
// per-frame path; `between(b)` plays and sets what block b begins with.
template <typename F>
std::vector<double> RenderThrough(bool runs, Rig& r, int blocks, F&& between)
{
  EngineTestSeam::FrameByFrame(r.core(), !runs);
  std::vector<double> out;
  for (int b = 0; b < blocks; ++b)
  {
    between(b);
    r.run();
    out.insert(out.end(), r.io.out[0].begin(), r.io.out[0].end());
    out.insert(out.end(), r.io.out[1].begin(), r.io.out[1].end());
  }
  return out;
}

}  // namespace

TEST(Sound, NoteModeSoundsAtThePlayedPitch)
{
  Rig r;
  r.source = [](int, long f) { return Sine(f, 220.0); };
  r.set(kPerfMode, 0);
  r.set(kFltOn, 0);
  r.noteOn(69);
  r.run(40);
  const double hz = EstimateHz(Capture(r, 40));
  EXPECT_NEAR(hz, 440.0, 4.4);
}

TEST(Sound, BeatModeStartsAGrainEvery6000Samples)
{
  Rig r;
  r.set(kPerfMode, 1);
  r.set(BeatDenParam(9), 4);
  r.source = [](int, long f) { return Sine(f, 220.0); };
  r.noteOn(69);
  r.run(4);
  const Voice& v = r.voice(r.tables().top());
  std::vector<long> starts;
  int slot = v.grains().currentSlot();
  for (int b = 0; b < 100; ++b)
    for (int s = 0; s < 1; ++s)
    {
      r.run();
      if (v.grains().currentSlot() != slot)
      {
        starts.push_back(r.framesDone);
        slot = v.grains().currentSlot();
      }
    }
  ASSERT_GE(starts.size(), 5u);
  for (size_t i = 1; i < starts.size(); ++i)
  {
    const long gap = starts[i] - starts[i - 1];
    EXPECT_TRUE(gap == 5632 || gap == 6144) << gap << " is not 6000 samples at block resolution";
  }
  EXPECT_EQ(v.grains().slot(v.grains().currentSlot()).length(), 6000);
}

TEST(Sound, MixZeroIsTheDryInputWhilePlaying)
{
  Rig r;
  r.source = [](int c, long f) { return Sine(f, 330.0 + c); };
  r.set(kPolyMono, 1);
  r.set(kMix, 0.0);
  r.settle();
  for (int n = 0; n < 4; ++n) r.noteOn(50 + n * 5, 100, n * 7);
  for (int b = 0; b < 20; ++b)
  {
    r.run();
    ASSERT_EQ(r.io.out[0], r.io.in[0]);
    ASSERT_EQ(r.io.out[1], r.io.in[1]);
  }
}

TEST(Sound, AttackOf5msReachesFullLevelAtSample240)
{
  Envelope env;
  env.stageValues[Envelope::kAttack] = 0.005;
  env.enter(Envelope::kAttack, 48000);
  EXPECT_DOUBLE_EQ(env.level, 2e-6);
  for (int s = 0; s < 240; ++s) env.step(48000);
  EXPECT_NEAR(env.level, 1.0, 1e-9);
  EXPECT_EQ(env.stage, Envelope::kAttack);
  env.step(48000);
  EXPECT_EQ(env.stage, Envelope::kDecay) << "the 241st sample enters decay";
}

TEST(Sound, ReleaseChangeStretchesWithoutAJump)
{
  Envelope env;
  env.stageValues[Envelope::kRelease] = 1.0;
  env.level = 0.5;
  env.stage = Envelope::kSustain;
  env.enter(Envelope::kRelease, 48000);
  for (int s = 0; s < 24000; ++s) env.step(48000);
  const double level = env.level;
  env.setStageValue(Envelope::kRelease, 2.0, 48000);
  EXPECT_EQ(env.level, level);
  EXPECT_EQ(env.length, 24000 + 48000) << "the remaining half of 2 s";
  for (int s = 0; s < 48000; ++s) env.step(48000);
  EXPECT_NEAR(env.level, 1e-6, 1e-9);
}

TEST(Sound, RunsAndFramesGiveTheSameSamples)
{
  auto render = [](bool runs, int patch) {
    Rig r(256);
    r.seed(99);
    r.source = [](int c, long f) { return Sine(f, 197.0 + 3 * c, 0.8) + 0.1 * Sine(f, 3001.0); };
    r.set(kPolyMono, patch != 6);
    r.set(kGlide, 0.02);
    r.set(kActiveVoices, 8);
    r.set(kEnvR, patch == 7 ? 0.5 : 0.05);  // 7: most of the voices sound at once
    r.set(kEnvD, 0.02);
    r.set(kEnvS, 0.5);
    r.set(kPerfMode, patch == 1 || patch == 6 ? 0 : patch == 5 ? 1 : 2);
    if (patch == 5)
    {
      r.set(kGapProb, 60);
      r.set(kGapStereo, 1);
      r.set(kGapFill, 1);
    }
    r.set(kFltType, patch);
    r.set(kWrapMirror, patch == 2);
    r.set(kPlayRate, patch == 3 ? -1.7 : 1.3);
    r.set(kExtrudeInput, patch == 4);
    r.set(kAgcPerVoice, patch != 4);
    r.set(kAgcAmount, patch >= 3 && patch != 7 ? 0.7 : 0.0);
    r.set(kFltQ, 0.6);
    r.set(kAmp, 1.8);
    return RenderThrough(runs, r, 120, [&](int b) {
      if (b % 10 == 0) r.noteOn(40 + (b * 7) % 40, 60 + b % 60, (b * 37) % 256);
      if (b % 10 == 6) r.noteOff(40 + ((b - 6) * 7) % 40, (b * 11) % 256);
      if (b == 50) r.set(kSelEnd, 0.3);
      if (b == 25) r.set(kGapProb, 0);  // the grains drawn with gaps play on
    });
  };
  for (int patch = 0; patch < 8; ++patch) EXPECT_EQ(render(false, patch), render(true, patch)) << "patch " << patch;
}

// Grains at rates whose steps add up exactly, read in stretches, across the
// window's edges and the powers of two where a position's precision halves.
TEST(Sound, GrainRunsAtExactRatesMatchFrames)
{
  struct Case
  {
    double rate;
    bool mirror;
    int window;
    double overlap, selEnd;
    double step = 1.0;  // an uneven step gives positions every bit of fraction
  };
  const Case cases[] = {{1.0, false, 1, 3.5, 0.02},         {-1.0, false, 1, 3.5, 0.02, 1.37},
                        {1.0, true, 0, 3.5, 0.015, 0.731},  {-1.0, true, 1, 1.0, 0.3},
                        {0.5, false, 0, 2.0, 0.02, 29.3},   {2.0, true, 1, 3.5, 0.01},
                        {0.25, true, 1, 0.7, 0.005, -3.9},  {3.0, false, 0, 3.5, 0.04, 0.1},
                        {1.0, false, 1, 0.0, 1.0},          {1.0, false, 1, 3.5, 0.03, 17.77}};
  for (const Case& c : cases)
  {
    auto render = [&](bool runs) {
      Rig r(128);
      r.source = [](int ch, long f) { return Sine(f, 150.0 + 7 * ch, 0.8); };
      r.set(kPolyMono, 1);
      r.set(kActiveVoices, 6);
      r.set(kPerfMode, 0);
      r.set(kPlayRate, c.rate);
      r.set(kWrapMirror, c.mirror);
      r.set(kWindowType, c.window);
      r.set(kOverlap, c.overlap);
      r.set(kStep, c.step);
      r.set(kEnvR, 0.05);
      return RenderThrough(runs, r, 160, [&](int b) {
        if (b == 40) r.set(kSelEnd, c.selEnd);
        if (b % 12 == 0) r.noteOn(30 + (b * 5) % 60, 100, (b * 29) % 128);
        if (b % 12 == 9) r.noteOff(30 + ((b - 9) * 5) % 60, 3);
      });
    };
    EXPECT_EQ(render(false), render(true)) << "rate " << c.rate << " mirror " << c.mirror << " window " << c.window;
  }
}

// Held notes whose filter envelope, cut-off, resonance and gain control
// change while they sustain: runs that skip a still envelope's steps must
// notice each change.
TEST(Sound, ChangesDuringSustainMatchFrames)
{
  for (int mode : {0, 2})
  {
    auto render = [&](bool runs) {
      Rig r(128);
      r.source = [](int ch, long f) { return Sine(f, 210.0 + 5 * ch, 0.7); };
      r.set(kPolyMono, 1);
      r.set(kActiveVoices, 8);
      r.set(kPerfMode, mode);
      r.set(kOverlap, 2.0);
      r.set(kFltEnvDepth, 0.5);
      r.set(kFltEnvS, 0.3);
      for (int n = 0; n < 6; ++n) r.noteOn(45 + 4 * n, 100, n);
      return RenderThrough(runs, r, 120, [&](int b) {
        if (b == 30) r.set(kFltEnvS, 0.7);
        if (b == 45) r.set(kFltEnvDepth, -0.4);
        if (b == 60) r.set(kFltFreq, 900.0);
        if (b == 75) r.set(kFltQ, 0.8);
        if (b == 90) r.set(kAgcAmount, 0.6);
        if (b == 100) r.set(kEnvS, 0.4);
      });
    };
    EXPECT_EQ(render(false), render(true)) << "mode " << mode;
  }
}

// A filter envelope held at its floor goes on counting through its release
// while a group skips its still steps: it ends when the per-frame path's does.
TEST(Sound, SkippedFilterStepsStillCount)
{
  Rig frames(128), runs(128);
  EngineTestSeam::FrameByFrame(frames.core(), true);
  for (Rig* r : {&frames, &runs})
  {
    r->source = [](int, long f) { return Sine(f, 200.0, 0.5); };
    r->set(kPolyMono, 1);
    r->set(kPerfMode, 0);
    r->set(kFltEnvDepth, 0.5);
    r->set(kFltEnvR, 0.3);
    r->set(kEnvR, 2.0);
    for (int n = 0; n < 4; ++n) r->noteOn(50 + n, 100, n);
    r->run(40);
    for (int n = 0; n < 4; ++n) r->noteOff(50 + n);
    r->run(60);
  }
  for (int v = 0; v < 4; ++v)
  {
    const Envelope& a = frames.voice(v).chain().filter().env;
    const Envelope& b = runs.voice(v).chain().filter().env;
    EXPECT_EQ(a.stage, b.stage) << "voice " << v;
    EXPECT_EQ(a.counter, b.counter) << "voice " << v;
  }
}

// Random playing: notes, and sound parameters set anywhere in their ranges
// between blocks. Whatever the mix of voices, the run kernels must give the
// per-frame path's samples.
TEST(Sound, RunsMatchFramesUnderRandomPlaying)
{
  auto render = [](bool runs, unsigned seed) {
    std::mt19937 pick(seed);
    auto chance = [&](double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(pick) < p; };
    Rig r(256);
    r.seed(seed);
    r.source = [](int c, long f) { return Sine(f, 180.0 + 5 * c, 0.7) + 0.2 * Sine(f, 2200.0 + c); };
    r.set(kPolyMono, 1);
    r.set(kActiveVoices, 12);
    r.set(kEnvR, 0.2);
    std::vector<int> held;
    return RenderThrough(runs, r, 80, [&](int) {
      for (int n = 0; n < 2; ++n)
        if (chance(0.35))
        {
          // Not those that couple the voices: they turn the runs off.
          const int idx = static_cast<int>(pick() % (kAmp + 1));
          if (idx == kErrorInt || idx == kErrorExt || idx == kGapProb || idx == kWobbleAmount || idx == kRefillMode)
            continue;
          const IParam& param = *r.P().GetParam(idx);
          const double u = std::uniform_real_distribution<double>(0.0, 1.0)(pick);
          double v = param.Min() + u * (param.Max() - param.Min());
          if (param.Type() != IParam::kTypeDouble) v = std::round(v);
          r.set(idx, v);
        }
      if (chance(0.4))
      {
        held.push_back(36 + static_cast<int>(pick() % 48));
        r.noteOn(held.back(), 30 + static_cast<int>(pick() % 98), static_cast<int>(pick() % 256));
      }
      if (!held.empty() && chance(0.3))
      {
        r.noteOff(held.front(), static_cast<int>(pick() % 256));
        held.erase(held.begin());
      }
    });
  };
  for (unsigned seed = 1; seed <= 10; ++seed)
  {
    const std::vector<double> frames = render(false, seed), runs = render(true, seed);
    ASSERT_EQ(frames.size(), runs.size());
    const auto diff = std::mismatch(frames.begin(), frames.end(), runs.begin());
    EXPECT_TRUE(diff.first == frames.end()) << "seed " << seed << ": first difference at sample "
                                            << (diff.first - frames.begin());
  }
}

TEST(Sound, ExtremeSettingsStayFiniteAndBounded)
{
  Rig r;
  r.seed(5);
  r.source = [](int c, long f) { return Sine(f, 50.0 + 700 * c, 1.0) + (f % 97 == 0 ? 1.0 : 0.0); };
  r.set(kPolyMono, 1);
  r.set(kActiveVoices, 32);
  r.set(kOverlap, 3.5);
  r.set(kFltQ, 0.99);
  r.set(kFltFreq, 20000);
  r.set(kErrorInt, 50);
  r.set(kErrorExt, 50);
  r.set(kAmp, 2.0);
  r.set(kAgcAmount, 1.0);
  r.set(kAgcHardness, 0.18);
  r.set(kWobbleAmount, 1.0);
  r.set(kWobbleInternal, 1);
  r.set(kWobbleExternal, 1);
  r.set(kGapProb, 50);
  r.set(kGapFill, 1);
  for (int n = 0; n < 32; ++n) r.noteOn(20 + n * 3, 127, n);
  for (int b = 0; b < 94 * 4; ++b)  // about 4 s
  {
    const int mode = (b / 47) % 3;
    if (b % 47 == 0)
    {
      r.set(kPerfMode, mode);
      r.set(kPlayRate, b % 2 ? 16.0 : -16.0);
      r.set(kFltType, (b / 47) % 5);
      r.set(kFltEnvDepth, b % 3 ? 1.0 : -1.0);
    }
    r.run();
    for (int c = 0; c < 2; ++c)
      for (double x : r.io.out[static_cast<size_t>(c)])
      {
        ASSERT_TRUE(std::isfinite(x)) << "block " << b;
        ASSERT_LE(std::fabs(x), 2.0) << "block " << b;
      }
  }
}

TEST(Sound, ExtrudeInputPassesTheInputWhileVoicesAreIdle)
{
  Rig r;
  r.source = [](int, long f) { return Sine(f, 440.0, 0.3); };
  r.set(kExtrudeInput, 1);
  r.run();
  for (int s = 0; s < 512; ++s) EXPECT_EQ(r.io.out[0][static_cast<size_t>(s)], r.io.in[0][static_cast<size_t>(s)]);
}

TEST(Sound, GlobalClipperBendsLoudSamples)
{
  SoftClipper clip(2.0);
  EXPECT_DOUBLE_EQ(clip.process(3.0), 1.875);
  EXPECT_DOUBLE_EQ(clip.process(-3.0), -1.875);
  EXPECT_EQ(clip.process(1.2), 1.2);
  EXPECT_LE(clip.process(1e300), 2.0);
}
