#include "tools/StateFile.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {
uint32_t BigEndian(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }

void PutBigEndian(std::vector<uint8_t>* out, uint32_t v)
{
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

bool EndsWith(const std::string& s, const char* tail)
{
  const size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}
}  // namespace

bool ParseStateBytes(const std::vector<uint8_t>& bytes, StateFile* state, std::string* error)
{
  *state = StateFile{};
  if (bytes.size() < 4 || std::memcmp(bytes.data(), "CcnK", 4) != 0)
  {
    state->chunk = bytes;  // a bare chunk
    return !bytes.empty() || ((*error = "the state file is empty"), false);
  }
  if (bytes.size() < 28) return (*error = "preset file header is cut short"), false;
  const bool program = std::memcmp(bytes.data() + 8, "FPCh", 4) == 0;
  const bool bank = std::memcmp(bytes.data() + 8, "FBCh", 4) == 0;
  if (!program && !bank) return (*error = "preset file holds parameters, not a chunk; only chunk presets are read"), false;
  const size_t header = program ? 60 : 160;
  if (bytes.size() < header) return (*error = "preset file header is cut short"), false;
  const uint32_t size = BigEndian(bytes.data() + header - 4);
  if (size > bytes.size() - header) return (*error = "preset file chunk is cut short"), false;
  state->isBank = bank;
  if (program) state->programName.assign(reinterpret_cast<const char*>(bytes.data() + 28), strnlen(reinterpret_cast<const char*>(bytes.data() + 28), 28));
  state->chunk.assign(bytes.begin() + static_cast<long>(header), bytes.begin() + static_cast<long>(header + size));
  return true;
}

bool ReadStateFile(const std::string& path, StateFile* state, std::string* error)
{
  std::ifstream in(path, std::ios::binary);
  if (!in) return (*error = "cannot open state file " + path), false;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!ParseStateBytes(bytes, state, error))
  {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

bool WriteStateFile(const std::string& path, const StateFile& state, int32_t pluginId, int32_t pluginVersion,
                    std::string* error)
{
  std::vector<uint8_t> out;
  const bool fxp = EndsWith(path, ".fxp"), fxb = EndsWith(path, ".fxb");
  if (fxp || fxb)
  {
    const size_t header = fxp ? 60 : 160;
    out.insert(out.end(), {'C', 'c', 'n', 'K'});
    PutBigEndian(&out, static_cast<uint32_t>(header - 8 + state.chunk.size()));
    out.insert(out.end(), {'F', fxp ? uint8_t('P') : uint8_t('B'), 'C', 'h'});
    PutBigEndian(&out, 1);
    PutBigEndian(&out, static_cast<uint32_t>(pluginId));
    PutBigEndian(&out, static_cast<uint32_t>(pluginVersion));
    PutBigEndian(&out, 1);
    out.resize(header - 4, 0);
    if (fxp) std::strncpy(reinterpret_cast<char*>(out.data() + 28), state.programName.c_str(), 27);
    PutBigEndian(&out, static_cast<uint32_t>(state.chunk.size()));
  }
  out.insert(out.end(), state.chunk.begin(), state.chunk.end());
  std::ofstream file(path, std::ios::binary);
  if (!file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size())))
    return (*error = "cannot write state file " + path), false;
  return true;
}
