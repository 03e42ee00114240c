// What careful and careless hosts run into: samples that are not numbers,
// refused chunks, instances at different rates, event floods and far-off
// events, null pointers.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>
#include <limits>

#include "tests/AllocationCounter.h"
#include "tests/Rig.h"
#include "platform/VeskVendor.h"
#include "tools/PluginHost.h"

namespace {

// A patch whose voices use every recurrent stage: filter, DC blocker and
// gain control in each voice.
void ChainPatch(Rig& r)
{
  r.set(kPolyMono, 1);
  r.set(kPerfMode, 0);
  r.set(kOverlap, 1.0);
  r.set(kFltQ, 0.5);
  r.set(kDcRemoval, 1);
  r.set(kAgcAmount, 0.7);
  r.set(kEnvR, 0.05);
}

bool AllFinite(const Rig& r)
{
  for (const auto& channel : r.io.out)
    for (double x : channel)
      if (!std::isfinite(x)) return false;
  return true;
}

double Peak(const Rig& r)
{
  double peak = 0.0;
  for (const auto& channel : r.io.out)
    for (double x : channel) peak = std::max(peak, std::fabs(x));
  return peak;
}

double Tone(long f) { return 0.5 * std::sin(f * 0.031); }

}  // namespace

// One bad sample used to sit in a voice's filter and gain control for good.
TEST(HostFaults, SamplesThatAreNotNumbersNeverReachTheWetOutput)
{
  const double kBad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity(), 1e30, -1e300};
  for (double bad : kBad)
    for (int mode : {0, 2})
    {
      Rig r;
      ChainPatch(r);
      r.set(kPerfMode, mode);
      r.set(kExtrudeInput, 1);  // the dry input enters the wet sum while voices are quiet
      r.source = [bad](int, long f) { return f == 700 || f == 701 ? bad : Tone(f); };
      r.noteOn(60);
      for (int b = 0; b < 20; ++b)
      {
        r.run();
        ASSERT_TRUE(AllFinite(r)) << bad << " in mode " << mode << ", block " << b;
      }
      r.noteOff(60);
      r.run(10);
      r.noteOn(64);
      r.run(4);
      EXPECT_TRUE(AllFinite(r)) << bad;
      EXPECT_GT(Peak(r), 0.01) << "the next note sounds after " << bad;
    }
}

TEST(HostFaults, ResetAndTheNextNoteClearAPoisonedState)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto poison = [nan](Voice& v) {
    v.filter().section.b0 = v.filter().section.b3 = StereoPair{nan, nan};
    v.chain().dcState().yPrev = StereoPair{nan, 0.0};
    v.chain().agc().smoothedPower = v.chain().agc().logGain = nan;
  };
  for (bool reset : {true, false})
  {
    Rig r;
    ChainPatch(r);
    r.source = [](int, long f) { return Tone(f); };
    for (int v = 0; v < kNumVoices; ++v) poison(r.voice(v));
    if (reset) r.P().Reset();
    r.noteOn(60);
    r.run(6);
    EXPECT_TRUE(AllFinite(r)) << (reset ? "after Reset" : "on the next note");
    EXPECT_GT(Peak(r), 0.01);
  }
}

namespace {

// The library as a host loads it, with a block of events and audio made
// ready beforehand, so that playing it allocates nothing on the host's side.
struct Played
{
  PluginHost host;
  std::vector<vst2::VstMidiEvent> events;
  std::vector<uint8_t> list;
  std::vector<std::vector<double>> in{64, std::vector<double>(256)}, out{2, std::vector<double>(256)};
  std::vector<std::vector<float>> inF{64, std::vector<float>(256)}, outF{2, std::vector<float>(256)};
  std::vector<double*> ip, op;
  std::vector<float*> ipF, opF;

