#pragma once
// The instrument's 113 parameters by index, and the lists that describe them.
#include <array>

class IPlugBase;

enum EParams
{
  kPerfMode = 0,
  kRefillMode,
  kRefillDenum,
  kRefillNom,
  kRefillAll,
  kRefillThis,
  kBaseLenDenum,
  kBaseLenNom,
  kPlayRate,
  kWobbleAmount,
  kWobbleFreq = 10,
  kWobbleInternal,
  kWobbleExternal,
  kWobbleSync,
  kStep,
  kStepByLen,
  kStepByRepeat,
  kStepByRate,
  kRepeat,
  kErrorInt,
  kErrorExt = 20,
  kPreservePos,
  kReturnPlayhead,
  kWrapMirror,
  kPlayheadPos,
  kPlayheadGlide,
  kSelStart,
  kSelEnd,
  kClearSel,
  kSelectAll,
  kBufferSeconds = 30,
  kCommonBuf,
  kPickedBuf,
  kRequestPicked,
  kOverlap,
  kWindowType,
  kGapProb,
  kGapStereo,
  kGapFill,
  kEnvA,
  kEnvD = 40,
  kEnvS,
  kEnvR,
  kRearticulateFwd,
  kRearticulateBack,
  kFltEnvA,
  kFltEnvD,
  kFltEnvS,
  kFltEnvR,
  kFltOn,
  kFltModel = 50,
  kFltType,
  kFltFreq,
  kFltQ,
  kFltFollowNote,
  kFltShift,
  kFltEnvDepth,
  kFltPropRate,
  kAgcAmount,
  kAgcPerVoice,
  kAgcHardness = 60,
  kAgcSpeed,
  kDcRemoval,
  kActiveVoices,
  kPolyMono,
  kGlide,
  kGlideHead,
  kGlideInRelease,
  kBeatNumC = 68,   // beat num of key k: 68 + 2k
  kBeatDenC = 69,   // beat den of key k: 69 + 2k
  kExtrudeInput = 92,
  kMix,
  kAmp,
  kMidiPanic,
  kShowTooltips,
  kBufMinVisible,
  kBufMaxVisible,
  kUseForC = 99,  // use for key k: 99 + k
  kPerBufInput = 111,
  kControlFreak = 112,
  kNumParams
};

static_assert(kNumParams == 113);

constexpr int kNumKeys = 12;
constexpr int BeatNumParam(int key) { return kBeatNumC + 2 * key; }
constexpr int BeatDenParam(int key) { return kBeatDenC + 2 * key; }
constexpr int UseForParam(int key) { return kUseForC + key; }

extern const char* const kKeyNames[kNumKeys];

// Parameters each voice keeps a value of its own for, in this order.
constexpr std::array<int, 44> kPerVoiceParams = {
  0, 1, 7, 6, 8, 11, 12, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 25, 34, 35, 36, 37,
  38, 39, 40, 41, 42, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 60, 61, 62};

// Parameters whose changes glide over a block once a state is loaded.
constexpr std::array<int, 15> kSmoothedParams = {8, 9, 19, 20, 34, 41, 47, 52, 53, 56, 58, 60, 61, 93, 94};

constexpr bool IsSmoothedParam(int idx)
{
  for (int p : kSmoothedParams)
    if (p == idx) return true;
  return false;
}

constexpr bool IsPerVoiceParam(int idx)
{
  for (int p : kPerVoiceParams)
    if (p == idx) return true;
  return false;
}

// Initialises every parameter: kinds and ranges, shapes, automation, texts.
void DefineVeskParams(IPlugBase& plug);
