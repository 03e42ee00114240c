// Note frequencies, grain periods, pitch bend and the wobble generator.
#include <gtest/gtest.h>

#include "tests/Rig.h"

TEST(Pitch, NoteFrequenciesAndPeriods)
{
  Rig r;
  r.set(kPerfMode, 0);
  r.set(kPolyMono, 1);
  r.noteOn(69);
  r.noteOn(0);
  r.noteOn(127);
  r.run();
  EXPECT_EQ(r.voice(0).notes().freq(), 440.0);
  EXPECT_EQ(r.voice(0).grains().notePeriod(), 109);
  EXPECT_EQ(r.voice(1).grains().notePeriod(), 5871);
  r.set(kBaseLenNom, 1);
  r.set(kBaseLenDenum, 16);  // ratio 16: very short grains
  EXPECT_EQ(r.voice(2).computeNotePeriod(), 4);
}

TEST(Pitch, BaseLengthRatioScalesBothPeriods)
{
  Rig r;
  r.set(kPerfMode, 0);
  r.noteOn(69);
  r.run();
  Voice& v = r.voice(r.tables().top());
  const int note = v.computeNotePeriod(), beat = v.computeBeatPeriod();
  r.set(kBaseLenNom, 2);
  EXPECT_EQ(v.notes().baseLenRatio(), 0.5);
  EXPECT_EQ(v.computeBeatPeriod(), 2 * beat);
  EXPECT_NEAR(v.computeNotePeriod(), 2 * note, 1);
}

TEST(Pitch, BeatPeriodFollowsTempoAndKeyMeter)
{
  Rig r;
  r.set(kPerfMode, 1);
  r.set(BeatDenParam(9), 4);  // A: 1/4 beat
  r.noteOn(69);
  r.run();
  Voice& v = r.voice(r.tables().top());
  EXPECT_EQ(v.grains().beatPeriod(), 6000);
  EXPECT_EQ(v.grains().slot(v.grains().currentSlot()).length(), 6000);
  r.set(BeatNumParam(9), 3);
  EXPECT_EQ(v.grains().beatPeriod(), 18000) << "an active voice follows a meter change";
}

TEST(Pitch, BendReachesTwoSemitones)
{
  Rig r;
  r.midi(0, 0xE0, 0, 0);
  r.run();
  EXPECT_DOUBLE_EQ(r.core().bendRatio(), std::pow(2.0, -2.0 / 12.0));
  r.midi(0, 0xE0, 127, 127);
  r.run();
  EXPECT_LT(r.core().bendRatio(), std::pow(2.0, 2.0 / 12.0));
  EXPECT_GT(r.core().bendRatio(), std::pow(2.0, 1.99 / 12.0));
  r.midi(0, 0xE0, 0, 64);
  r.run();
  EXPECT_EQ(r.core().bendRatio(), 1.0);
  EXPECT_EQ(r.voice(7).notes().bend(), 1.0);
}

TEST(Wobble, StaysWithinTwoSemitonesAtFullAmount)
{
  Rig r;
  r.seed(7);
  r.set(kPolyMono, 1);
  r.set(kWobbleFreq, 50.0);
  for (int n = 0; n < 4; ++n) r.noteOn(60 + n);
  r.set(kWobbleAmount, 1.0);
  double lo = 2.0, hi = 0.0;
  for (int b = 0; b < 400; ++b)
  {
    r.run();
    for (int v = 0; v < 4; ++v)
    {
      lo = std::min(lo, r.voice(v).notes().wobbleFactor());
      hi = std::max(hi, r.voice(v).notes().wobbleFactor());
    }
  }
  EXPECT_GE(lo, std::pow(2.0, -2.0 / 12.0) - 1e-12);
  EXPECT_LE(hi, std::pow(2.0, 2.0 / 12.0) + 1e-12);
  EXPECT_LT(lo, 0.95) << "the drift uses its range";
  EXPECT_GT(hi, 1.05);
}

TEST(Wobble, NewVoicesStartAtOneWithoutAmount)
{
  Rig r;
  r.voice(0).setWobbleFactor(0.9);
  r.noteOn(60);
  r.run();
  EXPECT_EQ(r.voice(r.tables().top()).notes().wobbleFactor(), 1.0);
}

TEST(Wobble, SyncGivesEveryVoiceTheSameFactor)
{
  Rig r;
  r.seed(3);
  r.set(kPolyMono, 1);
  r.set(kWobbleFreq, 50.0);
  r.set(kWobbleSync, 1);
  r.set(kWobbleAmount, 0.7);
  for (int n = 0; n < 3; ++n) r.noteOn(50 + n);
  for (int b = 0; b < 30; ++b)
  {
    r.run();
    EXPECT_EQ(r.voice(0).notes().wobbleFactor(), r.voice(1).notes().wobbleFactor());
    EXPECT_EQ(r.voice(0).notes().wobbleFactor(), r.voice(2).notes().wobbleFactor());
  }
  EXPECT_NE(r.voice(0).notes().wobbleFactor(), 1.0);
}

TEST(Wobble, FrequencyChangeKeepsTheDriftInPlace)
{
  Rig r;
  r.seed(11);
  r.noteOn(60);
  r.set(kWobbleAmount, 1.0);
  r.run(5);
  MonoShiver& w = r.core().shiver();
  const int v = r.tables().top();
  const double before = w.offset[v], slope = w.slope[v];
  r.set(kWobbleFreq, 8.0);
  EXPECT_EQ(w.offset[v], before) << "no jump";
  EXPECT_DOUBLE_EQ(w.slope[v], slope * 4.0) << "four times the speed";
  EXPECT_LE(w.counter[v], w.period[v]);
}
