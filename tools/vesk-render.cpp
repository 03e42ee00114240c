// Renders an input WAV and a MIDI file through a VST 2.4 plug-in library
// (see kUsage below); lists and plays the factory sounds shipped beside it.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "platform/VeskVendor.h"
#include "tools/Audio.h"
#include "tools/ParamByName.h"
#include "tools/PluginHost.h"
#include "tools/Smf.h"
#include "tools/StateFile.h"

namespace {

const char kUsage[] =
    "usage: vesk-render --in input.wav --out out.wav [--midi phrase.mid] [options]\n"
    "       vesk-render --list-presets [--plugin LIB]\n"
    "  --midi FILE          the notes to play (a Standard MIDI File); without it no note plays\n"
    "  --preset NAME        start from a factory sound (see --list-presets)\n"
    "  --state FILE         start from a saved state (.fxp preset file or a bare chunk)\n"
    "  --set NAME=VALUE     set a parameter by name (any case), as many as needed:\n"
    "                       a number in its range or one of its texts (vesk-params lists them)\n"
    "  --save-state FILE    save the state after the render (.fxp: a preset file)\n"
    "  --seed N             the random numbers' seed, to repeat a render exactly\n"
    "  --rate HZ            the render's rate (it must be the input's)\n"
    "  --block FRAMES       frames a process call (512)\n"
    "  --tempo BPM          the tempo when the MIDI file has none (120)\n"
    "  --tail SECONDS       render on after the last note or the input's end (0)\n"
    "  --format F           pcm16, pcm24, pcm32 or float (float)\n"
    "  --float              play through single-precision process calls\n"
    "  --plugin LIB         the plug-in library (vesk.so beside vesk-render)\n"
    "  --help               this text\n";

struct Options
{
  std::string in, midi, out, state, saveState, plugin, preset;
  std::vector<std::string> sets;
  double rate = 0.0, tempo = 120.0, tail = 0.0;
  long seed = -1;  // picked here unless given
  int block = 512;
  bool floatPath = false, listPresets = false;
  SampleFormat format = SampleFormat::kFloat;
};

[[noreturn]] void Fail(const std::string& message)
{
  std::fprintf(stderr, "vesk-render: %s\n", message.c_str());
  std::exit(1);
}

void Warn(const std::string& message)
{
  std::fprintf(stderr, "vesk-render: warning: %s\n", message.c_str());
}

double Number(const std::string& flag, const char* text, double lo, double hi)
{
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end || !(v >= lo && v <= hi))
    Fail(flag + " wants a number from " + PlainNumber(lo) + " to " + PlainNumber(hi) + ", not '" + text + "'");
  return v;
}

std::string ToolFolder(const char* argv0)
{
  const std::string path = argv0;
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string DefaultPlugin(const char* argv0)
{
#if defined(_WIN32)
  return ToolFolder(argv0) + "\\vesk.dll";
#else
  return ToolFolder(argv0) + "/vesk.so";
#endif
}

bool SamePath(const std::string& a, const std::string& b)
{
  std::error_code error;
  if (std::filesystem::exists(a, error) && std::filesystem::exists(b, error))
    return std::filesystem::equivalent(a, b, error);
  return std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

void Check(const Options& o)
{
  if (o.listPresets) return;
  if (o.in.empty()) Fail("--in input.wav is required (see --help)");
  if (o.out.empty()) Fail("--out out.wav is required (see --help)");
  if (SamePath(o.in, o.out)) Fail("--out " + o.out + " is the input: the render would overwrite what it plays");
  if (!o.preset.empty() && !o.state.empty()) Fail("--preset and --state both give a state: choose one");
}

Options Parse(int argc, char** argv)
{
  Options o;
  o.plugin = DefaultPlugin(argv[0]);
  for (int i = 1; i < argc; ++i)
  {
    const std::string flag = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) Fail(flag + " needs a value");
      return argv[++i];
    };
    if (flag == "--in") o.in = value();
    else if (flag == "--midi") o.midi = value();
    else if (flag == "--out") o.out = value();
    else if (flag == "--state") o.state = value();
    else if (flag == "--save-state") o.saveState = value();
    else if (flag == "--plugin") o.plugin = value();
    else if (flag == "--preset") o.preset = value();
    else if (flag == "--list-presets") o.listPresets = true;
    else if (flag == "--set") o.sets.push_back(value());
    else if (flag == "--rate") o.rate = Number(flag, value(), 8000, 384000);
    else if (flag == "--block") o.block = static_cast<int>(Number(flag, value(), 1, 65536));
    else if (flag == "--tempo") o.tempo = Number(flag, value(), 1, 999);
    else if (flag == "--tail") o.tail = Number(flag, value(), 0, 600);
    else if (flag == "--seed") o.seed = static_cast<long>(Number(flag, value(), 0, 4294967295.0));
    else if (flag == "--float") o.floatPath = true;
    else if (flag == "--format")
    {
      const std::string name = value();
      if (!ParseSampleFormat(name, &o.format)) Fail("--format is pcm16, pcm24, pcm32 or float, not '" + name + "'");
    }
    else if (flag == "--help" || flag == "-h")
    {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    else
      Fail("unknown option '" + flag + "' (see --help)");
  }
  Check(o);
  return o;
}

void Progress(double fraction, bool show)
{
  if (!show) return;
  const int width = 40, done = static_cast<int>(fraction * width);
  std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(done), '#').c_str(),
               std::string(static_cast<size_t>(width - done), '.').c_str(), static_cast<int>(fraction * 100));
  if (fraction >= 1.0) std::fputc('\n', stderr);
  std::fflush(stderr);
}

