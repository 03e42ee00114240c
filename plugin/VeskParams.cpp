#include "plugin/VeskParams.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>

#include "frame/IPlugBase.h"
#include "plugin/Vesk.h"

namespace {

constexpr double kFrameFraction = 1.0 / 4800000.0;

ParamRow Double(const char* name, double def, double min, double max, double step)
{
  ParamRow r;
  r.name = name, r.kind = IParam::kTypeDouble, r.def = def, r.min = min, r.max = max, r.step = step;
  return r;
}

ParamRow Int(const char* name, int def, int min, int max)
{
  ParamRow r = Double(name, def, min, max, 1.0);
  r.kind = IParam::kTypeInt;
  return r;
}

ParamRow Enum(const char* name, int def, int count)
{
  ParamRow r = Int(name, def, 0, count - 1);
  r.kind = IParam::kTypeEnum;
  return r;
}

ParamRow Bool(const char* name, bool def)
{
  ParamRow r = Int(name, def ? 1 : 0, 0, 1);
  r.kind = IParam::kTypeBool;
  return r;
}

bool IsMomentaryOn(double v) { return v >= 0.5; }
bool On(double v) { return v != 0.0; }
int Whole(double v) { return static_cast<int>(v); }

template <typename Setter>
struct SetterOf;
template <typename T>
struct SetterOf<void (Voice::*)(T)>
{
  using Arg = T;
};

// A parameter's value as a voice setter takes it: a flag, a whole number,
// a mode or a number.
template <typename T>
T ValueAs(double v)
{
  if constexpr (std::is_same_v<T, bool>) return On(v);
  else if constexpr (std::is_enum_v<T>) return static_cast<T>(ValueAs<std::underlying_type_t<T>>(v));
  else if constexpr (std::is_integral_v<T>) return static_cast<T>(Whole(v));
  else return v;
}

// "play rate" keeps a magnitude of at least 0.01.
double LimitPlayRate(double rate)
{
  if (rate >= 0.0 && rate < 0.01) return 0.01;
  if (rate < 0.0 && rate > -0.01) return -0.01;
  return rate;
}

int EnvelopeStageOf(int idx)
{
  switch (idx)
  {
    case kEnvA:
    case kFltEnvA: return Envelope::kAttack;
    case kEnvD:
    case kFltEnvD: return Envelope::kDecay;
    case kEnvS:
    case kFltEnvS: return Envelope::kSustain;
    default: return Envelope::kRelease;
  }
}

}  // namespace

// What every parameter is and does. Its functions reach the instrument's
// insides, so they are written here, where Vesk lets them.
struct ParamActions
{
  // A change that sets every voice through one of its setters.
  template <auto Set>
  static void SetEveryVoice(Vesk& p, int, double v)
  {
    using Arg = typename SetterOf<decltype(Set)>::Arg;
    p.forEachVoice([x = ValueAs<Arg>(v)](Voice& voice) { (voice.*Set)(x); });
  }

  static std::vector<ParamRow> Rows();
  static void Sound(std::vector<ParamRow>& rows);
  static void Playhead(std::vector<ParamRow>& rows);
  static void Buffers(std::vector<ParamRow>& rows);
  static void Grains(std::vector<ParamRow>& rows);
  static void Envelopes(std::vector<ParamRow>& rows);
  static void Filter(std::vector<ParamRow>& rows);
  static void GainAndNotes(std::vector<ParamRow>& rows);
  static void Keys(std::vector<ParamRow>& rows);
  static void Master(std::vector<ParamRow>& rows);
};

std::vector<ParamRow> ParamActions::Rows()
{
  std::vector<ParamRow> rows(kNumParams);
  Sound(rows);
  Playhead(rows);
  Buffers(rows);
  Grains(rows);
  Envelopes(rows);
  Filter(rows);
  GainAndNotes(rows);
  Keys(rows);
  Master(rows);
  return rows;
}

