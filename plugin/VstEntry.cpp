// The library's entry point: one instrument per call, built under a
// process-wide lock so concurrent instantiations do not overlap.
#include <algorithm>
#include <mutex>

#include "editor/layout/VeskEditor.h"
#include "plugin/Vesk.h"
#include "platform/VstExport.h"
#if defined(_WIN32)
#include "platform/win/IGraphicsWin.h"
#include "platform/win/Module.h"

// The module handle finds the pictures and names the library's folder.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
  if (reason == DLL_PROCESS_ATTACH) SetVeskModule(instance);
  return TRUE;
}

namespace {
IGraphics* MakeEditorWindow(IPlugBase* p, int w, int h, int fps)
{
  auto* g = new IGraphicsWin(p, w, h, fps);
  g->SetHInstance(VeskModule());
  return g;
}
}  // namespace
#else
#include "platform/x11/IGraphicsX11.h"

namespace {
IGraphics* MakeEditorWindow(IPlugBase* p, int w, int h, int fps) { return new IGraphicsX11(p, w, h, fps); }
}  // namespace
#endif

extern "C" VESK_EXPORT vst2::AEffect* VSTPluginMain(vst2::HostCallback hostCallback)
{
  static std::mutex entryLock;
  std::lock_guard<std::mutex> lock(entryLock);
  SetGraphicsFactory(MakeEditorWindow);
  Vesk* plug = new Vesk(hostCallback);
  if (!plug) return nullptr;
  plug->MakeDefaultPreset("Empty", plug->NPresets());
  vst2::AEffect* effect = plug->GetAEffect();
  effect->numPrograms = std::max(effect->numPrograms, 1);
  return effect;
}

// Older hosts look the entry point up as "main". That name cannot be given
// this signature in C or C++, so the forwarding function takes it through
// its symbol name.
extern "C" VESK_EXPORT vst2::AEffect* VeskLegacyMain(vst2::HostCallback hostCallback) __asm__("main");
extern "C" vst2::AEffect* VeskLegacyMain(vst2::HostCallback hostCallback)
{
  return VSTPluginMain(hostCallback);
}
