// The saved state: layout, round trips and every tolerance rule for short,
// foreign and hostile input.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/Rig.h"

namespace {

constexpr int kMapStart = 1428;  // in the engine state, for 113 parameters and 32 selections

ByteChunk StateOf(Vesk& plug)
{
  ByteChunk chunk;
  plug.SerializeState(&chunk);
  return chunk;
}

// The state with its MIDI map, options, key flags and later blocks
// replaced by `tail`, for building variants of the later blocks.
ByteChunk WithTail(Vesk& plug, const std::vector<uint8_t>& tail)
{
  ByteChunk full = StateOf(plug), chunk;
  chunk.PutBytes(full.GetBytes(), kMapStart);
  chunk.PutBytes(tail.data(), static_cast<int>(tail.size()));
  return chunk;
}

template <typename T>
void Put(std::vector<uint8_t>* bytes, T v)
{
  const auto* p = reinterpret_cast<const uint8_t*>(&v);
  bytes->insert(bytes->end(), p, p + sizeof v);
}

void PutEmptyMap(std::vector<uint8_t>* bytes)
{
  for (int c = 0; c < 128; ++c) Put<int32_t>(bytes, 0);
}

// What follows the key flags: no labels, no file block, no per-buffer values.
void PutEmptyEnd(std::vector<uint8_t>* bytes)
{
  Put<int32_t>(bytes, 0);
  bytes->insert(bytes->end(), {0, 0});
}

// What follows the MIDI map in a default state.
void PutDefaultRest(std::vector<uint8_t>* bytes)
{
  Put<int32_t>(bytes, 2);
  Put<double>(bytes, 0.0);
  Put<double>(bytes, 1.0);
  Put<int32_t>(bytes, 32);
  bytes->insert(bytes->end(), 12 * 32, 1);
  PutEmptyEnd(bytes);
}

}  // namespace

TEST(State, LayoutAndSize)
{
  Rig r;
  const ByteChunk chunk = StateOf(r.P());
  ASSERT_EQ(chunk.Size(), 2482);
  int32_t version = 0, count = 0, selections = 0;
  chunk.Get(&version, 0);
  chunk.Get(&count, 4);
  chunk.Get(&selections, 8 + 8 * 113);
  EXPECT_EQ(version, 0x00010000);
  EXPECT_EQ(count, 113);
  EXPECT_EQ(selections, 32);
  double amp = 0;
  chunk.Get(&amp, 8 + 8 * kAmp);
  EXPECT_EQ(amp, 1.0);
}

TEST(State, RenderAfterRestoreIsBitIdentical)
{
  auto render = [](Rig& r) {
    std::vector<double> out;
    for (int b = 0; b < 60; ++b)
    {
      if (b == 1) r.noteOn(57, 100, 17);
      if (b == 20) r.noteOn(64, 80, 3);
      if (b == 40) r.noteOff(57);
      r.run();
      out.insert(out.end(), r.io.out[0].begin(), r.io.out[0].end());
    }
    return out;
  };
  auto source = [](int c, long f) { return 0.5 * std::sin(f * (0.013 + 0.001 * c)); };
  Rig a;
  a.source = source;
  a.set(kPolyMono, 1);
  a.set(kPerfMode, 0);
  a.set(kOverlap, 1.2);
  a.set(kFltQ, 0.4);
  a.set(kPickedBuf, 3);
  a.set(UseForParam(4), 0);
  a.P().Dispatcher().AppendToMap(30, kFltFreq);
  const ByteChunk saved = StateOf(a.P());

  Rig b;
  b.source = source;
  ASSERT_EQ(b.P().UnserializeState(const_cast<ByteChunk*>(&saved), 0), saved.Size());
  EXPECT_TRUE(StateOf(b.P()).IsEqual(saved));
  a.seed(42);
  const auto first = render(a);
  Rig d;
  d.source = source;
  d.P().UnserializeState(const_cast<ByteChunk*>(&saved), 0);
  d.seed(42);
  const auto second = render(d);
  EXPECT_EQ(first, second);
}

