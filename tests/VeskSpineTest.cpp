#include <gtest/gtest.h>

#include <cmath>

#include "engine/EngineRates.h"
#include "tests/AllocationCounter.h"
#include "tests/TestHost.h"

namespace {

void SetParam(Vesk& plug, int idx, double v)
{
  plug.GetParam(idx)->Set(v);
  plug.OnParamChange(idx);
}

void FillInput(TestIO& io, double value)
{
  for (int c = 0; c < 2; ++c) std::fill(io.in[static_cast<size_t>(c)].begin(), io.in[static_cast<size_t>(c)].end(), value);
}

}  // namespace

TEST(VeskSpine, ConstructionLoadsTheDefaultPreset)
{
  TestHost host;
  auto plug = host.MakePlug();
  EXPECT_STREQ(plug->GetPresetName(0), "default preset");
  EXPECT_TRUE(plug->ParamsLoaded()) << "restoring the default preset counts as a state restore";
  EXPECT_FALSE(plug->PickedVoiceOnly());
  EXPECT_EQ(plug->RampLength(), 10);
  EXPECT_TRUE(plug->ShowLabels());
  EXPECT_EQ(plug->Dispatcher().NoteOnLimit(), 4) << "active voices sets the note-on limit";
  EXPECT_EQ(plug->GetEffectVersion(true), 10000);
  EXPECT_EQ(plug->GetUniqueID(), 0x5665736B);
}

TEST(VeskSpine, MixGlidesOverA512FrameBlock)
{
  TestHost host;
  auto plug = host.MakePlug(48000, 512);
  TestIO io(512);
  FillInput(io, 0.5);
  io.Process(*plug, 512);
  SetParam(*plug, kMix, 0.0);
  EXPECT_TRUE(plug->Ramping(kMix));
  io.Process(*plug, 512);
  EXPECT_EQ(plug->RampLength(), 512);
  EXPECT_NEAR(io.out[0][0], 0.5 / 512, 1e-12);
  EXPECT_NEAR(io.out[0][255], 0.5 * 256 / 512, 1e-12);
  EXPECT_EQ(io.out[0][511], 0.5) << "the ramp lands exactly on its target";
  EXPECT_FALSE(plug->AnyRamping());
}

TEST(VeskSpine, RampsAreCappedAt3000Frames)
{
  TestHost host;
  auto plug = host.MakePlug(48000, 4096);
  TestIO io(4096);
  FillInput(io, 0.25);
  io.Process(*plug, 4096);
  EXPECT_EQ(plug->RampLength(), 3000);
  SetParam(*plug, kMix, 0.0);
  io.Process(*plug, 4096);
  EXPECT_LT(io.out[0][2998], 0.25);
  EXPECT_EQ(io.out[0][2999], 0.25);
  EXPECT_EQ(io.out[1][4095], 0.25);
}

TEST(VeskSpine, MixZeroPassesTheDryInputBitExactly)
{
  TestHost host;
  auto plug = host.MakePlug(48000, 256);
  TestIO io(256);
  SetParam(*plug, kMix, 0.0);
  io.Process(*plug, 256);
  for (int s = 0; s < 256; ++s)
  {
    io.in[0][static_cast<size_t>(s)] = std::sin(s * 0.1) * 0.7;
    io.in[1][static_cast<size_t>(s)] = std::cos(s * 0.05) * 0.3;
  }
  io.Process(*plug, 256);
  EXPECT_EQ(io.out[0], io.in[0]);
  EXPECT_EQ(io.out[1], io.in[1]);
}

TEST(VeskSpine, TinySmoothedChangesApplyAtOnce)
{
  TestHost host;
  auto plug = host.MakePlug();
  TestIO io(512);
  io.Process(*plug, 512);
  SetParam(*plug, kAmp, 1.0 + 1e-9);
  EXPECT_FALSE(plug->Ramping(kAmp));
  EXPECT_EQ(plug->AppliedValue(kAmp), 1.0 + 1e-9);
  EXPECT_EQ(plug->Core().amp(), 1.0 + 1e-9);
}

TEST(VeskSpine, UnchangedValuesAreSkippedOnceLoaded)
{
  TestHost host;
  auto plug = host.MakePlug();
  plug->Core().setMix(0.3);  // changed behind the parameter's back
  SetParam(*plug, kMix, 1.0);
  EXPECT_EQ(plug->Core().mix(), 0.3) << "the same value as before is ignored";
}

TEST(VeskSpine, PlayRateKeepsAMinimumMagnitude)
{
  TestHost host;
  auto plug = host.MakePlug();
  TestIO io(512);
  for (auto [set, expect] : {std::pair{0.0, 0.01}, std::pair{-0.005, -0.01}, std::pair{-3.0, -3.0}})
  {
    SetParam(*plug, kPlayRate, set);
    io.Process(*plug, 512);
    io.Process(*plug, 512);
    for (int v : {0, 17, 31}) EXPECT_EQ(plug->Core().voice(v).grains().playRate(), expect) << set;
  }
}