// Plain per-channel buffers for one block, in doubles and in floats, and
// the pointer arrays the process calls take.
template <typename T>
struct BlockChannels
{
  std::vector<std::vector<T>> data;
  std::vector<T*> pointers;
  BlockChannels(int channels, int frames)
      : data(static_cast<size_t>(channels), std::vector<T>(static_cast<size_t>(frames)))
  {
    for (auto& c : data) pointers.push_back(c.data());
  }
};

std::vector<vst2::VstMidiEvent> EventsOfBlock(const SmfSong& song, size_t* next, int64_t pos, int n)
{
  std::vector<vst2::VstMidiEvent> events;
  for (; *next < song.events.size() && song.events[*next].frame < pos + n; ++*next)
  {
    const auto& bytes = song.events[*next].bytes;
    const auto delta = static_cast<int>(std::max<int64_t>(0, song.events[*next].frame - pos));
    events.push_back(MidiEvent(bytes[0], bytes[1], bytes[2], delta));
  }
  return events;
}

void SetTransport(PluginHost& host, const SmfSong& song, int64_t pos, double rate)
{
  host.transport.samplePos = static_cast<double>(pos);
  host.transport.tempo = song.TempoAt(pos, rate);
  host.transport.ppqPos = song.QuarterAt(pos, rate);
  host.transport.numerator = song.numerator;
  host.transport.denominator = song.denominator;
}

class BlockRenderer
{
public:
  BlockRenderer(PluginHost& host, int block, bool floatPath)
      : mHost(host), mIn(host.Effect()->numInputs), mInD(mIn, block), mOutD(host.Effect()->numOutputs, block),
        mInF(mIn, block), mOutF(host.Effect()->numOutputs, block), mDoubles(host.CanDoubles() && !floatPath)
  {
  }

  // The input goes to the first two inputs, as many as there are: a
  // synthesiser may have none.
  void Render(const StereoAudio& input, int64_t pos, int n, StereoAudio* output)
  {
    for (int c = 0; c < std::min(mIn, 2); ++c)
    {
      const std::vector<double>& from = c == 0 ? input.left : input.right;
      for (int s = 0; s < n; ++s)
      {
        const size_t at = static_cast<size_t>(pos + s);
        const double x = at < from.size() ? from[at] : 0.0;
        mInD.data[static_cast<size_t>(c)][static_cast<size_t>(s)] = x;
        mInF.data[static_cast<size_t>(c)][static_cast<size_t>(s)] = static_cast<float>(x);
      }
    }
    if (mDoubles)
      mHost.ProcessDouble(mInD.pointers.data(), mOutD.pointers.data(), n);
    else
      mHost.Process(mInF.pointers.data(), mOutF.pointers.data(), n);
    for (int s = 0; s < n; ++s)
    {
      const size_t at = static_cast<size_t>(s);
      output->left.push_back(mDoubles ? mOutD.data[0][at] : mOutF.data[0][at]);
      output->right.push_back(mDoubles ? mOutD.data[1][at] : mOutF.data[1][at]);
    }
  }

private:
  PluginHost& mHost;
  int mIn;
  BlockChannels<double> mInD, mOutD;
  BlockChannels<float> mInF, mOutF;
  bool mDoubles;
};

StereoAudio RenderSong(PluginHost& host, const Options& o, const StereoAudio& input, const SmfSong& song, double rate)
{
  const int64_t total = song.RenderFrames(input.Frames(), o.tail, rate);
  BlockRenderer renderer(host, o.block, o.floatPath);
  StereoAudio output;
  output.sampleRate = rate;
  output.left.reserve(static_cast<size_t>(total));
  output.right.reserve(static_cast<size_t>(total));
  size_t nextEvent = 0;
  const bool showProgress = isatty(fileno(stderr)) != 0;
  for (int64_t pos = 0; pos < total; pos += o.block)
  {
    const int n = static_cast<int>(std::min<int64_t>(o.block, total - pos));
    SetTransport(host, song, pos, rate);
    host.SendMidi(EventsOfBlock(song, &nextEvent, pos, n));
    renderer.Render(input, pos, n, &output);
    if ((pos / o.block) % 64 == 0) Progress(static_cast<double>(pos) / total, showProgress);
  }
  Progress(1.0, showProgress);
  return output;
}

// The factory sounds for the loaded plug-in, beside the renderer:
// presets/<its name>/<sound>.fxp.
std::filesystem::path PresetFolder(PluginHost& host, const char* argv0)
{
  char name[256] = {};
  host.Dispatch(vst2::effGetEffectName, 0, 0, name);
  return std::filesystem::path(ToolFolder(argv0)) / "presets" / name;
}

