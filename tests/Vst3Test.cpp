// The VST3 bundle as a host meets it: its class, buses and parameters, the
// texts of its values both ways, its state, careless call orders, changes at
// their samples, MIDI through the controller mapping, and an audio path
// that allocates nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "editor/layout/ParamIds.h"
#include "frame/ByteChunk.h"
#include "tests/AllocationCounter.h"
#include "tests/Rig.h"
#include "tests/Vst3Rig.h"
#include "tests/VstRig.h"

using namespace vst3;
using vst3_host::Narrow;

namespace {
constexpr ParamID kMidiCC = 0x10000;
}  // namespace

// One instrument class; the VST 2.4 library's parameters, in its order, then
// hidden ones for the MIDI controllers and pitch bend; stereo in and out,
// 31 more stereo inputs off until the host turns them on, one MIDI input.
TEST(Vst3, TheModuleListsOneInstrumentWithTheParameterTable)
{
  Vst3Rig rig;
  ASSERT_TRUE(rig.Load()) << rig.error;
  Loaded vst2(48000.0, 512);
  EXPECT_EQ(rig.plug.className, "Vesk");
  EXPECT_EQ(rig.plug.subCategories, "Instrument|Sampler");
  EXPECT_EQ(rig.plug.vendor, "Vesk Audio");
  IEditController& c = *rig.plug.controller;
  ASSERT_EQ(c.getParameterCount(), vst2.host.NumParams() + 129);
  for (int32_t i = 0; i < c.getParameterCount(); ++i)
  {
    ParameterInfo info{};
    ASSERT_EQ(c.getParameterInfo(i, info), kResultOk);
    if (i < vst2.host.NumParams())
    {
      EXPECT_EQ(info.id, static_cast<ParamID>(i));
      EXPECT_EQ(Narrow(info.title), vst2.host.ParamName(i));
      EXPECT_EQ(rig.plug.ParamText(info.id, c.getParamNormalized(info.id)), vst2.host.ParamDisplay(i)) << i;
      EXPECT_FALSE(info.flags & ParameterInfo::kIsHidden);
    }
    else
      EXPECT_EQ(info.flags, ParameterInfo::kIsHidden) << Narrow(info.title);
  }
  ParameterInfo mode{}, fill{}, bend{};
  c.getParameterInfo(kPerfMode, mode), c.getParameterInfo(kGapFill, fill), c.getParameterInfo(c.getParameterCount() - 1, bend);
  EXPECT_EQ(mode.stepCount, 2);
  EXPECT_TRUE(mode.flags & ParameterInfo::kIsList);
  EXPECT_EQ(fill.stepCount, 1);
  EXPECT_EQ(Narrow(bend.title), "MIDI Pitch Bend");
  EXPECT_EQ(c.getParameterInfo(c.getParameterCount(), mode), kInvalidArgument);

  IComponent& component = *rig.plug.component;
  EXPECT_EQ(component.getBusCount(kAudio, kInput), 32);
  EXPECT_EQ(component.getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(component.getBusCount(kEvent, kInput), 1);
  BusInfo main{}, aux{};
  ASSERT_EQ(component.getBusInfo(kAudio, kInput, 0, main), kResultOk);
  ASSERT_EQ(component.getBusInfo(kAudio, kInput, 31, aux), kResultOk);
  EXPECT_EQ(main.busType, kMain);
  EXPECT_EQ(main.flags, BusInfo::kDefaultActive);
  EXPECT_EQ(aux.busType, kAux);
  EXPECT_EQ(aux.channelCount, 2);
  EXPECT_EQ(component.getBusInfo(kAudio, kInput, 32, aux), kInvalidArgument);
}

// Every value's text reads back as the value (at each step of a stepped
// parameter, at eleven points of the others); a text a listed parameter
// does not show, or one that is no number, is refused.
TEST(Vst3, ValuesShowAsTextAndTextReadsBack)
{
  Vst3Rig rig;
  ASSERT_TRUE(rig.Load()) << rig.error;
  IEditController& c = *rig.plug.controller;
  for (int32_t i = 0; i < kNumParams; ++i)
  {
    ParameterInfo info{};
    c.getParameterInfo(i, info);
    const int steps = info.stepCount > 0 ? info.stepCount : 10;
    for (int k = 0; k <= steps; ++k)
    {
      const std::string text = rig.plug.ParamText(info.id, static_cast<double>(k) / steps);
      String128 wide = {};
      for (size_t n = 0; n < text.size(); ++n) wide[n] = static_cast<TChar>(text[n]);
      double normalized = -1.0;
      ASSERT_EQ(c.getParamValueByString(info.id, wide, normalized), kResultOk) << Narrow(info.title) << " " << text;
      EXPECT_EQ(rig.plug.ParamText(info.id, normalized), text) << Narrow(info.title);
    }
  }
  String128 nonsense = {'w', 'h', 'a', 't'};
  double value = 0.5;
  EXPECT_EQ(c.getParamValueByString(kPerfMode, nonsense, value), kResultFalse);
  EXPECT_EQ(c.getParamValueByString(kMix, nonsense, value), kResultFalse);
  EXPECT_EQ(value, 0.5);
  EXPECT_EQ(c.getParamValueByString(kMidiCC + 7, nonsense, value), kInvalidArgument);
}

// The state is the VST 2.4 library's program chunk, byte for byte; one
// that is empty, too short or cut is refused and changes nothing, and bytes a
// host's stream holds after ours are left alone. A state taken tells the
// host its values changed.
TEST(Vst3, StateIsTheVst2ChunkAndACutOneChangesNothing)
{
  Vst3Rig rig;
  ASSERT_TRUE(rig.Start()) << rig.error;
  Loaded vst2(48000.0, 512);
  rig.plug.inputChanges.Add(kMix, 0, 0.25);
  rig.Run(64);
  vst2.host.SetParameter(kMix, 0.25f);
  const std::vector<uint8_t> saved = rig.plug.SaveState();
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(saved, vst2.host.GetChunk(false));

  for (const std::vector<uint8_t>& bad : {std::vector<uint8_t>{}, std::vector<uint8_t>{1}, std::vector<uint8_t>(7, 0xAB),
                                          std::vector<uint8_t>(saved.begin(), saved.begin() + saved.size() / 2),
                                          std::vector<uint8_t>(saved.begin(), saved.end() - 1)})
  {
    EXPECT_FALSE(rig.plug.LoadState(bad)) << bad.size() << " bytes";
    EXPECT_EQ(rig.plug.SaveState(), saved) << bad.size() << " bytes";
  }
  std::vector<uint8_t> followed = saved;
  followed.insert(followed.end(), {'C', 'o', 'n', 't', 'L', 'i', 's', 't'});
  rig.plug.inputChanges.Add(kMix, 0, 0.75);
  rig.Run(64);
  rig.plug.host.edits.clear();
  EXPECT_TRUE(rig.plug.LoadState(followed));
  EXPECT_EQ(rig.plug.SaveState(), saved);
  ASSERT_EQ(rig.plug.host.edits.size(), 1u) << "the host is told to read the values again";
  EXPECT_EQ(rig.plug.host.edits[0].kind, 'r');
  EXPECT_EQ(rig.plug.host.edits[0].value, kParamValuesChanged);
}

// Calls out of order or out of range are answered, not obeyed: no sound
// before activation, the set-up refused for rates it cannot play, blocks
// longer than announced, without outputs or inputs, of no length.
TEST(Vst3, CarelessCallOrdersDoNoHarm)
{
  Vst3Rig rig(256);
  ASSERT_TRUE(rig.Load()) << rig.error;
  rig.Midi(0x90, 60, 100);
  rig.out32[0][0] = 1.0f;
  EXPECT_EQ(rig.Run(128), kNotInitialized);
  EXPECT_EQ(rig.Peak(128), 0.0);
  ProcessSetup absurd{kRealtime, kSample32, 256, 5.0e6};
  EXPECT_EQ(rig.plug.processor->setupProcessing(absurd), kInvalidArgument);
  absurd = {kRealtime, kSample32, 0, 48000.0};
  EXPECT_EQ(rig.plug.processor->setupProcessing(absurd), kInvalidArgument);
  ASSERT_TRUE(rig.plug.Setup(48000.0, 256, false));
  EXPECT_EQ(rig.plug.component->setActive(true), kResultOk);
  EXPECT_EQ(rig.plug.component->setActive(true), kResultOk);
  EXPECT_EQ(rig.plug.component->activateBus(kAudio, kInput, 40, true), kInvalidArgument);
  EXPECT_EQ(rig.plug.component->activateBus(kAudio, kInput, 3, true), kResultOk);
  SpeakerArrangement mono = 1 << 19, stereo = kSpeakerStereo;
  EXPECT_EQ(rig.plug.processor->setBusArrangements(&mono, 1, &stereo, 1), kResultFalse);
  rig.Midi(0x90, 60, 100);
  EXPECT_EQ(rig.Run(0), kResultOk);
  for (int frames : {1000, 3, 4096})
  {
    EXPECT_EQ(rig.Run(frames), kResultOk);
    EXPECT_TRUE(std::isfinite(rig.Peak(frames)));
  }
  EXPECT_GT(rig.Peak(4096), 0.001) << "the note plays";
  ProcessData bare{kRealtime, kSample32, 128, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  EXPECT_EQ(rig.plug.processor->process(bare), kResultOk);
  bare.symbolicSampleSize = 7;
  EXPECT_EQ(rig.plug.processor->process(bare), kInvalidArgument);
  IPlugView* view = rig.plug.controller->createView(kEditorView);
  EXPECT_EQ(rig.plug.controller->createView(kEditorView), nullptr) << "one view at a time";
  EXPECT_EQ(rig.plug.controller->createView("other"), nullptr);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->attached(nullptr, kPlatformX11), kResultFalse);
  view->release();
  EXPECT_EQ(rig.plug.component->terminate(), kResultOk);  // while active, and released after
}

// A change inside a block takes effect at its sample: one block with the
// change half-way sounds as two blocks with the change at the second's
// start, and unlike one with the change at the first sample.
TEST(Vst3, ChangesApplyAtTheirSamples)
{
  auto render = [](int split, int changeAt) {
    Vst3Rig rig;
    EXPECT_TRUE(rig.Start()) << rig.error;
    std::vector<double> out;
    auto play = [&](int frames) {
      rig.Run(frames);
      for (double x : rig.Left(frames)) out.push_back(x);
    };
    rig.Midi(0x90, 64, 100);
    for (int b = 0; b < 24; ++b)
    {
      if (b != 12) play(512);
      else if (split)
      {
        play(split);
        rig.plug.inputChanges.Add(kMix, 0, 0.2);
        play(512 - split);
      }
      else
      {
        rig.plug.inputChanges.Add(kMix, changeAt, 0.2);
        play(512);
      }
    }
    return out;
  };
  const std::vector<double> inside = render(0, 256), split = render(256, 0), atStart = render(0, 0);
  EXPECT_EQ(inside, split);
  EXPECT_NE(inside, atStart);
}

// An input the host says is silent is taken as silence, whatever its
// buffer holds; an output that is all zeros is said to be silent.
TEST(Vst3, SilenceFlagsAreHonoured)
{
  struct Render
  {
    std::vector<double> out;
    uint64_t firstFlags = 0, lastFlags = 0;
  };
  auto render = [](double level, uint64_t silence) {
    Vst3Rig rig;
    EXPECT_TRUE(rig.Start()) << rig.error;
    rig.level = level;
    rig.plug.inputSilence = silence;
    Render r;
    for (int b = 0; b < 16; ++b)
    {
      if (b == 1) rig.Midi(0x90, 64, 100);
      rig.Run(512);
      (b == 0 ? r.firstFlags : r.lastFlags) = rig.plug.outputSilence;
      for (double x : rig.Left(512)) r.out.push_back(x);
    }
    return r;
  };
  const Render flagged = render(0.3, 3), silent = render(0.0, 0), heard = render(0.3, 0);
  EXPECT_EQ(flagged.out, silent.out);
  EXPECT_NE(heard.out, silent.out);
  EXPECT_EQ(heard.firstFlags, 3u) << "nothing plays before the note";
  EXPECT_EQ(heard.lastFlags, 0u) << "the note sounds";
  EXPECT_EQ(flagged.lastFlags, 3u) << "it plays what it recorded: silence";
}

// Controllers and pitch bend come as the parameters the mapping names and
// reach the plug-in as MIDI: the sustain pedal holds a released note, all
// notes off ends one, pitch bend moves one; a controller the plug-in
// learned moves its parameter, and the host hears the change.
TEST(Vst3, ControllersAndPitchBendReachThePlugInAsMidi)
{
  struct Message
  {
    int block;
    uint8_t status, d1, d2;
  };
  auto render = [](std::vector<Message> messages) {
    Vst3Rig rig;
    EXPECT_TRUE(rig.Load()) << rig.error;
    rig.Set(kPerfMode, 0), rig.Set(kPolyMono, 1), rig.Set(kOverlap, 1.5), rig.Set(kEnvR, 0.05);
    EXPECT_TRUE(rig.Activate());
    std::vector<double> late;
    messages.insert(messages.begin(), {0, 0x90, 64, 100});
    for (int b = 0; b < 40; ++b)
    {
      for (const Message& m : messages)
        if (m.block == b) rig.Midi(m.status, m.d1, m.d2);
      rig.Run(512);
      if (b >= 20) late.push_back(rig.Peak(512));
    }
    return late;
  };
  auto sounds = [](const std::vector<double>& late) { return *std::max_element(late.begin(), late.end()) > 1e-3; };
  const std::vector<double> held = render({});
  EXPECT_TRUE(sounds(held));
  EXPECT_FALSE(sounds(render({{10, 0x80, 64, 0}}))) << "released";
  EXPECT_TRUE(sounds(render({{0, 0xB0, 64, 127}, {10, 0x80, 64, 0}}))) << "released with the sustain pedal down";
  EXPECT_FALSE(sounds(render({{10, 0xB0, 123, 0}}))) << "all notes off";
  EXPECT_NE(render({{8, 0xE0, 0, 0}}), held) << "bent down";

  ParamID id = 0;
  IMidiMapping* mapping = nullptr;
  Vst3Rig rig;
  ASSERT_TRUE(rig.Start()) << rig.error;
  ASSERT_EQ(rig.plug.controller->queryInterface(IMidiMapping::kIid.Data(), reinterpret_cast<void**>(&mapping)), kResultOk);
  EXPECT_EQ(mapping->getMidiControllerAssignment(0, 15, kPitchBend, id), kResultTrue);
  EXPECT_EQ(id, kMidiCC + kPitchBend);
  EXPECT_EQ(mapping->getMidiControllerAssignment(1, 0, 7, id), kResultFalse);
  mapping->release();
  ByteChunk learned;
  ASSERT_TRUE(LearnedState(kFltFreq, 20, &learned));
  ASSERT_TRUE(rig.plug.LoadState(std::vector<uint8_t>(learned.GetBytes(), learned.GetBytes() + learned.Size())));
  rig.Midi(0xB0, 20, 127, 100);
  rig.Run(512);
  double heard = -1.0;
  EXPECT_TRUE(rig.plug.outputChanges.Last(kFltFreq, &heard));
  EXPECT_EQ(heard, rig.plug.controller->getParamNormalized(kFltFreq));
  EXPECT_EQ(rig.plug.controller->getParamNormalized(kMidiCC + 20), 1.0);
}

// Notes, controllers, changes, learned controllers the host hears, blocks
// of every length and both sample sizes: nothing allocates on a thread that
// never called the plug-in before.
TEST(Vst3, AudioPathOnAFreshThreadAllocatesNothing)
{
  Vst3Rig rig(1024);
  ASSERT_TRUE(rig.Start()) << rig.error;
  ByteChunk learned;
  ASSERT_TRUE(LearnedState(kMix, 21, &learned));
  ASSERT_TRUE(rig.plug.LoadState(std::vector<uint8_t>(learned.GetBytes(), learned.GetBytes() + learned.Size())));
  double peak = 0.0;
  const FreshThreadCost cost = OnAFreshThread([&] {
    const int lengths[] = {256, 1, 100, 1000, 17, 256, 512};
    for (int b = 0; b < 42; ++b)
    {
      const int n = lengths[b % 7];
      if (b % 10 == 0) rig.Midi(0x90, static_cast<uint8_t>(60 + b / 10), 100);
      if (b % 10 == 5) rig.Midi(0x80, static_cast<uint8_t>(60 + b / 10), 0, n - 1);
      rig.Midi(0xB0, 21, static_cast<uint8_t>(b), n / 2);
      rig.Midi(0xE0, 0, static_cast<uint8_t>(64 + b % 8));
      rig.plug.inputChanges.Add(kWobbleAmount, n / 3, 0.01 * b);
      rig.Run(n, b % 2 == 0);
      peak = std::max(peak, rig.Peak(n, b % 2 == 0));
    }
  });
  EXPECT_EQ(cost.allocations, 0);
  EXPECT_GT(peak, 0.001) << "the notes sounded";
}

// The host's calls from its user-interface thread while its audio thread
// plays: values set, read and shown, states saved and loaded, buses
// switched. Under the thread sanitizer this finds any unguarded sharing.
TEST(Vst3Threads, HostCallsFromAnyThreadWhileItPlays)
{
  Vst3Rig rig(256);
  ASSERT_TRUE(rig.Start()) << rig.error;
  const std::vector<uint8_t> state = rig.plug.SaveState();
  std::atomic<bool> done{false};
  std::thread ui([&] {
    IEditController& c = *rig.plug.controller;
    for (int i = 0; !done; ++i)
    {
      c.setParamNormalized(static_cast<ParamID>(i % kNumParams), 0.5);
      c.getParamNormalized(static_cast<ParamID>((i * 7) % kNumParams));
      rig.plug.ParamText(static_cast<ParamID>(i % kNumParams), 0.3);
      if (i % 50 == 0) rig.plug.LoadState(state), rig.plug.SaveState();
      if (i % 70 == 0) rig.plug.component->activateBus(kAudio, kInput, 1 + i % 5, i % 140 == 0);
    }
  });
  double peak = 0.0;
  for (int b = 0; b < 300; ++b)
  {
    if (b % 30 == 0) rig.Midi(0x90, static_cast<uint8_t>(50 + b / 30), 90);
    rig.plug.inputChanges.Add(kMix, b % 256, 0.5 + 0.001 * b);
    rig.Run(256);
    peak = std::max(peak, rig.Peak(256));
  }
  done = true;
  ui.join();
  EXPECT_TRUE(std::isfinite(peak));
}
