#pragma once
// The instrument's 113 parameters by index, as host, editor, MIDI map and
// saved state address them. What each one is and does is the parameter
// table's (plugin/VeskParams.h); the editor's layout places its controls by
// these names.

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

inline constexpr const char* kKeyNames[kNumKeys] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