  Played()
  {
    std::string error;
    if (!host.Load(VESK_SO, &error)) ADD_FAILURE() << error;
    host.Start(48000, 256);
    for (size_t c = 0; c < 64; ++c)
    {
      for (int s = 0; s < 256; ++s) in[c][static_cast<size_t>(s)] = inF[c][static_cast<size_t>(s)] = 0.4f * std::sin(s * 0.07f);
      ip.push_back(in[c].data());
      ipF.push_back(inF[c].data());
    }
    for (size_t c = 0; c < 2; ++c)
    {
      op.push_back(out[c].data());
      opF.push_back(outF[c].data());
    }
  }
  void Set(const char* name, const char* value)
  {
    std::string text = value;
    ASSERT_EQ(host.Dispatch(vst2::effString2Parameter, host.FindParam(name), 0, text.data()), 1) << name;
  }
  void Add(int status, int d1, int d2, int offset) { events.push_back(MidiEvent(status, d1, d2, offset)); }
  // The events as one list, made before it is sent.
  vst2::VstEvents* List()
  {
    list.assign(sizeof(vst2::VstEvents) + events.size() * sizeof(vst2::VstEvent*), 0);
    auto* l = reinterpret_cast<vst2::VstEvents*>(list.data());
    l->numEvents = static_cast<int32_t>(events.size());
    for (size_t i = 0; i < events.size(); ++i) l->events[i] = reinterpret_cast<vst2::VstEvent*>(&events[i]);
    return l;
  }
  // Block b through one of the three process calls, in turn.
  void Block(int b)
  {
    vst2::AEffect* e = host.Effect();
    if (b % 3 == 0) e->processDoubleReplacing(e, ip.data(), op.data(), 256);
    if (b % 3 == 1) e->processReplacing(e, ipF.data(), opF.data(), 256);
    if (b % 3 == 2) e->process(e, ipF.data(), opF.data(), 256);
  }
  // Plays silent blocks until the memory the patch reaches is mapped.
  void WaitForMemory()
  {
    for (int b = 0; b < 2000; ++b)
    {
      Block(0);
      if (!host.Dispatch(vst2::effVendorSpecific, vesk_vendor::kMemoryPending)) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  double Peak()
  {
    double peak = 0.0;
    for (auto& c : out)
      for (double x : c) peak = std::max(peak, std::fabs(x));
    return peak;
  }
};

}  // namespace

// Random numbers once came from a thread-local generator, whose storage the
// C runtime allocated at the first draw on each new audio thread.
TEST(HostFaults, AudioCallsOnAFreshThreadAllocateNothing)
{
  Played p;
  p.Set("perfomance mode", "note mode");
  p.Set("active voices", "8");
  p.Set("error int", "3");
  p.Set("error ext", "2");
  p.Set("gaps probability", "40");
  p.Set("wobble amount", "0.5");
  for (int n = 0; n < 8; ++n) p.Add(0x90, 50 + n, 100, n * 7);
  vst2::VstEvents* list = p.List();
  vst2::AEffect* e = p.host.Effect();
  const FreshThreadCost cost = OnAFreshThread([&] {
    for (int b = 0; b < 30; ++b)
    {
      if (b % 10 == 0) p.host.Dispatch(vst2::effProcessEvents, 0, 0, list);
      e->setParameter(e, 93, 0.5f + 0.01f * b);
      p.Block(b);
    }
  });
  EXPECT_EQ(cost.allocations, 0);
  EXPECT_GT(p.Peak(), 0.01);
}

// A fresh instance's buffers are zeroed memory: voices recording into them
// once took hundreds of page faults on the audio thread. Whatever makes the
// patch reach more (a resume, automation of "active voices", a "use for"
// key reaching a disabled voice, a state with a longer buffer), the memory
// is mapped before a voice records into it. A first instance plays the same
// notes, so the code's own pages are mapped; the sanitizers still map a few
// stack pages of their own on any new thread.
TEST(HostFaults, RecordingIntoAFreshInstanceTouchesNoNewPages)
{
  const std::vector<uint8_t> longState = [] {
    Played other;
    other.Set("active voices", "32");
    other.Set("buffer size (sec)", "10");
    return other.host.GetChunk(false);
  }();
  struct Case
  {
    const char* what;
    std::function<void(Played&)> setUp;    // on the host's thread
    std::function<void(Played&)> onAudio;  // on the audio thread, before the notes
    int notes;
  };
  const Case cases[] = {
    {"32 voices at resume", [](Played& p) { p.Set("active voices", "32"); }, nullptr, 32},
    {"active voices raised by automation", nullptr,
     [](Played& p) {
       p.host.SetParameter(p.host.FindParam("active voices"), 1.0f);
       p.WaitForMemory();
     },
     32},
    {"a \"use for\" key reaching a disabled voice",
     [](Played& p) {
       for (int tab = 1; tab <= 4; ++tab)
       {
         p.host.SetParameter(p.host.FindParam("picked buffer"), (tab - 1) / 31.0f);
         p.Set("use for C", "off");
       }
     },
     nullptr, 1},
    {"a state with a longer buffer", [&](Played& p) { p.host.SetChunk(longState, false); }, nullptr, 32},
  };
  for (const Case& c : cases)
  {
    auto play = [&c](Played& p) {
      p.Set("perfomance mode", "simple mode");
      if (c.setUp) c.setUp(p);
      for (int n = 0; n < c.notes; ++n) p.Add(0x90, 48 + n, 100, n);
      vst2::VstEvents* list = p.List();
      return [&p, &c, list] {
        if (c.onAudio) c.onAudio(p);
        p.host.Dispatch(vst2::effProcessEvents, 0, 0, list);
        for (int b = 0; b < 200; ++b) p.Block(b);
      };
    };
    Played warm;
    play(warm)();
    Played fresh;
    const FreshThreadCost cost = OnAFreshThread(play(fresh));
    EXPECT_LT(cost.pageFaults, 10) << c.what;
    EXPECT_GT(fresh.Peak(), 0.01) << c.what;
  }
}

// 10,000 events in one block: the queue does not grow, and the note-offs at
// the end of the flood release every note.
TEST(HostFaults, AFloodOfEventsAllocatesNothingAndReleasesEveryNote)
{
  Played p;
  p.Set("active voices", "32");
  p.Set("env R", "0.005");
  p.Set("perfomance mode", "simple mode");
  for (int n = 0; n < 32; ++n) p.Add(0x90, 40 + n, 100, n);
  for (int i = 0; i < 10000 - 64; ++i) p.Add(0xB0, 1 + i % 30, i % 128, 100 + i % 100);
  for (int n = 0; n < 32; ++n) p.Add(0x80, 40 + n, 0, 240);
  vst2::VstEvents* list = p.List();
  double sounding = 0.0;
  const FreshThreadCost cost = OnAFreshThread([&] {
    p.host.Dispatch(vst2::effProcessEvents, 0, 0, list);
    p.Block(0);
    sounding = p.Peak();
    for (int b = 1; b < 12; ++b) p.Block(b * 3);
  });
  EXPECT_EQ(cost.allocations, 0);
  EXPECT_GT(sounding, 0.01);
  EXPECT_LT(p.Peak(), 1e-4) << "a note was left hanging";
}

// A key held while the host suspends the plug-in sounds again when struck
// after resume: the suspend leaves no key marked as pressed.
TEST(HostFaults, AKeyHeldAcrossSuspendSoundsWhenStruckAgain)
{
  Played p;
  p.Set("perfomance mode", "note mode");
  p.Add(0x90, 60, 100, 0);
  p.Add(0xB0, 64, 127, 0);  // and the sustain pedal down
  p.host.Dispatch(vst2::effProcessEvents, 0, 0, p.List());
  for (int b = 0; b < 10; ++b) p.Block(b * 3);
  p.host.Dispatch(vst2::effMainsChanged, 0, 0);
  p.host.Dispatch(vst2::effMainsChanged, 0, 1);
  p.events = {MidiEvent(0x90, 60, 100)};
  p.host.Dispatch(vst2::effProcessEvents, 0, 0, p.List());
  double peak = 0.0;
  for (int b = 0; b < 10; ++b)
  {
    p.Block(b * 3);
    peak = std::max(peak, p.Peak());
  }
  EXPECT_GT(peak, 0.01);
}

// Rates the engine cannot run are refused and the last one stays; tempos
// near zero or beyond music are clamped where they are read.
TEST(HostFaults, AbsurdRatesAreRefusedAndTemposClamped)
{
  Played p;
  for (float rate : {1.0f, 10.0f, 31.0f, 7999.0f, 768001.0f, std::numeric_limits<float>::infinity(),
                     std::numeric_limits<float>::quiet_NaN(), -48000.0f})
    p.host.Dispatch(vst2::effSetSampleRate, 0, 0, nullptr, rate);
  Rig r;
  r.host.tempo = 0.001;
  r.set(kPerfMode, 1);
  r.set(kRefillMode, 3);
  r.P().SetSampleRate(48000.0);
  r.source = [](int, long f) { return Tone(f); };
  r.noteOn(60);
  r.run(4);
  EXPECT_TRUE(AllFinite(r));
  EXPECT_EQ(r.core().refillPeriod(), static_cast<int>(std::ceil(2.0 * 48000.0 * 60.0 / 1.0))) << "1 bpm at the least";
  r.host.tempo = 1e30;
  r.run(4);
  EXPECT_TRUE(AllFinite(r));
  EXPECT_EQ(r.core().refillPeriod(), static_cast<int>(std::ceil(2.0 * 48000.0 * 60.0 / 1000.0))) << "1000 bpm at most";

  p.Set("perfomance mode", "beat mode");
  p.Set("refill mode", "tempo");
  for (double tempo : {1e-6, 0.03, 1e9})
  {
    p.host.transport.tempo = tempo;
    p.Add(0x90, 60, 100, 0);
    p.host.Dispatch(vst2::effProcessEvents, 0, 0, p.List());
    for (int b = 0; b < 6; ++b)
    {
      p.Block(0);
      for (double x : p.out[0]) ASSERT_TRUE(std::isfinite(x)) << tempo;
    }
    EXPECT_GT(p.Peak(), 0.0) << "the rate stayed at 48 kHz and the note plays";
  }
}
