/* Older hosts look the entry point up as "main". The name is only legal
   with this signature in C, so it lives here and forwards. */
#include "platform/VstExport.h"

struct AEffect;
typedef long long VeskIntPtr;
typedef VeskIntPtr (*VeskHostCallback)(struct AEffect*, int, int, VeskIntPtr, void*, float);

struct AEffect* VSTPluginMain(VeskHostCallback host);

#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wmain"
#endif
VESK_EXPORT struct AEffect* main(VeskHostCallback host)
{
  return VSTPluginMain(host);
}
