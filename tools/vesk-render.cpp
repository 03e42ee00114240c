// Renders an input WAV and a MIDI file through a VST 2.4 plug-in library:
//   vesk-render --in input.wav --midi phrase.mid --out out.wav
//               [--state file] [--save-state file] [--set NAME=VALUE ...]
//               [--rate HZ] [--block FRAMES] [--tempo BPM] [--tail SECONDS]
//               [--format pcm16|pcm24|pcm32|float] [--float] [--seed N] [--plugin LIB]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
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
#include "tools/PluginHost.h"
#include "tools/Smf.h"
#include "tools/StateFile.h"

namespace {

struct Options
{
  std::string in, midi, out, state, saveState, plugin;
  std::vector<std::string> sets;
  double rate = 0.0, tempo = 120.0, tail = 0.0;
  long seed = -1;  // the plug-in's own seed (the time) unless given
  int block = 512;
  bool floatPath = false;
  SampleFormat format = SampleFormat::kFloat;
};

[[noreturn]] void Fail(const std::string& message)
{
  std::fprintf(stderr, "vesk-render: %s\n", message.c_str());
  std::exit(1);
}

double Number(const std::string& flag, const char* text, double lo, double hi)
{
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end || !(v >= lo && v <= hi))
    Fail(flag + " wants a number from " + std::to_string(lo) + " to " + std::to_string(hi) + ", not '" + text + "'");
  return v;
}

std::string DefaultPlugin(const char* argv0)
{
  std::string dir = argv0;
  const size_t slash = dir.find_last_of("/\\");
  dir = slash == std::string::npos ? "." : dir.substr(0, slash);
#if defined(_WIN32)
  return dir + "\\vesk.dll";
#else
  return dir + "/vesk.so";
#endif
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
      std::puts("usage: vesk-render --in input.wav --midi phrase.mid --out out.wav [--state file] [--save-state file]\n"
                "       [--set NAME=VALUE ...] [--rate HZ] [--block FRAMES] [--tempo BPM] [--tail SECONDS]\n"
                "       [--format pcm16|pcm24|pcm32|float] [--float] [--seed N] [--plugin LIB]");
      std::exit(0);
    }
    else
      Fail("unknown option '" + flag + "' (see --help)");
  }
  if (o.in.empty()) Fail("--in input.wav is required");
  if (o.out.empty()) Fail("--out out.wav is required");
  return o;
}

// The texts a parameter shows across its range, in value order.
std::vector<std::string> ValueTexts(PluginHost& host, int idx)
{
  const float saved = host.GetParameter(idx);
  std::vector<std::string> texts;
  for (int k = 0; k <= 128; ++k)
  {
    host.SetParameter(idx, k / 128.0f);
    const std::string text = host.ParamDisplay(idx);
    if (texts.empty() || texts.back() != text) texts.push_back(text);
  }
  host.SetParameter(idx, saved);
  return texts;
}

bool IsNumber(const std::string& text, double* v)
{
  char* end = nullptr;
  *v = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' && std::isfinite(*v);
}

std::string Join(const std::vector<std::string>& texts)
{
  std::string all;
  for (const std::string& t : texts) all += (all.empty() ? "" : ", ") + t;
  return all;
}

// The displayed number of a parameter at a normalised position; a text
// counts as below every number (texts stand at the low end, like "auto").
double ShownAt(PluginHost& host, int idx, float normalized)
{
  host.SetParameter(idx, normalized);
  double v;
  return IsNumber(host.ParamDisplay(idx), &v) ? v : -INFINITY;
}

// Finds the normalised position that shows the wanted number; false when
// the number lies outside what the parameter shows.
bool SearchNumber(PluginHost& host, int idx, double wanted)
{
  float lo = 0.0f, hi = 1.0f;
  const double top = ShownAt(host, idx, 1.0f);
  const double tolerance = 1e-9 + std::fabs(wanted) * 1e-6;
  if (wanted > top + tolerance || wanted < ShownAt(host, idx, 0.0f) - tolerance) return false;
  for (int i = 0; i < 40; ++i)
  {
    const float mid = 0.5f * (lo + hi);
    (ShownAt(host, idx, mid) < wanted ? lo : hi) = mid;
  }
  const double shown = ShownAt(host, idx, hi);
  char want[64], got[64];
  std::snprintf(want, sizeof want, "%.3f", wanted);
  std::snprintf(got, sizeof got, "%.3f", shown);
  return std::fabs(shown - wanted) <= 1e-3 + std::fabs(wanted) * 1e-6 || std::strcmp(want, got) == 0;
}

