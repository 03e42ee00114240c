// The LV2 library's entry point: the instrument, driven by the LV2 adapter.
#include <lv2/core/lv2.h>

#include "frame/lv2/IPlugLV2.h"
#include "plugin/Instance.h"
#include "plugin/Vesk.h"
#include "platform/VstExport.h"

namespace {
IPlugLV2* Adapter(LV2_Handle instance) { return static_cast<IPlugLV2*>(instance); }

LV2_Handle Instantiate(const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features)
{
  return IPlugLV2::Create(NewVeskInstance(kVeskEffect), sampleRate, features);
}

void ConnectPort(LV2_Handle instance, uint32_t port, void* data) { Adapter(instance)->ConnectPort(port, data); }
void Activate(LV2_Handle instance) { Adapter(instance)->Activate(); }
void Run(LV2_Handle instance, uint32_t frames) { Adapter(instance)->Run(frames); }
void Deactivate(LV2_Handle instance) { Adapter(instance)->Deactivate(); }
void Cleanup(LV2_Handle instance) { delete Adapter(instance); }

const LV2_Descriptor kDescriptor = {vesk_lv2::kPluginUri, Instantiate, ConnectPort, Activate, Run, Deactivate,
                                    Cleanup, IPlugLV2::ExtensionData};
}  // namespace

extern "C" VESK_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index == 0 ? &kDescriptor : nullptr;
}