TEST(VeskSpine, MomentaryParametersActAtHalf)
{
  TestHost host;
  auto plug = host.MakePlug();
  SetParam(*plug, kSelStart, 0.3);
  EXPECT_EQ(plug->Core().tabs().selStartFraction[0], 0.3);
  SetParam(*plug, kClearSel, 0.4);
  EXPECT_EQ(plug->Core().tabs().selStartFraction[0], 0.3) << "below 0.5 nothing happens";
  SetParam(*plug, kClearSel, 0.5);
  EXPECT_EQ(plug->Core().tabs().selStartFraction[0], 0.0);
  EXPECT_EQ(plug->GetParam(kSelStart)->Value(), 0.0);
  EXPECT_EQ(plug->GetParam(kSelEnd)->Value(), 1.0);
}

TEST(VeskSpine, UseForWritesOnlyThePickedColumn)
{
  TestHost host;
  auto plug = host.MakePlug();
  SetParam(*plug, kPickedBuf, 5);
  EXPECT_EQ(plug->Core().tabs().pickedTab, 4);
  SetParam(*plug, UseForParam(2), 0.0);  // "use for D"
  for (int k = 0; k < kNumKeys; ++k)
    for (int v = 0; v < kNumVoices; ++v) EXPECT_EQ(plug->Core().tables().isUsedFor(k, v), !(k == 2 && v == 4));

  host.automations.clear();
  SetParam(*plug, kPickedBuf, 1);
  EXPECT_EQ(plug->GetParam(UseForParam(2))->Value(), 1.0) << "picking reloads the keys of the new tab";
  EXPECT_EQ(host.automations.size(), 14u) << "and tells the host, with the tab's selection";
  SetParam(*plug, kPickedBuf, 5);
  EXPECT_EQ(plug->GetParam(UseForParam(2))->Value(), 0.0);
}

TEST(VeskSpine, PerVoiceSettingsReachEveryVoice)
{
  TestHost host;
  auto plug = host.MakePlug();
  TestIO io(512);
  io.Process(*plug, 512);
  for (int idx : PerVoiceParams())
  {
    if (idx == kFltModel) continue;
    IParam* p = plug->GetParam(idx);
    const double target = p->Value() == p->Max() ? p->Min() : p->Max();
    SetParam(*plug, idx, target);
  }
  io.Process(*plug, 512);
  for (int idx : PerVoiceParams())
  {
    const double want = idx == kFltModel ? 0.0 : plug->GetParam(idx)->Value();
    for (int v : {0, 31}) EXPECT_NEAR(plug->valueForVoice(idx, v), want, 1e-4) << plug->GetParam(idx)->GetNameForHost();
  }
  EXPECT_EQ(plug->valueForVoice(kAmp, 0), 0.0) << "not a per-voice parameter";
}

TEST(VeskSpine, TempoFollowsTheHostWhileTracking)
{
  TestHost host;
  auto plug = host.MakePlug();
  TestIO io(64);
  SetParam(*plug, kPerfMode, 1);
  EXPECT_TRUE(plug->TempoTrackingWanted());
  host.tempo = 90.0;
  io.Process(*plug, 64);
  EXPECT_EQ(plug->Core().rates().tempo, 90.0);
  EXPECT_DOUBLE_EQ(plug->Core().rates().samplesPerBeat, 48000.0 * 60.0 / 90.0);
  EXPECT_EQ(plug->Core().refillPeriod(), 64000);
  host.tempoValid = false;
  io.Process(*plug, 64);
  EXPECT_EQ(plug->Core().rates().tempo, 90.0) << "a host without a tempo leaves the last one";
  SetParam(*plug, kPerfMode, 2);
  SetParam(*plug, kRefillMode, 3);
  EXPECT_TRUE(plug->TempoTrackingWanted());
  SetParam(*plug, kRefillMode, 0);
  EXPECT_FALSE(plug->TempoTrackingWanted());
  host.tempoValid = true;
  host.tempo = 120.0;
  plug->Reset();
  EXPECT_EQ(plug->Core().rates().tempo, 90.0) << "only a process call asks the host";
  SetParam(*plug, kRefillMode, 3);
  io.Process(*plug, 64);
  EXPECT_EQ(plug->Core().rates().tempo, 120.0);
}

