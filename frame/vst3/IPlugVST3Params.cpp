// The VST3 adapter's edit controller: the plug-in's parameters as the host
// lists, shows and types them, the hidden MIDI parameters the host maps its
// controllers to, and the editor's view.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/vst3/IPlugVST3.h"
#include "frame/vst3/Vst3Text.h"
#include "frame/vst3/Vst3View.h"

using namespace vst3;

namespace {
// The value a normalised one stands for, stepped as the parameter steps.
double PlainValue(const IParam& param, double normalized)
{
  double v = param.FromNormalized(std::clamp(std::isfinite(normalized) ? normalized : 0.0, 0.0, 1.0));
  if (param.Type() != IParam::kTypeDouble) v = std::floor(v / param.Step() + 0.5) * param.Step();
  return std::clamp(v, param.Min(), param.Max());
}

// Steps a host may count evenly across 0..1: a shaped parameter's are not.
int32_t StepCount(const IParam& param)
{
  if (param.Type() == IParam::kTypeDouble || param.Step() <= 0.0 || param.Shape() != 1.0) return 0;
  return static_cast<int32_t>(std::lround((param.Max() - param.Min()) / param.Step()));
}
}  // namespace

int32_t IPlugVST3::getParameterCount()
{
  return mPlug->NParams() + kMidiParams;
}

tresult IPlugVST3::getParameterInfo(int32_t paramIndex, ParameterInfo& info)
{
  if (paramIndex < 0 || paramIndex >= getParameterCount()) return kInvalidArgument;
  info = {};
  if (paramIndex >= mPlug->NParams())
  {
    MidiParamInfo(paramIndex - mPlug->NParams(), info);
    return kResultOk;
  }
  IMutexLock lock(mPlug->Mutex());
  const IParam& param = *mPlug->GetParam(paramIndex);
  info.id = static_cast<ParamID>(paramIndex);
  vst3_text::ToUtf16(param.GetNameForHost(), info.title, 128);
  vst3_text::ToUtf16(param.GetNameForHost(), info.shortTitle, 128);
  vst3_text::ToUtf16(param.Label(), info.units, 128);
  info.stepCount = StepCount(param);
  info.defaultNormalizedValue = param.GetNormalized(param.Default());
  if (param.CanAutomate()) info.flags |= ParameterInfo::kCanAutomate;
  if (info.stepCount > 0 && (param.Type() == IParam::kTypeEnum || param.NDisplayTexts() > 0))
    info.flags |= ParameterInfo::kIsList;
  return kResultOk;
}

// Hidden from the host's lists and automation: the host feeds them from
// its MIDI input and the adapter turns them back into MIDI.
void IPlugVST3::MidiParamInfo(int slot, ParameterInfo& info) const
{
  char title[32];
  if (slot == 128) std::snprintf(title, sizeof title, "MIDI Pitch Bend");
  else std::snprintf(title, sizeof title, "MIDI CC %d", slot);
  info.id = MidiParamId(slot);
  vst3_text::ToUtf16(title, info.title, 128);
  vst3_text::ToUtf16(title, info.shortTitle, 128);
  info.stepCount = slot == 128 ? 16383 : 127;
  info.defaultNormalizedValue = slot == 128 ? 8192.0 / 16383.0 : 0.0;
  info.flags = ParameterInfo::kIsHidden;
}

tresult IPlugVST3::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string)
{
  if (!string) return kInvalidArgument;
  char text[IParam::kTextSize] = {};
  if (MidiSlot(id) >= 0)
    std::snprintf(text, sizeof text, "%ld", std::lround(std::clamp(valueNormalized, 0.0, 1.0) * (MidiSlot(id) == 128 ? 16383 : 127)));
  else
  {
    IMutexLock lock(mPlug->Mutex());
    const IParam* param = mPlug->GetParam(static_cast<int>(id));
    if (!param || id >= static_cast<ParamID>(mPlug->NParams())) return kInvalidArgument;
    param->GetDisplayForHost(PlainValue(*param, valueNormalized), false, text, sizeof text);
  }
  vst3_text::ToUtf16(text, string, 128);
  return kResultOk;
}

