// What a careless or buggy LV2 host hands the bundle: malformed event
// atoms in a buffer that ends at an unreadable page, absurd rates and
// tempos, an empty state, runs that leave the notify port to us.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <limits>
#include <random>

#include "tools/Lv2Host.h"

namespace {

// Atom bytes as a host would write them, made by hand so they can lie.
struct RawAtoms
{
  std::vector<uint8_t> bytes;

  template <typename T>
  void Put(T value)
  {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), p, p + sizeof value);
  }
  void Pad()
  {
    while (bytes.size() % 8) bytes.push_back(0);
  }
  // An event header (frame, size, type) with what follows left to the caller.
  void Header(int64_t frame, uint32_t size, uint32_t type)
  {
    Put(frame), Put(size), Put(type);
  }
  void Midi(int64_t frame, uint32_t midiType, uint8_t status, uint8_t d1, uint8_t d2)
  {
    Header(frame, 3, midiType);
    Put(status), Put(d1), Put(d2);
    Pad();
  }
  // An object event whose properties are given as raw bytes (key, context, value atom, body).
  void Object(int64_t frame, uint32_t objectType, uint32_t otype, const std::vector<uint8_t>& properties)
  {
    Header(frame, static_cast<uint32_t>(8 + properties.size()), objectType);
    Put(uint32_t{0}), Put(otype);
    bytes.insert(bytes.end(), properties.begin(), properties.end());
    Pad();
  }
};

// A property: key, context, then a value atom claiming `size` bytes with `body` written.
std::vector<uint8_t> Property(uint32_t key, uint32_t size, uint32_t type, std::vector<uint8_t> body = {})
{
  RawAtoms p;
  p.Put(key), p.Put(uint32_t{0}), p.Put(size), p.Put(type);
  p.bytes.insert(p.bytes.end(), body.begin(), body.end());
  p.Pad();
  return p.bytes;
}

std::vector<uint8_t> FloatBody(float v)
{
  std::vector<uint8_t> b(4);
  std::memcpy(b.data(), &v, 4);
  return b;
}

// Two pages, the second unreadable: a sequence placed at the first page's
// end has nothing readable after it.
class GuardedBuffer
{
public:
  GuardedBuffer()
  {
    mPage = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* at = mmap(nullptr, 2 * mPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    mBase = at == MAP_FAILED ? nullptr : static_cast<uint8_t*>(at);
    if (mBase) mprotect(mBase + mPage, mPage, PROT_NONE);
  }
  ~GuardedBuffer()
  {
    if (mBase) munmap(mBase, 2 * mPage);
  }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  // The sequence (its atom header first) ending at the unreadable page;
  // `claimed` is the body size its header states.
  void* Place(uint32_t sequenceType, const std::vector<uint8_t>& events, uint32_t claimed)
  {
    const size_t total = sizeof(LV2_Atom) + sizeof(LV2_Atom_Sequence_Body) + events.size();
    uint8_t* at = mBase + mPage - total;
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(at);
    seq->atom.size = claimed;
    seq->atom.type = sequenceType;
    seq->body.unit = seq->body.pad = 0;
    std::memcpy(at + sizeof(LV2_Atom_Sequence), events.data(), events.size());
    return at;
  }
  void* Place(uint32_t sequenceType, const std::vector<uint8_t>& events)
  {
    return Place(sequenceType, events, static_cast<uint32_t>(sizeof(LV2_Atom_Sequence_Body) + events.size()));
  }
  bool Ok() const { return mBase != nullptr; }

private:
  size_t mPage = 4096;
  uint8_t* mBase = nullptr;
};

// A run that hangs fails the test instead of the whole run's time limit.
class Watchdog
{
public:
  explicit Watchdog(unsigned seconds) { alarm(seconds); }
  ~Watchdog() { alarm(0); }
};

struct Faulty : Lv2Host
{
  GuardedBuffer guarded;
  uint32_t sequence = 0, midi = 0, object = 0, floatType = 0;

  bool Begin()
  {
    if (!Start() || !guarded.Ok()) return false;
    controls[0] = 0.0f;  // NOTE mode
    sequence = Id(LV2_ATOM__Sequence), midi = Id(LV2_MIDI__MidiEvent), object = Id(LV2_ATOM__Object);
    floatType = Id(LV2_ATOM__Float);
    return true;
  }
  // Runs blocks with these events in the first one; the peak of the rest.
  double Play(void* sequenceAt, int blocks = 12)
  {
    descriptor->connect_port(instance, layout.Events(), sequenceAt);
    Run(256);
    descriptor->connect_port(instance, layout.Events(), events);
    double peak = 0.0;
    for (int b = 1; b < blocks; ++b)
    {
      Run(256, 256.0 * b);
      for (uint32_t s = 0; s < 256; ++s)
        if (!std::isfinite(out[0][s])) return -1.0;
      peak = std::max(peak, Peak(256));
    }
    return peak;
  }
};

}  // namespace

