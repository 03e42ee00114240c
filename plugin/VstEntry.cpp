// The VST 2.4 library's entry point: one instrument per call. The same
// source makes the effect (vesk) and, built with VESK_INSTRUMENT, the
// instrument (vesk-instrument).
#include <memory>

#include "frame/vst2/IPlugVST.h"
#include "plugin/Instance.h"
#include "plugin/Vesk.h"
#include "platform/VstExport.h"
#if defined(_WIN32)
#include <windows.h>

#include "platform/win/Module.h"

// The module handle finds the pictures and names the library's folder.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
  if (reason == DLL_PROCESS_ATTACH) SetVeskModule(instance);
  return TRUE;
}
#endif

extern "C" VESK_EXPORT vst2::AEffect* VSTPluginMain(vst2::HostCallback hostCallback)
{
#if defined(VESK_INSTRUMENT)
  std::unique_ptr<IPlugBase> plug(NewVeskInstance(kVeskInstrument));
#else
  std::unique_ptr<IPlugBase> plug(NewVeskInstance(kVeskEffect));
#endif
  if (!plug) return nullptr;
  auto* adapter = new (std::nothrow) IPlugVST(hostCallback, std::move(plug));
  return adapter ? adapter->GetAEffect() : nullptr;
}

// Older hosts look the entry point up as "main". That name cannot be given
// this signature in C or C++, so the forwarding function takes it through
// its symbol name.
extern "C" VESK_EXPORT vst2::AEffect* VeskLegacyMain(vst2::HostCallback hostCallback) __asm__("main");
extern "C" vst2::AEffect* VeskLegacyMain(vst2::HostCallback hostCallback)
{
  return VSTPluginMain(hostCallback);
}
