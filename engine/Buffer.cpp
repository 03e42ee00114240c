#include "engine/Buffer.h"

#include <algorithm>

void Buffer::takeInput(const double* left, const double* right, int frameCount, long stamp)
{
  input[0] = left;
  input[1] = right;
  inputFrames = frameCount;
  inputPos = 0;
  if (stamp >= 0) blockStamp = stamp;
}

void Buffer::startRefill(int offset, int voiceId, bool fillNow)
{
  if (voiceId != owner) return;
  filled = 0;
  inputPos = offset;
  fillStartObservers(index);
  if (fillNow) fillStep();
}

void Buffer::fillStep()
{
  if (input[0] && input[1])
    while (inputPos < inputFrames && filled < length)
    {
      frames[filled][0] = input[0][inputPos];
      frames[filled][1] = input[1][inputPos];
      ++filled;
      ++inputPos;
    }
  fillProgressObservers(index);
}

void Buffer::setLength(int frameCount)
{
  length = std::clamp(frameCount, 1, kBufferFrames);
  filled = std::min(filled, length);
}
