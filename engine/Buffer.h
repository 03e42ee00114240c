#pragma once
// One of the 32 recording buffers, embedded in the engine object. A refill
// records the live input from an exact sample on, block after block.
#include <string>

constexpr int kBufferFrames = 480000;
constexpr int kMinBufferFrames = 6000;

// Frames are read at trunc(position), kept inside the buffer's storage.
inline int FrameIndex(double pos)
{
  if (!(pos > 0.0)) return 0;
  return pos >= kBufferFrames - 1 ? kBufferFrames - 1 : static_cast<int>(pos);
}

struct Buffer
{
  // Left and right per frame. Left uninitialised on purpose: the engine
  // object is allocated zeroed, so untouched pages are never written.
  double frames[kBufferFrames][2];
  int length = kBufferFrames;
  int filled = 0;
  const double* input[2] = {nullptr, nullptr};
  int inputFrames = 0;
  int inputPos = 0;
  int index = 0;
  int owner = -1;
  unsigned refills = 0;  // refills begun, for a view that shows the buffer
  long blockStamp = -1;
  std::string label;

  bool full() const { return filled >= length; }
  void takeInput(const double* left, const double* right, int frames, long stamp = -1);
  void startRefill(int offset, int voiceId, bool fillNow);
  void fillStep();
  void setLength(int frames);
};