void ParamActions::Sound(std::vector<ParamRow>& rows)
{
  rows[kPerfMode] = Enum("perfomance mode", 2, 3)
                      .Texts({{0, "note mode"}, {1, "beat mode"}, {2, "simple mode"}})
                      .PerVoice([](const Voice& v, const EngineRates&) -> double { return static_cast<int>(v.grains().mode()); })
                      .Does([](Vesk& p, int, double v) {
                        p.forEachVoice([n = Whole(v)](Voice& voice) { voice.setGrainMode(static_cast<GrainMode>(n)); });
                        p.updateTempoTracking();
                      });
  auto baseLen = [](Vesk& p, int, double) {
    const int nom = p.GetParam(kBaseLenNom)->Int(), den = p.GetParam(kBaseLenDenum)->Int();
    p.forEachVoice([nom, den](Voice& voice) { voice.setBaseLen(nom, den); });
  };
  rows[kBaseLenDenum] = Int("base len denum", 1, 1, 16)
                          .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.notes().baseLenDenum(); })
                          .Does(baseLen);
  rows[kBaseLenNom] = Int("base len nom", 1, 1, 16)
                        .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.notes().baseLenNom(); })
                        .Does(baseLen);
  rows[kPlayRate] = Double("play rate", 1.0, -16.0, 16.0, 0.001)
                      .PerVoice([](const Voice& v, const EngineRates&) { return v.grains().playRate(); })
                      .Glides([](Vesk& p, int, double v) {
                        p.forEachVoice([r = LimitPlayRate(v)](Voice& voice) { voice.setPlayRate(r); });
                      });
  rows[kWobbleAmount] = Double("wobble amount", 0.0, 0.0, 1.0, 0.001).Shape(2.5).Glides([](Vesk& p, int, double v) {
    p.mCore.shiver().setAmount(v);
  });
  rows[kWobbleFreq] = Double("wobble freq", 2.0, 0.1, 50.0, 0.001).Shape(3.0).Does([](Vesk& p, int, double v) {
    p.mCore.shiver().setFrequency(v);
  });
  rows[kWobbleInternal] = Bool("wobble internal", false)
                            .Texts({{0, "int wobble off"}, {1, "int wobble on"}})
                            .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.notes().wobbleInternal(); })
                            .Does(SetEveryVoice<&Voice::setWobbleInternal>);
  rows[kWobbleExternal] = Bool("wobble external", false)
                            .Texts({{0, "ext wobble off"}, {1, "ext wobble on"}})
                            .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.notes().wobbleExternal(); })
                            .Does(SetEveryVoice<&Voice::setWobbleExternal>);
  rows[kWobbleSync] = Bool("wobble sync voices", false).Texts({{0, "no sync"}, {1, "sync all"}}).Does(
    [](Vesk& p, int, double v) { p.mCore.shiver().setSync(On(v)); });
}

