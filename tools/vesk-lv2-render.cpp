// A small LV2 host of our own: renders an input WAV and a MIDI file through
// an LV2 bundle the way vesk-render does through a VST 2.4 library (the same
// blocks, events and tempo), so the two can be compared sample for sample.
// Usage: see kUsage.
#include <dlfcn.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tools/Audio.h"
#include "tools/FormatRenderOptions.h"
#include "tools/Smf.h"
#include "tools/StateFile.h"
#include "tools/ToolUsage.h"

namespace {
// The instrument's identity in preset files, as the VST 2.4 build writes it.
constexpr int32_t kVeskId = ('V' << 24) | ('e' << 16) | ('s' << 8) | 'k';
constexpr int32_t kVeskVersion = 0x00010000;

[[noreturn]] void Fail(const std::string& why)
{
  std::fprintf(stderr, "vesk-lv2-render: %s\n", why.c_str());
  std::exit(1);
}

const char kUsage[] =
    "usage: vesk-lv2-render --bundle DIR --in WAV --out WAV [--midi MID] [--preset LABEL]\n"
    "                       [--state FILE] [--save-state FILE] [--block FRAMES] [--tail SECONDS]\n"
    "renders the input and the notes through the LV2 bundle as vesk-render does through the VST 2.4\n"
    "library; --preset applies one of the bundle's presets by its label, as a host does\n";

struct Options : FormatRenderOptions
{
  std::string preset;
};

Options ParseOptions(int argc, char** argv)
{
  AnswerCommandLine(argc, argv, kUsage,
                    {"--bundle", "--in", "--out", "--midi", "--preset", "--state", "--save-state", "--block", "--tail"});
  Options o;
  for (int i = 1; i < argc; ++i)
  {
    const std::string flag = argv[i];
    if (i + 1 >= argc) Fail(flag + " needs a value");
    const std::string value = argv[++i];
    if (flag == "--preset") o.preset = value;
    else if (!o.Take(flag, value)) Fail("unknown option " + flag);
  }
  if (o.bundle.empty() || o.in.empty() || o.out.empty()) Fail("--bundle, --in and --out are needed");
  return o;
}

// URIs to numbers, in order of asking.
struct UridMap
{
  std::map<std::string, LV2_URID> ids;
  LV2_URID_Map feature{this, &Map};

  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri)
  {
    auto& ids = static_cast<UridMap*>(handle)->ids;
    return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
  }
  LV2_URID operator()(const char* uri) { return Map(this, uri); }
};

struct Chunk
{
  LV2_URID key, type;
  std::vector<uint8_t> bytes;
};

LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t)
{
  auto* chunk = static_cast<Chunk*>(handle);
  if (key != chunk->key) return LV2_STATE_ERR_NO_PROPERTY;
  chunk->type = type;
  chunk->bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
  return LV2_STATE_SUCCESS;
}

const void* Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
{
  auto* chunk = static_cast<Chunk*>(handle);
  if (key != chunk->key) return nullptr;
  *size = chunk->bytes.size();
  *type = chunk->type;
  *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  return chunk->bytes.data();
}

class Lv2Render
{
public:
  Lv2Render(const Options& o, double rate) : mBlock(o.block)
  {
    // The DSP binary stays loaded to the end, as in a host that keeps its
    // plug-ins: what its libraries keep for the process stays theirs.
    dlopen((o.bundle + "/vesk_dsp.so").c_str(), RTLD_NOW | RTLD_NODELETE);
    mWorld = lilv_world_new();
    std::string dir = o.bundle;
    if (dir.back() != '/') dir += '/';
    LilvNode* bundle = lilv_new_file_uri(mWorld, nullptr, dir.c_str());
    lilv_world_load_bundle(mWorld, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(mWorld, "urn:vesk-audio:vesk");
    mPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), uri);
    lilv_node_free(uri);
    if (!mPlugin) Fail(o.bundle + ": no Vesk in this bundle");
    mBlockOption = o.block;
    mOptions[0] = {LV2_OPTIONS_INSTANCE, 0, mMap(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                   mMap(LV2_ATOM__Int), &mBlockOption};
    mOptions[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    const LV2_Feature mapFeature{LV2_URID__map, &mMap.feature};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options, mOptions};
    const LV2_Feature* features[] = {&mapFeature, &optionsFeature, nullptr};
    mInstance = lilv_plugin_instantiate(mPlugin, rate, features);
    if (!mInstance) Fail(o.bundle + ": the plug-in did not instantiate");
    ConnectPorts();
  }

  ~Lv2Render()
  {
    lilv_instance_deactivate(mInstance);
    lilv_instance_free(mInstance);
    lilv_world_free(mWorld);
  }

  bool Restore(const std::vector<uint8_t>& bytes)
  {
    Chunk chunk{mMap("urn:vesk-audio:vesk#chunk"), mMap(LV2_ATOM__Chunk), bytes};
    return State()->restore(lilv_instance_get_handle(mInstance), Retrieve, &chunk, 0, nullptr) == LV2_STATE_SUCCESS;
  }

