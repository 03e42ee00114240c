// Compares WAV files:
//   wav-compare A.wav B.wav TOLERANCE
//     sample by sample: prints the largest difference and exits 0 when it
//     is within TOLERANCE (0 asks for bit-identical samples), 1 when not;
//   wav-compare --distinct A.wav B.wav [C.wav ...]
//     by their spectra over time (third-octave bands from 50 Hz to 16 kHz
//     each quarter second, each file's own level taken out): exits 0 when
//     every two differ by more than 3 dB a band on average, 1 when two are alike.
// Either exits 2 when the files cannot be compared.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "tools/Audio.h"
#include "tools/ToolUsage.h"

namespace {

constexpr int kFft = 4096;
constexpr double kAlike = 3.0;  // dB a band and quarter second, on average

void Fft(std::vector<std::complex<double>>& x)
{
  const size_t n = x.size();
  for (size_t i = 1, j = 0; i < n; ++i)
  {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1)
  {
    const std::complex<double> w = std::polar(1.0, -2.0 * std::numbers::pi / static_cast<double>(len));
    for (size_t i = 0; i < n; i += len)
    {
      std::complex<double> wk = 1.0;
      for (size_t k = 0; k < len / 2; ++k, wk *= w)
      {
        const std::complex<double> a = x[i + k], b = x[i + k + len / 2] * wk;
        x[i + k] = a + b;
        x[i + k + len / 2] = a - b;
      }
    }
  }
}

// Third-octave band levels in dB, every quarter of a second: a coarse
// spectrogram, less its mean level, with a floor 60 dB under its peak.
std::vector<double> BandProfile(const StereoAudio& a)
{
  const size_t hop = kFft / 2, perSegment = std::max<size_t>(1, static_cast<size_t>(a.sampleRate / 4.0) / hop);
  std::vector<double> bandLo;
  for (double lo = 50.0; lo < 16000.0; lo *= std::cbrt(2.0)) bandLo.push_back(lo);
  std::vector<double> cells;
  std::vector<double> power(bandLo.size(), 1e-20);
  std::vector<std::complex<double>> frame(kFft);
  size_t frames = 0;
  for (size_t at = 0; at + kFft <= a.Frames(); at += hop)
  {
    for (int i = 0; i < kFft; ++i)
    {
      const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kFft);
      frame[static_cast<size_t>(i)] = window * 0.5 * (a.left[at + i] + a.right[at + i]);
    }
    Fft(frame);
    for (int k = 1; k < kFft / 2; ++k)
    {
      const double hz = k * a.sampleRate / kFft;
      for (size_t b = 0; b < bandLo.size(); ++b)
        if (hz >= bandLo[b] && hz < bandLo[b] * std::cbrt(2.0)) power[b] += std::norm(frame[static_cast<size_t>(k)]);
    }
    if (++frames % perSegment) continue;
    for (double& p : power) cells.push_back(10.0 * std::log10(p)), p = 1e-20;
  }
  const double peak = cells.empty() ? 0.0 : *std::max_element(cells.begin(), cells.end());
  double mean = 0.0;
  for (double& c : cells) c = std::max(c, peak - 60.0), mean += c / static_cast<double>(cells.size());
  for (double& c : cells) c -= mean;
  return cells;
}

double Distance(const std::vector<double>& a, const std::vector<double>& b)
{
  const size_t n = std::min(a.size(), b.size());
  double d = 0.0;
  for (size_t i = 0; i < n; ++i) d += std::fabs(a[i] - b[i]) / static_cast<double>(n);
  return d;
}

int Distinct(int count, char** paths)
{
  std::vector<std::vector<double>> profiles;
  for (int i = 0; i < count; ++i)
  {
    StereoAudio a;
    std::string error;
    if (!ReadAudio(paths[i], &a, &error) || a.Frames() < kFft)
    {
      std::fprintf(stderr, "wav-compare: %s\n", error.empty() ? (std::string(paths[i]) + " is too short").c_str() : error.c_str());
      return 2;
    }
    for (const auto* channel : {&a.left, &a.right})
      if (!std::all_of(channel->begin(), channel->end(), [](double x) { return std::isfinite(x); }))
      {
        std::printf("%s holds samples that are not numbers\n", paths[i]);
        return 1;
      }
    profiles.push_back(BandProfile(a));
  }
  double closest = INFINITY;
  int first = 0, second = 1;
  for (int i = 0; i < count; ++i)
    for (int j = i + 1; j < count; ++j)
      if (const double d = Distance(profiles[static_cast<size_t>(i)], profiles[static_cast<size_t>(j)]); d < closest)
        closest = d, first = i, second = j;
  std::printf("%d files; the closest two, %s and %s, differ by %.2f dB a band on average\n", count, paths[first],
              paths[second], closest);
  return closest > kAlike ? 0 : 1;
}

int SampleBySample(const char* pathA, const char* pathB, const char* toleranceText)
{
  StereoAudio a, b;
  std::string error;
  if (!ReadAudio(pathA, &a, &error) || !ReadAudio(pathB, &b, &error))
  {
    std::fprintf(stderr, "wav-compare: %s\n", error.c_str());
    return 2;
  }
  if (a.Frames() != b.Frames() || a.sampleRate != b.sampleRate)
  {
    std::fprintf(stderr, "wav-compare: %zu frames at %g Hz against %zu frames at %g Hz\n", a.Frames(), a.sampleRate,
                 b.Frames(), b.sampleRate);
    return 2;
  }
  char* end = nullptr;
  const double tolerance = std::strtod(toleranceText, &end);
  if (end == toleranceText || *end || !(tolerance >= 0.0))
  {
    std::fprintf(stderr, "wav-compare: TOLERANCE is a number from 0 up, not '%s'\n", toleranceText);
    return 2;
  }
  double largest = 0.0;
  size_t differing = 0;
  for (size_t f = 0; f < a.Frames(); ++f)
    for (double d : {std::fabs(a.left[f] - b.left[f]), std::fabs(a.right[f] - b.right[f])})
    {
      largest = std::fmax(largest, d);
      if (d > 0.0) ++differing;
    }
  std::printf("%zu frames, %zu samples differ, largest difference %.3g\n", a.Frames(), differing, largest);
  return largest <= tolerance ? 0 : 1;
}

const char kUsage[] =
    "usage: wav-compare A.wav B.wav TOLERANCE\n"
    "         sample by sample; exits 0 when the largest difference is within TOLERANCE (0: bit-identical)\n"
    "       wav-compare --distinct A.wav B.wav [C.wav ...]\n"
    "         by spectrum over time; exits 0 when no two are alike (3 dB a band on average)\n";

}  // namespace

int main(int argc, char** argv)
{
  AnswerCommandLine(argc, argv, kUsage, {"--distinct"});
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--distinct" && argc >= 4) return Distinct(argc - 2, argv + 2);
  if (argc == 4 && first.rfind("--", 0) != 0) return SampleBySample(argv[1], argv[2], argv[3]);
  std::fputs(kUsage, stderr);
  return 2;
}
