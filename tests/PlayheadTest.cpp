// Selection windows, edge rules and playhead aiming of a voice.
#include <gtest/gtest.h>

#include "tests/Rig.h"

namespace {
struct FilledVoice
{
  Buffer buffer;  // large: lives on the heap through the fixture
  Voice voice;
  PitchBlock pitch{};

  FilledVoice(int filled, double start, double end)
  {
    buffer.filled = filled;
    voice.buffer = &buffer;
    voice.pitch = &pitch;
    voice.selStart = start;
    voice.selEnd = end;
  }
};

std::unique_ptr<FilledVoice> Make(int filled, double start, double end)
{
  return std::make_unique<FilledVoice>(filled, start, end);
}
}  // namespace

TEST(EdgeRule, WrapAndMirror)
{
  auto f = Make(1000, 100, 500);
  Voice& v = f->voice;
  double pos = 499 + 3, dir = 1;
  v.edgeRule(&pos, &dir);
  EXPECT_EQ(pos, 103);
  EXPECT_EQ(dir, 1);
  v.mirror = true;
  pos = 499 + 3;
  v.edgeRule(&pos, &dir);
  EXPECT_EQ(pos, 497);
  EXPECT_EQ(dir, -1);
  pos = 97;
  dir = -1;
  v.edgeRule(&pos, &dir);
  EXPECT_EQ(pos, 103);
  EXPECT_EQ(dir, 1);
  v.mirror = false;
  pos = 97;
  v.edgeRule(&pos, &dir);
  EXPECT_EQ(pos, 497);
  pos = 100 + 400 * 1000.0 + 7;  // far away: whole spans come off
  v.edgeRule(&pos, &dir);
  EXPECT_NEAR(pos, 100 + 7 + 1, 1e-6);
}

TEST(EdgeRule, TinyBuffersPinToTheStart)
{
  auto f = Make(1, 100, 500);
  double pos = 42, dir = 1;
  f->voice.edgeRule(&pos, &dir);
  EXPECT_EQ(pos, 0) << "the start lies beyond the filled part";
  EXPECT_EQ(f->voice.spanReduce(12.0), 0);
  auto g = Make(1000, 10, 11);
  pos = 42;
  g->voice.edgeRule(&pos, &dir);
  EXPECT_EQ(pos, 10);
}

TEST(EdgeRule, SpanReduceKeepsTheSign)
{
  auto f = Make(1000, 0, 100);
  EXPECT_EQ(f->voice.spanReduce(250), 50);
  EXPECT_EQ(f->voice.spanReduce(-250), -50);
  EXPECT_EQ(f->voice.spanReduce(-99), -99);
}

TEST(Selection, CannotBeNarrowerThanTheMinimum)
{
  auto f = Make(1000, 0, 480000);
  Voice& v = f->voice;
  f->buffer.length = 1000;
  v.setSelEnd(200);
  v.setSelStart(300);
  EXPECT_EQ(v.selStart, 300);
  EXPECT_EQ(v.selEnd, 304);
  v.setSelEnd(2);
  EXPECT_EQ(v.selEnd, 4);
  EXPECT_EQ(v.selStart, 0);
  v.setSelStart(5000);
  EXPECT_EQ(v.selStart, 996);
}

TEST(Selection, ParametersActOnThePickedVoiceOrAll)
{
  Rig r;
  r.set(kPickedBuf, 2);
  r.set(kSelStart, 0.5);
  EXPECT_EQ(r.voice(1).selStart, 48000);
  EXPECT_EQ(r.voice(0).selStart, 0);
  EXPECT_EQ(r.core().tabs().selStartFraction[1], 0.5);
  r.set(kSelectAll, 1);
  r.set(kSelEnd, 0.75);
  for (int v : {0, 1, 31}) EXPECT_EQ(r.voice(v).selEnd, 72000);
  r.set(kBufferSeconds, 1.0);
  EXPECT_EQ(r.voice(1).selStart, 24000) << "selections follow the buffer length";
  EXPECT_EQ(r.voice(5).selEnd, 36000);
}

TEST(Aim, LandsInsideTheSelectionAndJumpsWithoutGlide)
{
  Rig r;
  r.set(kPlayheadGlide, 0.0);
  r.source = [](int, long f) { return std::sin(f * 0.01); };
  r.noteOn(60);
  r.run(200);
  Voice& v = r.voice(r.tables().top());
  r.set(kPickedBuf, v.id + 1);
  r.set(kSelEnd, 0.5);
  r.set(kPlayheadPos, 1.0);
  EXPECT_FALSE(v.phGliding) << "fewer than 2 steps: a jump";
  EXPECT_EQ(v.truePos, v.selEnd - 1);
  r.set(kPlayheadPos, 0.0);
  EXPECT_EQ(v.truePos, v.selEnd - 1) << "zero and below are ignored";
}

TEST(Aim, GlidesInSimpleModeAndStopsOnTarget)
{
  Rig r;
  r.set(kPlayheadGlide, 0.01);  // 480 samples
  r.source = [](int, long f) { return std::sin(f * 0.01); };
  r.noteOn(60);
  r.run(200);
  Voice& v = r.voice(r.tables().top());
  r.set(kPickedBuf, v.id + 1);
  r.set(kPlayheadPos, 0.25);
  EXPECT_TRUE(v.phGliding);
  EXPECT_EQ(v.phGlideSteps, 480);
  r.run(1);
  EXPECT_FALSE(v.phGliding);
  EXPECT_EQ(v.lastAim, std::trunc(95999 * 0.25 * 1e6) / 1e6);
}

TEST(Aim, ReturnPlayheadGoesBackAtEveryStart)
{
  Rig r;
  r.set(kReturnPlayhead, 1);
  r.set(kSelStart, 0.25);
  Voice& v = r.voice(0);
  v.playPos = v.truePos = 70000;
  r.core().startVoice(0, 0, false);
  EXPECT_EQ(v.playPos, 24000);
  EXPECT_EQ(v.truePos, 24000);
  r.set(kReturnPlayhead, 0);
  v.playPos = v.truePos = 70000;
  r.core().startVoice(0, 0, false);
  EXPECT_EQ(v.truePos, 70000);
}
