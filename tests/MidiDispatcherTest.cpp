#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/MidiDispatcher.h"

namespace {

// Records every event the dispatcher raises, with the sample it came at.
struct Recorder
{
  MidiDispatcher midi{113};
  std::vector<std::string> log;
  int sample = 0;

  Recorder()
  {
    midi.NoteOn.Subscribe(
      [](void* o, int note, double vel, int at) {
        static_cast<Recorder*>(o)->Add("on " + std::to_string(note) + " " + std::to_string(int(vel)) + " @" +
                                       std::to_string(at));
      },
      this);
    midi.NoteOff.Subscribe([](void* o, int note) { static_cast<Recorder*>(o)->Add("off " + std::to_string(note)); },
                           this);
    midi.AllNotesOff.Subscribe([](void* o) { static_cast<Recorder*>(o)->Add("all off"); }, this);
    midi.PitchBend.Subscribe(
      [](void* o, double bend) { static_cast<Recorder*>(o)->Add("bend " + std::to_string(bend)); }, this);
    midi.Pedal.Subscribe(
      [](void* o, int pedal, bool down) {
        static_cast<Recorder*>(o)->Add("pedal " + std::to_string(pedal) + (down ? " down" : " up"));
      },
      this);
    midi.LearnAssigned.Subscribe(
      [](void* o, int p, int cc) {
        static_cast<Recorder*>(o)->Add("learn " + std::to_string(p) + " cc" + std::to_string(cc));
      },
      this);
    midi.LearnedCC.Subscribe(
      [](void* o, int p, int v) {
        static_cast<Recorder*>(o)->Add("cc " + std::to_string(p) + "=" + std::to_string(v));
      },
      this);
  }

  void Add(const std::string& what) { log.push_back(what); }
  void Send(int offset, int status, int d1, int d2)
  {
    midi.Intake({offset, static_cast<uint8_t>(status), static_cast<uint8_t>(d1), static_cast<uint8_t>(d2)});
  }
  void RunBlock(int frames)
  {
    midi.StartBlock(frames);
    for (sample = 0; sample < frames; ++sample) midi.Tick();
    midi.EndBlock(frames);
  }
  // The sample of the event logged last, told by running one tick at a time.
  int SampleOf(const std::string& what, int frames)
  {
    midi.StartBlock(frames);
    int found = -1;
    for (int s = 0; s < frames; ++s)
    {
      const size_t before = log.size();
      midi.Tick();
      for (size_t i = before; i < log.size(); ++i)
        if (log[i] == what) found = s;
    }
    midi.EndBlock(frames);
    return found;
  }
};

}  // namespace

TEST(MidiDispatcher, NoteOffsAreFilteredByNoteState)
{
  Recorder r;
  r.Send(0, 0x80, 60, 0);  // note already off
  r.Send(0, 0x90, 61, 0);  // velocity 0, already off
  r.Send(0, 0x90, 60, 100);
  r.Send(1, 0x80, 60, 0);
  r.Send(2, 0x80, 60, 0);  // second note-off in the block
  r.RunBlock(16);
  EXPECT_EQ(r.log, (std::vector<std::string>{"on 60 100 @0", "off 60"}));
}

TEST(MidiDispatcher, NoteOnLimitPerBlock)
{
  Recorder r;
  r.midi.SetNoteOnLimit(4);
  for (int n = 0; n < 5; ++n) r.Send(n, 0x90, 60 + n, 90);
  r.RunBlock(64);
  EXPECT_EQ(r.log.size(), 4u) << "the fifth note-on is dropped";
  r.log.clear();
  r.Send(0, 0x90, 70, 90);
  r.RunBlock(64);
  EXPECT_EQ(r.log, (std::vector<std::string>{"on 70 90 @0"})) << "a new block accepts note-ons again";
}

TEST(MidiDispatcher, DroppedTypesAndHighNotes)
{
  Recorder r;
  r.Send(0, 0xC0, 5, 0);    // program change
  r.Send(0, 0xD0, 5, 0);    // channel pressure
  r.Send(0, 0xF8, 0, 0);    // system
  r.Send(0, 0x70, 1, 2);    // not a status byte
  r.Send(0, 0xA0, 60, 10);  // poly aftertouch: queued, does nothing
  r.Send(0, 0x90, 200, 10);
  r.RunBlock(8);
  EXPECT_EQ(r.log, (std::vector<std::string>{"on 116 10 @0"})) << "200 folds down by whole octaves";
  EXPECT_FALSE(r.midi.NoteIsOff(116));
}

