#include "engine/Buffer.h"

#include <algorithm>

#include "engine/StereoPair.h"

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
  ++refills;
  if (fillNow) fillStep();
}

void Buffer::fillStep()
{
  if (input[0] && input[1])
  {
    const int n = std::max(0, std::min(inputFrames - inputPos, length - filled));
    double(*to)[2] = frames + filled;
    const double *left = input[0] + inputPos, *right = input[1] + inputPos;
    for (int i = 0; i < n; ++i)
    {
      to[i][0] = FiniteSample(left[i]);
      to[i][1] = FiniteSample(right[i]);
    }
    filled += n;
    inputPos += n;
  }
}

void Buffer::setLength(int frameCount)
{
  length = std::clamp(frameCount, 1, kBufferFrames);
  filled = std::min(filled, length);
}
