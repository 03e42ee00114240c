// Grain slots, windows, repeat, gaps; the voice filter and gain control.
#include <gtest/gtest.h>

#include "engine/EngineRates.h"
#include "tests/Rig.h"

namespace {
// A started NOTE-mode voice over a buffer of constant 1.0, outside any plug-in.
struct GrainVoice
{
  Buffer buffer;
  PitchBlock pitch{};
  RandomSource random;
  Voice voice;

  explicit GrainVoice(GrainMode mode = GrainMode::kNote)
  {
    for (int i = 0; i < 48000; ++i) buffer.frames[i][0] = buffer.frames[i][1] = 1.0;
    buffer.filled = 48000;
    for (int n = 0; n < kNumNotes; ++n) pitch.noteTable[n] = 440.0 * std::pow(2.0, (n - 69) / 12.0);
    std::fill(std::begin(pitch.keyMeter), std::end(pitch.keyMeter), 1.0);
    voice.attach(0, &buffer, &pitch, &EngineRates::Default(), &random);
    voice.setGrainMode(mode);
    voice.setNoteNow(69);
    voice.setStarted(true);
    voice.resetGrains(false);
  }
  double render()
  {
    double l, r;
    voice.renderGrains(&l, &r);
    return l;
  }
};
}  // namespace

TEST(Grains, NotePeriodAndMinimum)
{
  auto g = std::make_unique<GrainVoice>();
  EXPECT_EQ(g->voice.grainLength(), 109);
  g->voice.setNoteNow(127);
  g->voice.setBaseLen(1, 16);  // 12.5 kHz, sixteen times: far under four frames a period
  EXPECT_EQ(g->voice.grainLength(), 4);
}

TEST(Grains, SineWindowIsScaledByOverlap)
{
  auto g = std::make_unique<GrainVoice>();
  g->voice.setWindow(WindowShape::kSine);
  g->voice.setOverlap(1.0);
  for (int s = 0; s < 2000; ++s) g->render();
  double peak = 0.0;
  for (int s = 0; s < 2000; ++s) peak = std::max(peak, g->render());
  EXPECT_LE(peak, 1.0 / 2.0 * 2.0 + 1e-9) << "two overlapping sine grains at 1 / (1 + 1)";
  EXPECT_GT(peak, 0.5);
}

TEST(Grains, WeightsNormaliseToTheSource)
{
  auto g = std::make_unique<GrainVoice>();
  for (WindowShape type : {WindowShape::kLinear, WindowShape::kParabolic})
  {
    g->voice.setWindow(type);
    g->voice.setOverlap(0.7);
    for (int s = 0; s < 3000; ++s)
    {
      const double x = g->render();
      if (g->voice.grains().activeGrains() >= 2)
      {
        ASSERT_NEAR(x, 1.0, 1e-12) << "window " << static_cast<int>(type);
      }
    }
  }
}

TEST(Grains, NinthGrainCutsTheOldest)
{
  auto g = std::make_unique<GrainVoice>();
  const GrainScheduler& grains = g->voice.grains();
  for (int n = 0; n < 8; ++n) g->voice.startGrain(0);
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(grains.slot(i).inUse()) << i;
  for (int n = 0; n < 9; ++n)
  {
    const int before = grains.currentSlot();
    g->voice.startGrain(0);
    EXPECT_EQ(grains.currentSlot(), (before + 1) % 8) << "with every slot sounding, the one after the current";
  }
  auto firstFree = [&] {
    for (int i = 0; i < 8; ++i)
      if (!grains.slot(i).inUse()) return i;
    return -1;
  };
  for (int f = 0; f < 20000 && firstFree() < 0; ++f) g->render();
  const int free = firstFree();
  ASSERT_GE(free, 0);
  g->voice.startGrain(0);
  EXPECT_EQ(grains.currentSlot(), free) << "a free slot is taken first";
}

TEST(Grains, RepeatAdvancesEveryFourthGrain)
{
  auto g = std::make_unique<GrainVoice>();
  g->voice.setStep(10.0);
  g->voice.setRepeat(4);
  std::vector<double> starts;
  for (int n = 0; n < 13; ++n)
  {
    g->voice.startGrain(0);
    starts.push_back(g->voice.grains().current().pos());
  }
  size_t first = 1;
  while (first < starts.size() && starts[first] == starts[first - 1]) ++first;
  ASSERT_LE(first, 4u) << "an advance within the first four grains";
  for (size_t n = first; n < starts.size(); ++n)
  {
    const double advance = (n - first) % 4 == 0 ? 10.0 : 0.0;
    EXPECT_EQ(starts[n], starts[n - 1] + advance) << n;
  }
}

TEST(Grains, FullGapProbabilitySilences)
{
  auto g = std::make_unique<GrainVoice>();
  g->random.seed(1);
  g->voice.setGaps(100);
  for (int s = 0; s < 500; ++s) g->render();
  for (int s = 0; s < 500; ++s) ASSERT_EQ(g->render(), 0.0);
}

// A length change leaves every sounding grain inside its new window, even
// one left far past its end by earlier changes or with no fade-in to scale by.
TEST(Grains, ASlotStaysInsideItsShapeAcrossLengthChanges)
{
  struct Case
  {
    int length, fadeIn, fadeOut, elapsed, newLength, newFade;
    bool rescale;
    int expected;  // -1: anywhere inside the new window
  } const cases[] = {
    {1000, 500, 500, 700, 2000, 1000, true, 700},           // in the body: stays
    {1000, 500, 500, 250, 2000, 1000, true, 500},           // in the fade-in: scaled
    {100000, 1, 350000, 400000, 100000, 350000, true, -1},  // scaled beyond any count
    {4, 0, 0, 1000000, 100, 350, true, -1},                 // no fade-in to scale by
    {4, 0, 0, 1000000, 100, 0, false, 99},                  // no overlap: clamped
  };
  for (const Case& c : cases)
  {
    Grain g;
    g.start(c.length, c.fadeIn, c.fadeOut, 1.0);
    g.begin(c.elapsed, GapMark::kNone);
    g.rescaleElapsed(c.newLength, c.newFade, c.rescale);
    EXPECT_GE(g.elapsed(), 0) << c.elapsed;
    EXPECT_LT(g.elapsed(), c.newLength + 2 * c.newFade) << c.elapsed;
    if (c.expected >= 0) { EXPECT_EQ(g.elapsed(), c.expected) << c.elapsed; }
  }
}

