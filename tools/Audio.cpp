#include "tools/Audio.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace {
constexpr uint16_t kFormatPcm = 1, kFormatFloat = 3, kFormatExtensible = 0xFFFE;

uint32_t U32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

struct WavFormat
{
  uint16_t tag = 0, channels = 0, bits = 0;
  uint32_t rate = 0;
};

// One sample of the data chunk as a double in [-1, 1).
double Sample(const unsigned char* p, const WavFormat& f)
{
  if (f.tag == kFormatFloat)
  {
    if (f.bits == 64)
    {
      uint64_t v = 0;
      for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
      double d;
      std::memcpy(&d, &v, sizeof d);
      return d;
    }
    const uint32_t v = U32(p);
    float x;
    std::memcpy(&x, &v, sizeof x);
    return x;
  }
  switch (f.bits)
  {
    case 8: return (p[0] - 128) / 128.0;
    case 16: return static_cast<int16_t>(U16(p)) / 32768.0;
    case 24: return static_cast<int32_t>(p[0] << 8 | p[1] << 16 | static_cast<uint32_t>(p[2]) << 24) / 2147483648.0;
    default: return static_cast<int32_t>(U32(p)) / 2147483648.0;
  }
}

bool ParseFormat(const unsigned char* p, uint32_t size, WavFormat* f)
{
  if (size < 16) return false;
  f->tag = U16(p);
  f->channels = U16(p + 2);
  f->rate = U32(p + 4);
  f->bits = U16(p + 14);
  if (f->tag == kFormatExtensible && size >= 26) f->tag = U16(p + 24);  // the sub-format's first two bytes
  const bool pcm = f->tag == kFormatPcm && (f->bits == 8 || f->bits == 16 || f->bits == 24 || f->bits == 32);
  const bool flt = f->tag == kFormatFloat && (f->bits == 32 || f->bits == 64);
  return (pcm || flt) && f->channels > 0 && f->rate > 0;
}

void Put(std::vector<unsigned char>* out, uint64_t v, int bytes)
{
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// The reader's scale, so PCM values round-trip exactly; PCM output is
// clipped at full scale rather than wrapped.
int64_t ToPcm(double x, int bits)
{
  const int64_t full = int64_t{1} << (bits - 1);
  const double scaled = std::clamp(x, -1.0, 1.0) * static_cast<double>(full);
  return std::clamp<int64_t>(std::llrint(scaled), -full, full - 1);
}
}  // namespace

bool ReadAudio(const std::string& path, StereoAudio* audio, std::string* error)
{
  std::ifstream file(path, std::ios::binary);
  if (!file)
  {
    *error = "cannot read " + path + ": no such file or not readable";
    return false;
  }
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
  {
    *error = "cannot read " + path + ": not a WAV file";
    return false;
  }
  WavFormat format;
  bool haveFormat = false;
  for (size_t at = 12; at + 8 <= bytes.size();)
  {
    const uint32_t size = U32(&bytes[at + 4]);
    const unsigned char* body = &bytes[at + 8];
    const size_t available = std::min<size_t>(size, bytes.size() - at - 8);  // a cut-off file keeps what it has
    if (std::memcmp(&bytes[at], "fmt ", 4) == 0) haveFormat = ParseFormat(body, static_cast<uint32_t>(available), &format);
    if (std::memcmp(&bytes[at], "data", 4) == 0)
    {
      if (!haveFormat)
      {
        *error = "cannot read " + path + ": unsupported or missing sample format";
        return false;
      }
      const size_t frameBytes = static_cast<size_t>(format.channels) * format.bits / 8;
      const size_t frames = available / frameBytes;
      audio->sampleRate = format.rate;
      audio->left.resize(frames);
      audio->right.resize(frames);
      const size_t step = format.bits / 8, second = format.channels > 1 ? step : 0;
      for (size_t f = 0; f < frames; ++f)
      {
        const unsigned char* p = body + f * frameBytes;
        audio->left[f] = Sample(p, format);
        audio->right[f] = Sample(p + second, format);
      }
      return true;
    }
    at += 8 + static_cast<size_t>(size) + (size & 1);
  }
  *error = "cannot read " + path + ": no audio data";
  return false;
}

bool ParseSampleFormat(const std::string& name, SampleFormat* format)
{
  if (name == "pcm16") *format = SampleFormat::kPcm16;
  else if (name == "pcm24") *format = SampleFormat::kPcm24;
  else if (name == "pcm32") *format = SampleFormat::kPcm32;
  else if (name == "float") *format = SampleFormat::kFloat;
  else return false;
  return true;
}

bool WriteAudio(const std::string& path, const StereoAudio& audio, SampleFormat format, std::string* error)
{
  static const int kBits[] = {16, 24, 32, 32};
  const int bits = kBits[static_cast<int>(format)], bytesPer = bits / 8;
  const bool isFloat = format == SampleFormat::kFloat;
  const uint64_t dataSize = audio.Frames() * 2 * static_cast<uint64_t>(bytesPer);
  if (dataSize > 0xFFFFFF00u)
  {
    *error = "cannot write " + path + ": too long for a WAV file";
    return false;
  }
  std::vector<unsigned char> out;
  out.reserve(44 + dataSize);
  auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
  tag("RIFF");
  Put(&out, 36 + dataSize, 4);
  tag("WAVE");
  tag("fmt ");
  Put(&out, 16, 4);
  Put(&out, isFloat ? kFormatFloat : kFormatPcm, 2);
  Put(&out, 2, 2);
  const auto rate = static_cast<uint32_t>(std::lround(audio.sampleRate));
  Put(&out, rate, 4);
  Put(&out, static_cast<uint64_t>(rate) * 2 * bytesPer, 4);
  Put(&out, 2 * bytesPer, 2);
  Put(&out, bits, 2);
  tag("data");
  Put(&out, dataSize, 4);
  for (size_t f = 0; f < audio.Frames(); ++f)
    for (double x : {audio.left[f], audio.right[f]})
    {
      if (isFloat)
      {
        const float v = static_cast<float>(x);
        uint32_t raw;
        std::memcpy(&raw, &v, sizeof raw);
        Put(&out, raw, 4);
      }
      else
        Put(&out, static_cast<uint64_t>(ToPcm(x, bits)), bytesPer);
    }
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (!file.good())
  {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

void Measure(const StereoAudio& audio, double* peakDb, double* rmsDb)
{
  double peak = 0.0, energy = 0.0;
  for (const auto* channel : {&audio.left, &audio.right})
    for (double x : *channel)
    {
      peak = std::max(peak, std::fabs(x));
      energy += x * x;
    }
  const double n = std::max<double>(1.0, 2.0 * static_cast<double>(audio.Frames()));
  auto db = [](double v) { return v > 0.0 ? 20.0 * std::log10(v) : -INFINITY; };
  *peakDb = db(peak);
  *rmsDb = db(std::sqrt(energy / n));
}
