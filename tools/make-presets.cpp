// Writes the factory sounds as VST 2.4 preset files, for the effect and the
// instrument (a preset file names the plug-in it belongs to):
//   make-presets OUT-DIR  ->  OUT-DIR/Vesk/<name>.fxp, OUT-DIR/Vesk Instrument/<name>.fxp
#include <cstdio>
#include <filesystem>
#include <string>

#include "plugin/FactoryPresets.h"
#include "plugin/Vesk.h"
#include "tools/StateFile.h"
#include "tools/ToolUsage.h"

int main(int argc, char** argv)
{
  const char usage[] = "usage: make-presets OUT-DIR\nwrites the factory sounds as OUT-DIR/Vesk/<name>.fxp and "
                       "OUT-DIR/Vesk Instrument/<name>.fxp\n";
  AnswerCommandLine(argc, argv, usage);
  if (argc != 2)
  {
    std::fputs(usage, stderr);
    return 2;
  }
  const std::string arg = argv[1];
  for (const VeskIdentity& identity : {kVeskEffect, kVeskInstrument})
  {
    const std::filesystem::path dir = std::filesystem::path(arg) / identity.name;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    for (const FactoryPreset& preset : FactoryPresets())
    {
      const ByteChunk chunk = FactoryPresetChunk(preset);
      StateFile state;
      state.chunk.assign(chunk.GetBytes(), chunk.GetBytes() + chunk.Size());
      state.programName = preset.name;
      std::string why;
      if (!WriteStateFile((dir / (std::string(preset.name) + ".fxp")).string(), state, identity.uniqueId,
                          VersionToDecimal(Vesk::kStateVersion), &why))
      {
        std::fprintf(stderr, "make-presets: %s\n", why.c_str());
        return 1;
      }
    }
  }
  return 0;
}