// What the host's text field gives: a number for a parameter shown as
// numbers, one of its display texts exactly for a listed one, or the number
// a listed one shows for a value that has no text of its own.
tresult IPlugVST3::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized)
{
  if (!string || id >= static_cast<ParamID>(mPlug->NParams())) return kInvalidArgument;
  const std::string text = vst3_text::FromUtf16(string, 128);
  IMutexLock lock(mPlug->Mutex());
  const IParam& param = *mPlug->GetParam(static_cast<int>(id));
  double value = 0.0;
  if (!mPlug->ParamValueFromText(static_cast<int>(id), text.c_str(), &value))
  {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    char shown[IParam::kTextSize] = {};
    if (end == text.c_str() || !std::isfinite(value)) return kResultFalse;
    param.GetDisplayForHost(value, false, shown, sizeof shown);
    if (text != shown) return kResultFalse;
  }
  valueNormalized = param.GetNormalized(value);
  return kResultOk;
}

ParamValue IPlugVST3::normalizedParamToPlain(ParamID id, ParamValue valueNormalized)
{
  if (id >= static_cast<ParamID>(mPlug->NParams())) return valueNormalized;
  IMutexLock lock(mPlug->Mutex());
  return PlainValue(*mPlug->GetParam(static_cast<int>(id)), valueNormalized);
}

ParamValue IPlugVST3::plainParamToNormalized(ParamID id, ParamValue plainValue)
{
  if (id >= static_cast<ParamID>(mPlug->NParams()) || !std::isfinite(plainValue)) return 0.0;
  IMutexLock lock(mPlug->Mutex());
  return mPlug->GetParam(static_cast<int>(id))->GetNormalized(plainValue);
}

ParamValue IPlugVST3::getParamNormalized(ParamID id)
{
  IMutexLock lock(mPlug->Mutex());
  if (MidiSlot(id) >= 0) return mMidiValues[MidiSlot(id)];
  const IParam* param = mPlug->GetParam(static_cast<int>(std::min<ParamID>(id, INT32_MAX)));
  return param ? param->GetNormalized() : 0.0;
}

// While the plug-in processes, the host's values reach it through the
// blocks' queues, at their samples; before, they are taken here.
tresult IPlugVST3::setParamNormalized(ParamID id, ParamValue value)
{
  if (!std::isfinite(value)) return kInvalidArgument;
  value = std::clamp(value, 0.0, 1.0);
  {
    IMutexLock lock(mPlug->Mutex());
    if (MidiSlot(id) >= 0)
    {
      mMidiValues[MidiSlot(id)] = value;
      return kResultOk;
    }
    IParam* param = mPlug->GetParam(static_cast<int>(std::min<ParamID>(id, INT32_MAX)));
    if (!param) return kInvalidArgument;
    if (mActive || param->GetNormalized() == value) return kResultOk;
    ApplyParam(static_cast<int>(id), value);
  }
  mPlug->PrepareMemory();
  return kResultOk;
}

tresult IPlugVST3::setComponentHandler(IComponentHandler* handler)
{
  IMutexLock lock(mPlug->Mutex());
  if (handler == mHandler) return kResultOk;
  if (handler) handler->addRef();
  if (mHandler) mHandler->release();
  mHandler = handler;
  mGestures.reset();
  return kResultOk;
}

// One view at a time, of the one editor.
IPlugView* IPlugVST3::createView(FIDString name)
{
  if (!name || std::strcmp(name, kEditorView) != 0 || !mPlug->Editor() || mViewOpen) return nullptr;
  mViewOpen = true;
  return new Vst3View(*this);
}

// Every controller and pitch bend on every channel of the one MIDI input.
tresult IPlugVST3::getMidiControllerAssignment(int32_t busIndex, int16_t channel, int16_t midiControllerNumber,
                                               ParamID& id)
{
  if (busIndex != 0 || channel < 0 || channel > 15) return kResultFalse;
  if (midiControllerNumber < 0 || (midiControllerNumber > 127 && midiControllerNumber != kPitchBend))
    return kResultFalse;
  id = kMidiParamBase + static_cast<ParamID>(midiControllerNumber);
  return kResultTrue;
}
