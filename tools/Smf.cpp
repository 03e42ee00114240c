#include "tools/Smf.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

struct Reader
{
  const std::vector<uint8_t>& data;
  size_t pos = 0;
  size_t end;

  bool has(size_t n) const { return pos <= end && end - pos >= n; }
  uint32_t be(int n)
  {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | data[pos++];
    return v;
  }
  bool vlq(uint32_t* v)
  {
    *v = 0;
    for (int i = 0; i < 4; ++i)
    {
      if (!has(1)) return false;
      const uint8_t b = data[pos++];
      *v = (*v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
};

struct TickEvent
{
  int64_t tick;
  int order;
  uint8_t bytes[3];
};

int DataBytes(uint8_t status)
{
  const int type = status >> 4;
  return type == 0xC || type == 0xD ? 1 : 2;
}

bool ReadTrack(Reader r, int trackIndex, std::vector<TickEvent>* events, SmfSong* song, std::string* error)
{
  int64_t tick = 0;
  uint8_t running = 0;
  while (r.has(1))
  {
    uint32_t delta;
    if (!r.vlq(&delta)) return (*error = "track ends inside a delta time"), false;
    tick += delta;
    if (!r.has(1)) return (*error = "track ends before an event"), false;
    uint8_t status = r.data[r.pos];
    if (status < 0x80)
    {
      if (!running) return (*error = "data byte without a status"), false;
      status = running;
    }
    else
      ++r.pos;
    if (status == 0xFF)
    {
      if (!r.has(1)) return (*error = "cut meta event"), false;
      const uint8_t type = r.data[r.pos++];
      uint32_t length;
      if (!r.vlq(&length) || !r.has(length)) return (*error = "cut meta event"), false;
      if (type == 0x51 && length == 3)
        song->tempos.push_back({tick, static_cast<double>((r.data[r.pos] << 16) | (r.data[r.pos + 1] << 8) |
                                                          r.data[r.pos + 2])});
      if (type == 0x58 && length >= 2)
      {
        song->numerator = r.data[r.pos];
        song->denominator = 1 << std::min<int>(r.data[r.pos + 1], 6);
      }
      r.pos += length;
      if (type == 0x2F) return true;
      continue;
    }
    if (status == 0xF0 || status == 0xF7)
    {
      uint32_t length;
      if (!r.vlq(&length) || !r.has(length)) return (*error = "cut system exclusive event"), false;
      r.pos += length;
      continue;
    }
    if (status >= 0xF0) return (*error = "unexpected system message in a track"), false;
    running = status;
    const int n = DataBytes(status);
    if (!r.has(static_cast<size_t>(n))) return (*error = "track ends inside an event"), false;
    TickEvent e{tick, trackIndex, {status, r.data[r.pos], static_cast<uint8_t>(n == 2 ? r.data[r.pos + 1] : 0)}};
    r.pos += static_cast<size_t>(n);
    events->push_back(e);
  }
  return true;
}

}  // namespace

bool ParseSmf(const std::vector<uint8_t>& data, double sampleRate, double defaultBpm, SmfSong* song,
              std::string* error)
{
  *song = SmfSong{};
  Reader r{data, 0, data.size()};
  if (!r.has(14) || std::string(data.begin(), data.begin() + 4) != "MThd")
    return (*error = "not a Standard MIDI File (no MThd header)"), false;
  r.pos = 4;
  const uint32_t headerLength = r.be(4);
  if (headerLength < 6 || !r.has(headerLength)) return (*error = "bad MThd header length"), false;
  const size_t afterHeader = r.pos + headerLength;
  song->format = static_cast<int>(r.be(2));
  const int tracks = static_cast<int>(r.be(2));
  const int division = static_cast<int>(r.be(2));
  if (song->format > 1) return (*error = "MIDI file format 2 is not supported"), false;
  if (division & 0x8000) return (*error = "SMPTE time division is not supported"), false;
  if (division == 0) return (*error = "time division of zero ticks"), false;
  song->division = division;
  r.pos = afterHeader;

  std::vector<TickEvent> ticks;
  for (int t = 0; t < tracks; ++t)
  {
    if (!r.has(8)) return (*error = "file ends before track " + std::to_string(t + 1)), false;
    const bool isTrack = std::string(data.begin() + static_cast<long>(r.pos), data.begin() + static_cast<long>(r.pos) + 4) == "MTrk";
    r.pos += 4;
    const uint32_t length = r.be(4);
    if (!r.has(length)) return (*error = "track " + std::to_string(t + 1) + " is cut short"), false;
    if (isTrack)
    {
      Reader track{data, r.pos, r.pos + length};
      if (!ReadTrack(track, t, &ticks, song, error)) return (*error = "track " + std::to_string(t + 1) + ": " + *error), false;
    }
    r.pos += length;
  }

  std::stable_sort(song->tempos.begin(), song->tempos.end(), [](const SmfTempo& a, const SmfTempo& b) { return a.tick < b.tick; });
  if (song->tempos.empty() || song->tempos.front().tick > 0) song->tempos.insert(song->tempos.begin(), {0, 60e6 / defaultBpm});
  std::stable_sort(ticks.begin(), ticks.end(), [](const TickEvent& a, const TickEvent& b) { return a.tick < b.tick; });

  // Ticks to frames through the tempo map.
  size_t tempo = 0;
  double seconds = 0.0;
  int64_t lastTick = 0;
  for (const TickEvent& e : ticks)
  {
    while (tempo + 1 < song->tempos.size() && song->tempos[tempo + 1].tick <= e.tick)
    {
      seconds += (song->tempos[tempo + 1].tick - lastTick) * song->tempos[tempo].microsPerQuarter * 1e-6 / division;
      lastTick = song->tempos[++tempo].tick;
    }
    const double at = seconds + (e.tick - lastTick) * song->tempos[tempo].microsPerQuarter * 1e-6 / division;
    song->events.push_back({static_cast<int64_t>(at * sampleRate + 0.5), {e.bytes[0], e.bytes[1], e.bytes[2]}});
  }
  return true;
}

bool ReadSmf(const std::string& path, double sampleRate, double defaultBpm, SmfSong* song, std::string* error)
{
  std::ifstream in(path, std::ios::binary);
  if (!in) return (*error = "cannot open MIDI file " + path), false;
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!ParseSmf(data, sampleRate, defaultBpm, song, error))
  {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

// The tempo map in frames: seconds and quarters up to a frame.
static void Walk(const SmfSong& song, int64_t frame, double sampleRate, double* bpm, double* quarters)
{
  double seconds = 0.0, q = 0.0;
  const double target = frame / sampleRate;
  for (size_t i = 0; i < song.tempos.size(); ++i)
  {
    const double secondsPerQuarter = song.tempos[i].microsPerQuarter * 1e-6;
    const bool last = i + 1 == song.tempos.size();
    const double span = last ? 1e300 : (song.tempos[i + 1].tick - song.tempos[i].tick) * secondsPerQuarter / song.division;
    if (target < seconds + span)
    {
      *bpm = 60.0 / secondsPerQuarter;
      *quarters = q + (target - seconds) / secondsPerQuarter;
      return;
    }
    seconds += span;
    q += static_cast<double>(song.tempos[i + 1].tick - song.tempos[i].tick) / song.division;
  }
}

double SmfSong::TempoAt(int64_t frame, double sampleRate) const
{
  double bpm = 120.0, q = 0.0;
  Walk(*this, frame, sampleRate, &bpm, &q);
  return bpm;
}

double SmfSong::QuarterAt(int64_t frame, double sampleRate) const
{
  double bpm = 120.0, q = 0.0;
  Walk(*this, frame, sampleRate, &bpm, &q);
  return q;
}
