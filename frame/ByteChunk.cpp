#include "frame/ByteChunk.h"

#include <algorithm>

int ByteChunk::PutBytes(const void* data, int size)
{
  if (size > 0 && data)
  {
    const auto* bytes = static_cast<const uint8_t*>(data);
    mBytes.insert(mBytes.end(), bytes, bytes + size);
  }
  return Size();
}

int ByteChunk::GetBytes(void* data, int size, int pos) const
{
  if (pos < 0 || size < 0 || size > Size() - pos) return -1;
  if (size > 0) std::memcpy(data, mBytes.data() + pos, static_cast<size_t>(size));
  return pos + size;
}

int ByteChunk::PutStr(const char* text)
{
  if (!text) text = "";
  const auto length = static_cast<int32_t>(std::strlen(text));
  Put(&length);
  return PutBytes(text, length);
}

int ByteChunk::GetStr(std::string* text, int pos) const
{
  int32_t length = 0;
  pos = Get(&length, pos);
  // A negative or oversized length fails before anything is allocated.
  if (pos < 0 || length < 0 || length > Size() - pos) return -1;
  text->assign(reinterpret_cast<const char*>(mBytes.data() + pos), static_cast<size_t>(length));
  return pos + length;
}

int ByteChunk::Resize(int newSize)
{
  mBytes.resize(static_cast<size_t>(std::max(0, newSize)), 0);
  return Size();
}
