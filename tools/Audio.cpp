#include "tools/Audio.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

bool ReadAudio(const std::string& path, StereoAudio* audio, std::string* error)
{
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file)
  {
    *error = "cannot read " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  if (info.channels < 1 || info.samplerate <= 0)
  {
    sf_close(file);
    *error = path + ": no audio channels";
    return false;
  }
  std::vector<double> interleaved(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
  const sf_count_t got = sf_readf_double(file, interleaved.data(), info.frames);
  sf_close(file);
  audio->sampleRate = info.samplerate;
  audio->left.resize(static_cast<size_t>(got));
  audio->right.resize(static_cast<size_t>(got));
  const size_t channels = static_cast<size_t>(info.channels);
  for (size_t f = 0; f < static_cast<size_t>(got); ++f)
  {
    audio->left[f] = interleaved[f * channels];
    audio->right[f] = interleaved[f * channels + (channels > 1 ? 1 : 0)];
  }
  return true;
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
  static const int kSubtypes[] = {SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32, SF_FORMAT_FLOAT};
  SF_INFO info{};
  info.samplerate = static_cast<int>(audio.sampleRate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | kSubtypes[static_cast<int>(format)];
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file)
  {
    *error = "cannot write " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  // PCM output is clipped at full scale rather than wrapped.
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  std::vector<double> interleaved(audio.Frames() * 2);
  for (size_t f = 0; f < audio.Frames(); ++f)
  {
    interleaved[2 * f] = audio.left[f];
    interleaved[2 * f + 1] = audio.right[f];
  }
  const sf_count_t wrote = sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(audio.Frames()));
  sf_close(file);
  if (wrote != static_cast<sf_count_t>(audio.Frames()))
  {
    *error = "could not write all of " + path;
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
