#include "plugin/Instance.h"

#include <mutex>

#include "editor/layout/VeskEditor.h"
#include "plugin/Vesk.h"
#if defined(_WIN32)
#include "platform/win/IGraphicsWin.h"
#include "platform/win/Module.h"

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

Vesk* NewVeskInstance(const VeskIdentity& identity)
{
  static std::mutex entryLock;
  std::lock_guard<std::mutex> lock(entryLock);
  SetGraphicsFactory(MakeEditorWindow);
  Vesk* plug = new Vesk(identity);
  if (plug) plug->MakeDefaultPreset("Empty", plug->NPresets());
  return plug;
}
