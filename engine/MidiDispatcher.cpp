#include "engine/MidiDispatcher.h"

#include <algorithm>

#include "engine/Memory.h"

MidiDispatcher::MidiDispatcher(int mapCapacity)
{
  mQueue.reserve(kMinQueue);
  TouchPages(mQueue.data(), mQueue.capacity() * sizeof(MidiEvent));
  // Learning appends on the audio thread; with room for every parameter in
  // every list those appends never allocate.
  for (auto& list : mMap) list.reserve(static_cast<size_t>(mapCapacity));
  mPendingLearn.reserve(static_cast<size_t>(mapCapacity));
  std::fill(std::begin(mNoteIsOff), std::end(mNoteIsOff), true);
}

static bool IsNoteOff(int type, int velocity)
{
  return type == MidiEvent::kNoteOff || (type == MidiEvent::kNoteOn && velocity == 0);
}

static bool IsNoteOff(const MidiEvent& e) { return IsNoteOff(e.status >> 4, e.data2); }

void MidiDispatcher::Intake(const MidiEvent& msg)
{
  const int type = msg.type();
  if (type < MidiEvent::kNoteOff || type == MidiEvent::kSystem) return;
  if (type == MidiEvent::kProgramChange || type == MidiEvent::kChannelAftertouch) return;
  bool& off = mNoteIsOff[FoldNote(msg.data1)];
  if (IsNoteOff(type, msg.data2))
  {
    if (off || !Enqueue(msg)) return;
    off = true;
  }
  else if (type == MidiEvent::kNoteOn)
  {
    if (mNoteOnCount >= mNoteOnLimit || !Enqueue(msg)) return;
    ++mNoteOnCount;
    off = false;
  }
  else
    Enqueue(msg);
}

// A full queue takes a note-off in place of the latest other event, so a
// flood of controllers or notes never leaves a note hanging; anything else
// arriving at a full queue is dropped. Never allocates.
bool MidiDispatcher::Enqueue(const MidiEvent& msg)
{
  MidiEvent event = msg;
  if (event.offset > mFarAhead) event.offset = kFarOffset;
  if (mQueue.size() == mQueue.capacity() && !(IsNoteOff(event) && MakeRoomForNoteOff())) return false;
  auto at = std::upper_bound(mQueue.begin() + mReadIndex, mQueue.end(), event.offset,
                             [](int offset, const MidiEvent& e) { return offset < e.offset; });
  mQueue.insert(at, event);
  return true;
}

bool MidiDispatcher::MakeRoomForNoteOff()
{
  for (size_t i = mQueue.size(); i-- > static_cast<size_t>(mReadIndex);)
    if (!IsNoteOff(mQueue[i]))
    {
      mQueue.erase(mQueue.begin() + static_cast<long>(i));
      return true;
    }
  return false;
}

// Far-off events take the block's last frame, after the events due by then.
void MidiDispatcher::StartBlock(int frames)
{
  mNoteOnCount = 0;
  auto farOff = std::lower_bound(mQueue.begin() + mReadIndex, mQueue.end(), kFarOffset,
                                 [](const MidiEvent& e, int offset) { return e.offset < offset; });
  if (farOff == mQueue.end()) return;
  const int last = std::max(0, frames - 1);
  for (auto e = farOff; e != mQueue.end(); ++e) e->offset = last;
  auto at = std::upper_bound(mQueue.begin() + mReadIndex, farOff, last,
                             [](int offset, const MidiEvent& e) { return offset < e.offset; });
  std::rotate(at, farOff, mQueue.end());
}

void MidiDispatcher::Suspend()
{
  for (size_t i = static_cast<size_t>(mReadIndex); i < mQueue.size(); ++i)
    if (IsNoteOff(mQueue[i])) Dispatch(mQueue[i]);
  mQueue.clear();
  mReadIndex = 0;
  mSampleCounter = 0;
}

