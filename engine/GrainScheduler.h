#pragma once
// A voice's grain scheduler: the eight grain slots, the grain settings, and
// the scheduling that starts a grain when the current one's body ends, at
// a start position stepped, repeated and scattered by the errors. In SIMPLE
// mode the current slot is the plain reader.
#include "engine/Grain.h"
#include "engine/Isa.h"
#include "engine/NoteGlide.h"
#include "engine/Playhead.h"
#include "engine/Random.h"
#include "engine/StereoPair.h"

struct Buffer;
struct EngineRates;
struct PitchBlock;

enum class GrainMode : int { kNote = 0, kBeat = 1, kSimple = 2 };

// What the scheduler reads of its voice while it works.
struct GrainContext
{
  const Buffer* buffer;
  const EngineRates* rates;
  const PitchBlock* pitch;
  const double* const* input;  // the voice's input pair this block
  int blockFrames;
  int blockPos;
  RandomSource* random;
  NoteGlide& note;
  Playhead& playhead;
};

// The plain reader's positions: the played and the true one with their
// directions, and the reading slot's.
struct ReaderState
{
  double playPos, playDir, truePos, trueDir, readPos, readDir;
};

// One step of the plain reader: the played position by `move`, the true one
// by `trueMove` (reduced here), each kept in the window by the edge rule.
inline void StepReader(ReaderState& s, const SelectionWindow& w, double move, double trueMove, bool preserve,
                       EdgeMode edges)
{
  if (preserve)
  {
    s.playPos = s.truePos + move;
    const PosDir t = EdgeRule(w, s.truePos + SpanReduce(w, trueMove), s.trueDir, edges);
    s.truePos = t.pos;
    s.trueDir = t.dir;
  }
  else
    s.playPos += move;
  const PosDir p = EdgeRule(w, s.playPos, s.playDir, edges);
  s.playPos = p.pos;
  s.playDir = s.readDir = p.dir;
  if (!preserve)
  {
    s.truePos = s.playPos;
    s.trueDir = s.playDir;
  }
  s.readPos = s.playPos;
}

// The same step while the true and played positions are one (no errors
// keep them apart, both take the same move): one computation serves both.
inline void StepReaderSynced(ReaderState& s, const SelectionWindow& w, double move, EdgeMode edges)
{
  const PosDir p = EdgeRule(w, s.truePos + move, s.trueDir, edges);
  s.readPos = s.playPos = s.truePos = p.pos;
  s.readDir = s.playDir = s.trueDir = p.dir;
}

class GrainScheduler
{
public:
  static constexpr int kSlots = 8;

  GrainMode mode() const { return mMode; }
  int notePeriod() const { return mNotePeriod; }
  int beatPeriod() const { return mBeatPeriod; }
  int currentSlot() const { return mCurrent; }
  const Grain& slot(int i) const { return mSlots[i]; }
  const Grain& current() const { return mSlots[mCurrent]; }
  int activeGrains() const { return mActive; }
  double overlap() const { return mOverlap; }
  WindowShape windowShape() const { return mWindow; }
  double playRate() const { return mPlayRate; }
  double step() const { return mStep; }
  bool stepByLen() const { return mStepByLen; }
  bool stepByRepeat() const { return mStepByRepeat; }
  bool stepByRate() const { return mStepByRate; }
  int repeat() const { return mRepeat; }
  int repeatCount() const { return mRepeatCount; }
  double errorInt() const { return mErrorInt; }
  double errorExt() const { return mErrorExt; }
  bool preservePos() const { return mPreservePos; }
  int gapProbability() const { return mGapProbability; }
  bool gapStereo() const { return mGapStereo; }
  bool gapFill() const { return mGapFill; }
  // A bit per slot whose grain reads the input somewhere.
  unsigned gappedSlots() const { return mGapped; }
  // The current slot's grain reads the input on both channels, silently.
  bool silentGap() const { return mSlots[mCurrent].gap() == GapMark::kBoth && !mGapFill; }

  // Settings.
  void setPeriods(int notePeriod, int beatPeriod)
  {
    mNotePeriod = notePeriod;
    mBeatPeriod = beatPeriod;
  }
  void setNotePeriod(int p) { mNotePeriod = p; }
  void setBeatPeriod(int p) { mBeatPeriod = p; }
  void setMode(GrainMode mode) { mMode = mode; }
  void setWindow(WindowShape shape) { mWindow = shape; }
  void setPlayRate(double rate) { mPlayRate = rate; }
  void setStep(double step) { mStep = step; }
  void setStepBy(bool len, bool repeat, bool rate) { mStepByLen = len, mStepByRepeat = repeat, mStepByRate = rate; }
  void setStepByLen(bool on) { mStepByLen = on; }
  void setStepByRepeat(bool on) { mStepByRepeat = on; }
  void setStepByRate(bool on) { mStepByRate = on; }
  void setRepeat(int n) { mRepeat = n; }
  void setErrors(double internal, double external) { mErrorInt = internal, mErrorExt = external; }
  void setErrorInt(double e) { mErrorInt = e; }
  void setErrorExt(double e) { mErrorExt = e; }
  void setPreservePos(bool on) { mPreservePos = on; }
  void setGaps(int probability) { mGapProbability = probability; }
  void setGapStereo(bool on) { mGapStereo = on; }
  void setGapFill(bool on) { mGapFill = on; }
  // A grown overlap takes effect from the next grain; a shrunk one at once.
  void setOverlap(double overlap, bool started);
  void resetDirections();

