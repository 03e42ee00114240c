#pragma once
// One of the 32 voices, in the parts that own its state: the note with its
// glides, the playhead inside the selection, the grain scheduler with its
// eight slots, and the output chain. The voice ties them together; each
// part's state changes only through that part's own functions.
#include "engine/Buffer.h"
#include "engine/Event.h"
#include "engine/GrainScheduler.h"
#include "engine/NoteGlide.h"
#include "engine/OutputChain.h"
#include "engine/Pitch.h"
#include "engine/Playhead.h"
#include "engine/Random.h"

struct EngineRates;

// When a voice records its buffer again: every note, every note but
// glides, never (hold), or every few beats (tempo).
enum class RefillMode : int { kEveryNote = 0, kExceptGlides = 1, kHold = 2, kTempo = 3 };

class Voice
{
public:
  Voice();

  // Identity, links and life.
  void attach(int id, Buffer* buffer, const PitchBlock* pitch, const EngineRates* rates, RandomSource* random);
  int id() const { return mId; }
  Buffer* buffer() const { return mBuffer; }
  void useBuffer(Buffer* buffer) { mBuffer = buffer; }
  const EngineRates& rates() const { return *mRates; }
  bool started() const { return mStarted; }
  bool active() const { return mActive; }
  void setStarted(bool on) { mStarted = on; }
  void setActive(bool on) { mActive = on; }
  bool refillPending() const { return mRefillPending; }
  void setRefillPending(bool on) { mRefillPending = on; }
  RefillMode refillMode() const { return mRefillMode; }
  void setRefillMode(RefillMode mode) { mRefillMode = mode; }
  Event<int> deactivationObservers;

  // The block's input pair; the position counts the frames rendered.
  void setInput(const double* left, const double* right, int frames)
  {
    mInput[0] = left, mInput[1] = right;
    mBlockFrames = frames;
    mBlockPos = 0;
  }
  const double* input(int channel) const { return mInput[channel]; }
  int blockPos() const { return mBlockPos; }
  void setBlockPos(int pos) { mBlockPos = pos; }
  void nextFrame() { ++mBlockPos; }

  // The parts, to read.
  const NoteGlide& notes() const { return mNote; }
  const Playhead& playhead() const { return mPlayhead; }
  const GrainScheduler& grains() const { return mGrains; }
  const OutputChain& chain() const { return mChain; }
  OutputChain& chain() { return mChain; }
  VoiceFilter& filter() { return mChain.filter(); }
  int note() const { return mNote.note(); }
  double gain() const { return mChain.gain(); }

  // Selection and playhead.
  SelectionWindow window() const { return mPlayhead.window(filledFrames()); }
  int filledFrames() const { return mBuffer ? mBuffer->filled : 0; }
  int bufferLength() const { return mBuffer ? mBuffer->length : kBufferFrames; }
  PosDir edgeRule(const SelectionWindow& w, double pos, double dir) const { return mPlayhead.edgeRule(w, pos, dir); }
  void edgeRule(double* pos, double* dir) const;
  double spanReduce(double move) const { return SpanReduce(window(), move); }
  void setSelStart(double frames);
  void setSelEnd(double frames);
  void wrapReadPositions();
  void aimPlayhead(double fraction);
  bool startPhGlide(int samples, double target);
  void stopPhGlide();
  void setPhGlideSamples(int samples);
  void setEdges(EdgeMode edges);
  void setReturnPlayhead(bool on) { mPlayhead.setReturnsToStart(on); }
  void returnToSelectionStart();

