#pragma once
// Text between the plug-in's UTF-8 and the interface's UTF-16, cut to the
// room the interface gives and always terminated.
#include <cstddef>
#include <string>

#include "platform/vst3abi.h"

namespace vst3_text {

// UTF-8 to UTF-16 in `size` units; a malformed byte becomes '?'.
inline void ToUtf16(const char* text, vst3::TChar* out, size_t size)
{
  if (!out || size == 0) return;
  size_t n = 0;
  const auto* s = reinterpret_cast<const unsigned char*>(text ? text : "");
  while (*s && n + 1 < size)
  {
    char32_t c = *s++;
    int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (c >= 0x80 && c < 0xC0) c = '?';
    else if (more) c &= 0x3F >> more;
    for (; more > 0 && (*s & 0xC0) == 0x80; --more) c = (c << 6) | (*s++ & 0x3F);
    if (more > 0 || c > 0x10FFFF) c = '?';
    if (c >= 0x10000)
    {
      if (n + 2 >= size) break;
      out[n++] = static_cast<vst3::TChar>(0xD800 + ((c - 0x10000) >> 10));
      c = 0xDC00 + ((c - 0x10000) & 0x3FF);
    }
    out[n++] = static_cast<vst3::TChar>(c);
  }
  out[n] = 0;
}

// UTF-16 (at most `size` units, or to its terminator) to UTF-8.
inline std::string FromUtf16(const vst3::TChar* text, size_t size)
{
  std::string out;
  for (size_t i = 0; text && i < size && text[i]; ++i)
  {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < size && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0x800) out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    else if (c < 0x10000)
      out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    else
      out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
              static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
  }
  return out;
}

}  // namespace vst3_text
