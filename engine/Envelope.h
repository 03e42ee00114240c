#pragma once
// Exponential ADSR envelope: one multiplication per sample. Attack rises to
// 1.0, decay falls to the sustain level, release falls to the floor.
struct Envelope
{
  enum EStage { kIdle = 0, kAttack = 1, kDecay = 2, kSustain = 3, kRelease = 4 };

  int stage = kIdle;
  double floor = 1e-6;
  double level = 1e-6;
  double multiplier = 1.0;
  double stageValues[5] = {0.0, 0.005, 0.01, 0.8, 10.0};  // 1 A (s), 2 D (s), 3 S (level), 4 R (s)
  int counter = 0;
  int length = 1;

  void reset();
  void enter(int newStage, double sampleRate);
  void step(double sampleRate)
  {
    if (stage == kIdle || stage == kSustain) return;
    if (counter == length) enter((stage + 1) % 5, sampleRate);
    ++counter;
    level *= multiplier;
  }
  void setStageValue(int s, double v, double sampleRate);
  // Whether the next n steps change no stage: held, or timed with room.
  bool steadyFor(int n) const
  {
    if (stage == kIdle || stage == kSustain) return true;
    return length - counter >= n;
  }
  // n steps of a stage that stays and whose level stands still.
  void skipSteps(int n)
  {
    if (stage != kIdle && stage != kSustain) counter += n;
  }
  double sustainLevel() const { return stageValues[kSustain] > floor ? stageValues[kSustain] : floor; }
};
