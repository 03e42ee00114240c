// The plug-in as a host sees it: the library loaded and driven only through
// its entry point, effect record and callbacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "tests/ExpectedParams.h"
#include "tests/VstRig.h"

using namespace vst2;

namespace {

std::vector<std::string> Rows(const char* table)
{
  std::vector<std::string> rows;
  std::istringstream in(table);
  for (std::string line; std::getline(in, line);) rows.push_back(line);
  return rows;
}

}  // namespace

// The effect and the instrument built from the same code: they differ in
// who they say they are, and in nothing else a host saves.
TEST(VstInterface, EffectRecord)
{
  struct Identity
  {
    const char* library;
    int32_t id;
    const char* name;
    intptr_t category;
    bool synth;
  };
  std::vector<uint8_t> chunks[2];
  int which = 0;
  for (const Identity& i : {Identity{VESK_SO, FourCC('V', 'e', 's', 'k'), "Vesk", kPlugCategEffect, false},
                            Identity{VESK_INSTRUMENT_SO, FourCC('V', 's', 'k', 'I'), "Vesk Instrument", kPlugCategSynth, true}})
  {
    Loaded p(48000, 256, i.library);
    const AEffect* e = p.host.Effect();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->uniqueID, i.id);
    EXPECT_EQ(e->version, 10000);
    EXPECT_EQ(e->numParams, 113);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numInputs, 64);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_TRUE(e->flags & effFlagsCanReplacing);
    EXPECT_TRUE(e->flags & effFlagsCanDoubleReplacing);
    EXPECT_TRUE(e->flags & effFlagsProgramChunks);
    EXPECT_TRUE(e->flags & effFlagsCanMono);
    EXPECT_EQ((e->flags & effFlagsIsSynth) != 0, i.synth);
    EXPECT_EQ(p.Do(effGetPlugCategory), i.category);
    EXPECT_EQ(p.Do(effGetVendorVersion), 10000);
    EXPECT_EQ(p.Do(effGetVstVersion), 2400);
    EXPECT_EQ(p.Do(effIdentify), FourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(p.Text(effGetEffectName), i.name);
    EXPECT_FALSE(p.Text(effGetVendorString).empty());
    EXPECT_EQ(p.Text(effGetProgramName), "default preset");
    chunks[which++] = p.host.GetChunk(false);
  }
  EXPECT_EQ(chunks[0], chunks[1]) << "one state for both";
}

// Only a process call asks the host for its time: a host that suspends the
// plug-in while it destroys its own side of it (Ardour's close) answers the
// question from freed memory, and corrupted its heap.
TEST(VstInterface, SetUpCallsNeverAskTheHostForItsTime)
{
  Loaded l;
  l.host.timeRequests = 0;
  l.Do(effMainsChanged, 0, 0);
  l.Do(effSetSampleRate, 0, 0, nullptr, 96000.0f);
  l.Do(effSetBlockSize, 0, 512);
  l.Do(effMainsChanged, 0, 1);
  l.Do(effMainsChanged, 0, 0);
  EXPECT_EQ(l.host.timeRequests, 0);
}

TEST(VstInterface, NamesLabelsAndDisplaysOfEveryParameter)
{
  Loaded p;
  const std::vector<std::string> rows = Rows(kExpected);
  ASSERT_EQ(rows.size(), 113u);
  for (int i = 0; i < 113; ++i)
  {
    const std::string& row = rows[static_cast<size_t>(i)];
    const std::string name = row.substr(0, row.find('|'));
    const std::string display = row.substr(row.rfind('|') + 1);
    EXPECT_EQ(p.Text(effGetParamName, i), name) << i;
    EXPECT_EQ(p.Text(effGetParamDisplay, i), display) << i;
    EXPECT_EQ(p.Text(effGetParamLabel, i), "") << i;
    EXPECT_EQ(p.Do(effCanBeAutomated, i), 1);
  }
  EXPECT_EQ(p.host.GetParameter(200), 0.0f);
  EXPECT_EQ(p.Text(effGetParamName, 113), "");
}

TEST(VstInterface, CanDoIsCaseSensitive)
{
  Loaded p;
  auto can = [&](const char* what) { return p.Do(effCanDo, 0, 0, const_cast<char*>(what)); };
  EXPECT_EQ(can("receiveVstMidiEvent"), 1);
  EXPECT_EQ(can("ReceiveVstMidiEvent"), 0);
  EXPECT_EQ(can("receiveVstTimeInfo"), 1);
  EXPECT_EQ(can("receiveVstEvents"), 1);
  EXPECT_EQ(can("sendVstEvents"), 0) << "no MIDI is sent";
  EXPECT_EQ(can("sendVstMidiEvent"), 0);
  EXPECT_EQ(can("hasCockosExtensions"), static_cast<intptr_t>(0xBEEF0000));
  EXPECT_EQ(can("bypass"), 0);
  EXPECT_EQ(p.Do(effCanDo), 0) << "no text";
}