TEST(VeskSpine, ResetSetsTheRatesAndBufferLength)
{
  TestHost host;
  auto plug = host.MakePlug(96000, 512);
  SetParam(*plug, kBufferSeconds, 10.0);
  EXPECT_EQ(plug->Core().bufferLength(), 480000) << "cut to what fits at 96 kHz";
  plug->SetSampleRate(44100);
  SetParam(*plug, kBufferSeconds, 0.125);
  plug->Reset();
  EXPECT_EQ(plug->Core().rates().sampleRate, 44100.0);
  EXPECT_EQ(plug->Core().rates().topFilterFreq, 20000.0);
  EXPECT_EQ(plug->Core().bufferLength(), 6000) << "raised from 5512";
  plug->SetSampleRate(32000);
  plug->Reset();
  EXPECT_EQ(plug->Core().rates().topFilterFreq, 16000.0);
}

TEST(VeskSpine, ActiveVoicesConsumesAVoiceRequest)
{
  TestHost host;
  auto plug = host.MakePlug();
  SetParam(*plug, kRequestPicked, 1.0);
  SetParam(*plug, kActiveVoices, 8);
  EXPECT_EQ(plug->Dispatcher().NoteOnLimit(), 8);
  EXPECT_EQ(plug->Core().tables().maxActive, 8);
  EXPECT_EQ(plug->GetParam(kRequestPicked)->Value(), 0.0) << "the request switch goes back off";
}

TEST(VeskSpine, LearnedControllerDrivesTheParameterAndTellsTheHost)
{
  TestHost host;
  auto plug = host.MakePlug();
  TestIO io(64);
  plug->Dispatcher().ArmLearn(kAmp);
  IMidiMsg cc(0, 0xB0, 7, 10);
  plug->ProcessMidiMsg(&cc);
  io.Process(*plug, 64);
  EXPECT_EQ(plug->Dispatcher().ControllerOf(kAmp), 7);
  host.automations.clear();
  IMidiMsg move(3, 0xB0, 7, 127);
  plug->ProcessMidiMsg(&move);
  io.Process(*plug, 64);
  EXPECT_EQ(plug->GetParam(kAmp)->Value(), 2.0);
  ASSERT_EQ(host.automations.size(), 1u);
  EXPECT_EQ(host.automations[0].index, kAmp);
  EXPECT_FLOAT_EQ(host.automations[0].value, 1.0f);
}

TEST(VeskSpine, ProcessDoesNotAllocate)
{
  TestHost host;
  host.record = false;
  auto plug = host.MakePlug(48000, 512);
  TestIO io(512);
  plug->Dispatcher().ArmLearn(kPlayRate);
  io.Process(*plug, 512);
  SetParam(*plug, kMix, 0.2);
  SetParam(*plug, kPlayRate, -2.0);
  for (int n = 0; n < 40; ++n)
  {
    IMidiMsg on(n * 10, 0x90, static_cast<uint8_t>(40 + n), 100);
    plug->ProcessMidiMsg(&on);
  }
  IMidiMsg late(900, 0x80, 40, 0), bend(5, 0xE0, 0, 90), cc(6, 0xB0, 3, 40), cc2(7, 0xB0, 3, 90);
  for (IMidiMsg* m : {&late, &bend, &cc, &cc2}) plug->ProcessMidiMsg(m);
  {
    AllocationScope probe;
    ::operator delete(::operator new(16));
    ASSERT_EQ(probe.Count(), 1) << "the counter sees allocations";
  }
  AllocationScope scope;
  io.Process(*plug, 512);
  io.Process(*plug, 512);
  EXPECT_EQ(scope.Count(), 0);
}

TEST(VeskSpine, StateRoundTrip)
{
  TestHost host;
  auto a = host.MakePlug();
  auto b = host.MakePlug();
  SetParam(*a, kFltFreq, 1234.5);
  SetParam(*a, kActiveVoices, 9);
  SetParam(*a, kPickedBuf, 3);
  SetParam(*a, UseForParam(5), 0.0);
  SetParam(*a, kSelStart, 0.25);
  a->Dispatcher().AppendToMap(20, kAmp);
  ByteChunk chunk;
  ASSERT_TRUE(a->SerializeState(&chunk));
  ByteChunk plain;
  b->SerializeState(&plain);
  EXPECT_EQ(plain.Size(), 2482) << "empty map and labels";
  EXPECT_EQ(chunk.Size(), 2486);
  EXPECT_EQ(b->UnserializeState(&chunk, 0), chunk.Size());
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(b->GetParam(i)->Value(), a->GetParam(i)->Value()) << i;
  EXPECT_FALSE(b->Core().tables().isUsedFor(5, 2));
  EXPECT_EQ(b->Core().tabs().selStartFraction[2], 0.25);
  EXPECT_EQ(b->Dispatcher().MapFor(20), (std::vector<int>{kAmp}));
  ByteChunk again;
  b->SerializeState(&again);
  EXPECT_TRUE(again.IsEqual(chunk));
}
