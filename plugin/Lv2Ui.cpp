// The LV2 editor binary: it opens the instance's own editor in the host's
// window. The host must give it the instance (instance and data access);
// parameter changes the editor or the instrument makes reach the host
// through the host's write function, those of the host reach the instance
// through its control ports.
#include <cstring>

#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include "platform/Lv2Vesk.h"
#include "platform/VstExport.h"

namespace {
struct Editor
{
  void* instance;
  const vesk_lv2::EditorLink* link;
};

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
  void* instance = const_cast<void*>(vesk_lv2::FindFeature(features, LV2_INSTANCE_ACCESS_URI));
  const auto* access = static_cast<const LV2_Extension_Data_Feature*>(vesk_lv2::FindFeature(features, LV2_DATA_ACCESS_URI));
  const void* parent = vesk_lv2::FindFeature(features, LV2_UI__parent);
  if (!pluginUri || std::strcmp(pluginUri, vesk_lv2::kPluginUri) != 0 || !instance || !access || !parent)
    return nullptr;
  const auto* link = static_cast<const vesk_lv2::EditorLink*>(access->data_access(vesk_lv2::kEditorLinkUri));
  if (!link) return nullptr;
  const uintptr_t window = link->open(instance, reinterpret_cast<uintptr_t>(parent), write, controller);
  if (!window) return nullptr;
  if (const auto* resize = static_cast<const LV2UI_Resize*>(vesk_lv2::FindFeature(features, LV2_UI__resize)))
  {
    int width = 0, height = 0;
    link->size(instance, &width, &height);
    resize->ui_resize(resize->handle, width, height);
  }
  *widget = reinterpret_cast<LV2UI_Widget>(window);
  return new Editor{instance, link};
}

void Cleanup(LV2UI_Handle handle)
{
  auto* editor = static_cast<Editor*>(handle);
  editor->link->close(editor->instance);
  delete editor;
}

// The instance reads its control ports itself; its editor follows its values.
void PortEvent(LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) {}

int Idle(LV2UI_Handle handle)
{
  auto* editor = static_cast<Editor*>(handle);
  editor->link->idle(editor->instance);
  return 0;
}

const LV2UI_Idle_Interface kIdle = {Idle};

const void* ExtensionData(const char* uri)
{
  return uri && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdle : nullptr;
}

const LV2UI_Descriptor kDescriptor = {vesk_lv2::kUiUri, Instantiate, Cleanup, PortEvent, ExtensionData};
}  // namespace

extern "C" VESK_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
  return index == 0 ? &kDescriptor : nullptr;
}