void ParamActions::Playhead(std::vector<ParamRow>& rows)
{
  rows[kStep] = Double("step", 1.0, -128.0, 128.0, 0.01)
                  .PerVoice([](const Voice& v, const EngineRates&) { return v.grains().step(); })
                  .Does(SetEveryVoice<&Voice::setStep>);
  rows[kStepByLen] = Int("step *= base len", 0, 0, 1)
                       .Texts({{0, "step *= wavelength"}})
                       .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.grains().stepByLen(); })
                       .Does(SetEveryVoice<&Voice::setStepByLen>);
  rows[kStepByRepeat] = Int("step *= repeat", 0, 0, 1)
                          .Texts({{0, "step *= repeat"}})
                          .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.grains().stepByRepeat(); })
                          .Does(SetEveryVoice<&Voice::setStepByRepeat>);
  rows[kStepByRate] = Int("step *= playrate", 0, 0, 1)
                        .Texts({{0, "step *= wavelength"}})
                        .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.grains().stepByRate(); })
                        .Does(SetEveryVoice<&Voice::setStepByRate>);
  rows[kRepeat] = Int("repeat", 1, 1, 512).Shape(2.0)
                    .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.grains().repeat(); })
                    .Does(SetEveryVoice<&Voice::setRepeat>);
  rows[kErrorInt] = Double("error int", 0.0, 0.0, 50.0, 0.001).Shape(4.0)
                      .PerVoice([](const Voice& v, const EngineRates&) { return v.grains().errorInt(); })
                      .Glides(SetEveryVoice<&Voice::setErrorInt>);
  rows[kErrorExt] = Double("error ext", 0.0, 0.0, 50.0, 0.001).Shape(3.0)
                      .PerVoice([](const Voice& v, const EngineRates&) { return v.grains().errorExt(); })
                      .Glides(SetEveryVoice<&Voice::setErrorExt>);
  rows[kPreservePos] = Bool("preserve pos while err", true)
                         .Texts({{1, "preserve"}, {0, "let spread"}})
                         .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.grains().preservePos(); })
                         .Does(SetEveryVoice<&Voice::setPreservePos>);
  rows[kReturnPlayhead] = Int("return playhead", 0, 0, 1)
                            .Texts({{0, "return playhead"}})
                            .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.playhead().returnsToStart(); })
                            .Does(SetEveryVoice<&Voice::setReturnPlayhead>);
  rows[kWrapMirror] = Bool("wrap/mirror", false)
                        .Texts({{1, "mirror"}, {0, "wrap"}})
                        .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.playhead().edges() == EdgeMode::kMirror; })
                        .Does(SetEveryVoice<&Voice::setEdges>);
  rows[kPlayheadPos] = Double("playhead position", 0.0, -1.0 / 126.0, 1.0, kFrameFraction).Does(
    [](Vesk& p, int, double v) { p.mCore.aimPlayhead(v); });
  rows[kPlayheadGlide] = Double("playhead glide", 0.2, 0.0, 10.0, 0.001).Shape(2.0)
                           .PerVoice([](const Voice& v, const EngineRates& r) { return v.playhead().glideSamples() * r.invSampleRate; })
                           .Does([](Vesk& p, int, double v) {
                             const int samples = std::max(1, static_cast<int>(p.mCore.rates().sampleRate * v));
                             p.forEachVoice([samples](Voice& voice) { voice.setPhGlideSamples(samples); });
                           });
  rows[kSelStart] = Double("selection start", 0.0, 0.0, 1.0, kFrameFraction).Does([](Vesk& p, int, double v) {
    p.mCore.setSelectionStart(v);
  });
  rows[kSelEnd] = Double("selection end", 1.0, 0.0, 1.0, kFrameFraction).Does([](Vesk& p, int, double v) {
    p.mCore.setSelectionEnd(v);
  });
  rows[kClearSel] = Bool("clear selection", false).Texts({{0, "reset selection"}}).Does([](Vesk& p, int, double v) {
    if (IsMomentaryOn(v)) p.clearSelection();
  });
  rows[kSelectAll] = Bool("select this/all", false).Texts({{0, "own sel"}, {1, "common sel"}}).Does(
    [](Vesk& p, int, double v) { p.mCore.tabs().commonSelection = On(v); });
}

void ParamActions::Buffers(std::vector<ParamRow>& rows)
{
  rows[kRefillMode] = Enum("refill mode", 2, 4)
                        .Texts({{0, "every note"}, {1, "except glides"}, {2, "hold"}, {3, "tempo"}})
                        .PerVoice([](const Voice& v, const EngineRates&) -> double { return static_cast<int>(v.refillMode()); })
                        .Does([](Vesk& p, int, double v) {
                          p.forEachVoice([n = Whole(v)](Voice& voice) { voice.setRefillMode(static_cast<RefillMode>(n)); });
                          p.mCore.recomputeSelections();
                          p.updateTempoTracking();
                        });
  auto ratio = [](Vesk& p, int, double) {
    p.mCore.setRefillRatio(p.GetParam(kRefillNom)->Int(), p.GetParam(kRefillDenum)->Int());
  };
  rows[kRefillDenum] = Int("refill denum", 1, 1, 16).Does(ratio);
  rows[kRefillNom] = Int("refill nom", 1, 1, 16).Does(ratio);
  rows[kRefillAll] = Bool("refill all", false).Texts({{0, "refill all"}}).Does([](Vesk& p, int, double v) {
    if (IsMomentaryOn(v)) p.mCore.refillAll(p.mCurrentSample);
  });
  rows[kRefillThis] = Bool("refill this", false).Texts({{0, "refill this"}}).Does([](Vesk& p, int, double v) {
    if (IsMomentaryOn(v)) p.mCore.refillThis(p.mCurrentSample, p.mCore.tabs().pickedTab);
  });
  rows[kBufferSeconds] = Double("buffer size (sec)", 2.0, 0.125, 10.0, 0.125).Shape(2.0).Does(
    [](Vesk& p, int, double v) { p.mCore.setBufferSeconds(v); });
  rows[kCommonBuf] = Bool("own/common buf", false).Texts({{0, "own"}, {1, "common"}}).Does([](Vesk& p, int, double v) {
    p.mCore.setCommonMode(On(v), p.mCurrentSample);
  });
  rows[kPickedBuf] = Int("picked buffer", 1, 1, 32).Texts({{0, "selected tab"}}).Does([](Vesk& p, int, double v) {
    p.pickBuffer(Whole(v) - 1);
  });
  // Read by the next note (it reserves the picked voice); it takes the
  // smoothed route with nothing to apply.
  rows[kRequestPicked] = Bool("request picked buf", false).Glides(nullptr);
  rows[kPerBufInput] = Bool("per buf input", false)
                         .Texts({{0, "2 channels for all"}, {1, "2 channels for each"}})
                         .Does([](Vesk& p, int, double v) { p.mCore.setPerBufInput(On(v)); });
}

