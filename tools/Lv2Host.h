#pragma once
// A small LV2 host for the tests and the bench: loads the bundle's DSP
// binary through its entry point, connects every port, forges MIDI and time
// events, reads the notify port and saves and restores the state as a host does.
#include <dlfcn.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "plugin/VeskParams.h"
#include "platform/Lv2Vesk.h"

struct Lv2Host
{
  explicit Lv2Host(std::string bundleFolder) : bundle(std::move(bundleFolder)) {}
#ifdef VESK_LV2_BUNDLE
  Lv2Host() : Lv2Host(VESK_LV2_BUNDLE "/") {}
#endif

  static constexpr int kMaxBlock = 256;
  struct Event
  {
    uint32_t frame;
    uint8_t bytes[3];
  };

  std::map<std::string, LV2_URID> ids;
  LV2_URID_Map map{this, &Map};
  int32_t maxBlock = kMaxBlock;
  LV2_Options_Option options[2] = {};
  LV2_Feature mapFeature{LV2_URID__map, &map}, optionsFeature{LV2_OPTIONS__options, options};
  const LV2_Feature* features[3] = {&mapFeature, &optionsFeature, nullptr};

  std::string bundle;  // the folder, ending in '/'
  void* library = nullptr;
  const LV2_Descriptor* descriptor = nullptr;
  LV2_Handle instance = nullptr;
  vesk_lv2::PortLayout layout{};
  std::vector<float> controls;
  std::vector<float> in[2], out[2];
  alignas(8) uint8_t events[1 << 16] = {};
  alignas(8) uint8_t notify[1 << 16] = {};
  LV2_Atom_Forge forge{};
  // Mapped once: forging a block's events must not allocate in the host either.
  LV2_URID position = 0, bpm = 0, speed = 0, bar = 0, barBeat = 0, midiEvent = 0;

  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri)
  {
    auto& ids = static_cast<Lv2Host*>(handle)->ids;
    return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
  }
  LV2_URID Id(const char* uri) { return Map(this, uri); }

  // The descriptor; false when the binary or its entry point is missing.
  bool Load()
  {
    library = dlopen((bundle + "vesk_dsp.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = library ? reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor")) : nullptr;
    descriptor = entry ? entry(0) : nullptr;
    return descriptor != nullptr;
  }

  // Instantiates with every port connected (all but two audio inputs left open) and activates.
  bool Start(double rate = 48000.0, bool activate = true)
  {
    if (!descriptor && !Load()) return false;
    options[0] = {LV2_OPTIONS_INSTANCE, 0, Id(LV2_BUF_SIZE__maxBlockLength), sizeof maxBlock, Id(LV2_ATOM__Int), &maxBlock};
    instance = descriptor->instantiate(descriptor, rate, bundle.c_str(), features);
    if (!instance) return false;
    layout = {static_cast<uint32_t>(VeskParamTable().size()), 64, 2};
    controls.resize(layout.params);
    for (uint32_t i = 0; i < layout.params; ++i) controls[i] = static_cast<float>(VeskParam(static_cast<int>(i)).def);
    for (auto* c : {&in[0], &in[1], &out[0], &out[1]}) c->assign(4 * kMaxBlock, 0.0f);
    for (uint32_t i = 0; i < layout.params; ++i) descriptor->connect_port(instance, i, &controls[i]);
    for (uint32_t c = 0; c < 2; ++c) descriptor->connect_port(instance, layout.FirstInput() + c, in[c].data());
    for (uint32_t c = 0; c < 2; ++c) descriptor->connect_port(instance, layout.FirstOutput() + c, out[c].data());
    descriptor->connect_port(instance, layout.Events(), events);
    descriptor->connect_port(instance, layout.Notify(), notify);
    lv2_atom_forge_init(&forge, &map);
    position = Id(LV2_TIME__Position), bpm = Id(LV2_TIME__beatsPerMinute), speed = Id(LV2_TIME__speed);
    bar = Id(LV2_TIME__bar), barBeat = Id(LV2_TIME__barBeat), midiEvent = Id(LV2_MIDI__MidiEvent);
    Forge({});
    if (activate) descriptor->activate(instance);
    return true;
  }

  ~Lv2Host()
  {
    if (instance) descriptor->cleanup(instance);
  }

  // The next run's events: a time position (tempo, playing) first, when asked, then the MIDI.
  void Forge(std::initializer_list<Event> midi, double tempo = 0.0)
  {
    lv2_atom_forge_set_buffer(&forge, events, sizeof events);
    LV2_Atom_Forge_Frame sequence, object;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    if (tempo > 0.0)
    {
      lv2_atom_forge_frame_time(&forge, 0);
      lv2_atom_forge_object(&forge, &object, 0, position);
      lv2_atom_forge_key(&forge, bpm), lv2_atom_forge_float(&forge, static_cast<float>(tempo));
      lv2_atom_forge_key(&forge, speed), lv2_atom_forge_float(&forge, 1.0f);
      lv2_atom_forge_key(&forge, bar), lv2_atom_forge_long(&forge, 0);
      lv2_atom_forge_key(&forge, barBeat), lv2_atom_forge_float(&forge, 0.0f);
      lv2_atom_forge_pop(&forge, &object);
    }
    for (const Event& e : midi)
    {
      lv2_atom_forge_frame_time(&forge, e.frame);
      lv2_atom_forge_atom(&forge, 3, midiEvent);
      lv2_atom_forge_write(&forge, e.bytes, 3);
    }
    lv2_atom_forge_pop(&forge, &sequence);
  }

  // One run with the input given as a sine; the events forged are then spent.
  void Run(uint32_t frames, double phase = 0.0)
  {
    for (uint32_t s = 0; s < frames && s < in[0].size(); ++s)
      in[0][s] = in[1][s] = static_cast<float>(0.5 * __builtin_sin(0.05 * (phase + s)));
    reinterpret_cast<LV2_Atom*>(notify)->size = sizeof notify - sizeof(LV2_Atom);
    descriptor->run(instance, frames);
    Forge({});
  }

  double Peak(uint32_t frames) const
  {
    double peak = 0.0;
    for (uint32_t s = 0; s < frames; ++s) peak = std::max(peak, static_cast<double>(std::abs(out[0][s])));
    return peak;
  }

  // The events the notify port held after the last run.
  int NotifyEvents() const
  {
    int count = 0;
    LV2_ATOM_SEQUENCE_FOREACH(reinterpret_cast<const LV2_Atom_Sequence*>(notify), ev) ++count;
    return count;
  }

  // The state's properties as a host keeps them.
  struct Saved
  {
    uint32_t key = 0, type = 0;
    std::vector<uint8_t> bytes;
  };

  const LV2_State_Interface* State() const
  {
    return static_cast<const LV2_State_Interface*>(descriptor->extension_data(LV2_STATE__interface));
  }

  Saved Save()
  {
    Saved saved;
    State()->save(instance, [](LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t) {
      auto* s = static_cast<Saved*>(h);
      s->key = key, s->type = type;
      s->bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
      return LV2_STATE_SUCCESS;
    }, &saved, 0, nullptr);
    return saved;
  }

  LV2_State_Status Restore(Saved saved)
  {
    return State()->restore(instance, [](LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void* {
      auto* s = static_cast<Saved*>(h);
      if (key != s->key) return nullptr;
      *size = s->bytes.size(), *type = s->type, *flags = LV2_STATE_IS_POD;
      return s->bytes.empty() ? static_cast<const void*>("") : s->bytes.data();
    }, &saved, 0, nullptr);
  }
};
