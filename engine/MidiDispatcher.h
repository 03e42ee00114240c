#pragma once
// All MIDI input passes here: filtered and limited at intake, queued by
// sample offset, dispatched at its exact sample as one of seven events, and
// routed through the MIDI map of learned controllers.
#include <cstdint>
#include <vector>

#include "engine/Event.h"
#include "engine/Pitch.h"

// One MIDI event as the dispatcher keeps it: its sample offset within the
// block it comes before, and its three bytes.
struct MidiEvent
{
  enum EType
  {
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14,
    kSystem = 15,
  };

  int32_t offset;
  uint8_t status;
  uint8_t data1;
  uint8_t data2;

  int type() const { return status >> 4; }
};

class MidiDispatcher
{
public:
  static constexpr int kNumControllers = 128;
  // The queue never grows while audio runs: it holds at least this many
  // events, or a block's worth when blocks are longer.
  static constexpr int kMinQueue = 4096;
  static constexpr int kSizingStep = 512;

  enum EPedal { kSustain = 0, kSostenuto = 1, kPortamento = 2, kLegato = 3 };

  explicit MidiDispatcher(int mapCapacity);

  void Intake(const MidiEvent& msg);
  void Tick();
  // Events more than this far ahead (a second) are due at the end of the
  // block they come before, so a host's wild offset cannot hang a note.
  void SetFarAhead(int frames) { mFarAhead = frames; }
  void StartBlock(int frames);
  void EndBlock(int frames);
  // Off the audio thread, at reset: room for a block's events, never less
  // than kMinQueue.
  void SizeQueue(int blockSize);
  // Processing stops: queued note-offs are honoured, everything else goes.
  void Suspend();

  void SetNoteOnLimit(int limit) { mNoteOnLimit = limit; }
  int NoteOnLimit() const { return mNoteOnLimit; }
  int SampleCounter() const { return mSampleCounter; }
  // Offset of the next event to dispatch; INT_MAX when none is queued.
  int NextEventOffset() const
  {
    return mReadIndex < static_cast<int>(mQueue.size()) ? mQueue[static_cast<size_t>(mReadIndex)].offset : kNoEvent;
  }
  // Moves the sample counter over n samples at which nothing is due.
  void Skip(int n) { mSampleCounter += n; }
  static constexpr int kNoEvent = 0x7FFFFFFF;
  int QueuedCount() const { return static_cast<int>(mQueue.size()) - mReadIndex; }
  int QueueCapacity() const { return static_cast<int>(mQueue.capacity()); }
  bool NoteIsOff(int note) const { return mNoteIsOff[FoldNote(note)]; }

  // MIDI learn and the map.
  void Forget(int paramIdx);
  void ArmLearn(int paramIdx);
  bool LearnArmed() const { return mLearnArmed; }
  void EraseMap();
  const std::vector<int>& MapFor(int controller) const { return mMap[controller]; }
  void AppendToMap(int controller, int paramIdx);
  // Controller a parameter is learned on, or -1.
  int ControllerOf(int paramIdx) const;

  Event<int, double, int> NoteOn;
  Event<int> NoteOff;
  Event<> AllNotesOff;
  Event<double> PitchBend;
  Event<int, bool> Pedal;
  Event<int, int> LearnAssigned;
  Event<int, int> LearnedCC;

private:
  bool Enqueue(const MidiEvent& msg);
  bool MakeRoomForNoteOff();
  void Dispatch(const MidiEvent& event);
  void ControlChange(int controller, int value);
  void RemoveDispatched();

  std::vector<MidiEvent> mQueue;
  int mReadIndex = 0;
  std::vector<int> mMap[kNumControllers];
  std::vector<int> mPendingLearn;
  int mSampleCounter = 0;
  int mNoteOnLimit = 32;
  int mNoteOnCount = 0;
  bool mNoteIsOff[128];
  int mPedalThreshold = 64;
  bool mLearnArmed = false;
  int mFarAhead = 48000;
  static constexpr int kFarOffset = 0x7FFFFFFE;  // due at the end of the next block
};
