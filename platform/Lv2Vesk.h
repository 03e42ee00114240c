#pragma once
// What the LV2 description, the LV2 adapter and the LV2 editor binary agree
// on: the URIs, the order of the ports, and the C interface through which the
// editor binary opens the instance's editor when the host grants it access.
#include <cstdint>
#include <cstring>

#include <lv2/core/lv2.h>

namespace vesk_lv2 {
constexpr const char* kPluginUri = "urn:vesk-audio:vesk";
constexpr const char* kUiUri = "urn:vesk-audio:vesk#editor";
// The state's one property: the instrument's chunk, the same bytes a VST 2.4 host saves.
constexpr const char* kChunkKey = "urn:vesk-audio:vesk#chunk";
// The extension the editor binary asks the instance for.
constexpr const char* kEditorLinkUri = "urn:vesk-audio:vesk#editor-link";

// Ports in index order: one control input per parameter, the audio inputs,
// the audio outputs, the event input (MIDI and the host's time) and the
// notify output.
struct PortLayout
{
  uint32_t params, inputs, outputs;

  uint32_t FirstInput() const { return params; }
  uint32_t FirstOutput() const { return params + inputs; }
  uint32_t Events() const { return params + inputs + outputs; }
  uint32_t Notify() const { return Events() + 1; }
  uint32_t Count() const { return Notify() + 1; }
};

// The data of the feature the host offers under this URI, or null.
inline const void* FindFeature(const LV2_Feature* const* features, const char* uri)
{
  for (; features && *features; ++features)
    if (std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
  return nullptr;
}

// Writes a control port's value for the host, as an LV2 editor's write function does.
using WritePort = void (*)(void* controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer);

// The instance's editor, reached by the editor binary through the host's
// data access; every call comes on the host's user-interface thread.
struct EditorLink
{
  // Opens the editor in parent (an X11 window); the editor's own window, or 0.
  uintptr_t (*open)(void* instance, uintptr_t parent, WritePort write, void* controller);
  // Runs the editor's idle and hands the host what changed since the last one.
  void (*idle)(void* instance);
  void (*close)(void* instance);
  void (*size)(void* instance, int* width, int* height);
};
}  // namespace vesk_lv2
