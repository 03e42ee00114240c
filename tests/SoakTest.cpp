// A seeded soak: random notes, pedals and bends, every parameter automated
// at random (the grain lengths and overlap most often), and a host tempo
// that jumps, for several simulated minutes. The sanitizers watch every
// conversion; the output must stay finite.
#include <gtest/gtest.h>

#include <random>

#include "tests/Rig.h"

namespace {

constexpr int kBlock = 512;
constexpr double kRate = 48000.0;

struct Soak
{
  Rig rig{kBlock, kRate};
  std::mt19937 random;

  explicit Soak(uint32_t seed) : random(seed)
  {
    rig.seed(seed);
    rig.source = [](int c, long f) { return 0.4 * std::sin(f * (0.013 + 0.002 * c)) + 0.1 * std::sin(f * 0.21); };
  }
  int Pick(int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); }
  double Unit() { return std::uniform_real_distribution<double>(0.0, 1.0)(random); }

  void Automate()
  {
    static const int kOften[] = {kBaseLenNom, kBaseLenDenum, kOverlap, kPerfMode};
    const int idx = Pick(3) == 0 ? kOften[Pick(4)] : Pick(kNumParams);
    rig.P().GetParam(idx)->SetNormalized(Pick(8) == 0 ? Pick(2) : Unit());
    rig.P().OnParamChange(idx);
  }
  void Play()
  {
    const int offset = Pick(kBlock);
    switch (Pick(6))
    {
      case 0: rig.noteOff(24 + Pick(80), offset); break;
      case 1: rig.cc(64 + Pick(5), Pick(2) * 127, offset); break;
      case 2: rig.midi(offset, 0xE0, Pick(128), Pick(128)); break;
      default: rig.noteOn(24 + Pick(80), 1 + Pick(127), offset);
    }
  }
  void Block()
  {
    for (int n = Pick(4); n > 0; --n) Play();
    for (int n = Pick(3); n > 0; --n) Automate();
    if (Pick(50) == 0) rig.host.tempo = Pick(10) == 0 ? Unit() * 1e-3 : 20.0 + Unit() * 280.0;
    rig.run();
  }
  bool Finite() const
  {
    for (const auto& channel : rig.io.out)
      for (double x : channel)
        if (!std::isfinite(x)) return false;
    return true;
  }
};

}  // namespace

TEST(Soak, RandomPlayAndAutomationForSeveralMinutesStaysFinite)
{
  const long blocks = static_cast<long>(4 * 60 * kRate / kBlock);  // four minutes
  for (uint32_t seed : {1u, 2u})
  {
    auto soak = std::make_unique<Soak>(seed);
    for (long b = 0; b < blocks / 2; ++b)
    {
      soak->Block();
      ASSERT_TRUE(soak->Finite()) << "seed " << seed << ", block " << b;
    }
  }
}