void ParamActions::Grains(std::vector<ParamRow>& rows)
{
  rows[kOverlap] = Double("grain overlap", 0.001, 0.0, 3.5, 0.001)
                     .PerVoice([](const Voice& v, const EngineRates&) { return v.grains().overlap(); })
                     .Glides(SetEveryVoice<&Voice::setOverlap>);
  rows[kWindowType] = Enum("window type", 1, 3)
                        .Texts({{0, "linear"}, {1, "parab"}, {2, "sine"}})
                        .PerVoice([](const Voice& v, const EngineRates&) -> double { return static_cast<int>(v.grains().windowShape()); })
                        .Does(SetEveryVoice<&Voice::setWindow>);
  rows[kGapProb] = Int("gaps probability", 0, 0, 100)
                     .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.grains().gapProbability(); })
                     .Does(SetEveryVoice<&Voice::setGaps>);
  rows[kGapStereo] = Int("gaps mono/stereo", 0, 0, 1)
                       .Texts({{1, "gaps stereo"}, {0, "gaps mono"}})
                       .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.grains().gapStereo(); })
                       .Does(SetEveryVoice<&Voice::setGapStereo>);
  rows[kGapFill] = Int("input fills gaps", 0, 0, 1)
                     .Texts({{0, "gaps are silent"}, {1, "gaps are filled"}})
                     .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.grains().gapFill(); })
                     .Does(SetEveryVoice<&Voice::setGapFill>);
}

