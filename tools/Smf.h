#pragma once
// Standard MIDI Files, formats 0 and 1: every channel event of every track
// on one time line, with the tempo map turned into sample frames.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

struct SmfEvent
{
  int64_t frame;     // sample frame at which the event falls
  uint8_t bytes[3];  // status and up to two data bytes
};

struct SmfTempo
{
  int64_t tick;
  double microsPerQuarter;
};

struct SmfSong
{
  int format = 0;
  int division = 480;  // ticks per quarter note
  std::vector<SmfEvent> events;
  std::vector<SmfTempo> tempos;  // sorted by tick, at least one entry
  int numerator = 4, denominator = 4;

  double TempoAt(int64_t frame, double sampleRate) const;
  double QuarterAt(int64_t frame, double sampleRate) const;
  int64_t LastFrame() const { return events.empty() ? 0 : events.back().frame; }
  // The frames a render of this song over an input plays: the longer of the
  // two, then the tail.
  int64_t RenderFrames(size_t inputFrames, double tailSeconds, double sampleRate) const
  {
    return std::max<int64_t>(static_cast<int64_t>(inputFrames), LastFrame() + 1) +
           static_cast<int64_t>(tailSeconds * sampleRate);
  }
};

// Reads the file; on failure returns false with a one-line reason.
bool ReadSmf(const std::string& path, double sampleRate, double defaultBpm, SmfSong* song, std::string* error);
// Parses bytes already in memory (the same rules).
bool ParseSmf(const std::vector<uint8_t>& data, double sampleRate, double defaultBpm, SmfSong* song,
              std::string* error);
