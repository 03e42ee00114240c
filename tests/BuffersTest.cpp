// Recording buffers: exact-sample refills, sizes, modes and ownership.
#include <gtest/gtest.h>

#include "tests/Rig.h"

namespace {
// Input that counts frames, so a buffer shows which frames it recorded.
struct CountingRig : Rig
{
  explicit CountingRig(int blockSize = 512, double sampleRate = 48000.0) : Rig(blockSize, sampleRate)
  {
    source = [](int channel, long frame) { return channel == 0 ? double(frame) : -double(frame); };
  }
};
}  // namespace

TEST(Refill, StartsAtTheExactSampleOfTheNote)
{
  CountingRig r;
  r.run();
  r.noteOn(60, 100, 100);
  r.run();
  const Buffer& b = r.core().buffer(0);
  ASSERT_EQ(b.filled, 412) << "frames 100..511 of the block";
  EXPECT_EQ(b.frames[0][0], 512 + 100);
  EXPECT_EQ(b.frames[411][0], 512 + 511);
  EXPECT_EQ(b.frames[411][1], -(512 + 511));
  r.run();
  EXPECT_EQ(b.filled, 412 + 512) << "recording goes on in the next block";
  EXPECT_EQ(b.frames[412][0], 1024);
}

TEST(Refill, StopsWhenTheBufferIsFull)
{
  CountingRig r;
  r.set(kBufferSeconds, 0.125);  // 6000 frames
  r.noteOn(60);
  r.run(20);
  const Buffer& b = r.core().buffer(0);
  EXPECT_EQ(b.filled, 6000);
  EXPECT_EQ(b.frames[5999][0], 5999);
}

TEST(Refill, BufferSizesFollowTheSampleRate)
{
  struct Case
  {
    double rate, seconds;
    int frames;
  };
  for (Case c : {Case{48000, 10.0, 480000}, Case{96000, 10.0, 480000}, Case{44100, 0.125, 6000},
                 Case{44100, 2.0, 88200}})
  {
    Rig r(512, c.rate);
    r.set(kBufferSeconds, c.seconds);
    EXPECT_EQ(r.core().bufferLength(), c.frames) << c.rate << " Hz, " << c.seconds << " s";
  }
}

TEST(Refill, ShrinkingCutsTheFilledPart)
{
  CountingRig r;
  r.set(kBufferSeconds, 0.25);
  r.noteOn(60);
  r.run(30);
  ASSERT_EQ(r.core().buffer(0).filled, 12000);
  r.set(kBufferSeconds, 0.125);
  EXPECT_EQ(r.core().buffer(0).filled, 6000);
  EXPECT_TRUE(r.core().buffer(0).full());
}

TEST(Refill, HoldKeepsTheBufferAcrossNotes)
{
  CountingRig r;  // "refill mode" defaults to hold
  r.set(kPolyMono, 1);
  r.noteOn(60);
  r.run();
  r.noteOff(60);
  r.run(30);
  const int filled = r.core().buffer(0).filled;
  r.noteOn(62, 100, 7);
  r.run();
  EXPECT_GE(r.core().buffer(0).filled, filled);
  EXPECT_EQ(r.core().buffer(0).frames[0][0], 0) << "not recorded again";
}

TEST(Refill, EveryNoteRefills)
{
  CountingRig r;
  r.set(kRefillMode, 0);
  r.set(kPolyMono, 1);
  r.noteOn(60);
  r.run();
  r.noteOff(60);
  r.run();
  r.noteOn(60, 100, 5);
  r.run();
  const int v = r.tables().top();
  EXPECT_EQ(v, 1) << "voice 0 is still releasing";
  EXPECT_EQ(r.core().buffer(v).frames[0][0], 1024 + 5);
  r.set(kRefillMode, 2);
  r.noteOn(61, 100, 9);
  r.run();
  EXPECT_EQ(r.core().buffer(2).frames[0][0], 1536 + 9) << "an empty buffer records in hold mode too";
}

TEST(Refill, RefillAllMarksUnplayedVoicesPending)
{
  CountingRig r;
  r.set(kRefillAll, 1);
  EXPECT_TRUE(r.voice(3).refillPending());
  r.set(kRefillAll, 0);
  r.set(kPolyMono, 1);
  for (int n = 0; n < 4; ++n) r.noteOn(60 + n, 100, 20);
  r.run();
  EXPECT_FALSE(r.voice(3).refillPending());
  EXPECT_EQ(r.core().buffer(3).frames[0][0], 20);
}

TEST(Refill, RefillThisAtTheOffsetOfTheChange)
{
  CountingRig r;
  r.noteOn(60);
  r.run(2);
  // A change arriving at sample 300 of a block refills from there.
  r.P().Dispatcher().ArmLearn(kRefillThis);
  r.cc(21, 0);
  r.run();
  r.cc(21, 127, 300);
  r.run();
  EXPECT_EQ(r.core().buffer(0).frames[0][0], 3 * 512 + 300);
}

TEST(Refill, CommonModeRefillsOnlyFromItsOwnTab)
{
  CountingRig r;
  r.set(kPickedBuf, 3);
  r.set(kCommonBuf, 1);
  EXPECT_EQ(r.core().commonIndex(), 2);
  r.noteOn(60);
  r.run(2);
  EXPECT_EQ(r.voice(0).buffer(), &r.core().buffer(2));
  EXPECT_EQ(r.core().buffer(2).owner, 0);
  const double first = r.core().buffer(2).frames[0][0];
  r.set(kPickedBuf, 5);
  r.set(kRefillThis, 1);
  EXPECT_EQ(r.core().buffer(2).frames[0][0], first) << "another tab does nothing";
  r.set(kRefillThis, 0);
  r.set(kPickedBuf, 3);
  r.set(kRefillThis, 1);
  r.run();
  EXPECT_GT(r.core().buffer(2).frames[0][0], first);
}

TEST(Refill, TempoModeRefillsEveryPeriod)
{
  CountingRig r;
  r.set(kRefillMode, 3);
  r.set(kRefillNom, 1);
  r.set(kRefillDenum, 16);  // 2 x 24000 / 16 = 3000 samples at 120 bpm
  EXPECT_EQ(r.core().refillPeriod(), 3000);
  r.noteOn(60);
  r.run(20);
  const Buffer& b = r.core().buffer(0);
  const long start = static_cast<long>(b.frames[0][0]);
  EXPECT_EQ((start + 1) % 3000, 0) << "the sample counter runs one ahead of the frame index";
  EXPECT_LT(b.filled, 3000 + 512);
}

TEST(Refill, PerBufferInputRecordsEachVoicesPair)
{
  Rig r;
  r.source = [](int, long) { return 0.0; };
  r.set(kPerBufInput, 1);
  r.set(kPolyMono, 1);
  for (int s = 0; s < 512; ++s) r.io.in[6][static_cast<size_t>(s)] = 0.25;  // pair 3, left
  r.noteOn(60);
  r.noteOn(61);
  r.noteOn(62);
  r.noteOn(63);
  r.io.Process(r.P(), 512);
  EXPECT_EQ(r.core().buffer(3).frames[10][0], 0.25);
  EXPECT_EQ(r.core().buffer(2).frames[10][0], 0.0);
}