void MidiDispatcher::Tick()
{
  while (mReadIndex < static_cast<int>(mQueue.size()) && mQueue[static_cast<size_t>(mReadIndex)].offset <= mSampleCounter)
  {
    const MidiEvent event = mQueue[static_cast<size_t>(mReadIndex)];
    ++mReadIndex;
    Dispatch(event);
  }
  ++mSampleCounter;
}

void MidiDispatcher::Dispatch(const MidiEvent& event)
{
  const int type = event.status >> 4;
  if (IsNoteOff(type, event.data2))
    NoteOff(FoldNote(event.data1));
  else if (type == MidiEvent::kNoteOn)
    NoteOn(FoldNote(event.data1), static_cast<double>(event.data2), mSampleCounter);
  else if (type == MidiEvent::kPitchWheel)
    PitchBend(((event.data2 - 64) * 128 + event.data1) / 8192.0);
  else if (type == MidiEvent::kControlChange)
    ControlChange(event.data1, event.data2);
}

void MidiDispatcher::ControlChange(int controller, int value)
{
  const bool down = value > mPedalThreshold;
  switch (controller)
  {
    case 64: Pedal(kSustain, down); return;
    case 66: Pedal(kSostenuto, down); return;
    case 65: Pedal(kPortamento, down); return;
    case 68: Pedal(kLegato, down); return;
    case 123:
      AllNotesOff();
      std::fill(std::begin(mNoteIsOff), std::end(mNoteIsOff), true);
      return;
    default: break;
  }
  if (controller >= kNumControllers) return;
  if (mLearnArmed)
  {
    for (int paramIdx : mPendingLearn) AppendToMap(controller, paramIdx);
    for (int paramIdx : mPendingLearn) LearnAssigned(paramIdx, controller);
    mPendingLearn.clear();
    mLearnArmed = false;
    return;
  }
  for (int paramIdx : mMap[controller]) LearnedCC(paramIdx, value);
}

void MidiDispatcher::RemoveDispatched()
{
  mQueue.erase(mQueue.begin(), mQueue.begin() + mReadIndex);
  mReadIndex = 0;
}

void MidiDispatcher::EndBlock(int frames)
{
  RemoveDispatched();
  for (MidiEvent& event : mQueue) event.offset -= frames;
  mSampleCounter = 0;
}

void MidiDispatcher::SizeQueue(int blockSize)
{
  RemoveDispatched();
  auto roundUp = [](int n) { return (std::max(n, 0) + kSizingStep - 1) / kSizingStep * kSizingStep; };
  const int capacity = std::max({kMinQueue, roundUp(blockSize), roundUp(static_cast<int>(mQueue.size()))});
  if (capacity == static_cast<int>(mQueue.capacity())) return;
  std::vector<MidiEvent> resized;
  resized.reserve(static_cast<size_t>(capacity));
  TouchPages(resized.data(), resized.capacity() * sizeof(MidiEvent));
  resized.assign(mQueue.begin(), mQueue.end());
  mQueue.swap(resized);
}

void MidiDispatcher::Forget(int paramIdx)
{
  for (auto& list : mMap)
  {
    auto found = std::find(list.begin(), list.end(), paramIdx);
    if (found != list.end())
    {
      list.erase(found);
      return;
    }
  }
}

void MidiDispatcher::ArmLearn(int paramIdx)
{
  Forget(paramIdx);
  // Arming the same control twice still learns it once.
  if (std::find(mPendingLearn.begin(), mPendingLearn.end(), paramIdx) == mPendingLearn.end() &&
      mPendingLearn.size() < mPendingLearn.capacity())
    mPendingLearn.push_back(paramIdx);
  mLearnArmed = true;
}

void MidiDispatcher::EraseMap()
{
  for (auto& list : mMap) list.clear();
}

void MidiDispatcher::AppendToMap(int controller, int paramIdx)
{
  if (controller >= 0 && controller < kNumControllers) mMap[controller].push_back(paramIdx);
}

int MidiDispatcher::ControllerOf(int paramIdx) const
{
  for (int c = 0; c < kNumControllers; ++c)
    if (std::find(mMap[c].begin(), mMap[c].end(), paramIdx) != mMap[c].end()) return c;
  return -1;
}
