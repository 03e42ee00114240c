#pragma once
// Plain records shared by the plug-in frame, the host adapter and the engine.
#include <cstdint>
#include <vector>

#include "frame/ByteChunk.h"

struct IMidiMsg
{
  enum EStatusMsg
  {
    kNone = 0,
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14,
    kSystem = 15,
  };

  int32_t mOffset = 0;
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;

  IMidiMsg() = default;
  IMidiMsg(int offset, uint8_t status, uint8_t data1, uint8_t data2)
    : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}

  int StatusMsg() const { return mStatus >> 4; }
  int Channel() const { return mStatus & 0x0F; }
};

struct ISysEx
{
  int32_t mOffset = 0;
  int32_t mSize = 0;
  const uint8_t* mData = nullptr;
};

struct ITimeInfo
{
  double mTempo = 120.0;
  double mSamplePos = 0.0;
  double mPPQPos = 0.0;
  double mLastBar = 0.0;
  double mCycleStart = 0.0;
  double mCycleEnd = 0.0;
  int32_t mNumerator = 4;
  int32_t mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};

struct IPreset
{
  bool mInitialized = false;
  char mName[256] = "empty";
  ByteChunk mChunk;
};

// One input slot's bookkeeping: whether the host feeds it, where its slot is,
// and a scratch buffer (float conversion, or zeros while disconnected).
struct InChannel
{
  bool mConnected = false;
  double** mSrc = nullptr;
  std::vector<double> mScratchBuf;
};

struct OutChannel
{
  bool mConnected = false;
  double** mDest = nullptr;
  float* mFDest = nullptr;
  std::vector<double> mScratchBuf;
};

struct ChannelIO
{
  int mIn = 0;
  int mOut = 0;
};