  std::vector<uint8_t> Save()
  {
    Chunk chunk{mMap("urn:vesk-audio:vesk#chunk"), 0, {}};
    if (State()->save(lilv_instance_get_handle(mInstance), Store, &chunk, 0, nullptr) != LV2_STATE_SUCCESS)
      Fail("the plug-in did not save its state");
    return chunk.bytes;
  }

  void Start() { lilv_instance_activate(mInstance); }

  // One of the bundle's presets by its label (any case), as a host applies
  // it: its state restored, its port values set. False when there is none.
  bool ApplyPreset(const std::string& label)
  {
    LilvNode* presetClass = lilv_new_uri(mWorld, LV2_PRESETS__Preset);
    LilvNode* labelKey = lilv_new_uri(mWorld, LILV_NS_RDFS "label");
    LilvNodes* presets = lilv_plugin_get_related(mPlugin, presetClass);
    bool applied = false;
    LILV_FOREACH (nodes, i, presets)
    {
      const LilvNode* preset = lilv_nodes_get(presets, i);
      lilv_world_load_resource(mWorld, preset);
      LilvNode* name = lilv_world_get(mWorld, preset, labelKey, nullptr);
      if (name && Lower(lilv_node_as_string(name)) == Lower(label) && !applied)
        if (LilvState* state = lilv_state_new_from_world(mWorld, &mMap.feature, preset))
        {
          lilv_state_restore(state, mInstance, &SetPortValue, this, 0, nullptr);
          lilv_state_free(state);
          applied = true;
        }
      lilv_node_free(name);
    }
    lilv_nodes_free(presets);
    lilv_node_free(labelKey);
    lilv_node_free(presetClass);
    return applied;
  }

  // One block: the song's events in it, its tempo and position, then the run.
  void Run(const SmfSong& song, size_t* next, int64_t pos, int n, double rate, const StereoAudio& input,
           StereoAudio* output)
  {
    lv2_atom_forge_set_buffer(&mForge, mEvents.data(), mEvents.size());
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&mForge, &sequence, 0);
    ForgePosition(song, pos, rate);
    for (; *next < song.events.size() && song.events[*next].frame < pos + n; ++*next)
    {
      lv2_atom_forge_frame_time(&mForge, std::max<int64_t>(0, song.events[*next].frame - pos));
      lv2_atom_forge_atom(&mForge, 3, mMap(LV2_MIDI__MidiEvent));
      lv2_atom_forge_write(&mForge, song.events[*next].bytes, 3);
    }
    lv2_atom_forge_pop(&mForge, &sequence);
    reinterpret_cast<LV2_Atom*>(mNotify.data())->size = static_cast<uint32_t>(mNotify.size() - sizeof(LV2_Atom));
    for (int s = 0; s < n; ++s)
    {
      const size_t at = static_cast<size_t>(pos + s);
      mIn[0][static_cast<size_t>(s)] = at < input.left.size() ? static_cast<float>(input.left[at]) : 0.0f;
      mIn[1][static_cast<size_t>(s)] = at < input.right.size() ? static_cast<float>(input.right[at]) : 0.0f;
    }
    lilv_instance_run(mInstance, static_cast<uint32_t>(n));
    for (int s = 0; s < n; ++s)
    {
      output->left.push_back(mOut[0][static_cast<size_t>(s)]);
      output->right.push_back(mOut[1][static_cast<size_t>(s)]);
    }
  }

