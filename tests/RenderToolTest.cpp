// The command-line host's readers: MIDI files with tempo maps, state files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "tools/Audio.h"
#include "tools/Smf.h"
#include "tools/StateFile.h"

namespace {

void Vlq(std::vector<uint8_t>* out, uint32_t v)
{
  uint8_t bytes[4];
  int n = 0;
  do bytes[n++] = v & 0x7F, v >>= 7;
  while (v);
  while (n--) out->push_back(static_cast<uint8_t>(bytes[n] | (n ? 0x80 : 0)));
}

std::vector<uint8_t> Track(const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& events)
{
  std::vector<uint8_t> body;
  for (const auto& [delta, bytes] : events)
  {
    Vlq(&body, delta);
    body.insert(body.end(), bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> t = {'M', 'T', 'r', 'k', 0, 0, static_cast<uint8_t>(body.size() >> 8), static_cast<uint8_t>(body.size())};
  t.reserve(t.size() + body.size());
  for (uint8_t b : body) t.push_back(b);
  return t;
}

std::vector<uint8_t> Song(int format, const std::vector<std::vector<uint8_t>>& tracks)
{
  std::vector<uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format), 0,
                            static_cast<uint8_t>(tracks.size()), 0x01, 0xE0};  // 480 ticks per quarter
  for (const auto& t : tracks) f.insert(f.end(), t.begin(), t.end());
  return f;
}

}  // namespace

TEST(Smf, TempoMapTurnsTicksIntoFrames)
{
  // 120 bpm for one quarter, then 60 bpm: a note at tick 960 lies at
  // 0.5 s + 1 s.
  const auto tempo = Track({{0, {0xFF, 0x51, 3, 0x07, 0xA1, 0x20}}, {480, {0xFF, 0x51, 3, 0x0F, 0x42, 0x40}},
                            {0, {0xFF, 0x2F, 0}}});
  SmfSong song;
  std::string error;
  const auto clean = Track({{0, {0x90, 60, 100}}, {960, {0x80, 60, 0}}, {10, {62, 90}}, {0, {0xFF, 0x2F, 0}}});
  ASSERT_TRUE(ParseSmf(Song(1, {tempo, clean}), 48000, 120, &song, &error)) << error;
  ASSERT_EQ(song.events.size(), 3u);
  EXPECT_EQ(song.events[0].frame, 0);
  EXPECT_EQ(song.events[1].frame, 72000);
  EXPECT_EQ(song.events[2].bytes[0], 0x80) << "running status";
  EXPECT_EQ(song.events[2].bytes[1], 62);
  EXPECT_DOUBLE_EQ(song.TempoAt(0, 48000), 120.0);
  EXPECT_DOUBLE_EQ(song.TempoAt(30000, 48000), 60.0);
  EXPECT_DOUBLE_EQ(song.QuarterAt(72000, 48000), 2.0);
}

TEST(Smf, BadFilesSayWhy)
{
  SmfSong song;
  std::string error;
  EXPECT_FALSE(ParseSmf({'R', 'I', 'F', 'F'}, 48000, 120, &song, &error));
  EXPECT_NE(error.find("MThd"), std::string::npos);
  auto cut = Song(0, {Track({{0, {0x90, 60, 100}}})});
  cut.resize(cut.size() - 2);
  EXPECT_FALSE(ParseSmf(cut, 48000, 120, &song, &error));
  EXPECT_FALSE(ParseSmf(Song(2, {}), 48000, 120, &song, &error));
  EXPECT_NE(error.find("format 2"), std::string::npos);
}

TEST(StateFileFormat, PresetFileRoundTrip)
{
  StateFile state;
  state.chunk = {1, 2, 3, 4, 5};
  state.programName = "lead";
  std::string error;
  const std::string path = testing::TempDir() + "/vesk-state.fxp";
  ASSERT_TRUE(WriteStateFile(path, state, 0x5665736B, 10000, &error)) << error;
  StateFile back;
  ASSERT_TRUE(ReadStateFile(path, &back, &error)) << error;
  EXPECT_EQ(back.chunk, state.chunk);
  EXPECT_EQ(back.programName, "lead");
  EXPECT_FALSE(back.isBank);
  std::vector<uint8_t> cut = {'C', 'c', 'n', 'K', 0, 0, 0, 9, 'F', 'P', 'C', 'h'};
  EXPECT_FALSE(ParseStateBytes(cut, &back, &error));
  EXPECT_TRUE(ParseStateBytes({9, 9}, &back, &error)) << "anything else is a bare chunk";
}

TEST(WavFiles, EveryFormatRoundTripsWithinItsResolutionAndClips)
{
  StereoAudio a;
  a.sampleRate = 44100;
  for (int i = 0; i < 1000; ++i)
  {
    a.left.push_back(std::sin(i * 0.05) * 0.9);
    a.right.push_back(i == 10 ? 1.7 : i == 11 ? -3.0 : -0.25);
  }
  const std::string path = testing::TempDir() + "vesk-wav-test.wav";
  const struct { SampleFormat format; double tolerance; } cases[] = {
    {SampleFormat::kPcm16, 0.5 / 32768}, {SampleFormat::kPcm24, 0.5 / 8388608},
    {SampleFormat::kPcm32, 0.5 / 2147483648.0}, {SampleFormat::kFloat, 1e-7}};
  for (const auto& c : cases)
  {
    std::string error;
    ASSERT_TRUE(WriteAudio(path, a, c.format, &error)) << error;
    StereoAudio b;
    ASSERT_TRUE(ReadAudio(path, &b, &error)) << error;
    ASSERT_EQ(b.Frames(), a.Frames());
    EXPECT_EQ(b.sampleRate, 44100);
    for (size_t i = 0; i < a.Frames(); ++i)
    {
      ASSERT_NEAR(b.left[i], a.left[i], c.tolerance) << i;
      if (c.format == SampleFormat::kFloat)
      {
        ASSERT_NEAR(b.right[i], a.right[i], c.tolerance) << i;
      }
    }
    if (c.format != SampleFormat::kFloat)
    {
      EXPECT_NEAR(b.right[10], 1.0, 2 * c.tolerance) << "clipped, not wrapped";
      EXPECT_NEAR(b.right[11], -1.0, 2 * c.tolerance);
    }
  }
  std::remove(path.c_str());
}

TEST(WavFiles, BadFilesSayWhyAndCutOffFilesKeepWhatTheyHave)
{
  const std::string path = testing::TempDir() + "vesk-wav-bad.wav";
  StereoAudio b;
  std::string error;
  EXPECT_FALSE(ReadAudio(path + ".none", &b, &error));
  EXPECT_NE(error.find("cannot read"), std::string::npos);
  std::ofstream(path, std::ios::binary) << "RIFF\x04\0\0\0MThd";
  EXPECT_FALSE(ReadAudio(path, &b, &error));
  EXPECT_NE(error.find("not a WAV file"), std::string::npos);

  StereoAudio a;
  a.left.assign(100, 0.5);
  a.right.assign(100, -0.5);
  ASSERT_TRUE(WriteAudio(path, a, SampleFormat::kPcm16, &error));
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bytes.resize(44 + 4 * 40 + 2);  // forty whole frames and half of one
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  ASSERT_TRUE(ReadAudio(path, &b, &error)) << error;
  EXPECT_EQ(b.Frames(), 40u);
  bytes[20] = 2;  // an unknown sample format
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  EXPECT_FALSE(ReadAudio(path, &b, &error));
  EXPECT_NE(error.find("sample format"), std::string::npos);
  std::remove(path.c_str());
}
