// Writes the demo material: a four-bar loop at 120 bpm (kick, hats and a
// plucked bass line, synthesised here) and a MIDI phrase to play over it.
//   make-demo OUT_DIR   ->  OUT_DIR/demo-input.wav, OUT_DIR/demo.mid
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "tools/Audio.h"
#include "tools/ToolUsage.h"

namespace {

constexpr double kRate = 48000.0;
constexpr double kBeat = 0.5;  // seconds at 120 bpm

void AddKick(StereoAudio* a, double at)
{
  for (int i = 0; i < 9000; ++i)
  {
    const double t = i / kRate, f = 50.0 + 90.0 * std::exp(-t * 30.0);
    const double x = 0.6 * std::exp(-t * 9.0) * std::sin(2 * std::numbers::pi * f * t);
    const size_t n = static_cast<size_t>(at * kRate) + static_cast<size_t>(i);
    if (n < a->Frames()) a->left[n] += x, a->right[n] += x;
  }
}

void AddHat(StereoAudio* a, double at, unsigned* seed)
{
  for (int i = 0; i < 2400; ++i)
  {
    *seed = *seed * 1664525u + 1013904223u;
    const double noise = ((*seed >> 9) / 4194304.0) - 1.0;
    const double x = 0.12 * std::exp(-i / kRate * 60.0) * noise;
    const size_t n = static_cast<size_t>(at * kRate) + static_cast<size_t>(i);
    if (n < a->Frames()) a->left[n] += x * 0.7, a->right[n] += x;
  }
}

void AddPluck(StereoAudio* a, double at, double hz, double length)
{
  for (int i = 0; i < static_cast<int>(length * kRate); ++i)
  {
    const double t = i / kRate;
    double x = 0.0;
    for (int h = 1; h <= 6; ++h) x += std::sin(2 * std::numbers::pi * hz * h * t) / (h * h);
    x *= 0.25 * std::exp(-t * 4.0);
    const size_t n = static_cast<size_t>(at * kRate) + static_cast<size_t>(i);
    if (n < a->Frames()) a->left[n] += x, a->right[n] += x * 0.8;
  }
}

void PutVlq(std::vector<uint8_t>* out, uint32_t v)
{
  uint8_t bytes[4];
  int n = 0;
  do
  {
    bytes[n++] = v & 0x7F;
    v >>= 7;
  } while (v);
  while (n--) out->push_back(static_cast<uint8_t>(bytes[n] | (n ? 0x80 : 0)));
}

void PutBe(std::vector<uint8_t>* out, uint32_t v, int bytes)
{
  for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> Track(const std::vector<std::vector<uint8_t>>& events, const std::vector<uint32_t>& deltas)
{
  std::vector<uint8_t> body;
  for (size_t i = 0; i < events.size(); ++i)
  {
    PutVlq(&body, deltas[i]);
    body.insert(body.end(), events[i].begin(), events[i].end());
  }
  std::vector<uint8_t> track = {'M', 'T', 'r', 'k'};
  PutBe(&track, static_cast<uint32_t>(body.size()), 4);
  track.insert(track.end(), body.begin(), body.end());
  return track;
}

// Format 1: a tempo track and a note track, 480 ticks per quarter.
std::vector<uint8_t> DemoMidi()
{
  const std::vector<std::vector<uint8_t>> tempo = {{0xFF, 0x51, 3, 0x07, 0xA1, 0x20}, {0xFF, 0x58, 4, 4, 2, 24, 8},
                                                   {0xFF, 0x2F, 0}};
  const std::vector<uint32_t> tempoDeltas = {0, 0, 0};
  struct Note
  {
    int key, start, length, velocity;  // ticks
  };
  const Note notes[] = {{57, 0, 900, 100},    {64, 960, 900, 90},   {69, 1920, 1800, 110}, {72, 3840, 900, 95},
                        {67, 4800, 900, 90},  {64, 5760, 1800, 100}, {60, 5760, 1800, 70}, {57, 7680, 1920, 105}};
  std::vector<std::pair<int, std::vector<uint8_t>>> timeline;
  for (const Note& n : notes)
  {
    timeline.push_back({n.start, {0x90, static_cast<uint8_t>(n.key), static_cast<uint8_t>(n.velocity)}});
    timeline.push_back({n.start + n.length, {0x80, static_cast<uint8_t>(n.key), 0}});
  }
  std::stable_sort(timeline.begin(), timeline.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::vector<uint8_t>> events;
  std::vector<uint32_t> deltas;
  int last = 0;
  for (const auto& [tick, bytes] : timeline)
  {
    events.push_back(bytes);
    deltas.push_back(static_cast<uint32_t>(tick - last));
    last = tick;
  }
  events.push_back({0xFF, 0x2F, 0});
  deltas.push_back(0);
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2};
  PutBe(&file, 480, 2);
  for (const auto& track : {Track(tempo, tempoDeltas), Track(events, deltas)}) file.insert(file.end(), track.begin(), track.end());
  return file;
}

}  // namespace

int main(int argc, char** argv)
{
  const char usage[] = "usage: make-demo OUT_DIR\nwrites OUT_DIR/demo-input.wav (a four-bar loop) and OUT_DIR/demo.mid (a phrase)\n";
  AnswerCommandLine(argc, argv, usage);
  if (argc != 2)
  {
    std::fputs(usage, stderr);
    return 2;
  }
  const std::string dir = argv[1];
  StereoAudio loop;
  loop.sampleRate = kRate;
  loop.left.assign(static_cast<size_t>(16 * kBeat * kRate), 0.0);
  loop.right = loop.left;
  unsigned seed = 7;
  const double bass[] = {55.0, 55.0, 65.41, 49.0};
  for (int beat = 0; beat < 16; ++beat)
  {
    if (beat % 2 == 0) AddKick(&loop, beat * kBeat);
    AddHat(&loop, beat * kBeat + kBeat / 2, &seed);
    AddPluck(&loop, beat * kBeat, bass[(beat / 4) % 4] * (beat % 4 == 3 ? 2.0 : 1.0), 0.45);
  }
  std::string error;
  if (!WriteAudio(dir + "/demo-input.wav", loop, SampleFormat::kPcm24, &error))
  {
    std::fprintf(stderr, "make-demo: %s\n", error.c_str());
    return 1;
  }
  const std::vector<uint8_t> midi = DemoMidi();
  std::ofstream out(dir + "/demo.mid", std::ios::binary);
  if (!out.write(reinterpret_cast<const char*>(midi.data()), static_cast<std::streamsize>(midi.size())))
  {
    std::fprintf(stderr, "make-demo: cannot write %s/demo.mid\n", dir.c_str());
    return 1;
  }
  return 0;
}
