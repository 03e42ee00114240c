// A small VST3 host of our own as a command: renders an input WAV and a
// MIDI file through a .vst3 bundle the way vesk-render does through a
// VST 2.4 library (the same set-up, blocks, notes and time line), so the
// two can be compared sample for sample; or lists the bundle's class and
// parameters. Usage: see kUsage.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/VeskVendor.h"
#include "tools/Audio.h"
#include "tools/FormatRenderOptions.h"
#include "tools/Smf.h"
#include "tools/StateFile.h"
#include "tools/ToolUsage.h"
#include "tools/Vst3Host.h"

namespace {
constexpr int32_t kVeskId = ('V' << 24) | ('e' << 16) | ('s' << 8) | 'k';
constexpr int32_t kVeskVersion = 10000;  // as the VST 2.4 build reports its version

const char kUsage[] =
    "usage: vesk-vst3-render --bundle DIR --in WAV --out WAV [--midi MID] [--state FILE] [--save-state FILE]\n"
    "                        [--block FRAMES] [--tail SECONDS] [--float] [--seed N]\n"
    "       vesk-vst3-render --bundle DIR --list\n"
    "renders the input and the notes through the VST3 bundle as vesk-render does through the VST 2.4\n"
    "library (64-bit samples, or 32-bit with --float); --list prints the class and its parameters\n";

[[noreturn]] void Fail(const std::string& why)
{
  std::fprintf(stderr, "vesk-vst3-render: %s\n", why.c_str());
  std::exit(1);
}

struct Options : FormatRenderOptions
{
  bool floats = false, list = false;
  long seed = -1;
};

Options ParseOptions(int argc, char** argv)
{
  AnswerCommandLine(argc, argv, kUsage,
                    {"--bundle", "--in", "--out", "--midi", "--state", "--save-state", "--block", "--tail", "--float",
                     "--seed", "--list"});
  Options o;
  for (int i = 1; i < argc; ++i)
  {
    const std::string flag = argv[i];
    if (flag == "--float" || flag == "--list")
    {
      (flag == "--float" ? o.floats : o.list) = true;
      continue;
    }
    if (i + 1 >= argc) Fail(flag + " needs a value");
    const std::string value = argv[++i];
    if (flag == "--seed") o.seed = std::atol(value.c_str());
    else if (!o.Take(flag, value)) Fail("unknown option " + flag);
  }
  if (o.bundle.empty() || (!o.list && (o.in.empty() || o.out.empty())))
    Fail("--bundle, and --in and --out or --list, are needed");
  return o;
}

void List(vst3_host::Vst3Instance& plug)
{
  std::printf("class: %s (%s) by %s\n", plug.className.c_str(), plug.subCategories.c_str(), plug.vendor.c_str());
  for (int32_t i = 0; i < plug.controller->getParameterCount(); ++i)
  {
    vst3::ParameterInfo info{};
    if (plug.controller->getParameterInfo(i, info) != vst3::kResultOk) Fail("no information on parameter " + std::to_string(i));
    std::printf("%u\t%s\t%d steps\t%s\t%s%s%s\n", info.id, vst3_host::Narrow(info.title).c_str(), info.stepCount,
                plug.ParamText(info.id, info.defaultNormalizedValue).c_str(),
                info.flags & vst3::ParameterInfo::kCanAutomate ? "automatable" : "",
                info.flags & vst3::ParameterInfo::kIsList ? " list" : "",
                info.flags & vst3::ParameterInfo::kIsHidden ? "hidden" : "");
  }
}

// Per-channel buffers for one block and the pointers the process call takes.
template <typename Sample>
struct Channels
{
  std::vector<std::vector<Sample>> data;
  std::vector<Sample*> pointers;
  explicit Channels(int frames) : data(2, std::vector<Sample>(static_cast<size_t>(frames)))
  {
    for (auto& c : data) pointers.push_back(c.data());
  }
};

template <typename Sample>
StereoAudio Render(vst3_host::Vst3Instance& plug, const Options& o, const StereoAudio& input, const SmfSong& song)
{
  const double rate = input.sampleRate;
  const int64_t total = song.RenderFrames(input.Frames(), o.tail, rate);
  Channels<Sample> in(o.block), out(o.block);
  StereoAudio output;
  output.sampleRate = rate;
  size_t next = 0;
  for (int64_t pos = 0; pos < total; pos += o.block)
  {
    const int n = static_cast<int>(std::min<int64_t>(o.block, total - pos));
    plug.transport = {pos, song.TempoAt(pos, rate), song.QuarterAt(pos, rate), song.numerator, song.denominator, true};
    for (; next < song.events.size() && song.events[next].frame < pos + n; ++next)
      plug.Midi(song.events[next].bytes, static_cast<int>(std::max<int64_t>(0, song.events[next].frame - pos)));
    for (int s = 0; s < n; ++s)
    {
      const auto at = static_cast<size_t>(pos + s);
      in.data[0][static_cast<size_t>(s)] = static_cast<Sample>(at < input.left.size() ? input.left[at] : 0.0);
      in.data[1][static_cast<size_t>(s)] = static_cast<Sample>(at < input.right.size() ? input.right[at] : 0.0);
    }
    if (plug.Process(in.pointers.data(), out.pointers.data(), n) != vst3::kResultOk) Fail("the plug-in refused a block");
    for (int s = 0; s < n; ++s)
    {
      output.left.push_back(out.data[0][static_cast<size_t>(s)]);
      output.right.push_back(out.data[1][static_cast<size_t>(s)]);
    }
  }
  return output;
}

void ApplyState(vst3_host::Vst3Instance& plug, const std::string& path)
{
  StateFile state;
  std::string error;
  if (!ReadStateFile(path, &state, &error)) Fail(error);
  if (state.isBank) Fail(path + " holds a bank; a VST3 state is one program");
  if (!plug.LoadState(state.chunk)) Fail(path + ": the plug-in did not accept this state");
}
}  // namespace

int main(int argc, char** argv)
{
  const Options o = ParseOptions(argc, argv);
  std::string error;
  vst3_host::Vst3Instance plug;
  if (!plug.Load(o.bundle, &error)) Fail(error);
  if (o.list)
  {
    List(plug);
    return 0;
  }
  StereoAudio input;
  if (!ReadAudio(o.in, &input, &error)) Fail(error);
  SmfSong song;
  if (!o.midi.empty() && !ReadSmf(o.midi, input.sampleRate, 120.0, &song, &error)) Fail(error);
  if (song.tempos.empty()) song.tempos.push_back({0, 500000.0});
  if (!plug.Setup(input.sampleRate, o.block, !o.floats)) Fail("the plug-in refused the set-up");
  if (!plug.SetActive(true)) Fail("the plug-in did not activate");
  if (o.seed >= 0) plug.Request(vesk_vendor::kSeedRandom, o.seed);
  if (!o.state.empty()) ApplyState(plug, o.state);
  const StereoAudio output = o.floats ? Render<float>(plug, o, input, song) : Render<double>(plug, o, input, song);
  if (!o.saveState.empty())
  {
    StateFile state;
    state.chunk = plug.SaveState();
    if (state.chunk.empty() || !WriteStateFile(o.saveState, state, kVeskId, kVeskVersion, &error)) Fail("cannot save the state: " + error);
  }
  if (!WriteAudio(o.out, output, SampleFormat::kFloat, &error)) Fail(error);
  return 0;
}