TEST(MidiDispatcher, LateEventsCarryIntoLaterBlocks)
{
  Recorder r;
  r.Send(700, 0x90, 64, 80);
  r.Send(3, 0x90, 65, 80);
  EXPECT_EQ(r.SampleOf("on 65 80 @3", 512), 3);
  EXPECT_EQ(r.midi.QueuedCount(), 1);
  EXPECT_EQ(r.SampleOf("on 64 80 @188", 512), 188) << "offset 700 fires at frame 188 of the next block";
}

TEST(MidiDispatcher, QueueKeepsArrivalOrderForEqualOffsets)
{
  Recorder r;
  r.Send(5, 0xB0, 64, 127);
  r.Send(2, 0x90, 60, 1);
  r.Send(5, 0xB0, 64, 0);
  r.RunBlock(8);
  EXPECT_EQ(r.log, (std::vector<std::string>{"on 60 1 @2", "pedal 0 down", "pedal 0 up"}));
}

TEST(MidiDispatcher, PedalThresholdAndControllers)
{
  Recorder r;
  r.Send(0, 0xB0, 64, 64);
  r.Send(0, 0xB0, 64, 65);
  r.Send(0, 0xB0, 66, 127);
  r.Send(0, 0xB0, 65, 100);
  r.Send(0, 0xB0, 68, 0);
  r.RunBlock(4);
  EXPECT_EQ(r.log, (std::vector<std::string>{"pedal 0 up", "pedal 0 down", "pedal 1 down", "pedal 2 down",
                                             "pedal 3 up"}));
}

TEST(MidiDispatcher, AllNotesOffReopensNoteOffs)
{
  Recorder r;
  r.Send(0, 0x90, 60, 100);
  r.Send(1, 0xB0, 123, 0);
  r.RunBlock(4);
  r.Send(0, 0x90, 60, 100);
  r.Send(0, 0xB0, 123, 0);
  r.RunBlock(4);
  r.log.clear();
  EXPECT_TRUE(r.midi.NoteIsOff(60));
  r.Send(0, 0x90, 60, 100);
  r.Send(0, 0x80, 60, 0);
  r.RunBlock(4);
  EXPECT_EQ(r.log, (std::vector<std::string>{"on 60 100 @0", "off 60"}));
}

TEST(MidiDispatcher, PitchBendScaling)
{
  Recorder r;
  r.Send(0, 0xE0, 0, 0);
  r.Send(0, 0xE0, 0, 64);
  r.Send(0, 0xE0, 127, 127);
  r.RunBlock(1);
  EXPECT_EQ(r.log, (std::vector<std::string>{"bend " + std::to_string(-1.0), "bend " + std::to_string(0.0),
                                             "bend " + std::to_string(8191.0 / 8192.0)}));
}

TEST(MidiDispatcher, LearnAssignsInArmingOrderAndSwallowsTheFirstValue)
{
  Recorder r;
  r.midi.ArmLearn(8);   // play rate
  r.midi.ArmLearn(94);  // amp
  r.Send(0, 0xB0, 20, 99);
  r.RunBlock(1);
  EXPECT_EQ(r.log, (std::vector<std::string>{"learn 8 cc20", "learn 94 cc20"}));
  EXPECT_EQ(r.midi.MapFor(20), (std::vector<int>{8, 94}));
  EXPECT_FALSE(r.midi.LearnArmed());
  r.log.clear();
  r.Send(0, 0xB0, 20, 64);
  r.RunBlock(1);
  EXPECT_EQ(r.log, (std::vector<std::string>{"cc 8=64", "cc 94=64"}));
}

TEST(MidiDispatcher, PedalControllersAreNeverLearned)
{
  Recorder r;
  r.midi.ArmLearn(8);
  for (int cc : {64, 65, 66, 68, 123}) r.Send(0, 0xB0, cc, 100);
  r.RunBlock(1);
  EXPECT_TRUE(r.midi.LearnArmed());
  for (int cc : {64, 65, 66, 68, 123}) EXPECT_TRUE(r.midi.MapFor(cc).empty());
}

