// A careless host: random opcodes, values, texts, chunks, events and blocks
// in any order, alone and beside an audio thread; nothing may crash, hang,
// write past a text buffer or play a sample that is not a number.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "tests/VstRig.h"

using namespace vst2;

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
      const int delta = Any(-10, 5000), status = Any(0x80, 0xFF), d1 = Any(0, 127);
      e = MidiEvent(status, d1, Any(0, 127), delta);
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
