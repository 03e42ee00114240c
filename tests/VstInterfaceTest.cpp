// The plug-in as a host sees it: the library loaded and driven only through
// its entry point, effect record and callbacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <atomic>
#include <memory>
#include <random>
#include <thread>
#include <sstream>
#include <string>
#include <vector>

#include "tests/ExpectedParams.h"
#include "tools/PluginHost.h"

using namespace vst2;

namespace {

struct Loaded
{
  PluginHost host;
  Loaded(double rate = 48000, int block = 256)
  {
    std::string error;
    if (!host.Load(VESK_SO, &error)) ADD_FAILURE() << error;
    host.Start(rate, block);
  }
  intptr_t Do(int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
  {
    return host.Dispatch(op, index, value, ptr, opt);
  }
  std::string Text(int32_t op, int32_t index = 0)
  {
    char text[256] = {};
    Do(op, index, 0, text);
    return text;
  }
  bool Set(int idx, const char* text) { return Do(effString2Parameter, idx, 0, const_cast<char*>(text)) == 1; }
};

// Plays a block of stereo input (pair p carries `level`) and returns the left output.
std::vector<double> Play(PluginHost& host, int frames, double level, int pair = 0, bool floats = false)
{
  std::vector<std::vector<double>> in(64, std::vector<double>(static_cast<size_t>(frames), 0.0));
  std::vector<std::vector<double>> out(2, std::vector<double>(static_cast<size_t>(frames), 0.0));
  for (int c : {2 * pair, 2 * pair + 1})
    for (int s = 0; s < frames; ++s) in[static_cast<size_t>(c)][static_cast<size_t>(s)] = level * std::sin(s * 0.05 + c);
  if (!floats)
  {
    std::vector<double*> ip, op;
    for (auto& c : in) ip.push_back(c.data());
    for (auto& c : out) op.push_back(c.data());
    host.ProcessDouble(ip.data(), op.data(), frames);
    return out[0];
  }
  std::vector<std::vector<float>> inF(64, std::vector<float>(static_cast<size_t>(frames))), outF(2, std::vector<float>(static_cast<size_t>(frames)));
  std::vector<float*> ip, op;
  for (size_t c = 0; c < 64; ++c)
    for (int s = 0; s < frames; ++s) inF[c][static_cast<size_t>(s)] = static_cast<float>(in[c][static_cast<size_t>(s)]);
  for (auto& c : inF) ip.push_back(c.data());
  for (auto& c : outF) op.push_back(c.data());
  host.Process(ip.data(), op.data(), frames);
  return std::vector<double>(outF[0].begin(), outF[0].end());
}

void Note(PluginHost& host, int status, int key, int velocity, int delta = 0)
{
  VstMidiEvent e{};
  e.type = kVstMidiType;
  e.byteSize = sizeof e;
  e.deltaFrames = delta;
  e.midiData[0] = static_cast<char>(status);
  e.midiData[1] = static_cast<char>(key);
  e.midiData[2] = static_cast<char>(velocity);
  host.SendMidi({e});
}

std::vector<std::string> Rows(const char* table)
{
  std::vector<std::string> rows;
  std::istringstream in(table);
  for (std::string line; std::getline(in, line);) rows.push_back(line);
  return rows;
}

}  // namespace

TEST(VstInterface, EffectRecord)
{
  Loaded p;
  const AEffect* e = p.host.Effect();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->uniqueID, FourCC('V', 'e', 's', 'k'));
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
  EXPECT_FALSE(e->flags & effFlagsIsSynth);
  EXPECT_EQ(p.Do(effGetPlugCategory), kPlugCategEffect);
  EXPECT_EQ(p.Do(effGetVendorVersion), 10000);
  EXPECT_EQ(p.Do(effGetVstVersion), 2400);
  EXPECT_EQ(p.Do(effIdentify), FourCC('N', 'v', 'E', 'f'));
  EXPECT_EQ(p.Text(effGetEffectName), "Vesk");
  EXPECT_FALSE(p.Text(effGetVendorString).empty());
  EXPECT_EQ(p.Text(effGetProgramName), "default preset");
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
  EXPECT_EQ(can("sendVstEvents"), 1);
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

namespace {

// One call of a careless host: any opcode it may send, indexes and values
// out of range, odd rates and block sizes, damaged chunks, process calls of
// any length. Text buffers are exactly as long as the interface promises,
// on the heap, so a write past them is caught.
class CarelessHost
{
public:
  // Without `audio` the calls that belong to the audio thread (MIDI and
  // process) are left to another thread.
  CarelessHost(Loaded& loaded, unsigned seed, bool audio = true)
    : l(loaded), pick(seed), chunk(loaded.host.GetChunk(false)), audio(audio)
  {
  }