void ParamActions::Envelopes(std::vector<ParamRow>& rows)
{
  auto amp = [](Vesk& p, int idx, double v) {
    p.forEachVoice([stage = EnvelopeStageOf(idx), v, sr = p.mCore.rates().sampleRate](Voice& voice) {
      voice.chain().env().setStageValue(stage, v, sr);
    });
  };
  auto flt = [](Vesk& p, int idx, double v) {
    p.forEachVoice([stage = EnvelopeStageOf(idx), v](Voice& voice) {
      voice.filter().setStageValue(stage, v, voice.active());
    });
  };
  const struct
  {
    int idx;
    const char* name;
    double def, min, max, shape;
  } kStages[] = {
    {kEnvA, "env A", 0.005, 0.005, 6.0, 3.0},        {kEnvD, "env D", 0.01, 0.005, 12.0, 3.0},
    {kEnvS, "env S", 0.8, 0.000001, 1.0, 2.0},       {kEnvR, "env R", 10.0, 0.005, 30.0, 2.0},
    {kFltEnvA, "flt env A", 0.005, 0.005, 6.0, 3.0}, {kFltEnvD, "flt env D", 0.01, 0.005, 12.0, 3.0},
    {kFltEnvS, "flt env S", 0.000001, 0.000001, 1.0, 2.0}, {kFltEnvR, "flt env R", 10.0, 0.005, 30.0, 2.0},
  };
  for (const auto& s : kStages)
  {
    ParamRow& row = rows[s.idx] = Double(s.name, s.def, s.min, s.max, 0.001).Shape(s.shape);
    const bool sustain = s.idx == kEnvS || s.idx == kFltEnvS;
    const bool filter = s.idx >= kFltEnvA;
    if (sustain)
      row.Glides(filter ? flt : amp);
    else
      row.Does(filter ? flt : amp);
  }
  rows[kEnvA].PerVoice([](const Voice& v, const EngineRates&) { return v.chain().env().stageValues[Envelope::kAttack]; });
  rows[kEnvD].PerVoice([](const Voice& v, const EngineRates&) { return v.chain().env().stageValues[Envelope::kDecay]; });
  rows[kEnvS].PerVoice([](const Voice& v, const EngineRates&) { return v.chain().env().stageValues[Envelope::kSustain]; });
  rows[kEnvR].PerVoice([](const Voice& v, const EngineRates&) { return v.chain().env().stageValues[Envelope::kRelease]; });
  rows[kFltEnvA].PerVoice([](const Voice& v, const EngineRates&) { return v.chain().filter().stageTimes[Envelope::kAttack]; });
  rows[kFltEnvD].PerVoice([](const Voice& v, const EngineRates&) { return v.chain().filter().stageTimes[Envelope::kDecay]; });
  rows[kFltEnvS].PerVoice([](const Voice& v, const EngineRates&) { return v.chain().filter().stageTimes[Envelope::kSustain]; });
  rows[kFltEnvR].PerVoice([](const Voice& v, const EngineRates&) { return v.chain().filter().stageTimes[Envelope::kRelease]; });
  const ParamText kRearticulation[] = {{0, "stay in sustain"}, {1, "attack"}};
  rows[kRearticulateFwd] = Bool("rearticulate fwd", true)
                             .Texts({kRearticulation[0], kRearticulation[1]})
                             .Does([](Vesk& p, int, double v) { p.mCore.tables().rearticulateFwd = On(v); });
  rows[kRearticulateBack] = Bool("rearticulate back", false)
                              .Texts({kRearticulation[0], kRearticulation[1]})
                              .Does([](Vesk& p, int, double v) { p.mCore.tables().rearticulateBack = On(v); });
}

void ParamActions::Filter(std::vector<ParamRow>& rows)
{
  rows[kFltOn] = Bool("flt on/off", true)
                   .Texts({{0, "off"}, {1, "on"}})
                   .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.chain().filter().enabled; })
                   .Does([](Vesk& p, int, double v) {
                     p.forEachVoice([on = On(v)](Voice& voice) { voice.filter().setEnabled(on, voice.chain().env()); });
                   });
  rows[kFltModel] = Enum("flt model", 0, 1).Texts({{0, "simple"}}).PerVoice([](const Voice&, const EngineRates&) {
    return 0.0;
  });
  rows[kFltType] = Enum("flt pass type", 0, 5)
                     .Texts({{0, "low pass"}, {2, "high pass"}, {1, "band pass"}, {4, "band reject"}, {3, "peak"}})
                     .PerVoice([](const Voice& v, const EngineRates&) -> double { return static_cast<int>(v.chain().filter().section.passType); })
                     .Does([](Vesk& p, int, double v) {
                       p.forEachVoice([t = static_cast<PassType>(Whole(v))](Voice& voice) { voice.filter().setPassType(t); });
                     });
  rows[kFltFreq] = Double("flt freq", 5000.0, 10.0, 20000.0, 0.001).Shape(2.5)
                     .PerVoice([](const Voice& v, const EngineRates&) { return v.chain().filter().baseFreq; })
                     .Glides([](Vesk& p, int, double v) {
                       p.forEachVoice([v](Voice& voice) { voice.filter().setBaseFreq(v, voice.active()); });
                     });
  rows[kFltQ] = Double("flt q", 0.0, 0.0, 0.99, 0.001)
                  .PerVoice([](const Voice& v, const EngineRates&) { return v.chain().filter().resonance; })
                  .Glides([](Vesk& p, int, double v) {
                    p.forEachVoice([v](Voice& voice) { voice.filter().setResonance(v, voice.active()); });
                  });
  rows[kFltFollowNote] = Bool("flt follows note", false)
                           .Texts({{0, "not following"}, {1, "following"}})
                           .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.chain().filter().followNote; })
                           .Does([](Vesk& p, int, double v) {
                             p.forEachVoice([on = On(v)](Voice& voice) { voice.filter().setFollowNote(on, voice.active()); });
                           });
  rows[kFltShift] = Int("flt freq shift", 0, 0, 16)
                      .PerVoice([](const Voice& v, const EngineRates&) { return v.chain().filter().harmonic - 1.0; })
                      .Does([](Vesk& p, int, double v) {
                        p.forEachVoice([n = Whole(v)](Voice& voice) { voice.filter().setHarmonic(n + 1, voice.active()); });
                      });
  rows[kFltEnvDepth] = Double("flt envelope", 0.0, -1.0, 1.0, 0.001)
                         .PerVoice([](const Voice& v, const EngineRates&) { return v.chain().filter().envDepth; })
                         .Glides([](Vesk& p, int, double v) {
                           p.forEachVoice([v](Voice& voice) { voice.filter().setEnvDepth(v); });
                         });
  rows[kFltPropRate] = Bool("flt prop playrate", false)
                         .Texts({{0, "flt prop playrate"}, {1, "flt not prop playrate"}})
                         .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.chain().filter().trackPlayRate; })
                         .Does([](Vesk& p, int, double v) {
                           p.forEachVoice([n = Whole(v)](Voice& voice) { voice.filter().setTrackPlayRate(n != 0, voice.active()); });
                         });
}

