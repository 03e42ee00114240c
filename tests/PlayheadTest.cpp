// Selection windows, edge rules and playhead aiming of a voice.
#include <gtest/gtest.h>

#include "tests/Rig.h"

namespace {
// A playhead over a buffer with `filled` frames recorded, its selection
// start..end (the buffer is long enough for any).
struct Over
{
  Playhead playhead{480000};
  double filled;
  Over(int f, double start, double end) : filled(f)
  {
    playhead.setSelEnd(end, 480000);
    playhead.setSelStart(start, 480000);
  }
  PosDir rule(double pos, double dir) const { return playhead.edgeRule(playhead.window(filled), pos, dir); }
  double reduce(double move) const { return SpanReduce(playhead.window(filled), move); }
};
}  // namespace

TEST(EdgeRule, WrapAndMirror)
{
  Over o(1000, 100, 500);
  EXPECT_EQ(o.rule(499 + 3, 1).pos, 103);
  EXPECT_EQ(o.rule(499 + 3, 1).dir, 1);
  o.playhead.setEdges(EdgeMode::kMirror);
  EXPECT_EQ(o.rule(499 + 3, 1).pos, 497);
  EXPECT_EQ(o.rule(499 + 3, 1).dir, -1);
  EXPECT_EQ(o.rule(97, -1).pos, 103);
  EXPECT_EQ(o.rule(97, -1).dir, 1);
  o.playhead.setEdges(EdgeMode::kWrap);
  EXPECT_EQ(o.rule(97, -1).pos, 497);
  EXPECT_NEAR(o.rule(100 + 400 * 1000.0 + 7, 1).pos, 100 + 7 + 1, 1e-6) << "far away: whole spans come off";
}

TEST(EdgeRule, TinyBuffersPinToTheStart)
{
  Over o(1, 100, 500);
  EXPECT_EQ(o.rule(42, 1).pos, 0) << "the start lies beyond the filled part";
  EXPECT_EQ(o.reduce(12.0), 0);
  Over g(1000, 10, 11);
  EXPECT_EQ(g.rule(42, 1).pos, 10);
}

TEST(EdgeRule, SpanReduceKeepsTheSign)
{
  Over o(1000, 0, 100);
  EXPECT_EQ(o.reduce(250), 50);
  EXPECT_EQ(o.reduce(-250), -50);
  EXPECT_EQ(o.reduce(-99), -99);
}

TEST(Selection, CannotBeNarrowerThanTheMinimum)
{
  Playhead v(480000);
  v.setSelEnd(200, 1000);
  v.setSelStart(300, 1000);
  EXPECT_EQ(v.selStart(), 300);
  EXPECT_EQ(v.selEnd(), 304);
  v.setSelEnd(2, 1000);
  EXPECT_EQ(v.selEnd(), 4);
  EXPECT_EQ(v.selStart(), 0);
  v.setSelStart(5000, 1000);
  EXPECT_EQ(v.selStart(), 996);
}

TEST(Selection, ParametersActOnThePickedVoiceOrAll)
{
  Rig r;
  r.set(kPickedBuf, 2);
  r.set(kSelStart, 0.5);
  EXPECT_EQ(r.voice(1).playhead().selStart(), 48000);
  EXPECT_EQ(r.voice(0).playhead().selStart(), 0);
  EXPECT_EQ(r.core().tabs().selStartFraction[1], 0.5);
  r.set(kSelectAll, 1);
  r.set(kSelEnd, 0.75);
  for (int v : {0, 1, 31}) EXPECT_EQ(r.voice(v).playhead().selEnd(), 72000);
  r.set(kBufferSeconds, 1.0);
  EXPECT_EQ(r.voice(1).playhead().selStart(), 24000) << "selections follow the buffer length";
  EXPECT_EQ(r.voice(5).playhead().selEnd(), 36000);
}

TEST(Aim, LandsInsideTheSelectionAndJumpsWithoutGlide)
{
  Rig r;
  r.set(kPlayheadGlide, 0.0);
  r.source = [](int, long f) { return std::sin(f * 0.01); };
  r.noteOn(60);
  r.run(200);
  Voice& v = r.voice(r.tables().top());
  r.set(kPickedBuf, v.id() + 1);
  r.set(kSelEnd, 0.5);
  r.set(kPlayheadPos, 1.0);
  EXPECT_FALSE(v.playhead().gliding()) << "fewer than 2 steps: a jump";
  EXPECT_EQ(v.playhead().truePos(), v.playhead().selEnd() - 1);
  r.set(kPlayheadPos, 0.0);
  EXPECT_EQ(v.playhead().truePos(), v.playhead().selEnd() - 1) << "zero and below are ignored";
}

TEST(Aim, GlidesInSimpleModeAndStopsOnTarget)
{
  Rig r;
  r.set(kPlayheadGlide, 0.01);  // 480 samples
  r.source = [](int, long f) { return std::sin(f * 0.01); };
  r.noteOn(60);
  r.run(200);
  Voice& v = r.voice(r.tables().top());
  r.set(kPickedBuf, v.id() + 1);
  r.set(kPlayheadPos, 0.25);
  EXPECT_TRUE(v.playhead().gliding());
  EXPECT_EQ(v.playhead().glideSteps(), 480);
  r.run(1);
  EXPECT_FALSE(v.playhead().gliding());
  EXPECT_EQ(v.playhead().lastAim(), std::trunc(95999 * 0.25 * 1e6) / 1e6);
}

TEST(Aim, ReturnPlayheadGoesBackAtEveryStart)
{
  Rig r;
  r.set(kReturnPlayhead, 1);
  r.set(kSelStart, 0.25);
  Voice& v = r.voice(0);
  v.playheadState().setBoth(70000);
  r.core().startVoice(0, 0, false);
  EXPECT_EQ(v.playhead().playPos(), 24000);
  EXPECT_EQ(v.playhead().truePos(), 24000);
  r.set(kReturnPlayhead, 0);
  v.playheadState().setBoth(70000);
  r.core().startVoice(0, 0, false);
  EXPECT_EQ(v.playhead().truePos(), 70000);
}
