// The LV2 binary as careful and careless hosts drive it: its audio path on a
// fresh thread, calls out of order, its state and what it tells the host.
#include <gtest/gtest.h>

#include <memory>

#include "tests/AllocationCounter.h"
#include "tools/Lv2Host.h"

namespace {

std::unique_ptr<Lv2Host> Started(double rate = 48000.0)
{
  auto host = std::make_unique<Lv2Host>();
  if (!host->Start(rate)) return nullptr;
  host->controls[0] = 0.0f;  // NOTE mode
  return host;
}
}  // namespace

// Notes, time positions, moved control ports and blocks of every length,
// longer than the longest the host announced among them: nothing allocates
// on a thread that never called the plug-in before.
TEST(Lv2, AudioPathOnAFreshThreadAllocatesNothing)
{
  auto host = Started();
  ASSERT_TRUE(host);
  double peak = 0.0;
  const FreshThreadCost cost = OnAFreshThread([&] {
    const uint32_t lengths[] = {256, 1, 100, 1000, 17, 256, 512};
    for (int b = 0; b < 40; ++b)
    {
      const uint32_t n = lengths[b % 7];
      if (b % 10 == 0) host->Forge({{0, {0x90, static_cast<uint8_t>(60 + b / 10), 100}}, {n - 1, {0xB0, 1, 64}}}, 90.0 + b);
      host->controls[kMix] = 0.5f + 0.01f * b;
      host->Run(n, b * 1000.0);
      peak = std::max(peak, host->Peak(n));
    }
  });
  EXPECT_EQ(cost.allocations, 0);
  EXPECT_GT(peak, 0.01) << "the notes sounded";
}

// Out-of-order and missing calls do no harm: no URI map or no rate refuses
// the instance, runs before activation are silent, unconnected ports are
// taken as silence, activation is counted once.
TEST(Lv2, CarelessHostCallsAreSafe)
{
  Lv2Host bare;
  ASSERT_TRUE(bare.Load());
  const LV2_Feature* none[] = {nullptr};
  EXPECT_EQ(bare.descriptor->instantiate(bare.descriptor, 48000.0, "", none), nullptr);
  EXPECT_EQ(bare.descriptor->instantiate(bare.descriptor, 48000.0, "", nullptr), nullptr);
  EXPECT_EQ(bare.descriptor->instantiate(bare.descriptor, 0.0, "", bare.features), nullptr);
  EXPECT_EQ(bare.descriptor->extension_data("urn:nothing"), nullptr);

  auto host = std::make_unique<Lv2Host>();
  ASSERT_TRUE(host->Start(44100.0, false));
  host->out[0][0] = 1.0f;
  host->Run(64);
  EXPECT_EQ(host->Peak(64), 0.0) << "a run before activation is silence";
  host->descriptor->activate(host->instance);
  host->descriptor->activate(host->instance);
  host->Run(0);
  for (uint32_t port = 0; port < host->layout.Count() + 3; ++port) host->descriptor->connect_port(host->instance, port, nullptr);
  host->Run(300);  // nothing connected
  host->descriptor->deactivate(host->instance);
  host->descriptor->deactivate(host->instance);
  host->descriptor->activate(host->instance);  // and cleaned up while active
}

// The state is the instrument's chunk; a damaged one is refused with
// nothing changed, and a good one carries the parameters to another
// instance, which tells its host the restored values.
TEST(Lv2, StateIsTheChunkAndABadOneChangesNothing)
{
  auto host = Started();
  ASSERT_TRUE(host);
  host->controls[kMix] = 0.25f;
  host->Run(64);
  const Lv2Host::Saved good = host->Save();
  ASSERT_EQ(good.type, host->Id(LV2_ATOM__Chunk));
  ASSERT_GT(good.bytes.size(), 100u);
  ASSERT_EQ(good.key, host->Id(vesk_lv2::kChunkKey));

  auto other = Started();
  ASSERT_TRUE(other);
  other->Run(64);
  const std::vector<uint8_t> before = other->Save().bytes;
  struct Damage
  {
    const char* what;
    Lv2Host::Saved saved;
    LV2_State_Status expected;
  };
  Lv2Host::Saved wrongType = good, empty = good, cut = good, bent = good, oneByte = good;
  wrongType.type = other->Id(LV2_ATOM__String);
  empty.bytes.clear();
  cut.bytes.resize(cut.bytes.size() / 2);
  for (size_t i = 0; i < 4; ++i) bent.bytes[i] ^= 0xA5;
  oneByte.bytes.resize(1);
  for (const Damage& d : {Damage{"wrong type", wrongType, LV2_STATE_ERR_BAD_TYPE},
                          Damage{"empty", empty, LV2_STATE_ERR_UNKNOWN}, Damage{"cut", cut, LV2_STATE_ERR_UNKNOWN},
                          Damage{"bent header", bent, LV2_STATE_ERR_UNKNOWN},
                          Damage{"one byte", oneByte, LV2_STATE_ERR_UNKNOWN}})
  {
    EXPECT_EQ(other->Restore(d.saved), d.expected) << d.what;
    EXPECT_EQ(other->Save().bytes, before) << d.what << " changed the state";
  }
  ASSERT_EQ(other->Restore(good), LV2_STATE_SUCCESS);
  EXPECT_EQ(other->Save().bytes, good.bytes);
  other->Run(64);
  EXPECT_EQ(other->NotifyEvents(), 0) << "nothing a host would not know";
}