std::vector<std::filesystem::path> Presets(const std::filesystem::path& folder)
{
  std::vector<std::filesystem::path> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (entry.path().extension() == ".fxp") found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  return found;
}

std::string Lower(std::string s)
{
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string PresetPath(PluginHost& host, const std::string& wanted, const char* argv0)
{
  const std::filesystem::path folder = PresetFolder(host, argv0);
  const std::vector<std::filesystem::path> presets = Presets(folder);
  if (presets.empty()) Fail("no factory sounds in " + folder.string());
  for (const auto& p : presets)
    if (Lower(p.stem().string()) == Lower(wanted)) return p.string();
  Fail("no factory sound '" + wanted + "' (--list-presets lists them)");
}

void ListPresets(PluginHost& host, const char* argv0)
{
  const std::filesystem::path folder = PresetFolder(host, argv0);
  const std::vector<std::filesystem::path> presets = Presets(folder);
  if (presets.empty()) Fail("no factory sounds in " + folder.string());
  for (const auto& p : presets) std::printf("%s\n", p.stem().string().c_str());
}

void LoadPlugin(PluginHost& host, const Options& o)
{
  std::string error;
  if (!host.Load(o.plugin, &error)) Fail(error);
  if (host.Effect()->numOutputs < 2) Fail(o.plugin + " has fewer than two outputs");
}

// The seed asked for, or one picked now, said so the render can be repeated.
void Seed(PluginHost& host, const Options& o)
{
  const auto seed = static_cast<uint32_t>(o.seed >= 0 ? o.seed : std::random_device{}());
  if (host.Dispatch(vst2::effVendorSpecific, vesk_vendor::kSeedRandom, static_cast<intptr_t>(seed)) == 1)
    std::fprintf(stderr, "vesk-render: random seed %u (--seed %u repeats this render)\n", seed, seed);
}

void StartPlugin(PluginHost& host, const Options& o, double rate, const char* argv0)
{
  host.Start(rate, o.block);
  Seed(host, o);
  const std::string state = o.preset.empty() ? o.state : PresetPath(host, o.preset, argv0);
  if (!state.empty())
  {
    StateFile file;
    std::string error;
    if (!ReadStateFile(state, &file, &error)) Fail(error);
    if (!host.SetChunk(file.chunk, file.isBank)) Fail(state + ": the plug-in did not accept this state");
  }
  for (const std::string& assignment : o.sets)
  {
    std::string error;
    if (!SetParamByName(host, assignment, &error)) Fail(error);
  }
}

void SaveState(PluginHost& host, const std::string& path)
{
  StateFile state;
  state.chunk = host.GetChunk(false);
  if (state.chunk.empty()) Fail("the plug-in gave no state to save");
  std::string error;
  if (!WriteStateFile(path, state, host.Effect()->uniqueID, host.Effect()->version, &error)) Fail(error);
}

bool HasNotes(const SmfSong& song)
{
  return std::any_of(song.events.begin(), song.events.end(),
                     [](const auto& e) { return (e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0; });
}

SmfSong ReadSong(const Options& o, double rate)
{
  SmfSong song;
  std::string error;
  if (o.midi.empty())
  {
    Warn("no --midi given: no note plays");
    song.tempos.push_back({0, 60e6 / o.tempo});
  }
  else if (!ReadSmf(o.midi, rate, o.tempo, &song, &error))
    Fail(error);
  else if (!HasNotes(song))
    Warn(o.midi + " has no notes: no note plays");
  return song;
}
}  // namespace

int main(int argc, char** argv)
{
  const Options o = Parse(argc, argv);
  PluginHost host;
  if (o.listPresets)
  {
    LoadPlugin(host, o);
    ListPresets(host, argv[0]);
    return 0;
  }
  std::string error;
  StereoAudio input;
  if (!ReadAudio(o.in, &input, &error)) Fail(error);
  if (input.Frames() == 0) Warn(o.in + " holds no audio: the plug-in records silence");
  const double rate = o.rate > 0 ? o.rate : input.sampleRate;
  if (rate != input.sampleRate)
    Fail(o.in + " is at " + std::to_string(static_cast<int>(input.sampleRate)) + " Hz, not the " +
         std::to_string(static_cast<int>(rate)) + " Hz asked for; resample it first");
  const SmfSong song = ReadSong(o, rate);
  LoadPlugin(host, o);
  StartPlugin(host, o, rate, argv[0]);
  const StereoAudio output = RenderSong(host, o, input, song, rate);
  if (!o.saveState.empty()) SaveState(host, o.saveState);
  if (!WriteAudio(o.out, output, o.format, &error)) Fail(error);
  double peak, rms;
  Measure(output, &peak, &rms);
  std::printf("%s: %zu frames at %d Hz, peak %.2f dBFS, RMS %.2f dBFS\n", o.out.c_str(), output.Frames(),
              static_cast<int>(rate), peak, rms);
  return 0;
}
