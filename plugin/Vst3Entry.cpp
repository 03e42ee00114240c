// The VST3 module's entry points: its factory, with Vesk as its one class,
// and the load and unload calls each platform's hosts make.
#include "frame/vst3/Vst3Factory.h"
#include "plugin/Instance.h"
#include "plugin/Vesk.h"
#include "platform/VstExport.h"
#if defined(_WIN32)
#include <windows.h>

#include "platform/win/Module.h"

// The module handle finds the pictures and names the module's folder.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
  if (reason == DLL_PROCESS_ATTACH) SetVeskModule(instance);
  return TRUE;
}
#endif

namespace {
IPlugBase* NewInstance()
{
  return NewVeskInstance(kVeskEffect);
}

const Vst3ClassDescription kVesk{
  kVeskMaker,
  "https://example.org/vesk",
  "",
  vst3::Uid(0x5665736B, 0x56535433, 0x496E7374, 0x00000001),
  "Vesk",
  "Instrument|Sampler",
  kVeskVersion,
  &NewInstance,
};
}  // namespace

extern "C" VESK_EXPORT vst3::IPluginFactory* GetPluginFactory()
{
  static Vst3Factory factory(kVesk);
  factory.addRef();
  return &factory;
}

#if defined(_WIN32)
extern "C" VESK_EXPORT bool InitDll()
{
  return true;
}
extern "C" VESK_EXPORT bool ExitDll()
{
  return true;
}
#else
extern "C" VESK_EXPORT bool ModuleEntry(void*)
{
  return true;
}
extern "C" VESK_EXPORT bool ModuleExit()
{
  return true;
}
#endif