TEST(Filter, TopCutoffFollowsTheSampleRate)
{
  EngineRates rates;
  rates.SetSampleRate(32000);
  VoiceFilter f;
  f.rates = &rates;
  f.setBaseFreq(20000, true);
  EXPECT_EQ(f.cutoff, 16000);
  rates.SetSampleRate(44100);
  EXPECT_EQ(rates.topFilterFreq, 20000);
}

TEST(Filter, NoteFollowingHarmonicsAndEnvelopeReach)
{
  VoiceFilter f;
  f.setHarmonic(17, true);
  f.setFollowNote(true, true);
  f.noteOn(200.0);
  double l = 0, r = 0;
  f.process(&l, &r);
  EXPECT_EQ(f.cutoff, 3400.0);
  f.lastEnvLevel = 1.0;
  f.envDepth = 1.0;
  EXPECT_EQ(f.targetCutoff(), 3400.0);
  f.env.level = 1.0;
  f.env.stage = Envelope::kSustain;
  f.env.stageValues[Envelope::kSustain] = 1.0;
  f.process(&l, &r);
  EXPECT_EQ(f.section.cutoff, EngineRates::Default().topFilterFreq);
  f.envDepth = -1.0;
  f.process(&l, &r);
  EXPECT_EQ(f.section.cutoff, 10.0);
}

TEST(Filter, HighResonanceKeepsFeedbackFinite)
{
  FilterSection s;
  s.q = 0.99;
  s.setCutoff(EngineRates::Default().sampleRate * std::asin(2.0 / 3.0) / 3.14159265358979, EngineRates::Default().sampleRate);  // f ~ 1
  EXPECT_TRUE(std::isfinite(s.fb));
  EXPECT_NEAR(std::fabs(s.fb), 0.99 / 0.0001, 1.0) << "d is held at 0.0001 from zero";
  double l = 1.0, r = -1.0;
  for (int i = 0; i < 10000; ++i)
  {
    s.process(&l, &r);
    ASSERT_TRUE(std::isfinite(l) && std::isfinite(r));
    l = r = (i % 2 ? 1.0 : -1.0);
  }
}

TEST(Filter, UnknownPassTypeIsSilent)
{
  FilterSection s;
  s.passType = static_cast<PassType>(7);
  s.setCutoff(1000, 48000);
  double l = 0.7, r = 0.7;
  s.process(&l, &r);
  EXPECT_EQ(l, 0.0);
  EXPECT_EQ(r, 0.0);
}

TEST(GainControl, SilenceChangesNothing)
{
  GainControl agc;
  agc.amount = 1.0;
  const GainControl before = agc;
  double l = 1e-16, r = -1e-16;
  agc.process(&l, &r, true);
  EXPECT_EQ(l, 1e-16);
  EXPECT_EQ(agc.logGain, before.logGain);
  EXPECT_EQ(agc.peakPower, before.peakPower);
}

TEST(GainControl, LoudSignalsLoseGainQuietOnesGain)
{
  for (double level : {4.0, 0.05})
  {
    GainControl agc;
    agc.amount = 1.0;
    agc.hardness = 0.1;
    agc.logGain = 0.0;
    for (int i = 0; i < 2000; ++i)
    {
      double l = level, r = level;
      agc.process(&l, &r, true);
    }
    if (level > 1.0)
      EXPECT_LT(agc.gain, 1.0);
    else
      EXPECT_GT(agc.gain, 1.0);
  }
}

TEST(GainControl, AutomaticFrequencies)
{
  EXPECT_EQ(FoldAgcFrequency(440, true, 50, 500), 220);
  EXPECT_EQ(FoldAgcFrequency(1760, true, 50, 500), 440);
  EXPECT_EQ(FoldAgcFrequency(60, true, 50, 500), 60);
  EXPECT_EQ(FoldAgcFrequency(1.0, false, 4, 500), 4);
}

TEST(GainControl, NotANumberBecomesSilence)
{
  GainControl agc;
  double l = std::nan(""), r = 0.5;
  agc.process(&l, &r, false);
  EXPECT_EQ(l, 0.0);
  EXPECT_EQ(r, 0.5);
}

TEST(GainControl, PlacementMovesDcRemoval)
{
  Rig r;
  EXPECT_TRUE(r.voice(0).chain().dcOn());
  EXPECT_FALSE(r.core().globalDcOn());
  r.set(kAgcPerVoice, 0);
  EXPECT_FALSE(r.voice(0).chain().dcOn());
  EXPECT_TRUE(r.core().globalDcOn());
  r.set(kAgcAmount, 0.5);
  r.settle();
  EXPECT_TRUE(r.core().globalAgcOn());
  EXPECT_EQ(r.voice(3).chain().agc().amount, 0.0);
  r.set(kAgcPerVoice, 1);
  EXPECT_TRUE(r.voice(0).chain().dcOn());
  EXPECT_EQ(r.voice(3).chain().agc().amount, 0.5);
  EXPECT_FALSE(r.core().globalAgcOn());
}
