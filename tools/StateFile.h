#pragma once
// Saved plug-in state on disk: a preset file ("CcnK" / "FPCh" or "FBCh",
// big-endian header around the opaque chunk) or the bare chunk.
#include <cstdint>
#include <string>
#include <vector>

struct StateFile
{
  std::vector<uint8_t> chunk;
  bool isBank = false;
  std::string programName;
};

bool ReadStateFile(const std::string& path, StateFile* state, std::string* error);
// Writes a preset file when the name ends in .fxp (.fxb for a bank), else the bare chunk.
bool WriteStateFile(const std::string& path, const StateFile& state, int32_t pluginId, int32_t pluginVersion,
                    std::string* error);
bool ParseStateBytes(const std::vector<uint8_t>& bytes, StateFile* state, std::string* error);
