// Writes the LV2 bundle's description from the parameter table: manifest.ttl,
// vesk.ttl and the factory sounds' presets.ttl in the folder given, naming
// the DSP and editor binaries.
// Usage: vesk-lv2-ttl BUNDLE-DIR DSP-BINARY UI-BINARY
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/FactoryPresets.h"
#include "plugin/Vesk.h"
#include "plugin/VeskParams.h"
#include "platform/Lv2Vesk.h"
#include "tools/ToolUsage.h"

namespace {
const char* const kPrefixes =
    "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi:  <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
    "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprop: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix rsz:   <http://lv2plug.in/ns/ext/resize-port#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time:  <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix xsd:   <http://www.w3.org/2001/XMLSchema#> .\n\n";

std::string Quoted(const std::string& text)
{
  std::string out = "\"";
  for (char c : text)
  {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Number(double v)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", v);
  return text;
}

// A port symbol: the name's letters and digits, other characters as '_',
// never starting with a digit, made unique with the index.
std::string Symbol(const std::string& name, int index, std::set<std::string>* taken)
{
  std::string s;
  for (char c : name) s += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) s.insert(0, "p_");
  if (!taken->insert(s).second)
  {
    s += '_';
    s += std::to_string(index);
    taken->insert(s);
  }
  return s;
}

// Every control port's symbol, in parameter order.
std::vector<std::string> Symbols(Vesk& plug)
{
  std::set<std::string> taken = {"events", "notify"};
  std::vector<std::string> symbols;
  for (int i = 0; i < plug.NParams(); ++i) symbols.push_back(Symbol(plug.GetParam(i)->GetNameForHost(), i, &taken));
  return symbols;
}

void ScalePoints(std::ostream& out, const IParam& p)
{
  bool first = true;
  for (int v = static_cast<int>(p.Min()); v <= static_cast<int>(p.Max()); ++v)
  {
    const char* text = p.GetDisplayTextForValue(v);
    if (!text || !text[0]) continue;
    out << (first ? " ;\n    lv2:scalePoint " : " ,\n      ") << "[ rdfs:label " << Quoted(text) << " ; rdf:value " << v
        << " ]";
    first = false;
  }
}

void ControlPort(std::ostream& out, const IParam& p, const ParamRow& row, int index, const std::string& symbol)
{
  out << "  [\n    a lv2:InputPort, lv2:ControlPort ;\n    lv2:index " << index << " ;\n    lv2:symbol "
      << Quoted(symbol) << " ;\n    lv2:name " << Quoted(p.GetNameForHost())
      << " ;\n    lv2:default " << Number(p.Default()) << " ;\n    lv2:minimum " << Number(p.Min())
      << " ;\n    lv2:maximum " << Number(p.Max());
  std::string properties;
  auto add = [&properties](const char* property) { properties += (properties.empty() ? "" : ", ") + std::string(property); };
  switch (p.Type())
  {
    case IParam::kTypeBool: add("lv2:toggled"); break;
    case IParam::kTypeEnum: add("lv2:integer"), add("lv2:enumeration"); break;
    case IParam::kTypeInt: add("lv2:integer"); break;
    default: break;
  }
  if (!row.automatable) add("pprop:notAutomatic");
  if (!properties.empty()) out << " ;\n    lv2:portProperty " << properties;
  if (p.Type() == IParam::kTypeDouble && p.Step() > 0.0 && p.Max() > p.Min())
    out << " ;\n    pprop:rangeSteps " << static_cast<long>((p.Max() - p.Min()) / p.Step() + 1.5);
  if (p.Type() != IParam::kTypeDouble) ScalePoints(out, p);
  out << "\n  ]";
}

void AudioPort(std::ostream& out, bool input, int channel, int index)
{
  const char* side = channel % 2 == 0 ? "pg:left" : "pg:right";
  const int pair = channel / 2 + 1;
  out << "  [\n    a lv2:" << (input ? "InputPort" : "OutputPort") << ", lv2:AudioPort ;\n    lv2:index " << index
      << " ;\n    lv2:symbol \"" << (input ? "in_" : "out_") << channel + 1 << "\" ;\n    lv2:name \""
      << (input ? "Input " : "Output ") << channel + 1 << "\" ;\n    pg:group <" << vesk_lv2::kPluginUri
      << (input ? "#in" : "#out") << pair << "> ;\n    lv2:designation " << side << "\n  ]";
}

void Groups(std::ostream& out, bool input, int channels)
{
  for (int pair = 1; pair <= channels / 2; ++pair)
    out << "<" << vesk_lv2::kPluginUri << (input ? "#in" : "#out") << pair << ">\n  a pg:StereoGroup, "
        << (input ? "pg:InputGroup" : "pg:OutputGroup") << " ;\n  lv2:name \"" << (input ? "Inputs " : "Outputs ")
        << pair * 2 - 1 << "-" << pair * 2 << "\" ;\n  lv2:symbol \"" << (input ? "in" : "out") << pair << "\" .\n\n";
}

std::string Description(Vesk& plug, const std::string& uiBinary)
{
  const vesk_lv2::PortLayout layout{static_cast<uint32_t>(plug.NParams()),
                                    static_cast<uint32_t>(plug.NInChannels()),
                                    static_cast<uint32_t>(plug.NOutChannels())};
  std::ostringstream out;
  out << kPrefixes;
  Groups(out, true, static_cast<int>(layout.inputs));
  Groups(out, false, static_cast<int>(layout.outputs));
  out << "<" << vesk_lv2::kUiUri << ">\n  a ui:X11UI ;\n  ui:binary <" << uiBinary << "> ;\n"
      << "  lv2:requiredFeature ui:parent, ui:idleInterface, <http://lv2plug.in/ns/ext/instance-access>, "
         "<http://lv2plug.in/ns/ext/data-access> ;\n"
      << "  lv2:optionalFeature ui:resize, ui:noUserResize ;\n  lv2:extensionData ui:idleInterface .\n\n";
  out << "<" << vesk_lv2::kPluginUri << ">\n  a lv2:Plugin, lv2:InstrumentPlugin, doap:Project ;\n  doap:name \"Vesk\" ;\n"
      << "  doap:maintainer [ foaf:name " << Quoted(plug.GetMfrName()) << " ] ;\n"
      << "  lv2:minorVersion 0 ;\n  lv2:microVersion 0 ;\n"
      << "  lv2:requiredFeature urid:map ;\n  lv2:optionalFeature lv2:hardRTCapable, opts:options ;\n"
      << "  opts:supportedOption bufsz:maxBlockLength ;\n  lv2:extensionData state:interface ;\n"
      << "  ui:ui <" << vesk_lv2::kUiUri << "> ;\n  pg:mainOutput <" << vesk_lv2::kPluginUri << "#out1> ;\n"
      << "  lv2:port\n";
  const std::vector<std::string> symbols = Symbols(plug);
  for (uint32_t i = 0; i < layout.params; ++i)
  {
    ControlPort(out, *plug.GetParam(static_cast<int>(i)), VeskParam(static_cast<int>(i)), static_cast<int>(i), symbols[i]);
    out << " ,\n";
  }
  for (uint32_t c = 0; c < layout.inputs; ++c) AudioPort(out, true, static_cast<int>(c), static_cast<int>(layout.FirstInput() + c)), out << " ,\n";
  for (uint32_t c = 0; c < layout.outputs; ++c) AudioPort(out, false, static_cast<int>(c), static_cast<int>(layout.FirstOutput() + c)), out << " ,\n";
  out << "  [\n    a lv2:InputPort, atom:AtomPort ;\n    atom:bufferType atom:Sequence ;\n"
      << "    atom:supports midi:MidiEvent, time:Position ;\n    lv2:designation lv2:control ;\n    lv2:index "
      << layout.Events() << " ;\n    lv2:symbol \"events\" ;\n    lv2:name \"Events\"\n  ] ,\n";
  // Kept for the sessions that know it; it says nothing.
  out << "  [\n    a lv2:OutputPort, atom:AtomPort ;\n    atom:bufferType atom:Sequence ;\n"
      << "    lv2:designation lv2:control ;\n    rsz:minimumSize 32768 ;\n"
      << "    lv2:index " << layout.Notify() << " ;\n    lv2:symbol \"notify\" ;\n    lv2:name \"Notify\"\n  ] .\n";
  return out.str();
}

std::string PresetUri(const FactoryPreset& preset)
{
  return std::string(vesk_lv2::kPluginUri) + "#preset-" + PresetSlug(preset.name);
}

std::string Manifest(const std::string& dspBinary, const std::string& uiBinary)
{
  std::ostringstream out;
  out << "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
      << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
      << "@prefix ui:   <http://lv2plug.in/ns/extensions/ui#> .\n\n"
      << "<" << vesk_lv2::kPluginUri << ">\n  a lv2:Plugin ;\n  lv2:binary <" << dspBinary
      << "> ;\n  rdfs:seeAlso <vesk.ttl> .\n\n"
      << "<" << vesk_lv2::kUiUri << ">\n  a ui:X11UI ;\n  ui:binary <" << uiBinary << "> ;\n  rdfs:seeAlso <vesk.ttl> .\n";
  for (const FactoryPreset& preset : FactoryPresets())
    out << "\n<" << PresetUri(preset) << ">\n  a pset:Preset ;\n  lv2:appliesTo <" << vesk_lv2::kPluginUri
        << "> ;\n  rdfs:label " << Quoted(preset.name) << " ;\n  rdfs:seeAlso <presets.ttl> .\n";
  return out.str();
}

std::string Base64(const ByteChunk& chunk)
{
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const uint8_t* bytes = chunk.GetBytes();
  const int size = chunk.Size();
  std::string out;
  for (int i = 0; i < size; i += 3)
  {
    const uint32_t n = static_cast<uint32_t>(bytes[i]) << 16 | (i + 1 < size ? bytes[i + 1] << 8 : 0) |
                       (i + 2 < size ? bytes[i + 2] : 0);
    out += kDigits[n >> 18 & 63];
    out += kDigits[n >> 12 & 63];
    out += i + 1 < size ? kDigits[n >> 6 & 63] : '=';
    out += i + 2 < size ? kDigits[n & 63] : '=';
  }
  return out;
}

// Each factory sound as a preset: every control port's value, and the
// state (the instrument's chunk, as the state interface stores it).
std::string Presets(Vesk& plug)
{
  const std::vector<std::string> symbols = Symbols(plug);
  std::ostringstream out;
  out << kPrefixes << "<" << vesk_lv2::kChunkKey << ">\n  a rdf:Property ;\n  rdfs:label \"state\" ;\n"
      << "  rdfs:comment \"The instrument's whole state: the bytes a VST 2.4 host saves.\" .\n\n";
  for (const FactoryPreset& preset : FactoryPresets())
  {
    std::unique_ptr<Vesk> sound(new Vesk());
    ApplyFactoryPreset(*sound, preset);
    out << "<" << PresetUri(preset) << ">\n  a pset:Preset ;\n  lv2:appliesTo <" << vesk_lv2::kPluginUri
        << "> ;\n  rdfs:label " << Quoted(preset.name) << " ;\n  lv2:port";
    for (int i = 0; i < sound->NParams(); ++i)
      out << (i ? " ,\n    " : "\n    ") << "[ lv2:symbol " << Quoted(symbols[static_cast<size_t>(i)])
          << " ; pset:value " << Number(sound->GetParam(i)->Value()) << " ]";
    out << " ;\n  state:state [\n    <" << vesk_lv2::kChunkKey << "> \"" << Base64(FactoryPresetChunk(preset))
        << "\"^^xsd:base64Binary\n  ] .\n\n";
  }
  return out.str();
}

bool Write(const std::string& path, const std::string& text)
{
  std::ofstream file(path, std::ios::binary);
  file << text;
  return static_cast<bool>(file.flush());
}
}  // namespace

int main(int argc, char** argv)
{
  const char usage[] = "usage: vesk-lv2-ttl BUNDLE-DIR DSP-BINARY UI-BINARY\n"
                       "writes the LV2 bundle's manifest.ttl, vesk.ttl and presets.ttl into BUNDLE-DIR\n";
  AnswerCommandLine(argc, argv, usage);
  if (argc != 4)
  {
    std::fputs(usage, stderr);
    return 2;
  }
  std::unique_ptr<Vesk> plug(new Vesk());
  if (!plug)
  {
    std::fprintf(stderr, "vesk-lv2-ttl: not enough memory for the instrument\n");
    return 1;
  }
  const std::string dir = argv[1];
  if (!Write(dir + "/manifest.ttl", Manifest(argv[2], argv[3])) ||
      !Write(dir + "/vesk.ttl", Description(*plug, argv[3])) || !Write(dir + "/presets.ttl", Presets(*plug)))
  {
    std::fprintf(stderr, "vesk-lv2-ttl: cannot write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