TEST(MidiDispatcher, ForgetAndRelearn)
{
  Recorder r;
  r.midi.ArmLearn(8);
  r.midi.ArmLearn(8);
  r.Send(0, 0xB0, 1, 0);
  r.RunBlock(1);
  EXPECT_EQ(r.midi.MapFor(1), (std::vector<int>{8})) << "arming twice learns once";
  r.midi.ArmLearn(8);
  r.Send(0, 0xB0, 2, 0);
  r.RunBlock(1);
  EXPECT_TRUE(r.midi.MapFor(1).empty()) << "re-learning moves the parameter";
  EXPECT_EQ(r.midi.ControllerOf(8), 2);
  r.midi.Forget(8);
  EXPECT_EQ(r.midi.ControllerOf(8), -1);
}

TEST(MidiDispatcher, QueueSizing)
{
  Recorder r;
  r.midi.SizeQueue(100);
  EXPECT_EQ(r.midi.QueueCapacity(), 4096);
  r.midi.SizeQueue(5000);
  EXPECT_EQ(r.midi.QueueCapacity(), 5120);
  for (int i = 0; i < 5000; ++i) r.Send(i + 10000, 0xB0, 1, 0);
  r.midi.SizeQueue(16);
  EXPECT_EQ(r.midi.QueueCapacity(), 5120) << "never smaller than what is queued";
  EXPECT_EQ(r.midi.QueuedCount(), 5000);
}

// A flood fills the queue with controllers and note-ons; the note-offs
// after it still find room, so no note is left hanging.
TEST(MidiDispatcher, AFullQueueKeepsEveryNoteOff)
{
  Recorder r;
  r.midi.SizeQueue(512);
  for (int n = 0; n < 32; ++n) r.Send(n, 0x90, 40 + n, 100);
  for (int i = 0; i < 10000 - 64; ++i) r.Send(100 + i % 400, 0xB0, 1, i % 128);
  for (int n = 0; n < 32; ++n) r.Send(500, 0x80, 40 + n, 0);
  EXPECT_EQ(r.midi.QueueCapacity(), MidiDispatcher::kMinQueue) << "the queue never grows on the audio thread";
  r.RunBlock(512);
  for (int n = 0; n < 32; ++n)
    EXPECT_NE(std::find(r.log.begin(), r.log.end(), "off " + std::to_string(40 + n)), r.log.end()) << 40 + n;
}

// A buggy host's offset of 10^8 frames would hold a note-off for half an
// hour and swallow the proper one.
TEST(MidiDispatcher, FarOffEventsAreDueAtTheEndOfTheirBlock)
{
  Recorder r;
  r.Send(0, 0x90, 60, 100);
  r.Send(200, 0xB0, 64, 127);
  r.Send(100000000, 0x80, 60, 0);
  r.Send(300, 0xB0, 64, 0);
  r.Send(48000, 0x90, 61, 100);  // a second ahead still carries
  EXPECT_EQ(r.SampleOf("off 60", 512), 511);
  EXPECT_EQ(r.log, (std::vector<std::string>{"on 60 100 @0", "pedal 0 down", "pedal 0 up", "off 60"}));
  EXPECT_EQ(r.midi.QueuedCount(), 1);
  for (int i = 0; i < 500000; ++i) r.Send(100000000 + i, 0xB0, 7, 1);
  EXPECT_EQ(r.midi.QueueCapacity(), MidiDispatcher::kMinQueue);
}

TEST(MidiDispatcher, SuspendHonoursNoteOffsAndEmptiesTheQueue)
{
  Recorder r;
  r.Send(0, 0x90, 60, 100);
  r.RunBlock(64);
  r.Send(1000, 0x80, 60, 0);
  r.Send(900, 0xB0, 64, 127);
  r.Send(900, 0x90, 62, 100);
  r.midi.Suspend();
  EXPECT_EQ(r.midi.QueuedCount(), 0);
  EXPECT_EQ(r.log.back(), "off 60");
  EXPECT_EQ(r.log.size(), 2u) << "the pedal and the later note are dropped";
  r.Send(0, 0x90, 60, 90);
  EXPECT_EQ(r.SampleOf("on 60 90 @0", 64), 0) << "the key can be played again";
}
