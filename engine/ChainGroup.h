#pragma once
// Up to four voices whose output chains step together through a run: their
// sources are read ahead, then each frame runs filter, DC blocker, gain
// control and clipper for all of them at once, one voice per vector lane,
// so each voice's recurrence waits behind the others' work. Per voice the
// arithmetic is the chain's own; the envelopes and the frame's sums then
// take the voices in index order, so every sample is as when the voices run
// one after the other.
#include "engine/Isa.h"
#include "engine/Quad.h"
#include "engine/VoiceRun.h"

class ChainGroup
{
public:
  static constexpr int kLanes = kQuadLanes;
  static constexpr int kMaxRun = GrainScheduler::kMaxRun;

  // What voices must share to step together: the pass type (or none),
  // poles, DC blocker and gain control. A moving cut-off is each voice's own.
  struct Key
  {
    int pass;
    bool fourPoles, dc, agc;
    bool operator==(const Key&) const = default;
  };
  // The key of a voice whose run may go through a group: its sources can
  // be read ahead and its chain is of a kind a group runs.
  static bool KeyOf(const Voice& v, Key* key);

  int size() const { return mCount; }
  Voice& member(int i) const { return *mVoice[i]; }
  void clear() { mCount = 0; }
  const Key& key() const { return mKey; }
  void add(Voice& v, const Key& key, bool isTop);
  // The members through m frames into the sums. Returns a bit per member
  // whose envelope fell idle (the caller ends it and clears the group).
  unsigned run(int m, FrameSums* sums, Isa isa, GrainScheduler::RunScratch& scratch);

private:
  struct Lanes;
  template <int Pass, bool Dc, bool Agc>
  unsigned runChains(int m, FrameSums* sums);
  template <int Pass>
  unsigned runFlags(int m, FrameSums* sums);
  unsigned runKinds(int m, FrameSums* sums);
  unsigned runAvx2(int m, FrameSums* sums);
  unsigned runBaseline(int m, FrameSums* sums);
  void readSources(int m, Isa isa, GrainScheduler::RunScratch& scratch);
  void sourceFrame(int j, Quad (&x)[2]) const;
  void stepMovingCutoffs(Lanes& g);
  void clip(Lanes& g, Quad (&x)[2]);
  void addSteadyFrame(Lanes& g, const Quad (&x)[2], int j, int topLane, FrameSums& sum);
  static void blockDc(Lanes& g, Quad (&x)[2]);
  void gainControl(Lanes& g, int j, Quad (&x)[2]);
  unsigned stepEnvelopes(Lanes& g, const Quad (&x)[2], int j, bool filtered, FrameSums& sum);
  void storeLanes(Lanes& g, int m, bool filtered, bool steady);

  Voice* mVoice[kLanes] = {};
  bool mTop[kLanes] = {};
  int mCount = 0;
  Key mKey{};
  // The members' sources, each a run of frames (left, right): in a lane's
  // own array, or in place in its buffer.
  StereoPair mSource[kLanes][kMaxRun];
  const double* mFrom[kLanes];
  bool mUpdate[kLanes][kMaxRun];
};