  void Call()
  {
    int call = Any(0, 15);
    if (!audio && (call == 8 || call == 15)) call = 14;
    switch (call)
    {
      case 0: Text(); break;
      case 1: l.Do(effSetProgramName, 0, 0, Word().data()); break;
      case 2: l.Do(effSetProgram, 0, Any(-2, 3)); break;
      case 3: l.Do(effSetSampleRate, 0, 0, nullptr, Pick<float>({8000, 22050, 44100, 48000, 96000, 192000, 384000})); break;
      case 4: l.Do(effSetBlockSize, 0, Any(1, 8192)); break;
      case 5: l.Do(effMainsChanged, 0, Any(0, 1)); break;
      case 6: GetChunk(); break;
      case 7: l.host.SetChunk(Damaged(), Any(0, 1) == 1); break;
      case 8: Midi(); break;
      case 9: l.Do(effString2Parameter, Any(-2, 120), 0, Word().data()); break;
      case 10: Pins(); break;
      case 11: Speakers(); break;
      case 12: l.Do(effCanDo, 0, 0, Word().data()); break;
      case 13: l.host.SetParameter(Any(-2, 120), Pick<float>({0.0f, 0.25f, 1.0f, -1.0f, 2.0f, std::nanf("")})); break;
      case 14: Queries(); break;
      default: Process(); break;
    }
  }
  bool OutputFinite() const { return finite; }

private:
  int Any(int lo, int hi) { return lo + static_cast<int>(pick() % static_cast<unsigned>(hi - lo + 1)); }
  template <typename T>
  T Pick(std::initializer_list<T> values) { return values.begin()[Any(0, static_cast<int>(values.size()) - 1)]; }