// Each shape once crashed run() or hung it; a note before the damage (and,
// where the sequence can still be followed, one after it) still sounds.
TEST(Lv2HostFaults, MalformedEventsAreSkippedAndTheRestIsRead)
{
  Watchdog watchdog(300);
  Faulty ids;
  ASSERT_TRUE(ids.Begin());
  const uint32_t bpm = ids.Id(LV2_TIME__beatsPerMinute), position = ids.Id(LV2_TIME__Position);
  const uint32_t midi = ids.midi, object = ids.object, floatType = ids.floatType;
  struct Shape
  {
    const char* what;
    std::function<void(RawAtoms&)> damage;
    bool readOn;  // the events after the damage can still be found
  };
  const Shape shapes[] = {
    {"a header past the end", [](RawAtoms& a) { a.Put(int64_t{0}); }, false},
    {"a body past the end", [&](RawAtoms& a) { a.Header(0, 100, midi), a.Put(int64_t{0x90}); }, false},
    {"MIDI claiming 0xFFFFFFFF bytes", [&](RawAtoms& a) { a.Header(0, 0xFFFFFFFFu, midi), a.Header(0, 0, object); },
     false},
    {"an object of size 0", [&](RawAtoms& a) { a.Header(0, 0, object); }, false},
    {"a tempo Float without a body", [&](RawAtoms& a) { a.Object(0, object, position, Property(bpm, 0, floatType)); },
     true},
    {"a property claiming 0xFFFFFFF0 bytes",
     [&](RawAtoms& a) { a.Object(0, object, position, Property(bpm, 0xFFFFFFF0u, floatType)); }, true},
    {"a property past its object",
     [&](RawAtoms& a) { a.Object(0, object, position, Property(bpm, 64, floatType, FloatBody(90))); }, true},
  };
  // Each case on a fresh instance, so only its own note can sound.
  auto play = [](const RawAtoms& events) {
    Faulty host;
    return host.Begin() ? host.Play(host.guarded.Place(host.sequence, events.bytes)) : -2.0;
  };
  for (const Shape& shape : shapes)
  {
    RawAtoms before;
    before.Midi(0, midi, 0x90, 60, 100);
    shape.damage(before);
    EXPECT_GT(play(before), 0.01) << shape.what << ": the note before it sounds";
    if (!shape.readOn) continue;
    RawAtoms after;
    shape.damage(after);
    after.Midi(10, midi, 0x90, 60, 100);
    EXPECT_GT(play(after), 0.01) << shape.what << ": the note after it sounds";
  }
  // A sequence whose header claims more than the buffer holds is the
  // host's own fault we cannot see; one that claims less than its own
  // header, or is no sequence, is read as empty.
  RawAtoms one;
  one.Midi(0, midi, 0x90, 60, 100);
  Faulty host;
  ASSERT_TRUE(host.Begin());
  EXPECT_EQ(host.Play(host.guarded.Place(host.sequence, one.bytes, 3)), 0.0);
  EXPECT_EQ(host.Play(host.guarded.Place(ids.Id(LV2_ATOM__Chunk), one.bytes)), 0.0);
}

// Random bytes inside sequences whose own header is right: events and
// objects of any claimed size, properties of any type and size.
TEST(Lv2HostFaults, RandomBytesInSequencesNeverCrash)
{
  Watchdog watchdog(300);
  auto host = std::make_unique<Faulty>();
  ASSERT_TRUE(host->Begin());
  const uint32_t types[] = {host->midi, host->object, host->Id(LV2_ATOM__Blank), host->floatType,
                            host->Id(LV2_TIME__Position), host->Id(LV2_TIME__beatsPerMinute),
                            host->Id(LV2_TIME__speed), host->Id(LV2_TIME__bar), host->Id(LV2_ATOM__Long)};
  std::mt19937 random(23);
  auto word = [&] {
    const uint32_t r = random();
    switch (r % 4)
    {
      case 0: return types[(r >> 8) % std::size(types)];
      case 1: return (r >> 8) % 40;
      case 2: return 0xFFFFFFFFu - (r >> 8) % 24;
      default: return static_cast<uint32_t>(random());
    }
  };
  for (int round = 0; round < 1500; ++round)
  {
    RawAtoms a;
    const size_t words = 2 + random() % 60;
    for (size_t w = 0; w < words; ++w) a.Put(word());
    a.Pad();
    ASSERT_GE(host->Play(host->guarded.Place(host->sequence, a.bytes), 2), 0.0) << "round " << round;
  }
}

