#include "engine/Envelope.h"

#include <algorithm>
#include <cmath>

namespace {
// Stage lengths are at least one sample so every segment has a finite slope.
int StageLength(double seconds, double sampleRate)
{
  return std::max(1, static_cast<int>(sampleRate * seconds));
}
}  // namespace

// Idle at the floor, whatever it was doing.
void Envelope::reset()
{
  stage = kIdle;
  level = floor;
  multiplier = 1.0;
  counter = 0;
  length = 1;
}

void Envelope::enter(int newStage, double sampleRate)
{
  if (stage == newStage) return;
  stage = newStage;
  counter = 0;
  const bool timed = newStage == kAttack || newStage == kDecay || newStage == kRelease;
  length = timed ? StageLength(stageValues[newStage], sampleRate) : 1;
  switch (newStage)
  {
    case kIdle:
      level = floor;
      multiplier = 1.0;
      break;
    case kAttack:
      level = floor + level;
      multiplier = std::pow(1.0 / level, 1.0 / length);
      break;
    case kDecay:
      level = 1.0;
      multiplier = std::pow(sustainLevel(), 1.0 / length);
      break;
    case kSustain:
      level = stageValues[kSustain];
      multiplier = 1.0;
      break;
    case kRelease:
      multiplier = std::pow(floor / level, 1.0 / length);
      break;
    default: break;
  }
}

void Envelope::setStageValue(int s, double v, double sampleRate)
{
  if (s < kAttack || s > kRelease) return;
  stageValues[s] = std::max(floor, v);
  if (stage == s)
  {
    if (s == kSustain)
    {
      level = stageValues[s];
      return;
    }
    const double done = static_cast<double>(counter) / length;
    const int remaining = std::max(1, static_cast<int>((1.0 - done) * stageValues[s] * sampleRate));
    length = counter + remaining;
    const double end = s == kAttack ? 1.0 : s == kDecay ? sustainLevel() : floor;
    multiplier = std::pow(end / level, 1.0 / remaining);
  }
  else if (stage == kDecay && s == kSustain)
  {
    multiplier = std::pow(sustainLevel() / level, 1.0 / std::max(1, length - counter));
  }
}
