// Feeds arbitrary bytes to the state reader, through the host's set-chunk
// call in both forms: nothing may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "plugin/Vesk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static Vesk* plug = [] {
    Vesk* p = new Vesk(nullptr);
    p->SetSampleRate(48000);
    p->SetBlockSize(256);
    p->Reset();
    return p;
  }();
  vst2::AEffect* effect = plug->GetAEffect();
  for (int32_t form : {1, 0})
    IPlugVST::VSTDispatcher(effect, vst2::effSetChunk, form, static_cast<intptr_t>(size),
                            const_cast<uint8_t*>(data), 0.0f);
  ByteChunk chunk;
  chunk.PutBytes(data, static_cast<int>(size));
  plug->UnserializeState(&chunk, 0);
  return 0;
}
