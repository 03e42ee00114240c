// Notes, pedals and voice allocation, played through MIDI.
#include <gtest/gtest.h>

#include "tests/AllocationCounter.h"
#include "tests/Rig.h"

namespace {

struct PolyRig : Rig
{
  PolyRig()
  {
    set(kPolyMono, 1);
    set(kEnvR, 0.005);
  }
  int voiceOf(int note)
  {
    for (int v = 0; v < kNumVoices; ++v)
      if (voice(v).active() && voice(v).note() == note) return v;
    return -1;
  }
};

}  // namespace

TEST(VoiceChoice, FourActiveVoicesTakeTheLowestFree)
{
  PolyRig r;
  for (int n = 0; n < 4; ++n) r.noteOn(60 + n, 100, n);
  r.run();
  for (int n = 0; n < 4; ++n) EXPECT_EQ(r.voiceOf(60 + n), n);
  EXPECT_EQ(r.tables().activeCount, 4);
  for (int v = 4; v < kNumVoices; ++v) EXPECT_FALSE(r.tables().enabled[v]) << "voices above the limit are disabled";
}

TEST(VoiceChoice, FifthNotePrefersAReleasingVoice)
{
  PolyRig r;
  r.set(kEnvR, 5.0);
  for (int n = 0; n < 4; ++n) r.noteOn(60 + n);
  r.run();
  r.noteOff(62);
  r.run();
  r.noteOn(70);
  r.run();
  EXPECT_EQ(r.voiceOf(70), 2) << "the releasing voice is stolen";
}

TEST(VoiceChoice, StealOrder)
{
  PolyRig r;
  r.set(kEnvR, 5.0);
  for (int n : {60, 61, 62, 63}) r.noteOn(n);
  r.run();
  EXPECT_EQ(r.tables().steal(61), 1) << "the newest voice on the same note";
  r.noteOff(62);
  r.run();
  EXPECT_EQ(r.tables().steal(61), 1) << "a releasing voice is taken first only when it plays the note";
  EXPECT_EQ(r.tables().steal(62), 2);
  EXPECT_EQ(r.tables().steal(70), 2) << "else the first releasing voice";
}

TEST(VoiceChoice, QuietestOfTheOldestIsStolen)
{
  PolyRig r;
  r.noteOn(60, 127);
  r.run();
  r.noteOn(61, 20);  // quiet and second oldest
  r.run();
  r.noteOn(62, 127);
  r.noteOn(63, 127);
  r.run(4);
  EXPECT_EQ(r.tables().stealWindow, 2);
  r.noteOn(70);
  r.run();
  EXPECT_EQ(r.voiceOf(70), 1) << "ceil(4 x 0.33) = 2 oldest positions are searched for the quietest";
}

TEST(VoiceChoice, KeyWithoutVoiceMakesNoSound)
{
  PolyRig r;
  r.tables().setKeyRow(2, false);  // no buffer plays D
  r.noteOn(62);
  r.run();
  EXPECT_EQ(r.tables().activeCount, 0);
  r.noteOn(60);
  r.run();
  EXPECT_EQ(r.tables().activeCount, 1);
}

TEST(VoiceChoice, RequestPickedBufferUsesThatVoice)
{
  PolyRig r;
  r.set(kPickedBuf, 10);
  r.set(kRequestPicked, 1);
  r.noteOn(60);
  r.run();
  EXPECT_EQ(r.voiceOf(60), 9);
  EXPECT_TRUE(r.tables().enabled[9]);
  EXPECT_FALSE(r.tables().enabled[3]) << "the highest other enabled voice gave way";
  EXPECT_EQ(r.P().GetParam(kRequestPicked)->Value(), 0.0);
}

TEST(VoiceChoice, LoweringActiveVoicesStealsTheExcess)
{
  PolyRig r;
  r.set(kEnvR, 5.0);
  r.set(kActiveVoices, 6);
  for (int n = 0; n < 6; ++n) r.noteOn(60 + n);
  r.run();
  const int top = r.tables().top();
  r.set(kActiveVoices, 3);
  int releasing = 0, enabledCount = 0;
  for (int v = 0; v < kNumVoices; ++v)
  {
    releasing += r.tables().releasing[v];
    enabledCount += r.tables().enabled[v];
  }
  EXPECT_EQ(releasing, 3);
  EXPECT_FALSE(r.tables().releasing[top]) << "the newest voice is never taken";
  EXPECT_TRUE(r.tables().enabled[top]);
  EXPECT_EQ(enabledCount, 3);
}

TEST(NoteState, RepeatedKeyIsIgnored)
{
  PolyRig r;
  r.noteOn(60);
  r.run();
  r.P().Core().noteOn(60, 50, 0);  // the dispatcher would drop it; the note state ignores it too
  EXPECT_EQ(r.tables().activeCount, 1);
  EXPECT_EQ(r.voice(0).notes().velocity(), 100);
}