void ParamActions::GainAndNotes(std::vector<ParamRow>& rows)
{
  rows[kAgcAmount] = Double("auto gain amnt", 0.0, 0.0, 1.0, 0.001).Shape(2.0)
                       .PerVoice([](const Voice& v, const EngineRates&) { return v.chain().agc().amount; })
                       .Glides([](Vesk& p, int, double v) { p.mCore.setAgcAmount(v); });
  rows[kAgcPerVoice] = Bool("agc local/global", true).Texts({{0, "global"}, {1, "per voice"}}).Does(
    [](Vesk& p, int, double v) { p.mCore.setAgcPerVoice(On(v)); });
  rows[kAgcHardness] = Double("agc hardness", 0.001, 0.0001, 0.18, 0.0001).Shape(2.0)
                         .PerVoice([](const Voice& v, const EngineRates&) { return v.chain().agc().hardness; })
                         .Glides([](Vesk& p, int, double v) { p.mCore.setAgcHardness(v); });
  rows[kAgcSpeed] = Double("agc speed", 0.999, 0.999, 500.0, 0.001).Shape(3.0).Texts({{0, "auto"}})
                      .PerVoice([](const Voice& v, const EngineRates&) { return v.chain().agcSpeed(); })
                      .Glides([](Vesk& p, int, double v) { p.mCore.setAgcSpeed(v); });
  rows[kDcRemoval] = Bool("DC removal", true)
                       .Texts({{0, "leave DC"}, {1, "remove DC"}})
                       .PerVoice([](const Voice& v, const EngineRates&) -> double { return v.chain().dcOn(); })
                       .Does([](Vesk& p, int, double v) { p.mCore.setDcRemoval(On(v)); });
  rows[kActiveVoices] = Int("active voices", 4, 2, 32).Does([](Vesk& p, int, double v) {
    p.consumeVoiceRequest();
    p.mCore.tables().setMaxActive(Whole(v));
    p.mDispatcher.SetNoteOnLimit(Whole(v));
  });
  rows[kPolyMono] = Enum("poly/mono", 0, 2).Texts({{0, "mono"}, {1, "poly"}}).Does([](Vesk& p, int, double v) {
    p.consumeVoiceRequest();
    p.mCore.tables().setMode(Whole(v));
  });
  rows[kGlide] = Double("glide", 0.1, 0.0005, 10.0, 0.001).Shape(3.5).Does([](Vesk& p, int, double v) {
    p.mCore.tables().setGlideSeconds(v);
  });
  rows[kGlideHead] = Bool("glide head", false).Texts({{0, "no glide"}, {1, "glide from prev freq"}}).Does(
    [](Vesk& p, int, double v) { p.mCore.tables().glideHead = On(v); });
  rows[kGlideInRelease] = Bool("glide in release", false).Texts({{0, "no glide"}, {1, "glide in release"}}).Does(
    [](Vesk& p, int, double v) { p.mCore.tables().glideInRelease = On(v); });
}

