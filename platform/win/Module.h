#pragma once
// The plug-in library's module handle, stored when Windows loads it, and
// text conversions for the wide Win32 calls.
#include <string>

void SetVeskModule(void* module);
void* VeskModule();

// UTF-8 to UTF-16 and back.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const wchar_t* wide, int length = -1);