TEST(NoteState, SustainedKeyStruckAgainGlidesItsVelocity)
{
  PolyRig r;
  r.set(kEnvD, 0.005);
  r.cc(64, 127);
  r.noteOn(60, 100);
  r.run(4);
  r.noteOff(60);
  r.run();
  ASSERT_EQ(r.voice(0).chain().env().stage, Envelope::kSustain);
  r.noteOn(60, 50);
  r.run();
  EXPECT_EQ(r.tables().activeCount, 1) << "no new voice";
  EXPECT_EQ(r.voice(0).notes().velocity(), 50.0) << "50 samples of glide are over within the block";
  EXPECT_EQ(r.voice(0).chain().env().stage, Envelope::kSustain) << "the envelope is not restarted";
}

TEST(NoteState, MonoLegatoHoldsTheLastNoteUntilLegatoLifts)
{
  Rig r;
  r.set(kPolyMono, 0);
  r.cc(68, 127);
  r.noteOn(60);
  r.run();
  r.noteOff(60);
  r.run();
  const int v = r.tables().top();
  EXPECT_TRUE(r.voice(v).active());
  EXPECT_FALSE(r.tables().releasing[v]);
  r.cc(68, 0);
  r.run();
  EXPECT_TRUE(r.tables().releasing[v]);
}

TEST(NoteState, MonoGlidesBackToTheOlderKey)
{
  for (bool rearticulate : {false, true})
  {
    Rig r;
    r.set(kPolyMono, 0);
    r.set(kRearticulateBack, rearticulate);
    r.set(kEnvD, 0.005);
    r.noteOn(60);
    r.run(2);
    r.noteOn(64);
    r.run(200);  // well past the 0.1 s glide and into sustain
    const int v = r.tables().top();
    ASSERT_EQ(r.voice(v).note(), 64);
    ASSERT_EQ(r.voice(v).chain().env().stage, Envelope::kSustain);
    r.P().Core().noteOff(64);
    const Voice& voice = r.voice(v);
    EXPECT_EQ(voice.note(), 60);
    EXPECT_TRUE(voice.notes().gliding());
    EXPECT_DOUBLE_EQ(voice.notes().glideStep(), (r.core().pitch().noteTable[60] - r.core().pitch().noteTable[64]) / 4800);
    EXPECT_EQ(voice.chain().env().stage, rearticulate ? Envelope::kAttack : Envelope::kSustain);
  }
}

TEST(NoteState, SostenutoTakesOverFromSustain)
{
  PolyRig r;
  r.set(kEnvR, 5.0);
  r.cc(64, 127);
  r.noteOn(60);
  r.run();
  r.noteOff(60);
  r.cc(66, 127, 1);
  r.cc(64, 0, 2);
  r.run();
  EXPECT_TRUE(r.tables().sostenuted[60]);
  EXPECT_FALSE(r.tables().releasing[0]) << "the key stays held by sostenuto";
  r.cc(66, 0);
  r.run();
  EXPECT_TRUE(r.tables().releasing[0]);
}

TEST(NoteState, ChangingGlideTimeKeepsEveryTarget)
{
  Rig r;
  r.set(kPolyMono, 0);
  r.set(kGlide, 1.0);
  r.noteOn(48);
  r.run();
  r.noteOn(72);
  r.run(10);
  const int v = r.tables().top();
  const double target = r.voice(v).notes().target();
  r.set(kGlide, 0.05);
  r.run(10);
  EXPECT_FALSE(r.voice(v).notes().gliding());
  EXPECT_EQ(r.voice(v).notes().freq(), target);
}

TEST(NoteState, PitchBendWaitsForSostenutoKeys)
{
  PolyRig r;
  r.noteOn(60);
  r.cc(66, 127, 1);
  r.noteOn(64, 100, 2);
  r.run();
  r.midi(0, 0xE0, 0, 0);  // full bend down
  r.run();
  EXPECT_EQ(r.voice(0).notes().bend(), 1.0) << "held by sostenuto";
  EXPECT_DOUBLE_EQ(r.voice(1).notes().bend(), std::pow(2.0, -2.0 / 12.0));
}

TEST(NoteState, HeldNotesStayWithinTheirCapacityWithoutAllocating)
{
  Rig r;
  r.set(kPolyMono, 0);
  r.cc(64, 127);
  r.run();
  AllocationScope scope;
  for (int round = 0; round < 40; ++round)
  {
    for (int n = 0; n < 12; ++n) r.noteOn(30 + (round * 7 + n) % 90, 90, n);
    r.run();
    for (int n = 0; n < 6; ++n) r.noteOff(30 + (round * 7 + n) % 90, n);
    r.cc(64, round % 2 ? 127 : 0, 20);
    r.cc(68, round % 3 ? 127 : 0, 30);
    r.run();
    ASSERT_LE(r.tables().heldNotes.size(), HeldNotes::kCapacity);
  }
  EXPECT_EQ(scope.Count(), 0);
}
