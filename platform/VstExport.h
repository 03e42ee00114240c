#pragma once
// Marks the library's two exported entry points; everything else is hidden.
#if defined(_WIN32)
#define VESK_EXPORT __declspec(dllexport)
#else
#define VESK_EXPORT __attribute__((visibility("default")))
#endif