  // Note, pitch and velocity.
  int computeNotePeriod() const { return mGrains.computeNotePeriod(context()); }
  int computeBeatPeriod() const { return mGrains.computeBeatPeriod(context()); }
  void updateAutoFreq();
  void setNoteNow(int n);
  void retune(int n, int steps);
  void glideVelocity(double target, int steps) { mNote.glideVelocity(target, steps); }
  void setVelocity(double velocity) { mNote.setVelocity(velocity); }
  void stopGlideAtRelease() { mNote.stopGlide(); }
  void scaleGlides(double scale) { mNote.scaleGlides(scale); }
  void setBend(double bend) { mNote.setBend(bend); }
  void setWobbleFactor(double factor) { mNote.setWobbleFactor(factor); }
  void setWobbleInternal(bool on) { mNote.setWobble(on, mNote.wobbleExternal()); }
  void setWobbleExternal(bool on) { mNote.setWobble(mNote.wobbleInternal(), on); }
  bool grainRunFits() const { return mGrains.runFits(context()); }
  void renderGrainRun(int m, StereoPair* out, bool* started, Isa isa, GrainScheduler::RunScratch& scratch)
  {
    GrainContext c = context();
    mGrains.renderRun(c, m, out, started, isa, scratch);
  }
  void stepFrequencyGlide()
  {
    if (mNote.gliding()) advanceFrequencyGlide();
  }
  void stepVelocityGlide()
  {
    if (mNote.velocityGliding()) mNote.stepVelocity();
  }
  void setBaseLen(int nom, int denum);
  void setPlayRate(double rate);
  void setKeyMeterChanged();
  void forgetNote() { mNote.clearNote(); }

  // Grains.
  int grainLength() { return mGrains.grainLength(context()); }
  void applyGrainLength(int length) { mGrains.applyLength(length); }
  void resetGrains(bool hard);
  void startGrain(int delay);
  bool renderGrains(double* left, double* right);
  void renderSimple(double* left, double* right);
  void markCurrentGrainInUse() { mGrains.markCurrentInUse(); }
  void setGrainMode(GrainMode mode);
  void setOverlap(double o) { mGrains.setOverlap(o, mStarted); }
  void setRepeat(int n);
  void setStep(double step) { mGrains.setStep(step); }
  void setStepByLen(bool on) { mGrains.setStepByLen(on); }
  void setStepByRepeat(bool on) { mGrains.setStepByRepeat(on); }
  void setStepByRate(bool on) { mGrains.setStepByRate(on); }
  void setErrorInt(double e) { mGrains.setErrorInt(e); }
  void setErrorExt(double e) { mGrains.setErrorExt(e); }
  void setPreservePos(bool on) { mGrains.setPreservePos(on); }
  void setWindow(WindowShape shape) { mGrains.setWindow(shape); }
  void setGaps(int probability) { mGrains.setGaps(probability); }
  void setGapStereo(bool on) { mGrains.setGapStereo(on); }
  void setGapFill(bool on) { mGrains.setGapFill(on); }

  // Envelopes and the chain.
  void setStage(int stage);
  void restartAttack() { setStage(Envelope::kAttack); }
  void resetEnvelopes() { mChain.resetEnvelopes(); }
  void clearStates() { mChain.clearStates(); }
  void healNonFinite() { mChain.healNonFinite(); }
  void setAgcAmount(double amount);
  void setAgcAuto(bool on) { mChain.setAgcAuto(on); }
  void setAgcSpeed(double speed) { mChain.setAgcSpeed(speed); }
  void setDcRemoval(bool on) { mChain.setDcRemoval(on); }
  void updateRates() { mChain.updateRates(); }

  // For the run kernels, which hold the parts' state in locals.
  GrainScheduler& grainState() { return mGrains; }
  Playhead& playheadState() { return mPlayhead; }
  GrainContext context() const;

private:
  void advanceFrequencyGlide();

  int mId = 0;
  Buffer* mBuffer = nullptr;
  const PitchBlock* mPitch = nullptr;
  const EngineRates* mRates;
  RandomSource* mRandom = nullptr;
  bool mStarted = false;
  bool mActive = false;
  bool mRefillPending = false;
  RefillMode mRefillMode = RefillMode::kHold;
  const double* mInput[2] = {nullptr, nullptr};
  int mBlockFrames = 0;
  int mBlockPos = 0;

  NoteGlide mNote;
  Playhead mPlayhead{kBufferFrames};
  GrainScheduler mGrains;
  OutputChain mChain;
};