  std::string Word()
  {
    return Pick<std::string>({"", "x", "7.5", "-1e308", "nan", "inf", "note mode", "receiveVstMidiEvent",
                              std::string(300, 'w')});
  }
  void Text()
  {
    const int32_t op = Pick<int32_t>({effGetProgramName, effGetProgramNameIndexed, effGetParamLabel, effGetParamDisplay,
                                      effGetParamName, effGetEffectName, effGetVendorString, effGetProductString});
    const size_t size = op == effGetProgramName || op == effGetProgramNameIndexed ? kVstMaxProgNameLen + 1
                        : op == effGetEffectName                                  ? kVstMaxEffectNameLen
                        : op == effGetVendorString || op == effGetProductString   ? kVstMaxVendorStrLen
                                                                                  : 32;
    std::vector<char> text(size, 'z');
    const int index = Any(-3, 130);
    l.Do(op, index, 0, text.data());
    // A parameter text of a parameter that does not exist is not written.
    const bool paramText = op == effGetParamLabel || op == effGetParamDisplay || op == effGetParamName;
    if (paramText && (index < 0 || index >= l.host.NumParams())) return;
    EXPECT_NE(std::find(text.begin(), text.end(), '\0'), text.end()) << "opcode " << op << " left no terminator";
  }
  void GetChunk()
  {
    std::vector<uint8_t> c = l.host.GetChunk(Any(0, 1) == 1);
    if (!c.empty()) chunk = std::move(c);
  }
  std::vector<uint8_t> Damaged()
  {
    std::vector<uint8_t> c = chunk;
    if (c.empty()) return c;
    switch (Any(0, 2))
    {
      case 0: c.resize(static_cast<size_t>(Any(0, static_cast<int>(c.size())))); break;
      case 1:
        for (int n = Any(1, 8); n > 0; --n) c[static_cast<size_t>(Any(0, static_cast<int>(c.size()) - 1))] ^= 0xFF;
        break;
      default: break;
    }
    return c;
  }
  void Midi()
  {
    std::vector<VstMidiEvent> events(static_cast<size_t>(Any(0, 40)));
    for (VstMidiEvent& e : events)
    {
      e = VstMidiEvent{};
      e.type = kVstMidiType;
      e.byteSize = sizeof e;
      e.deltaFrames = Any(-10, 5000);
      e.midiData[0] = static_cast<char>(Any(0x80, 0xFF));
      e.midiData[1] = static_cast<char>(Any(0, 127));
      e.midiData[2] = static_cast<char>(Any(0, 127));
    }
    l.host.SendMidi(events);
  }
  void Pins()
  {
    auto pin = std::make_unique<VstPinProperties>();
    l.Do(Any(0, 1) ? effGetInputProperties : effGetOutputProperties, Any(-2, 70), 0, pin.get());
  }
  void Speakers()
  {
    auto in = std::make_unique<VstSpeakerArrangement>(), out = std::make_unique<VstSpeakerArrangement>();
    in->numChannels = Any(0, 8);
    out->numChannels = Any(0, 8);
    l.Do(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(in.get()), out.get());
  }
  void Queries()
  {
    const int32_t op = Pick<int32_t>({effGetProgram, effCanBeAutomated, effGetPlugCategory, effGetVendorVersion,
                                      effGetTailSize, effGetVstVersion, effStartProcess, effStopProcess, effSetBypass,
                                      effGetNumMidiInputChannels, effGetNumMidiOutputChannels, effEditIdle,
                                      effSetProcessPrecision, effGetVu, effIdle, effKeysRequired});
    l.Do(op, Any(-2, 120), Any(0, 1));
    l.host.GetParameter(Any(-2, 120));
    l.Do(Any(0, 1) ? effEditIdle : effEditClose);
    if (Any(0, 4) != 0) return;
    // An editor asked into a window that does not exist opens nowhere.
    const intptr_t window = Pick<intptr_t>({0, 1, 0x3fffff, 0x7ffffff0});
    EXPECT_EQ(l.Do(effEditOpen, 0, 0, reinterpret_cast<void*>(window)), 0) << "window " << window;
  }
  void Process()
  {
    const int frames = Any(0, 3000);
    const std::vector<double> out = Play(l.host, frames, 0.8, Any(0, 31), Any(0, 1) == 1);
    finite = finite && std::all_of(out.begin(), out.end(), [](double x) { return std::isfinite(x); });
  }

  Loaded& l;
  std::mt19937 pick;
  std::vector<uint8_t> chunk;
  bool audio;
  bool finite = true;
};

}  // namespace

TEST(VstInterface, SurvivesACarelessHost)
{
  for (unsigned seed = 1; seed <= 6; ++seed)
  {
    Loaded l;
    CarelessHost host(l, seed);
    for (int call = 0; call < 300; ++call) host.Call();
    EXPECT_TRUE(host.OutputFinite()) << "seed " << seed;
  }
}

TEST(VstInterface, SurvivesACarelessHostBesideItsAudioThread)
{
  Loaded l;
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::thread audio([&] {
    for (int note = 40; !stop || blocks < 50; note = note == 80 ? 40 : note + 1)
    {
      Note(l.host, 0x90, note, 100);
      Play(l.host, 256, 0.5);
      ++blocks;
    }
  });
  CarelessHost host(l, 11, false);
  for (int call = 0; call < 300; ++call) host.Call();
  stop = true;
  audio.join();
  EXPECT_GE(blocks.load(), 50);
}
