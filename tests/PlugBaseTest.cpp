#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "frame/IPlugBase.h"

namespace {

class ThreeParamPlug : public IPlugBase
{
public:
  explicit ThreeParamPlug(int nPresets = 1)
    : IPlugBase(3, "1-1 64-2", nPresets, "Test", "", "Maker", PackVersion(1, 2, 3), FourCharCode('T', 's', 't', '1'), 0, true,
                true, false)
  {
    GetParam(0)->InitDouble("a", 0.5, 0.0, 1.0, 0.001);
    GetParam(1)->InitInt("b", 2, 0, 10);
    GetParam(2)->InitDouble("c", -3.0, -10.0, -1.0, 0.01);
  }

  void OnParamChange(int idx) override { changes.push_back(idx); }

  std::vector<int> changes;
};

}  // namespace

TEST(PlugBase, ChannelStringGivesSlotsAndConfigurations)
{
  ThreeParamPlug plug;
  EXPECT_EQ(plug.NInChannels(), 64);
  EXPECT_EQ(plug.NOutChannels(), 2);
  ASSERT_EQ(plug.NChannelIO(), 2);
  EXPECT_EQ(plug.GetChannelIO(1).mIn, 64);
  EXPECT_TRUE(plug.LegalIO(1, -1));
  EXPECT_TRUE(plug.LegalIO(64, 2));
  EXPECT_FALSE(plug.LegalIO(2, 2));
  EXPECT_EQ(plug.GetEffectVersion(true), 10203);
}

TEST(PlugBase, ApiStrings)
{
  struct ApiPlug : ThreeParamPlug
  {
    int api = 0;
    EAPI GetAPI() override { return static_cast<EAPI>(api); }
  } plug;
  EXPECT_STREQ(plug.GetAPIString(), "VST2");
  plug.api = 5;
  EXPECT_STREQ(plug.GetAPIString(), "Standalone");
  plug.api = 6;
  EXPECT_STREQ(plug.GetAPIString(), "");
}

TEST(PlugBase, ShortChunkSetsFirstMissingParamAndStops)
{
  ThreeParamPlug plug;
  ByteChunk chunk;
  const double a = 0.25;
  chunk.Put(&a);
  const uint8_t partial[4] = {1, 2, 3, 4};
  chunk.PutBytes(partial, 4);
  EXPECT_EQ(plug.UnserializeParams(&chunk, 0), -1);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.25);
  EXPECT_EQ(plug.GetParam(1)->Value(), 0.0) << "the first missing value is its clamped 0.0";
  EXPECT_EQ(plug.GetParam(2)->Value(), -3.0) << "the rest keep their values";
  EXPECT_EQ(plug.changes, (std::vector<int>{0, 1, 2}));
}

TEST(PlugBase, ParamsRoundTrip)
{
  ThreeParamPlug a, b;
  a.GetParam(0)->Set(0.75);
  a.GetParam(2)->Set(-7.5);
  ByteChunk chunk;
  ASSERT_TRUE(a.SerializeParams(&chunk));
  EXPECT_EQ(chunk.Size(), 24);
  EXPECT_EQ(b.UnserializeParams(&chunk, 0), 24);
  EXPECT_EQ(b.GetParam(0)->Value(), 0.75);
  EXPECT_EQ(b.GetParam(2)->Value(), -7.5);
}

TEST(PlugBase, RestoringAnUninitialisedPresetCapturesState)
{
  ThreeParamPlug plug(2);
  plug.MakeDefaultPreset("first", 1);
  EXPECT_STREQ(plug.GetPresetName(0), "first");
  EXPECT_STREQ(plug.GetPresetName(1), "empty");
  plug.GetParam(0)->Set(0.125);
  EXPECT_TRUE(plug.RestorePreset(1));
  EXPECT_STREQ(plug.GetPresetName(1), "user preset 1");
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 1);

  plug.GetParam(0)->Set(0.9);
  EXPECT_TRUE(plug.RestorePreset(1));
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.125) << "the captured state comes back";
  EXPECT_TRUE(plug.RestorePreset(0));
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.5);
  EXPECT_FALSE(plug.RestorePreset(2));
  EXPECT_STREQ(plug.GetPresetName(7), "");
}

TEST(PlugBase, PresetBankRoundTrip)
{
  ThreeParamPlug a(2), b(2);
  a.MakeDefaultPreset("one", 1);
  a.GetParam(1)->Set(7);
  a.RestorePreset(1);
  a.ModifyCurrentPreset("renamed");
  ByteChunk bank;
  ASSERT_TRUE(a.SerializePresets(&bank));
  EXPECT_EQ(b.UnserializePresets(&bank, 0), bank.Size());
  EXPECT_STREQ(b.GetPresetName(0), "one");
  EXPECT_STREQ(b.GetPresetName(1), "renamed");
  EXPECT_TRUE(b.RestorePreset(1));
  EXPECT_EQ(b.GetParam(1)->Value(), 7.0);
}

TEST(PlugBase, ChunkHeader)
{
  ByteChunk chunk;
  IPlugBase::InitChunkWithIPlugVer(&chunk);
  ASSERT_EQ(chunk.Size(), 8);
  EXPECT_EQ(std::memcmp(chunk.GetBytes(), "tffp", 4), 0);
  int pos = 0;
  EXPECT_EQ(IPlugBase::GetIPlugVerFromChunk(&chunk, &pos), 0x00010000);
  EXPECT_EQ(pos, 8);

  ByteChunk foreign;
  const int32_t notMagic = 42;
  foreign.Put(&notMagic);
  pos = 0;
  EXPECT_EQ(IPlugBase::GetIPlugVerFromChunk(&foreign, &pos), 0);
  EXPECT_EQ(pos, 0) << "without the magic the position stays";

  ByteChunk cut;
  const int32_t magic = IPlugBase::kChunkMagic;
  cut.Put(&magic);
  pos = 0;
  IPlugBase::GetIPlugVerFromChunk(&cut, &pos);
  EXPECT_EQ(pos, -1);
}

TEST(PlugBase, BlockSizeAndDisconnectedInputs)
{
  ThreeParamPlug plug;
  plug.SetBlockSize(1024);
  EXPECT_EQ(plug.GetBlockSize(), 1024);
  plug.SetInputChannelConnections(0, 64, true);
  plug.SetInputChannelConnections(2, 62, false);
  EXPECT_TRUE(plug.IsInChannelConnected(1));
  EXPECT_FALSE(plug.IsInChannelConnected(2));
  plug.LimitToStereoIO();
  EXPECT_FALSE(plug.IsInChannelConnected(63));
}

TEST(ByteChunk, ReadsStopAtTheEnd)
{
  ByteChunk chunk;
  const int32_t value = 7;
  chunk.Put(&value);
  int32_t read = 0;
  EXPECT_EQ(chunk.Get(&read, 0), 4);
  EXPECT_EQ(chunk.Get(&read, 1), -1);
  EXPECT_EQ(chunk.Get(&read, -1), -1);
  double tooBig = 0;
  EXPECT_EQ(chunk.Get(&tooBig, 0), -1);
}

TEST(ByteChunk, StringLengthsAreChecked)
{
  for (int32_t length : {-5, 2147483647, 5})
  {
    ByteChunk chunk;
    chunk.Put(&length);
    chunk.PutBytes("abc", 3);
    std::string text = "unchanged";
    EXPECT_EQ(chunk.GetStr(&text, 0), -1) << length;
  }
  ByteChunk ok;
  ok.PutStr("hello");
  std::string text;
  EXPECT_EQ(ok.GetStr(&text, 0), 9);
  EXPECT_EQ(text, "hello");
}
