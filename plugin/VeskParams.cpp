#include "plugin/VeskParams.h"

#include <cstdio>

#include "frame/IPlugBase.h"

namespace {

constexpr double kFrameFraction = 1.0 / 4800000.0;

void DefineKinds(IPlugBase& plug)
{
  auto p = [&plug](int idx) { return plug.GetParam(idx); };
  p(kPerfMode)->InitEnum("perfomance mode", 2, 3);
  p(kRefillMode)->InitEnum("refill mode", 2, 4);
  p(kRefillDenum)->InitInt("refill denum", 1, 1, 16);
  p(kRefillNom)->InitInt("refill nom", 1, 1, 16);
  p(kRefillAll)->InitBool("refill all", false);
  p(kRefillThis)->InitBool("refill this", false);
  p(kBaseLenDenum)->InitInt("base len denum", 1, 1, 16);
  p(kBaseLenNom)->InitInt("base len nom", 1, 1, 16);
  p(kPlayRate)->InitDouble("play rate", 1.0, -16.0, 16.0, 0.001);
  p(kWobbleAmount)->InitDouble("wobble amount", 0.0, 0.0, 1.0, 0.001);
  p(kWobbleFreq)->InitDouble("wobble freq", 2.0, 0.1, 50.0, 0.001);
  p(kWobbleInternal)->InitBool("wobble internal", false);
  p(kWobbleExternal)->InitBool("wobble external", false);
  p(kWobbleSync)->InitBool("wobble sync voices", false);
  p(kStep)->InitDouble("step", 1.0, -128.0, 128.0, 0.01);
  p(kStepByLen)->InitInt("step *= base len", 0, 0, 1);
  p(kStepByRepeat)->InitInt("step *= repeat", 0, 0, 1);
  p(kStepByRate)->InitInt("step *= playrate", 0, 0, 1);
  p(kRepeat)->InitInt("repeat", 1, 1, 512);
  p(kErrorInt)->InitDouble("error int", 0.0, 0.0, 50.0, 0.001);
  p(kErrorExt)->InitDouble("error ext", 0.0, 0.0, 50.0, 0.001);
  p(kPreservePos)->InitBool("preserve pos while err", true);
  p(kReturnPlayhead)->InitInt("return playhead", 0, 0, 1);
  p(kWrapMirror)->InitBool("wrap/mirror", false);
  p(kPlayheadPos)->InitDouble("playhead position", 0.0, -1.0 / 126.0, 1.0, kFrameFraction);
  p(kPlayheadGlide)->InitDouble("playhead glide", 0.2, 0.0, 10.0, 0.001);
  p(kSelStart)->InitDouble("selection start", 0.0, 0.0, 1.0, kFrameFraction);
  p(kSelEnd)->InitDouble("selection end", 1.0, 0.0, 1.0, kFrameFraction);
  p(kClearSel)->InitBool("clear selection", false);
  p(kSelectAll)->InitBool("select this/all", false);
  p(kBufferSeconds)->InitDouble("buffer size (sec)", 2.0, 0.125, 10.0, 0.125);
  p(kCommonBuf)->InitBool("own/common buf", false);
  p(kPickedBuf)->InitInt("picked buffer", 1, 1, 32);
  p(kRequestPicked)->InitBool("request picked buf", false);
  p(kOverlap)->InitDouble("grain overlap", 0.001, 0.0, 3.5, 0.001);
  p(kWindowType)->InitEnum("window type", 1, 3);
  p(kGapProb)->InitInt("gaps probability", 0, 0, 100);
  p(kGapStereo)->InitInt("gaps mono/stereo", 0, 0, 1);
  p(kGapFill)->InitInt("input fills gaps", 0, 0, 1);
  p(kEnvA)->InitDouble("env A", 0.005, 0.005, 6.0, 0.001);
  p(kEnvD)->InitDouble("env D", 0.01, 0.005, 12.0, 0.001);
  p(kEnvS)->InitDouble("env S", 0.8, 0.000001, 1.0, 0.001);
  p(kEnvR)->InitDouble("env R", 10.0, 0.005, 30.0, 0.001);
  p(kRearticulateFwd)->InitBool("rearticulate fwd", true);
  p(kRearticulateBack)->InitBool("rearticulate back", false);
  p(kFltEnvA)->InitDouble("flt env A", 0.005, 0.005, 6.0, 0.001);
  p(kFltEnvD)->InitDouble("flt env D", 0.01, 0.005, 12.0, 0.001);
  p(kFltEnvS)->InitDouble("flt env S", 0.000001, 0.000001, 1.0, 0.001);
  p(kFltEnvR)->InitDouble("flt env R", 10.0, 0.005, 30.0, 0.001);
  p(kFltOn)->InitBool("flt on/off", true);
  p(kFltModel)->InitEnum("flt model", 0, 1);
  p(kFltType)->InitEnum("flt pass type", 0, 5);
  p(kFltFreq)->InitDouble("flt freq", 5000.0, 10.0, 20000.0, 0.001);
  p(kFltQ)->InitDouble("flt q", 0.0, 0.0, 0.99, 0.001);
  p(kFltFollowNote)->InitBool("flt follows note", false);
  p(kFltShift)->InitInt("flt freq shift", 0, 0, 16);
  p(kFltEnvDepth)->InitDouble("flt envelope", 0.0, -1.0, 1.0, 0.001);
  p(kFltPropRate)->InitBool("flt prop playrate", false);
  p(kAgcAmount)->InitDouble("auto gain amnt", 0.0, 0.0, 1.0, 0.001);
  p(kAgcPerVoice)->InitBool("agc local/global", true);
  p(kAgcHardness)->InitDouble("agc hardness", 0.001, 0.0001, 0.18, 0.0001);
  p(kAgcSpeed)->InitDouble("agc speed", 0.999, 0.999, 500.0, 0.001);
  p(kDcRemoval)->InitBool("DC removal", true);
  p(kActiveVoices)->InitInt("active voices", 4, 2, 32);
  p(kPolyMono)->InitEnum("poly/mono", 0, 2);
  p(kGlide)->InitDouble("glide", 0.1, 0.0005, 10.0, 0.001);
  p(kGlideHead)->InitBool("glide head", false);
  p(kGlideInRelease)->InitBool("glide in release", false);
  char name[32];
  for (int k = 0; k < kNumKeys; ++k)
  {
    std::snprintf(name, sizeof name, "beat num %s", kKeyNames[k]);
    p(BeatNumParam(k))->InitInt(name, 1, 1, 128);
    std::snprintf(name, sizeof name, "beat den %s", kKeyNames[k]);
    p(BeatDenParam(k))->InitInt(name, 1, 1, 128);
  }
  p(kExtrudeInput)->InitBool("extrude input", false);
  p(kMix)->InitDouble("mix", 1.0, 0.0, 1.0, 0.001);
  p(kAmp)->InitDouble("amp", 1.0, 0.0, 2.0, 0.001);
  p(kMidiPanic)->InitBool("MIDI Panic", false);
  p(kShowTooltips)->InitBool("?", false);
  p(kBufMinVisible)->InitDouble("buf min visible", 0.0, 0.0, 1.0, kFrameFraction);
  p(kBufMaxVisible)->InitDouble("buf max visible", 1.0, 0.0, 1.0, kFrameFraction);
  for (int k = 0; k < kNumKeys; ++k)
  {
    std::snprintf(name, sizeof name, "use for %s", kKeyNames[k]);
    p(UseForParam(k))->InitBool(name, true);
  }
  p(kPerBufInput)->InitBool("per buf input", false);
  p(kControlFreak)->InitBool(" ", false);
}

void DefineShapes(IPlugBase& plug)
{
  static const struct { int idx; double shape; } kShapes[] = {
    {kWobbleAmount, 2.5}, {kWobbleFreq, 3.0}, {kRepeat, 2.0},     {kErrorInt, 4.0},   {kErrorExt, 3.0},
    {kPlayheadGlide, 2.0}, {kBufferSeconds, 2.0}, {kEnvA, 3.0},   {kEnvD, 3.0},       {kEnvS, 2.0},
    {kEnvR, 2.0},         {kFltEnvA, 3.0},    {kFltEnvD, 3.0},    {kFltEnvS, 2.0},    {kFltEnvR, 2.0},
    {kFltFreq, 2.5},      {kAgcAmount, 2.0},  {kAgcHardness, 2.0}, {kAgcSpeed, 3.0},  {kGlide, 3.5},
    {kMix, 1.5},          {kAmp, 2.0},
  };
  static_assert(sizeof kShapes / sizeof kShapes[0] == 22);
  for (const auto& s : kShapes) plug.GetParam(s.idx)->SetShape(s.shape);
}

void DefineDisplayTexts(IPlugBase& plug)
{
  struct Text
  {
    int idx;
    int value;
    const char* text;
  };
  static const Text kTexts[] = {
    {0, 0, "note mode"}, {0, 1, "beat mode"}, {0, 2, "simple mode"},
    {1, 0, "every note"}, {1, 1, "except glides"}, {1, 2, "hold"}, {1, 3, "tempo"},
    {4, 0, "refill all"}, {5, 0, "refill this"},
    {11, 0, "int wobble off"}, {11, 1, "int wobble on"},
    {12, 0, "ext wobble off"}, {12, 1, "ext wobble on"},
    {13, 0, "no sync"}, {13, 1, "sync all"},
    {15, 0, "step *= wavelength"}, {16, 0, "step *= repeat"}, {17, 0, "step *= wavelength"},
    {21, 1, "preserve"}, {21, 0, "let spread"},
    {22, 0, "return playhead"},
    {23, 1, "mirror"}, {23, 0, "wrap"},
    {28, 0, "reset selection"},
    {29, 0, "own sel"}, {29, 1, "common sel"},
    {31, 0, "own"}, {31, 1, "common"},
    {32, 0, "selected tab"},
    {35, 0, "linear"}, {35, 1, "parab"}, {35, 2, "sine"},
    {37, 1, "gaps stereo"}, {37, 0, "gaps mono"},
    {38, 0, "gaps are silent"}, {38, 1, "gaps are filled"},
    {43, 0, "stay in sustain"}, {43, 1, "attack"},
    {44, 0, "stay in sustain"}, {44, 1, "attack"},
    {49, 0, "off"}, {49, 1, "on"},
    {50, 0, "simple"},
    {51, 0, "low pass"}, {51, 2, "high pass"}, {51, 1, "band pass"}, {51, 4, "band reject"}, {51, 3, "peak"},
    {54, 0, "not following"}, {54, 1, "following"},
    {57, 0, "flt prop playrate"}, {57, 1, "flt not prop playrate"},
    {59, 0, "global"}, {59, 1, "per voice"},
    {61, 0, "auto"},
    {62, 0, "leave DC"}, {62, 1, "remove DC"},
    {64, 0, "mono"}, {64, 1, "poly"},
    {66, 0, "no glide"}, {66, 1, "glide from prev freq"},
    {67, 0, "no glide"}, {67, 1, "glide in release"},
    {111, 0, "2 channels for all"}, {111, 1, "2 channels for each"},
    {112, 1, "you control freak"},
  };
  for (const Text& t : kTexts) plug.GetParam(t.idx)->SetDisplayText(t.value, t.text);
}

}  // namespace

void DefineVeskParams(IPlugBase& plug)
{
  DefineKinds(plug);
  DefineShapes(plug);
  plug.GetParam(kShowTooltips)->SetCanAutomate(false);
  DefineDisplayTexts(plug);
}
