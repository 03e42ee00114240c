#include "engine/BufferMemory.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <thread>
#include <vector>

#include "engine/Memory.h"

bool BufferMemory::allMapped(uint32_t mask, int frames) const
{
  for (int b = 0; b < kNumBuffers; ++b)
    if ((mask >> b & 1u) && !mapped(b, frames)) return false;
  return true;
}

bool BufferMemory::need(uint32_t mask, int frames)
{
  if (allMapped(mask, frames)) return true;
  mNeed.store(Pack(mask, frames), std::memory_order_relaxed);
  mPending.store(true, std::memory_order_release);
  return false;
}

size_t BufferMemory::map()
{
  std::lock_guard<std::mutex> lock(mMapping);
  mPending.store(false, std::memory_order_relaxed);
  const uint64_t need = mNeed.load(std::memory_order_acquire);
  const auto mask = static_cast<uint32_t>(need >> 32);
  const int frames = std::min(static_cast<int>(need & 0xFFFFFFFFu), kBufferFrames);
  size_t bytes = 0;
  for (int b = 0; b < kNumBuffers; ++b)
  {
    const int from = mMapped[b].load(std::memory_order_relaxed);
    if (!(mask >> b & 1u) || from >= frames) continue;
    // Past what the audio thread may write: it records only below a
    // length that is mapped already.
    TouchPages(mBuffers[b].frames[from], static_cast<size_t>(frames - from) * sizeof mBuffers[b].frames[0]);
    bytes += static_cast<size_t>(frames - from) * sizeof mBuffers[b].frames[0];
    mMapped[b].store(frames, std::memory_order_release);
  }
  return bytes;
}

namespace memory_helper {
namespace {
constexpr auto kPoll = std::chrono::milliseconds(10);

struct Helper
{
  std::mutex lifecycle;  // Register and Unregister, one at a time
  std::mutex lock;       // the list, and the helper's pass over it
  std::condition_variable wake;
  std::vector<BufferMemory*> engines;
  std::thread thread;
  bool stop = false;

  // Instances a host never closed leave it running until the process ends.
  ~Helper()
  {
    {
      std::lock_guard<std::mutex> held(lock);
      stop = true;
    }
    wake.notify_all();
    if (thread.joinable()) thread.join();
  }

  void Run()
  {
    std::unique_lock<std::mutex> held(lock);
    while (!stop)
    {
      wake.wait_for(held, kPoll, [this] { return stop; });
      for (BufferMemory* memory : engines)
        if (memory->pending()) memory->map();
    }
  }
};

Helper& TheHelper()
{
  static Helper helper;
  return helper;
}
}  // namespace

void Register(BufferMemory* memory)
{
  Helper& h = TheHelper();
  std::lock_guard<std::mutex> life(h.lifecycle);
  {
    std::lock_guard<std::mutex> held(h.lock);
    if (std::find(h.engines.begin(), h.engines.end(), memory) != h.engines.end()) return;
    h.engines.push_back(memory);
    h.stop = false;
  }
  if (!h.thread.joinable()) h.thread = std::thread([&h] { h.Run(); });
}

void Unregister(BufferMemory* memory)
{
  Helper& h = TheHelper();
  std::lock_guard<std::mutex> life(h.lifecycle);
  {
    std::lock_guard<std::mutex> held(h.lock);
    h.engines.erase(std::remove(h.engines.begin(), h.engines.end(), memory), h.engines.end());
    if (!h.engines.empty() || !h.thread.joinable()) return;
    h.stop = true;
  }
  h.wake.notify_all();
  h.thread.join();
}

bool Running()
{
  Helper& h = TheHelper();
  std::lock_guard<std::mutex> life(h.lifecycle);
  return h.thread.joinable();
}
}  // namespace memory_helper