void SetParam(PluginHost& host, const std::string& assignment)
{
  const size_t eq = assignment.find('=');
  if (eq == std::string::npos) Fail("--set wants NAME=VALUE, not '" + assignment + "'");
  const std::string name = assignment.substr(0, eq), text = assignment.substr(eq + 1);
  const int idx = host.FindParam(name);
  if (idx < 0) Fail("unknown parameter '" + name + "'");
  const std::vector<std::string> texts = ValueTexts(host, idx);
  double wanted = 0.0, lo = 0.0, hi = 0.0;
  const bool numeric = IsNumber(text, &wanted);
  const bool numericRange = IsNumber(texts.front(), &lo) && IsNumber(texts.back(), &hi);
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  if (host.Dispatch(vst2::effString2Parameter, idx, 0, buffer.data()) == 1)
  {
    double shown = 0.0;
    if (numeric && numericRange && IsNumber(host.ParamDisplay(idx), &shown) && (wanted < lo - 1e-9 || wanted > hi + 1e-9))
      Fail(text + " is outside the range of '" + name + "' (" + texts.front() + " to " + texts.back() + ")");
    return;
  }
  if (!numeric) Fail("'" + text + "' is not a value of '" + name + "' (" + Join(texts) + ")");
  bool anyNumber = false;
  for (const std::string& t : texts) anyNumber = anyNumber || IsNumber(t, &lo);
  if (!anyNumber)
  {
    // Named values only: a number picks the value at that position.
    if (wanted != std::floor(wanted) || wanted < 0 || wanted >= static_cast<double>(texts.size()))
      Fail(text + " is not a value of '" + name + "' (0 to " + std::to_string(texts.size() - 1) + ", or " + Join(texts) + ")");
    std::vector<char> named(texts[static_cast<size_t>(wanted)].begin(), texts[static_cast<size_t>(wanted)].end());
    named.push_back('\0');
    host.Dispatch(vst2::effString2Parameter, idx, 0, named.data());
    return;
  }
  if (!SearchNumber(host, idx, wanted))
    Fail(text + " is outside the range of '" + name + "' (" + texts.front() + " to " + texts.back() + ")");
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

void StartPlugin(PluginHost& host, const Options& o, double rate)
{
  std::string error;
  if (!host.Load(o.plugin, &error)) Fail(error);
  if (host.Effect()->numOutputs < 2) Fail(o.plugin + " has fewer than two outputs");
  host.Start(rate, o.block);
  if (o.seed >= 0) host.Dispatch(vst2::effVendorSpecific, vesk_vendor::kSeedRandom, static_cast<intptr_t>(o.seed));
  if (!o.state.empty())
  {
    StateFile state;
    if (!ReadStateFile(o.state, &state, &error)) Fail(error);
    if (!host.SetChunk(state.chunk, state.isBank)) Fail(o.state + ": the plug-in did not accept this state");
  }
  for (const std::string& assignment : o.sets) SetParam(host, assignment);
}

void SaveState(PluginHost& host, const std::string& path)
{
  StateFile state;
  state.chunk = host.GetChunk(false);
  if (state.chunk.empty()) Fail("the plug-in gave no state to save");
  std::string error;
  if (!WriteStateFile(path, state, host.Effect()->uniqueID, host.Effect()->version, &error)) Fail(error);
}
}  // namespace

int main(int argc, char** argv)
{
  const Options o = Parse(argc, argv);
  std::string error;
  StereoAudio input;
  if (!ReadAudio(o.in, &input, &error)) Fail(error);
  const double rate = o.rate > 0 ? o.rate : input.sampleRate;
  if (rate != input.sampleRate)
    Fail(o.in + " is at " + std::to_string(static_cast<int>(input.sampleRate)) + " Hz, not the " +
         std::to_string(static_cast<int>(rate)) + " Hz asked for; resample it first");

  SmfSong song;
  if (!o.midi.empty() && !ReadSmf(o.midi, rate, o.tempo, &song, &error)) Fail(error);
  if (o.midi.empty()) song.tempos.push_back({0, 60e6 / o.tempo});

  PluginHost host;
  StartPlugin(host, o, rate);
  const StereoAudio output = RenderSong(host, o, input, song, rate);
  if (!o.saveState.empty()) SaveState(host, o.saveState);
  if (!WriteAudio(o.out, output, o.format, &error)) Fail(error);
  double peak, rms;
  Measure(output, &peak, &rms);
  std::printf("%s: %zu frames at %d Hz, peak %.2f dBFS, RMS %.2f dBFS\n", o.out.c_str(), output.Frames(),
              static_cast<int>(rate), peak, rms);
  return 0;
}
