#pragma once
// The instrument's parameter table: one row per parameter, in index order,
// holding what the host, the engine, the editor and the saved state know of
// it, and what a change of it does.
#include <string>
#include <vector>

#include "editor/layout/ParamIds.h"
#include "frame/IParam.h"

class IPlugBase;
class Vesk;
struct EngineRates;
class Voice;

struct ParamText
{
  int value;
  const char* text;
};

struct ParamRow
{
  // A smoothed change glides over a block once a state is loaded; an
  // immediate one acts at once.
  enum ERoute { kImmediate, kSmoothed };
  using Apply = void (*)(Vesk& plug, int paramIdx, double value);
  using VoiceValue = double (*)(const Voice& voice, const EngineRates& rates);

  std::string name;
  IParam::EParamType kind = IParam::kTypeDouble;
  double def = 0.0, min = 0.0, max = 1.0, step = 1.0, shape = 1.0;
  std::vector<ParamText> texts;  // appended after a bool's "off" and "on"
  bool automatable = true;
  bool learnable = true;
  ERoute route = kImmediate;
  Apply apply = nullptr;            // none: the change has no effect
  VoiceValue voiceValue = nullptr;  // the per-voice parameters' own value in a voice

  bool PerVoice() const { return voiceValue != nullptr; }
  bool Smoothed() const { return route == kSmoothed; }

  ParamRow& Texts(std::vector<ParamText> t) { return texts = std::move(t), *this; }
  ParamRow& Shape(double s) { return shape = s, *this; }
  ParamRow& Does(Apply a) { return apply = a, *this; }
  ParamRow& Glides(Apply a) { return route = kSmoothed, apply = a, *this; }
  ParamRow& PerVoice(VoiceValue v) { return voiceValue = v, *this; }
  ParamRow& NotLearnable() { return learnable = false, *this; }
  ParamRow& NotAutomatable() { return automatable = false, *this; }
};

// The rows, built once.
const std::vector<ParamRow>& VeskParamTable();
const ParamRow& VeskParam(int paramIdx);
// The per-voice parameters, in index order.
const std::vector<int>& PerVoiceParams();

// Initialises every parameter of the plug-in from the table.
void DefineVeskParams(IPlugBase& plug);
