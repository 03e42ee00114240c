// What an instance costs before it plays: construction decodes no picture
// and maps no buffer; resume maps the buffers the patch reaches, up to its
// length; a change that reaches more is mapped off the audio thread, which
// plays on meanwhile and never takes the fault of a first touch.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <functional>
#include <string>
#include <thread>

#include "editor/framework/IGraphics.h"
#include "editor/layout/VeskEditor.h"
#include "editor/layout/VeskPictures.h"
#include "frame/vst2/IPlugVST.h"
#include "platform/VeskVendor.h"
#include "tests/AllocationCounter.h"
#include "tests/TestHost.h"

namespace {

// Pages of a buffer's frames that are resident, its first and last page
// left out (they hold the neighbours' fields, written at construction).
long ResidentPages(const Buffer& b)
{
  static const long kPage = sysconf(_SC_PAGESIZE);
  const auto begin = reinterpret_cast<uintptr_t>(b.frames) / kPage * kPage + kPage;
  const auto end = (reinterpret_cast<uintptr_t>(b.frames + kBufferFrames) / kPage - 1) * kPage;
  std::vector<unsigned char> resident((end - begin) / kPage);
  if (mincore(reinterpret_cast<void*>(begin), end - begin, resident.data()) != 0) return -1;
  long pages = 0;
  for (unsigned char r : resident) pages += r & 1;
  return pages;
}

// The buffers with resident frames, as a mask; pages beyond `frames` as a count.
struct Residency
{
  uint32_t buffers = 0;
  long pastFrames = 0;
};

Residency Resident(const EngineCore& core, int frames)
{
  static const long kPage = sysconf(_SC_PAGESIZE);
  const long withinFrames = frames * static_cast<long>(sizeof(double[2])) / kPage + 1;
  Residency r;
  for (int b = 0; b < kNumBuffers; ++b)
  {
    const long pages = ResidentPages(core.buffer(b));
    if (pages > 0) r.buffers |= 1u << b;
    r.pastFrames += std::max(0L, pages - withinFrames);
  }
  return r;
}

uint32_t Lowest(int n) { return n >= 32 ? ~0u : (1u << n) - 1; }

intptr_t QuietHost(vst2::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
  return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// An instance driven through its effect record, as a host does.
struct Hosted
{
  Vesk* plug = new Vesk();
  vst2::AEffect* effect = (new IPlugVST(&QuietHost, std::unique_ptr<IPlugBase>(plug)))->GetAEffect();
  TestIO io{256};

  ~Hosted() { Do(vst2::effClose); }
  intptr_t Do(int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
  {
    return effect->dispatcher(effect, op, index, value, ptr, opt);
  }
  void Set(int idx, std::string text) { Do(vst2::effString2Parameter, idx, 0, text.data()); }
  // A host's automation, as the audio thread gets it.
  void Automate(int idx, double value)
  {
    effect->setParameter(effect, idx, static_cast<float>(plug->GetParam(idx)->GetNormalized(value)));
  }
  void Block() { effect->processDoubleReplacing(effect, io.inPtrs.data(), io.outPtrs.data(), 256); }
  // Blocks until what the audio thread asked for is mapped, and one more.
  void Settle()
  {
    Block();
    for (int i = 0; i < 2000 && Do(vst2::effVendorSpecific, vesk_vendor::kMemoryPending); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    Block();
  }
  Residency Resident() { return ::Resident(plug->Core(), plug->Core().bufferLength()); }
};

}  // namespace

TEST(InstanceCost, OpeningDecodesNothingAndMapsNoBuffer)
{
  Hosted h;
  h.Do(vst2::effOpen);
  h.Do(vst2::effSetSampleRate, 0, 0, nullptr, 48000.0f);
  h.Do(vst2::effSetBlockSize, 0, 256);
  EXPECT_EQ(EditorCacheUsers(), 0);
  EXPECT_EQ(CachedBitmap(vesk_pictures::kPicBackground.id), nullptr);
  EXPECT_EQ(h.Resident().buffers, 0u);
  EXPECT_FALSE(memory_helper::Running());

  h.Do(vst2::effMainsChanged, 0, 1);
  const Residency resumed = h.Resident();
  EXPECT_EQ(resumed.buffers, Lowest(4)) << "the default patch's four voices";
  EXPECT_EQ(resumed.pastFrames, 0);
  EXPECT_GE(ResidentPages(h.plug->Core().buffer(3)), 96000 * 16 / 4096 - 2) << "mapped to the whole length";
  EXPECT_TRUE(memory_helper::Running());
  h.Do(vst2::effMainsChanged, 0, 0);
  EXPECT_FALSE(memory_helper::Running()) << "no helper while nothing plays";
}

// Each change reaches more buffers or a longer length; after it, exactly
// what the patch reaches is mapped, and no further than its length.
TEST(InstanceCost, MemoryFollowsWhatThePatchReaches)
{
  Hosted h;
  h.Do(vst2::effOpen);
  h.Do(vst2::effSetSampleRate, 0, 0, nullptr, 48000.0f);
  h.Do(vst2::effMainsChanged, 0, 1);
  struct Step
  {
    const char* what;
    std::function<void()> change;
    uint32_t expected;
    int length;
  };
  const Step steps[] = {
    {"active voices raised by automation", [&] { h.Automate(kActiveVoices, 6); }, Lowest(6), 96000},
    {"a \"use for\" key reaching voice 20",
     [&] {
       h.plug->UseForKey(0, false);  // the editor's "none" for C
       h.Automate(kPickedBuf, 21);
       h.Set(UseForParam(0), "on");
     },
     Lowest(6) | 1u << 20, 96000},
    {"a request of the picked buffer", [&] { h.Automate(kPickedBuf, 26), h.Set(kRequestPicked, "on"); },
     Lowest(6) | 1u << 20 | 1u << 25, 96000},
    {"a longer buffer by automation", [&] { h.Automate(kBufferSeconds, 5); }, Lowest(6) | 1u << 20 | 1u << 25, 239999},
  };
  for (const Step& step : steps)
  {
    step.change();
    h.Settle();
    EXPECT_EQ(h.plug->Core().bufferLength(), step.length) << step.what;  // 5 s as a host's float gives it
    const Residency r = h.Resident();
    EXPECT_EQ(r.buffers, step.expected) << step.what;
    EXPECT_EQ(r.pastFrames, 0) << step.what;
  }

  // A state that asks for ten seconds and every voice, loaded as a host does.
  Hosted other;
  other.Do(vst2::effOpen);
  other.Set(kActiveVoices, "32");
  other.Set(kBufferSeconds, "10");
  void* data = nullptr;
  const intptr_t size = other.Do(vst2::effGetChunk, 1, 0, &data);
  std::vector<uint8_t> chunk(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  ASSERT_EQ(h.Do(vst2::effSetChunk, 1, size, chunk.data()), 1);
  EXPECT_FALSE(h.Do(vst2::effVendorSpecific, vesk_vendor::kMemoryPending)) << "mapped before the call returned";
  h.Block();
  EXPECT_EQ(h.plug->Core().bufferLength(), 480000);
  EXPECT_EQ(h.Resident().buffers, ~0u);
}

// A longer buffer asked for while 32 voices record: the audio thread plays
// on while the memory is mapped (by the helper after automation, by the
// host's own thread after a typed value) and takes no page fault; the
// voices record into the longer buffers once they are there.
TEST(InstanceCost, ALongerBufferIsMappedWhileAudioPlaysOn)
{
  for (bool automated : {true, false})
  {
    Hosted h;
    h.Do(vst2::effOpen);
    h.Do(vst2::effSetSampleRate, 0, 0, nullptr, 48000.0f);
    h.Set(kActiveVoices, "32");
    h.Set(kPerfMode, "simple mode");
    h.Do(vst2::effMainsChanged, 0, 1);
    for (int n = 0; n < 32; ++n)
    {
      IMidiMsg note(n, 0x90, static_cast<uint8_t>(40 + n), 100);
      h.plug->ProcessMidiMsg(&note);
    }
    h.Block();
    std::atomic<bool> playing{false}, asked{false}, done{false};
    long blocksWhileMapping = 0;
    // The host's own thread types the value once the audio thread plays.
    std::thread control([&] {
      while (!playing) std::this_thread::yield();
      if (automated) return;
      asked = true;
      h.Set(kBufferSeconds, "10");
      done = true;
    });
    const FreshThreadCost cost = OnAFreshThread([&] {
      if (automated) h.Automate(kBufferSeconds, 10);
      playing = true;
      for (int b = 0; b < 20000 && h.plug->Core().bufferLength() < 480000; ++b)
      {
        h.Block();
        blocksWhileMapping += automated || (asked && !done);
      }
      for (int b = 0; b < 40; ++b) h.Block();
    });
    control.join();
    EXPECT_EQ(h.plug->Core().bufferLength(), 480000) << automated;
    EXPECT_GE(blocksWhileMapping, 3) << "the audio thread waited for the mapping";
    EXPECT_LT(cost.pageFaults, 10) << automated;
    EXPECT_EQ(cost.allocations, 0) << automated;
  }
}

// Two instances build their editors at once on two threads: the pictures
// are decoded once and shared, and go when the last editor goes.
TEST(Threads, TwoEditorsBuiltAtOnceShareOnePictureCache)
{
  LICE_IBitmap* background[2] = {};
  {
    Hosted a, b;
    std::atomic<int> ready{0};
    auto build = [&ready](Hosted& h, LICE_IBitmap** picture) {
      ++ready;
      while (ready < 2) std::this_thread::yield();
      h.plug->Editor()->Prepare();
      h.plug->Layout().Graphics()->Draw(IRECT(0, 0, VeskEditor::kWidth, VeskEditor::kHeight));
      *picture = CachedBitmap(vesk_pictures::kPicBackground.id);
    };
    std::thread first(build, std::ref(a), &background[0]), second(build, std::ref(b), &background[1]);
    first.join();
    second.join();
    ASSERT_NE(background[0], nullptr);
    EXPECT_EQ(background[0], background[1]);
    EXPECT_EQ(EditorCacheUsers(), 4) << "each editor and each bridge";
  }
  EXPECT_EQ(EditorCacheUsers(), 0);
  EXPECT_EQ(CachedBitmap(vesk_pictures::kPicBackground.id), nullptr);
}