TEST(VstInterface, StringToParameter)
{
  Loaded p;
  EXPECT_TRUE(p.Set(51, "peak"));
  EXPECT_EQ(p.Text(effGetParamDisplay, 51), "peak");
  EXPECT_FALSE(p.Set(51, "Peak"));
  EXPECT_EQ(p.Text(effGetParamDisplay, 51), "peak") << "no match changes nothing";
  EXPECT_TRUE(p.Set(8, "7.5"));
  EXPECT_EQ(p.Text(effGetParamDisplay, 8), "7.500");
  EXPECT_TRUE(p.Set(8, "99"));
  EXPECT_EQ(p.Text(effGetParamDisplay, 8), "16.000") << "clamped to the range";
  EXPECT_FALSE(p.Set(8, "fast"));
  EXPECT_EQ(p.Do(effString2Parameter, 8), 1) << "a valid index without text";
  EXPECT_EQ(p.Do(effString2Parameter, 500, 0, const_cast<char*>("1")), 0);
}

TEST(VstInterface, PinProperties)
{
  Loaded p;
  VstPinProperties pin{};
  ASSERT_EQ(p.Do(effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  EXPECT_STREQ(pin.label, "Input 1");
  ASSERT_EQ(p.Do(effGetInputProperties, 63, 0, &pin), 1);
  EXPECT_EQ(pin.flags, kVstPinIsActive);
  EXPECT_STREQ(pin.label, "Input 64");
  ASSERT_EQ(p.Do(effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Output 2");
  EXPECT_EQ(p.Do(effGetOutputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(p.Do(effGetInputProperties, 0, 0, nullptr), 0);
}

TEST(VstInterface, ChunksRoundTripInBothForms)
{
  Loaded a, b;
  a.Set(52, "1234.5");
  a.Set(0, "note mode");
  for (bool bank : {false, true})
  {
    const std::vector<uint8_t> chunk = a.host.GetChunk(bank);
    ASSERT_FALSE(chunk.empty());
    if (!bank)
    {
      EXPECT_EQ(chunk.size(), 2490u);
    }
    EXPECT_EQ(std::memcmp(chunk.data(), "tffp", 4), 0);
    b.Set(52, "20");
    ASSERT_TRUE(b.host.SetChunk(chunk, bank));
    EXPECT_EQ(b.Text(effGetParamDisplay, 52), "1234.500") << (bank ? "bank" : "preset");
    EXPECT_EQ(b.Text(effGetParamDisplay, 0), "note mode");
    EXPECT_EQ(b.host.GetChunk(false), a.host.GetChunk(false));
  }
  const std::vector<uint8_t> junk = {1, 2, 3};
  EXPECT_FALSE(b.host.SetChunk(junk, false));
  EXPECT_FALSE(b.host.SetChunk({}, false));
}

// Every opcode that writes or reads through its pointer does nothing and
// answers 0 without one; text-to-parameter alone answers 1 for a valid index.
TEST(VstInterface, NullPointersDoNothing)
{
  Loaded l;
  const std::vector<uint8_t> before = l.host.GetChunk(false);
  for (int32_t op : {effGetProgramName, effSetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
                     effEditGetRect, effEditOpen, effGetChunk, effSetChunk, effProcessEvents,
                     effGetProgramNameIndexed, effGetInputProperties, effGetOutputProperties, effGetEffectName,
                     effGetVendorString, effGetProductString, effVendorSpecific, effCanDo, effGetMidiKeyName,
                     effSetSpeakerArrangement, effGetSpeakerArrangement})
  {
    const intptr_t value = op == effSetChunk ? 100 : 0;
    EXPECT_EQ(l.Do(op, 0, value, nullptr), 0) << "opcode " << op;
  }
  EXPECT_EQ(l.Do(effVendorSpecific, effGetParamDisplay, 0, nullptr), 0);
  EXPECT_EQ(l.Do(effString2Parameter, 3, 0, nullptr), 1);
  EXPECT_EQ(l.host.GetChunk(false), before);
}

// A chunk the plug-in refuses leaves it exactly as it was, in either form.
TEST(VstInterface, RefusedChunksChangeNothing)
{
  Loaded a, b;
  a.Set(52, "1234.5");
  b.Set(93, "0.25");
  b.Set(101, "off");  // use for D
  for (bool bank : {false, true})
  {
    const std::vector<uint8_t> good = a.host.GetChunk(bank), before = b.host.GetChunk(bank);
    for (size_t size : {size_t(1), size_t(8), size_t(12), good.size() / 2, good.size() - 1})
    {
      const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(size));
      EXPECT_FALSE(b.host.SetChunk(cut, bank)) << size << " bytes, bank " << bank;
      EXPECT_EQ(b.host.GetChunk(bank), before) << size << " bytes, bank " << bank;
      EXPECT_EQ(b.Text(effGetParamDisplay, 93), "0.250");
    }
  }
}

TEST(VstInterface, SpeakerArrangementDisconnectsInputs)
{
  Loaded p;
  p.Set(111, "on");  // per buf input
  p.Set(93, "0");    // mix: dry only
  p.Set(64, "poly");
  Note(p.host, 0x90, 60, 100);
  Note(p.host, 0x90, 61, 100);
  Play(p.host, 256, 0.0);
  double loud = 0.0;
  for (double x : Play(p.host, 256, 0.5, 1)) loud = std::max(loud, std::fabs(x));
  EXPECT_GT(loud, 0.4) << "voice 1 hears pair 1";
  VstSpeakerArrangement in{}, out{};
  in.type = kSpeakerArrStereo;
  in.numChannels = 2;
  out.type = kSpeakerArrStereo;
  out.numChannels = 2;
  EXPECT_EQ(p.Do(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
  for (double x : Play(p.host, 256, 0.5, 1)) ASSERT_EQ(x, 0.0) << "inputs 3..64 read zeros";
}

TEST(VstInterface, LearnedControllerInformsTheHost)
{
  Loaded p;
  std::vector<uint8_t> chunk = p.host.GetChunk(false);
  // The MIDI map sits after the header, version, count, values and selections.
  const size_t controller20 = 8 + 1428 + 20 * 4;
  const int32_t entry[2] = {1, 94};  // one parameter: "amp"
  chunk.erase(chunk.begin() + static_cast<long>(controller20), chunk.begin() + static_cast<long>(controller20) + 4);
  chunk.insert(chunk.begin() + static_cast<long>(controller20), reinterpret_cast<const uint8_t*>(entry),
               reinterpret_cast<const uint8_t*>(entry) + sizeof entry);
  ASSERT_TRUE(p.host.SetChunk(chunk, false));
  p.host.automation.clear();
  Note(p.host, 0xB0, 20, 127, 10);
  Play(p.host, 256, 0.0);
  ASSERT_EQ(p.host.automation.size(), 1u);
  EXPECT_EQ(p.host.automation[0].first, 94);
  EXPECT_FLOAT_EQ(p.host.automation[0].second, 1.0f);
  EXPECT_EQ(p.Text(effGetParamDisplay, 94), "2.000");
}

TEST(VstInterface, FloatAndDoubleProcessingAgree)
{
  Loaded a, b;
  for (Loaded* p : {&a, &b})
  {
    p->Set(64, "poly");
    p->Set(0, "note mode");
    Note(p->host, 0x90, 57, 110, 3);
    Note(p->host, 0x90, 64, 90, 100);
  }
  for (int block = 0; block < 40; ++block)
  {
    const std::vector<double> d = Play(a.host, 256, 0.6, 0, false);
    const std::vector<double> f = Play(b.host, 256, 0.6, 0, true);
    for (size_t s = 0; s < d.size(); ++s) ASSERT_NEAR(d[s], f[s], 1e-5) << "block " << block << " frame " << s;
  }
}

TEST(VstInterface, MainIsTheSameEntryPoint)
{
  std::string error;
  void* library = plugin_library::Open(VESK_SO, &error);
  ASSERT_NE(library, nullptr) << error;
  auto entry = reinterpret_cast<AEffect* (*)(HostCallback)>(plugin_library::Symbol(library, "main"));
  ASSERT_NE(entry, nullptr);
  AEffect* effect = entry(nullptr);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->magic, kEffectMagic);
  EXPECT_EQ(effect->numParams, 113);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  plugin_library::Close(library);
}

TEST(VstInterface, OversizedBlocksAreProcessedInPieces)
{
  Loaded p(48000, 64);
  const std::vector<double> out = Play(p.host, 1000, 0.5);
  EXPECT_EQ(out.size(), 1000u);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](double x) { return std::isfinite(x); }));
}