private:
  static std::string Lower(std::string s)
  {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }

  static void SetPortValue(const char* symbol, void* self, const void* value, uint32_t size, uint32_t type)
  {
    auto* render = static_cast<Lv2Render*>(self);
    LilvNode* name = lilv_new_string(render->mWorld, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(render->mPlugin, name);
    lilv_node_free(name);
    if (!port || size != sizeof(float) || type != render->mMap(LV2_ATOM__Float)) return;
    render->mControls[lilv_port_get_index(render->mPlugin, port)] = *static_cast<const float*>(value);
  }

  const LV2_State_Interface* State()
  {
    const auto* state =
        static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
    if (!state) Fail("the plug-in has no state interface");
    return state;
  }

  void ConnectPorts()
  {
    const uint32_t count = lilv_plugin_get_num_ports(mPlugin);
    mControls.resize(count);
    std::vector<float> defaults(count);
    lilv_plugin_get_port_ranges_float(mPlugin, nullptr, nullptr, defaults.data());
    LilvNode* audio = lilv_new_uri(mWorld, LILV_URI_AUDIO_PORT);
    LilvNode* control = lilv_new_uri(mWorld, LILV_URI_CONTROL_PORT);
    LilvNode* atom = lilv_new_uri(mWorld, LILV_URI_ATOM_PORT);
    LilvNode* input = lilv_new_uri(mWorld, LILV_URI_INPUT_PORT);
    for (auto& c : mIn) c.assign(static_cast<size_t>(mBlock), 0.0f);
    for (auto& c : mOut) c.assign(static_cast<size_t>(mBlock), 0.0f);
    mEvents.resize(1 << 16);
    mNotify.resize(1 << 16);
    lv2_atom_forge_init(&mForge, &mMap.feature);
    int audioIn = 0, audioOut = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
      const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, i);
      const bool isInput = lilv_port_is_a(mPlugin, port, input);
      void* data = nullptr;
      if (lilv_port_is_a(mPlugin, port, control)) mControls[i] = defaults[i], data = &mControls[i];
      else if (lilv_port_is_a(mPlugin, port, audio) && isInput && audioIn < 2) data = mIn[audioIn++].data();
      else if (lilv_port_is_a(mPlugin, port, audio) && !isInput && audioOut < 2) data = mOut[audioOut++].data();
      else if (lilv_port_is_a(mPlugin, port, atom)) data = isInput ? mEvents.data() : mNotify.data();
      lilv_instance_connect_port(mInstance, i, data);
    }
    for (auto* node : {audio, control, atom, input}) lilv_node_free(node);
    if (audioOut < 2) Fail("the plug-in has fewer than two outputs");
  }

  void ForgePosition(const SmfSong& song, int64_t pos, double rate)
  {
    const double quarters = song.QuarterAt(pos, rate);
    const double beatsPerBar = song.numerator;
    const double beats = quarters * song.denominator / 4.0;
    const double bar = std::floor(beats / beatsPerBar);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(&mForge, 0);
    lv2_atom_forge_object(&mForge, &object, 0, mMap(LV2_TIME__Position));
    lv2_atom_forge_key(&mForge, mMap(LV2_TIME__frame)), lv2_atom_forge_long(&mForge, pos);
    lv2_atom_forge_key(&mForge, mMap(LV2_TIME__speed)), lv2_atom_forge_float(&mForge, 1.0f);
    lv2_atom_forge_key(&mForge, mMap(LV2_TIME__beatsPerMinute));
    lv2_atom_forge_float(&mForge, static_cast<float>(song.TempoAt(pos, rate)));
    lv2_atom_forge_key(&mForge, mMap(LV2_TIME__beatsPerBar)), lv2_atom_forge_float(&mForge, static_cast<float>(beatsPerBar));
    lv2_atom_forge_key(&mForge, mMap(LV2_TIME__beatUnit)), lv2_atom_forge_int(&mForge, song.denominator);
    lv2_atom_forge_key(&mForge, mMap(LV2_TIME__bar)), lv2_atom_forge_long(&mForge, static_cast<int64_t>(bar));
    lv2_atom_forge_key(&mForge, mMap(LV2_TIME__barBeat));
    lv2_atom_forge_float(&mForge, static_cast<float>(beats - bar * beatsPerBar));
    lv2_atom_forge_pop(&mForge, &object);
  }

  UridMap mMap;
  LilvWorld* mWorld = nullptr;
  const LilvPlugin* mPlugin = nullptr;
  LilvInstance* mInstance = nullptr;
  int32_t mBlockOption = 512;
  LV2_Options_Option mOptions[2];
  int mBlock;
  std::vector<float> mControls;
  std::vector<float> mIn[2], mOut[2];
  std::vector<uint8_t> mEvents, mNotify;
  LV2_Atom_Forge mForge{};
};
}  // namespace

int main(int argc, char** argv)
{
  const Options o = ParseOptions(argc, argv);
  std::string error;
  StereoAudio input;
  if (!ReadAudio(o.in, &input, &error)) Fail(error);
  const double rate = input.sampleRate;
  SmfSong song;
  if (!o.midi.empty() && !ReadSmf(o.midi, rate, 120.0, &song, &error)) Fail(error);
  if (song.tempos.empty()) song.tempos.push_back({0, 500000.0});
  Lv2Render render(o, rate);
  render.Start();
  if (!o.preset.empty() && !render.ApplyPreset(o.preset)) Fail(o.bundle + ": no preset '" + o.preset + "'");
  if (!o.state.empty())
  {
    StateFile state;
    if (!ReadStateFile(o.state, &state, &error)) Fail(error);
    if (!render.Restore(state.chunk)) Fail(o.state + ": the plug-in did not accept this state");
  }
  const int64_t total = song.RenderFrames(input.Frames(), o.tail, rate);
  StereoAudio output;
  output.sampleRate = rate;
  size_t next = 0;
  for (int64_t pos = 0; pos < total; pos += o.block)
    render.Run(song, &next, pos, static_cast<int>(std::min<int64_t>(o.block, total - pos)), rate, input, &output);
  if (!o.saveState.empty())
  {
    StateFile state;
    state.chunk = render.Save();
    if (!WriteStateFile(o.saveState, state, kVeskId, kVeskVersion, &error)) Fail(error);
  }
  if (!WriteAudio(o.out, output, SampleFormat::kFloat, &error)) Fail(error);
  return 0;
}
