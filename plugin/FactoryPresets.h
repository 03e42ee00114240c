#pragma once
// The factory sounds: each a name a musician understands and the settings
// that make it, applied to an instance at its defaults. The LV2 bundle
// ships them as presets, the release archives as preset files of both
// VST 2.4 plug-ins, and vesk-render plays them by name.
#include <string>
#include <utility>
#include <vector>

#include "frame/ByteChunk.h"

class Vesk;

struct FactoryPreset
{
  const char* name;
  std::vector<std::pair<int, double>> settings;  // parameter index and its value, in order
};

const std::vector<FactoryPreset>& FactoryPresets();

// The preset's settings, on an instance at its defaults.
void ApplyFactoryPreset(Vesk& plug, const FactoryPreset& preset);

// The preset's state as a host saves a program (header and engine state).
ByteChunk FactoryPresetChunk(const FactoryPreset& preset);

// A name as a file or a URI fragment: lower case, words joined by '-'.
std::string PresetSlug(const std::string& name);
