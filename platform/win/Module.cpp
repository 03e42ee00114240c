#include "platform/win/Module.h"

#include <algorithm>

#include <windows.h>

#include "platform/Resources.h"

namespace {
HMODULE gModule = nullptr;
}

void SetVeskModule(void* module) { gModule = static_cast<HMODULE>(module); }
void* VeskModule() { return gModule; }

std::wstring Widen(const std::string& utf8)
{
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(0, n)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const wchar_t* wide, int length)
{
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8.data(), n, nullptr, nullptr);
  if (length < 0 && !utf8.empty()) utf8.pop_back();  // the terminator came along
  return utf8;
}

// Pictures are RC resources of type "PNG" or "GIF" inside the library.
bool FindEmbeddedResource(const char* type, int id, const void** data, int* size)
{
  HRSRC found = FindResourceA(gModule, MAKEINTRESOURCEA(id), type);
  if (!found) return false;
  HGLOBAL loaded = LoadResource(gModule, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return false;
  *data = bytes;
  *size = static_cast<int>(SizeofResource(gModule, found));
  return true;
}