// A refused state must leave everything as it was: parameters, selections,
// the MIDI map, options, key flags and labels, which the state holds all of.
TEST(State, AStateCutShortOrDamagedIsRefusedAndChangesNothing)
{
  Rig a, b;
  a.set(kAmp, 0.25);
  a.set(kSelStart, 0.3);
  a.P().Dispatcher().AppendToMap(7, kMix);
  a.set(UseForParam(2), 0.0);
  const ByteChunk full = StateOf(a.P());
  b.set(kFltFreq, 777.0);
  b.P().Dispatcher().AppendToMap(20, kAmp);
  b.set(UseForParam(9), 0.0);
  b.core().buffer(4).label = "kept";
  const ByteChunk before = StateOf(b.P());
  auto refused = [&](const ByteChunk& chunk, const std::string& what) {
    ByteChunk copy = chunk;
    EXPECT_EQ(b.P().UnserializeState(&copy, 0), -1) << what;
    EXPECT_TRUE(StateOf(b.P()).IsEqual(before)) << what << " changed the state";
    EXPECT_EQ(b.P().Dispatcher().ControllerOf(kAmp), 20) << what;
  };
  for (int size : {0, 1, 4, 8, 8 + 8 * 113, kMapStart, kMapStart + 300, full.Size() - 1})
  {
    ByteChunk cut;
    cut.PutBytes(full.GetBytes(), size);
    refused(cut, "cut at " + std::to_string(size));
  }
  // The counts of a's state: parameters, selections, controller 7's list,
  // options, key flag width and labels (its map holds one entry).
  for (int at : {4, 8 + 8 * 113, kMapStart + 4 * 7, kMapStart + 516, kMapStart + 536, kMapStart + 924})
  {
    ByteChunk damaged = full;
    const int32_t huge = 0x40000000;
    std::memcpy(damaged.GetBytes() + at, &huge, 4);
    refused(damaged, "count damaged at " + std::to_string(at));
  }
}

TEST(State, MapEntriesOutOfRangeAreSkipped)
{
  Rig r;
  std::vector<uint8_t> tail;
  Put<int32_t>(&tail, 3);  // controller 0: three entries
  Put<int32_t>(&tail, 8);
  Put<int32_t>(&tail, 200);
  Put<int32_t>(&tail, 94);
  for (int c = 1; c < 128; ++c) Put<int32_t>(&tail, 0);
  PutDefaultRest(&tail);
  ByteChunk chunk = WithTail(r.P(), tail);
  EXPECT_EQ(r.P().UnserializeState(&chunk, 0), chunk.Size());
  EXPECT_EQ(r.P().Dispatcher().MapFor(0), (std::vector<int>{8, 94}));
}

TEST(State, OptionsKeyFlagsAndFileBlockVariants)
{
  Rig r;
  std::vector<uint8_t> tail;
  PutEmptyMap(&tail);
  Put<int32_t>(&tail, 3);  // three options, the third skipped
  Put<double>(&tail, 1.0);
  Put<double>(&tail, 0.0);
  Put<double>(&tail, 77.0);
  Put<int32_t>(&tail, 40);  // 40 buffers of key flags: 8 extra per key dropped
  for (int k = 0; k < 12; ++k)
    for (int b = 0; b < 40; ++b) tail.push_back(b == 5 ? 0 : 1);
  Put<int32_t>(&tail, 0);  // no labels
  tail.push_back(1);       // a file block of five bytes
  Put<int32_t>(&tail, 5);
  tail.insert(tail.end(), {9, 9, 9, 9, 9});
  tail.push_back(0);
  ByteChunk chunk = WithTail(r.P(), tail);
  EXPECT_EQ(r.P().UnserializeState(&chunk, 0), chunk.Size());
  EXPECT_TRUE(r.P().DropOnMouseUp());
  EXPECT_FALSE(r.P().ShowLabels());
  EXPECT_FALSE(r.tables().isUsedFor(3, 5));
  EXPECT_TRUE(r.tables().isUsedFor(3, 6));

  std::vector<uint8_t> narrow;
  PutEmptyMap(&narrow);
  Put<int32_t>(&narrow, 2);
  Put<double>(&narrow, 0.0);
  Put<double>(&narrow, 1.0);
  Put<int32_t>(&narrow, 16);  // 16 buffers: flags for buffers 0..15 only
  for (int k = 0; k < 12; ++k)
    for (int b = 0; b < 16; ++b) narrow.push_back(0);
  ByteChunk cut = WithTail(r.P(), narrow);
  EXPECT_EQ(r.P().UnserializeState(&cut, 0), -1) << "cut after the key flags";
  EXPECT_TRUE(r.tables().isUsedFor(0, 15)) << "a refused state changes no flag";
  PutEmptyEnd(&narrow);
  ByteChunk short16 = WithTail(r.P(), narrow);
  EXPECT_EQ(r.P().UnserializeState(&short16, 0), short16.Size());
  EXPECT_FALSE(r.tables().isUsedFor(0, 15));
  EXPECT_FALSE(r.tables().isUsedFor(3, 5));
  EXPECT_TRUE(r.tables().isUsedFor(0, 16)) << "buffers past the width keep their flags";
}

