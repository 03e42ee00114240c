#pragma once
// The plug-in library's module handle, stored when Windows loads it.
void SetVeskModule(void* module);
void* VeskModule();

// UTF-8 to UTF-16 and back, for the wide Win32 calls.
#include <string>
std::wstring Widen(const std::string& utf8);
std::string Narrow(const wchar_t* wide, int length = -1);