  // The grain length of the note (its period) and of the beat (its meter
  // in beats); grainLength stores the one of the mode as its last period.
  int computeNotePeriod(const GrainContext& c) const;
  int computeBeatPeriod(const GrainContext& c) const;
  int grainLength(const GrainContext& c);

  // The grains' window for a new length, keeping sounding grains in place.
  void applyLength(int length);
  // Every slot idle; a soft reset keeps the current position and starts a
  // grain there for a started voice.
  void reset(bool hard, bool started, GrainContext& c);
  // The next grain, `delay` frames ago (negative: in the future).
  void startGrain(int delay, GrainContext& c);
  // One frame of the grains; true when a grain started.
  bool render(GrainContext& c, double* left, double* right);
  // Up to kMaxRun frames of the grains at once, where no frame of them draws
  // a random number (runFits): each frame's output, and whether a grain
  // started after it.
  static constexpr int kMaxRun = 512;
  // A run's working room, kept by the engine (touched before audio runs)
  // rather than on the audio thread's stack.
  struct RunSums
  {
    double l[kMaxRun], r[kMaxRun], w[kMaxRun];
    int active[kMaxRun];
  };
  struct RunScratch
  {
    RunSums sums;
    int idx[kMaxRun];
    double wt[kMaxRun];
    int endsAt[kMaxRun + 1];
  };
  bool runFits(const GrainContext& c) const;
  void renderRun(GrainContext& c, int m, StereoPair* out, bool* started, Isa isa, RunScratch& scratch);
  // One frame of the plain reader of SIMPLE mode.
  void renderSimple(GrainContext& c, double* left, double* right);
  void markCurrentInUse() { mSlots[mCurrent].setInUse(true); }

  // The reader's place (the current slot's), for aiming and selections.
  void placeCurrent(double pos) { mSlots[mCurrent].place(pos); }
  ReaderState reader(const Playhead& ph) const
  {
    const Grain& cur = mSlots[mCurrent];
    return {ph.playPos(), ph.playDir(), ph.truePos(), ph.trueDir(), cur.pos(), cur.dir()};
  }
  void storeReader(const ReaderState& s, Playhead& ph)
  {
    ph.setPlay(s.playPos, s.playDir);
    ph.setTrue(s.truePos, s.trueDir);
    mSlots[mCurrent].place(s.readPos, s.readDir);
  }
  void placeCurrent(double pos, double dir) { mSlots[mCurrent].place(pos, dir); }
  // Wraps the reader (SIMPLE) or every slot's position into the window.
  void wrapPositions(const SelectionWindow& w);
  void wrapCurrent(const SelectionWindow& w);

  // For the run kernels: the slots they step in locals.
  Grain* slots() { return mSlots; }
  void setActive(int n) { mActive = n; }

private:
  // What a run's reads need of the voice, taken once.
  struct RunView
  {
    const Buffer* buffer;
    SelectionWindow w;
    double lastFrame;
    EdgeMode edges;
    double rate, wobble;
    bool wobbling;
    double moveFor(double dir) const;
  };
  RunView runView(const GrainContext& c) const;
  void runWeights(const Grain& g, int n, double* wt) const;
  int runReads(Grain& g, const RunView& v, int count, bool ends, int* idx) const;
  void sumStretch(const RunView& v, int n, RunScratch& scratch);
  void renderRunBody(GrainContext& c, int m, StereoPair* out, bool* started, RunScratch& scratch);
  void renderRunAvx2(GrainContext& c, int m, StereoPair* out, bool* started, RunScratch& scratch);
  void renderRunBaseline(GrainContext& c, int m, StereoPair* out, bool* started, RunScratch& scratch);

  double externalError(GrainContext& c) const;
  double internalError(GrainContext& c) const { return mErrorInt == 0.0 ? 0.0 : drawInternalError(c); }
  double drawInternalError(GrainContext& c) const;
  GapMark drawGap(GrainContext& c) const;
  double gapSample(const GrainContext& c, int channel) const;
  void advance(const SelectionWindow& w, int slot, int n, GrainContext& c);
  void startPosition(int slot, int length, GrainContext& c);
  void startPositionGliding(int slot, GrainContext& c);
  void sumGrains(GrainContext& c, double* left, double* right);
  void sumPlainGrains(GrainContext& c, double* left, double* right);
  void normalise(StereoPair out, double sum, double* left, double* right) const;
  void readSample(const GrainContext& c, int slot, double* left, double* right) const;
  SelectionWindow window(const GrainContext& c) const;

  Grain mSlots[kSlots];
  GrainMode mMode = GrainMode::kSimple;
  int mNotePeriod = 4, mBeatPeriod = 4;
  int mCurrent = 0;
  int mActive = 0;
  double mOverlap = 0.0;
  bool mOverlapGrew = false;
  WindowShape mWindow = WindowShape::kParabolic;
  double mPlayRate = 1.0;
  double mStep = 0.0;
  bool mStepByLen = false, mStepByRepeat = false, mStepByRate = false;
  int mRepeat = 1, mRepeatCount = 0;
  double mStepNow = 0.0;
  double mErrorInt = 0.0, mErrorExt = 0.0;
  bool mPreservePos = true;
  int mGapProbability = 0;
  bool mGapStereo = false, mGapFill = false;
  unsigned mGapped = 0;
};