// Per key: its meter as "beat num" over "beat den", and whether the picked
// buffer plays it.
void ParamActions::Keys(std::vector<ParamRow>& rows)
{
  auto meter = [](Vesk& p, int idx, double) {
    const int key = (idx - kBeatNumC) / 2;
    p.mCore.setKeyMeter(key, p.GetParam(BeatNumParam(key))->Int(), p.GetParam(BeatDenParam(key))->Int());
  };
  for (int k = 0; k < kNumKeys; ++k)
  {
    rows[BeatNumParam(k)] = Int(("beat num " + std::string(kKeyNames[k])).c_str(), 1, 1, 128).Does(meter);
    rows[BeatDenParam(k)] = Int(("beat den " + std::string(kKeyNames[k])).c_str(), 1, 1, 128).Does(meter);
    rows[UseForParam(k)] = Bool(("use for " + std::string(kKeyNames[k])).c_str(), true).Does([](Vesk& p, int idx, double v) {
      p.mCore.tables().useFor[idx - kUseForC][p.mCore.tabs().pickedTab] = On(v);
    });
  }
}

void ParamActions::Master(std::vector<ParamRow>& rows)
{
  rows[kExtrudeInput] = Bool("extrude input", false).Does([](Vesk& p, int, double v) {
    p.mCore.setExtrudeInput(On(v));
  });
  rows[kMix] = Double("mix", 1.0, 0.0, 1.0, 0.001).Shape(1.5).Glides([](Vesk& p, int, double v) { p.mCore.setMix(v); });
  rows[kAmp] = Double("amp", 1.0, 0.0, 2.0, 0.001).Shape(2.0).Glides([](Vesk& p, int, double v) { p.mCore.setAmp(v); });
  rows[kMidiPanic] = Bool("MIDI Panic", false).Does([](Vesk& p, int, double v) {
    if (IsMomentaryOn(v)) p.mCore.clearAll();
  });
  // The editor's own: it shows these values, the sound knows nothing of them.
  rows[kShowTooltips] = Bool("?", false).NotAutomatable().NotLearnable();
  rows[kBufMinVisible] = Double("buf min visible", 0.0, 0.0, 1.0, kFrameFraction).NotLearnable();
  rows[kBufMaxVisible] = Double("buf max visible", 1.0, 0.0, 1.0, kFrameFraction).NotLearnable();
  rows[kControlFreak] = Bool(" ", false).Texts({{1, "you control freak"}});
}

const std::vector<ParamRow>& VeskParamTable()
{
  static const std::vector<ParamRow> rows = ParamActions::Rows();
  return rows;
}

const ParamRow& VeskParam(int paramIdx)
{
  return VeskParamTable()[static_cast<size_t>(paramIdx)];
}

const std::vector<int>& PerVoiceParams()
{
  static const std::vector<int> list = [] {
    std::vector<int> l;
    for (int i = 0; i < kNumParams; ++i)
      if (VeskParam(i).PerVoice()) l.push_back(i);
    return l;
  }();
  return list;
}

void DefineVeskParams(IPlugBase& plug)
{
  for (int i = 0; i < kNumParams; ++i)
  {
    const ParamRow& row = VeskParam(i);
    IParam& param = *plug.GetParam(i);
    const char* name = row.name.c_str();
    switch (row.kind)
    {
      case IParam::kTypeBool: param.InitBool(name, row.def != 0.0); break;
      case IParam::kTypeEnum: param.InitEnum(name, static_cast<int>(row.def), static_cast<int>(row.max) + 1); break;
      case IParam::kTypeInt:
        param.InitInt(name, static_cast<int>(row.def), static_cast<int>(row.min), static_cast<int>(row.max));
        break;
      default: param.InitDouble(name, row.def, row.min, row.max, row.step); break;
    }
    if (row.shape != 1.0) param.SetShape(row.shape);
    param.SetCanAutomate(row.automatable);
    for (const ParamText& t : row.texts) param.SetDisplayText(t.value, t.text);
  }
}
