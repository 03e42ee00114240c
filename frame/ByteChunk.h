#pragma once
// A growable byte array with little-endian append and bounded reads.
// Every read takes a position and returns the position after the value,
// or -1 when the value does not fit (and for any negative start position).
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

class ByteChunk
{
public:
  ByteChunk() = default;

  template <typename T>
  int Put(const T* value)
  {
    static_assert(std::is_trivially_copyable_v<T>);
    return PutBytes(value, static_cast<int>(sizeof(T)));
  }

  template <typename T>
  int Get(T* value, int pos) const
  {
    static_assert(std::is_trivially_copyable_v<T>);
    return GetBytes(value, static_cast<int>(sizeof(T)), pos);
  }

  int PutBytes(const void* data, int size);
  int GetBytes(void* data, int size, int pos) const;

  // A string is an int32 length followed by that many bytes, no terminator.
  int PutStr(const char* text);
  int PutStr(const std::string& text) { return PutStr(text.c_str()); }
  int GetStr(std::string* text, int pos) const;

  int PutChunk(const ByteChunk* other) { return PutBytes(other->GetBytes(), other->Size()); }

  void Clear() { mBytes.clear(); }
  int Size() const { return static_cast<int>(mBytes.size()); }
  // Resizes to newSize bytes (new bytes are zero); returns the new size.
  int Resize(int newSize);
  uint8_t* GetBytes() { return mBytes.data(); }
  const uint8_t* GetBytes() const { return mBytes.data(); }

  bool IsEqual(const ByteChunk& other) const { return mBytes == other.mBytes; }

private:
  std::vector<uint8_t> mBytes;
};
