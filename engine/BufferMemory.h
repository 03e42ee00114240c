#pragma once
// The buffers' pages are mapped only as far as the patch can reach them.
// The audio thread says which buffers it may record into and how far; a
// thread that may wait maps them: the host's at resume or after a state
// load, the process's memory helper while audio runs. Until a buffer is
// mapped that far, the engine neither records into it nor plays from it,
// so the audio thread never takes the fault of a first touch.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "engine/Buffer.h"

constexpr int kNumBuffers = 32;

class BufferMemory
{
public:
  explicit BufferMemory(Buffer* buffers) : mBuffers(buffers) {}
  BufferMemory(const BufferMemory&) = delete;
  BufferMemory& operator=(const BufferMemory&) = delete;

  // The buffers in `mask` are needed up to `frames`: true when they all
  // are mapped that far, else the need is left for a mapper. No lock, no
  // system call: the audio thread asks this every block.
  bool need(uint32_t mask, int frames);
  bool mapped(int buffer, int frames) const
  {
    return mMapped[buffer].load(std::memory_order_acquire) >= frames;
  }
  bool allMapped(uint32_t mask, int frames) const;
  // A need is waiting for a mapper.
  bool pending() const { return mPending.load(std::memory_order_acquire); }
  // The last need is mapped.
  bool satisfied() const
  {
    const uint64_t need = mNeed.load(std::memory_order_acquire);
    return allMapped(static_cast<uint32_t>(need >> 32), static_cast<int>(need & 0xFFFFFFFFu));
  }

  // Off the audio thread: maps the last need; the bytes it mapped.
  size_t map();

private:
  static uint64_t Pack(uint32_t mask, int frames) { return static_cast<uint64_t>(mask) << 32 | static_cast<uint32_t>(frames); }

  Buffer* mBuffers;
  std::atomic<uint64_t> mNeed{0};  // mask and frames, read together
  std::atomic<bool> mPending{false};
  std::atomic<int> mMapped[kNumBuffers] = {};
  std::mutex mMapping;  // one mapper at a time
};

// The process's memory helper: a thread, running while any engine is
// registered, that maps what their audio threads asked for. It polls, so
// an audio thread never has to wake it with a system call.
namespace memory_helper {
void Register(BufferMemory* memory);
// Returns once the helper is done with it; the last one out stops the thread.
void Unregister(BufferMemory* memory);
bool Running();
}  // namespace memory_helper