TEST(State, HostileCountsFailQuickly)
{
  Rig r;
  for (int32_t count : {2147483647, -5, -2147483647 - 1})
  {
    for (size_t at : {size_t(4), size_t(8 + 8 * 113), size_t(8 + 8 * 113 + 4 + 16 * 32)})
    {
      ByteChunk chunk = StateOf(r.P());
      std::memcpy(chunk.GetBytes() + at, &count, 4);
      const int end = r.P().UnserializeState(&chunk, 0);
      EXPECT_TRUE(end == -1 || end <= chunk.Size()) << "count " << count << " at " << at;
    }
    std::vector<uint8_t> tail;
    PutEmptyMap(&tail);
    Put<int32_t>(&tail, count);  // options
    ByteChunk options = WithTail(r.P(), tail);
    EXPECT_EQ(r.P().UnserializeState(&options, 0), -1);
    tail.resize(512);
    Put<int32_t>(&tail, 2);
    Put<double>(&tail, 0.0);
    Put<double>(&tail, 1.0);
    Put<int32_t>(&tail, count);  // key flag width
    ByteChunk flags = WithTail(r.P(), tail);
    EXPECT_EQ(r.P().UnserializeState(&flags, 0), -1);
  }
}

TEST(State, RandomBytesNeverCrash)
{
  Rig r;
  uint32_t seed = 99;
  for (int round = 0; round < 200; ++round)
  {
    ByteChunk chunk = StateOf(r.P());
    for (int k = 0; k < 1 + round % 20; ++k)
    {
      seed = seed * 1664525u + 1013904223u;
      chunk.GetBytes()[seed % static_cast<uint32_t>(chunk.Size())] = static_cast<uint8_t>(seed >> 24);
    }
    chunk.Resize(chunk.Size() - static_cast<int>(seed % 300));
    r.P().UnserializeState(&chunk, 0);
  }
  r.run();
  for (double x : r.io.out[0]) ASSERT_TRUE(std::isfinite(x));
}

TEST(State, OddNumbersInOptionsAndSelectionsAreTamed)
{
  Rig r;
  ByteChunk chunk = StateOf(r.P());
  const double odd[] = {std::nan(""), 1e300, -1e300, INFINITY};
  std::memcpy(chunk.GetBytes() + 8 + 8 * 113 + 4, &odd[0], 8);       // buffer 0 start
  std::memcpy(chunk.GetBytes() + 8 + 8 * 113 + 4 + 8, &odd[3], 8);   // buffer 0 end
  std::memcpy(chunk.GetBytes() + 8 + 8 * 113 + 4 + 16, &odd[2], 8);  // buffer 1 start
  std::memcpy(chunk.GetBytes() + kMapStart + 512 + 4, &odd[1], 8);   // "drop on MouseUp"
  EXPECT_EQ(r.P().UnserializeState(&chunk, 0), chunk.Size());
  EXPECT_EQ(r.core().tabs().selStartFraction[0], 0.0);
  EXPECT_EQ(r.core().tabs().selEndFraction[0], 1.0);
  EXPECT_EQ(r.core().tabs().selStartFraction[1], 0.0);
  EXPECT_TRUE(r.P().DropOnMouseUp());
  EXPECT_EQ(r.voice(0).playhead().selEnd(), r.core().bufferLength());
}

TEST(State, HugePerBufferBlockIsRejected)
{
  Rig r;
  ByteChunk chunk = StateOf(r.P());
  chunk.Resize(chunk.Size() - 1);
  const uint8_t flag = 1;
  chunk.Put(&flag);
  const int32_t buffers = 0x7FFFFFFF, values = 0x7FFFFFFF;
  chunk.Put(&buffers);
  chunk.Put(&values);
  EXPECT_EQ(r.P().UnserializeState(&chunk, 0), -1);
  EXPECT_FALSE(r.P().PickedVoiceOnly());
}