// The notify port is the plug-in's to fill: whatever the run, the host
// finds a well-formed empty sequence there, never its own capacity chunk.
TEST(Lv2HostFaults, TheNotifyPortIsAlwaysASequence)
{
  Lv2Host host;
  ASSERT_TRUE(host.Start(48000.0, false));
  auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(host.notify);
  auto runAs = [&](uint32_t frames) {
    notify->atom.type = host.Id(LV2_ATOM__Chunk);
    notify->atom.size = sizeof host.notify - sizeof(LV2_Atom);
    host.descriptor->run(host.instance, frames);
    return notify->atom.type == host.Id(LV2_ATOM__Sequence) && notify->atom.size == sizeof(LV2_Atom_Sequence_Body);
  };
  EXPECT_TRUE(runAs(64)) << "before activation";
  host.descriptor->activate(host.instance);
  EXPECT_TRUE(runAs(0)) << "a run of no frames";
  EXPECT_TRUE(runAs(64)) << "a plain run";
}

// A restore that finds no chunk asks for the defaults; a damaged chunk is
// still refused with nothing changed.
TEST(Lv2HostFaults, AnEmptyStateRestoresTheDefaultPatch)
{
  Lv2Host fresh;
  ASSERT_TRUE(fresh.Start());
  const std::vector<uint8_t> defaults = fresh.Save().bytes;

  Lv2Host host;
  ASSERT_TRUE(host.Start());
  host.controls[kMix] = 0.25f;
  host.controls[kPerfMode] = 1.0f;
  host.Run(64);
  ASSERT_NE(host.Save().bytes, defaults);
  Lv2Host::Saved nothing;
  nothing.key = host.Id("urn:nothing-saved");
  EXPECT_EQ(host.Restore(nothing), LV2_STATE_SUCCESS);
  EXPECT_EQ(host.Save().bytes, defaults);
}

// Rates the engine cannot run refuse the instance; the ends of the range it
// runs play.
TEST(Lv2HostFaults, RatesOutsideTheEngineRangeAreRefused)
{
  for (double rate : {1.0, 10.0, 31.0, 7999.0, 768001.0, 1e39, std::numeric_limits<double>::infinity(),
                      std::numeric_limits<double>::quiet_NaN(), -48000.0})
  {
    Lv2Host host;
    EXPECT_FALSE(host.Start(rate)) << rate;
  }
  for (double rate : {8000.0, 768000.0})
  {
    Lv2Host host;
    ASSERT_TRUE(host.Start(rate)) << rate;
    host.controls[0] = 0.0f;
    host.Forge({{0, {0x90, 60, 100}}});
    double peak = 0.0;
    for (int b = 0; b < 40; ++b)
    {
      host.Run(256, 256.0 * b);
      peak = std::max(peak, host.Peak(256));
    }
    EXPECT_TRUE(std::isfinite(peak) && peak > 0.01) << rate;
  }
}

// Tempos near zero or beyond any music: BEAT grains and the tempo refill
// keep playing finite sound.
TEST(Lv2HostFaults, AbsurdTemposAreClamped)
{
  for (double tempo : {1e-6, 0.001, 0.03, 1e7, 1e30})
  {
    Lv2Host host;
    ASSERT_TRUE(host.Start());
    host.controls[kPerfMode] = 1.0f;    // BEAT
    host.controls[kRefillMode] = 3.0f;  // tempo
    host.Forge({{0, {0x90, 60, 100}}}, tempo);
    for (int b = 0; b < 20; ++b)
    {
      host.Run(256, 256.0 * b);
      for (uint32_t s = 0; s < 256; ++s) ASSERT_TRUE(std::isfinite(host.out[0][s])) << tempo;
    }
  }
}

// A key held when the host deactivates sounds again when struck after
// activation, without a note-off in between.
TEST(Lv2HostFaults, AKeyHeldAcrossDeactivationSoundsWhenStruckAgain)
{
  Lv2Host host;
  ASSERT_TRUE(host.Start());
  host.controls[kPerfMode] = 0.0f;
  host.Forge({{0, {0x90, 60, 100}}, {0, {0xB0, 64, 127}}});
  for (int b = 0; b < 10; ++b) host.Run(256, 256.0 * b);
  host.descriptor->deactivate(host.instance);
  host.descriptor->activate(host.instance);
  host.Forge({{0, {0x90, 60, 100}}});
  double peak = 0.0;
  for (int b = 0; b < 10; ++b)
  {
    host.Run(256, 256.0 * b);
    peak = std::max(peak, host.Peak(256));
  }
  EXPECT_GT(peak, 0.01);
}
