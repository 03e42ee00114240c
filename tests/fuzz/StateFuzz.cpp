// Feeds arbitrary bytes to the state reader, as a saved program and as a
// saved bank: nothing may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "plugin/Vesk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static Vesk* plug = [] {
    Vesk* p = new Vesk();
    p->SetSampleRate(48000);
    p->SetBlockSize(256);
    p->Reset();
    return p;
  }();
  IMutexLock lock(plug->Mutex());
  for (bool bank : {false, true}) plug->LoadState(data, static_cast<int64_t>(size), bank);
  ByteChunk chunk;
  chunk.PutBytes(data, static_cast<int>(size));
  plug->UnserializeState(&chunk, 0);
  return 0;
}
