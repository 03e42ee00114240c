// The host's calls into the plug-in through the dispatcher, one opcode group per function.
#include "frame/vst2/IPlugVST.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace vst2;

// ---- Dispatcher -------------------------------------------------------------------

namespace {
// Text sizes: names, labels and displays get the extended 32 bytes hosts
// provide in practice, the rest the sizes the interface documents.
constexpr size_t kParamTextSize = 32;

void CopyOut(void* ptr, size_t size, const char* text)
{
  if (ptr) CopyText(static_cast<char*>(ptr), size, text);
}

// MIDI is received, never sent.
bool CanDo(const char* what, bool doesMidi, intptr_t* answer)
{
  static const char* const kMidi[] = {"receiveVstEvents", "receiveVstMidiEvent"};
  if (std::strcmp(what, "receiveVstTimeInfo") == 0) return (*answer = 1), true;
  for (const char* m : kMidi)
    if (doesMidi && std::strcmp(what, m) == 0) return (*answer = 1), true;
  if (std::strcmp(what, "hasCockosExtensions") == 0 || std::strcmp(what, "hasCockosViewAsConfig") == 0)
    return (*answer = static_cast<intptr_t>(0xBEEF0000)), true;
  return false;
}
}  // namespace

intptr_t IPlugVST::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  switch (opcode)
  {
    case effOpen:
      HostSpecificInit();
      mPlug->OnParamReset();
      return 0;
    case effSetProgram:
    case effGetProgram:
    case effSetProgramName:
    case effGetProgramName:
    case effGetProgramNameIndexed: return ProgramCall(opcode, index, value, ptr);
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effString2Parameter: return ParamTextCall(opcode, index, ptr);
    case effSetSampleRate:
    case effSetBlockSize:
    case effMainsChanged: return SetUpCall(opcode, value, opt);
    case effEditGetRect:
    case effEditClose: return EditorCall(opcode, ptr);
    case effIdentify: return FourCC('N', 'v', 'E', 'f');
    case effGetChunk: return ptr ? GetChunk(static_cast<void**>(ptr), index == 0) : 0;
    case effSetChunk: return mPlug->LoadState(ptr, value, index == 0) ? 1 : 0;
    case effProcessEvents: return ProcessEvents(static_cast<const VstEvents*>(ptr));
    case effCanBeAutomated: return 1;
    case effGetInputProperties: return PinProperties(index, ptr, true);
    case effGetOutputProperties: return PinProperties(index, ptr, false);
    case effGetPlugCategory: return mPlug->IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effSetSpeakerArrangement:
    case effGetSpeakerArrangement: return SpeakerCall(opcode, value, ptr);
    case effGetEffectName:
    case effGetVendorString:
    case effGetProductString: return NameCall(opcode, ptr);
    case effGetVendorVersion: return mPlug->GetEffectVersion(true);
    case effVendorSpecific: return VendorCall(index, value, ptr, opt);
    case effCanDo:
    {
      intptr_t answer = 0;
      return ptr && CanDo(static_cast<const char*>(ptr), mPlug->DoesMIDI(), &answer) ? answer : 0;
    }
    case effGetTailSize: return mPlug->GetTailSize();
    case effGetVstVersion: return kVstVersion;
    case effGetMidiKeyName: return MidiKeyNameCall(static_cast<MidiKeyName*>(ptr));
    default: return 0;
  }
}

intptr_t IPlugVST::ProgramCall(int32_t opcode, int32_t index, intptr_t value, void* ptr)
{
  switch (opcode)
  {
    case effSetProgram:
      if (!mPlug->DoesStateChunks()) mPlug->ModifyCurrentPreset();
      mPlug->RestorePreset(static_cast<int>(value));
      return 0;
    case effGetProgram: return mPlug->GetCurrentPresetIdx();
    case effSetProgramName:
      if (ptr)
      {
        char name[kVstMaxProgNameLen + 1];
        CopyText(name, sizeof name, static_cast<const char*>(ptr));
        mPlug->ModifyCurrentPreset(name);
        mPlug->PresetsChangedByHost();
      }
      return 0;
    case effGetProgramName: CopyOut(ptr, kVstMaxProgNameLen + 1, mPlug->GetPresetName(mPlug->GetCurrentPresetIdx())); return 0;
    default:
    {
      const char* name = mPlug->GetPresetName(index);
      CopyOut(ptr, kVstMaxProgNameLen + 1, name);
      return ptr && name[0] ? 1 : 0;
    }
  }
}

intptr_t IPlugVST::ParamTextCall(int32_t opcode, int32_t index, void* ptr)
{
  IParam* param = mPlug->GetParam(index);
  if (!param) return 0;
  switch (opcode)
  {
    case effGetParamLabel: CopyOut(ptr, kParamTextSize, param->GetLabelForHost()); return 0;
    case effGetParamDisplay:
      if (ptr) param->GetDisplayForHost(static_cast<char*>(ptr), kParamTextSize);
      return 0;
    case effGetParamName: CopyOut(ptr, kParamTextSize, param->GetNameForHost()); return 0;
    default: return StringToParameter(index, static_cast<const char*>(ptr));
  }
}

intptr_t IPlugVST::SetUpCall(int32_t opcode, intptr_t value, float opt)
{
  if (opcode == effSetSampleRate) mPlug->SetSampleRate(opt);
  if (opcode == effSetBlockSize && value > 0 && value <= (1 << 20)) mPlug->SetBlockSize(static_cast<int>(value));
  if (opcode == effMainsChanged) mPlug->OnActivate(value != 0);
  if (opcode != effMainsChanged || value == 0) mPlug->Reset();
  return 0;
}

intptr_t IPlugVST::EditorCall(int32_t opcode, void* ptr)
{
  if (!mPlug->Editor()) return 0;
  switch (opcode)
  {
    case effEditGetRect:
      if (!ptr) return 0;
      *static_cast<ERect**>(ptr) = &mEditRect;
      return 1;
    default:
      mPlug->CloseEditor();
      return 1;
  }
}

intptr_t IPlugVST::ProcessEvents(const VstEvents* events)
{
  if (!events) return 0;
  for (int i = 0; i < events->numEvents; ++i)
  {
    const VstEvent* e = events->events[i];
    if (!e) continue;
    if (e->type == kVstMidiType)
    {
      const auto* m = reinterpret_cast<const VstMidiEvent*>(e);
      IMidiMsg msg(m->deltaFrames, static_cast<uint8_t>(m->midiData[0]), static_cast<uint8_t>(m->midiData[1]),
                   static_cast<uint8_t>(m->midiData[2]));
      mPlug->ProcessMidiMsg(&msg);
    }
    else if (e->type == kVstSysExType)
    {
      const auto* x = reinterpret_cast<const VstMidiSysexEvent*>(e);
      ISysEx sysex;
      sysex.mOffset = x->deltaFrames;
      sysex.mSize = x->dumpBytes;
      sysex.mData = reinterpret_cast<const uint8_t*>(x->sysexDump);
      mPlug->ProcessSysEx(&sysex);
    }
  }
  return 1;
}

intptr_t IPlugVST::SpeakerCall(int32_t opcode, intptr_t value, void* ptr)
{
  if (!value && !ptr) return 0;
  if (opcode == effSetSpeakerArrangement)
  {
    SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value), true);
    SetSpeakerArrangement(static_cast<const VstSpeakerArrangement*>(ptr), false);
    return 1;
  }
  if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputSpkr;
  if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputSpkr;
  return 1;
}

intptr_t IPlugVST::NameCall(int32_t opcode, void* ptr)
{
  if (!ptr) return 0;
  if (opcode == effGetEffectName) CopyOut(ptr, kVstMaxEffectNameLen, mPlug->GetEffectName());
  if (opcode == effGetVendorString) CopyOut(ptr, kVstMaxVendorStrLen, mPlug->GetMfrName());
  if (opcode == effGetProductString) CopyOut(ptr, kVstMaxProductStrLen, mPlug->GetProductName());
  return 1;
}

intptr_t IPlugVST::VendorCall(int32_t index, intptr_t value, void* ptr, float opt)
{
  if (index == effGetParamDisplay && ptr)
  {
    if (const IParam* p = mPlug->GetParam(static_cast<int>(value)))
      p->GetDisplayForHost(opt, true, static_cast<char*>(ptr), kParamTextSize);
    return 0xBEEF;
  }
  if (index == 8)
  {
    const IParam* p = mPlug->GetParam(static_cast<int>(value));
    return p && p->Type() != IParam::kTypeDouble ? 0xBEEF : 0;
  }
  return mPlug->VendorSpecific(index, value, ptr, opt);
}

intptr_t IPlugVST::MidiKeyNameCall(MidiKeyName* key)
{
  if (!key) return 0;
  key->keyName[0] = '\0';
  return mPlug->MidiNoteName(key->thisKeyNumber, key->keyName) ? 1 : 0;
}

intptr_t IPlugVST::GetChunk(void** data, bool isBank)
{
  ByteChunk& chunk = isBank ? mBankState : mState;
  if (!mPlug->SaveState(&chunk, isBank)) return 0;
  *data = chunk.GetBytes();
  return chunk.Size();
}

intptr_t IPlugVST::StringToParameter(int idx, const char* text)
{
  if (!text) return 1;
  return mPlug->SetParamFromText(idx, text) ? 1 : 0;
}

intptr_t IPlugVST::PinProperties(int idx, void* ptr, bool input)
{
  const int count = input ? mPlug->NInChannels() : mPlug->NOutChannels();
  if (!ptr || idx < 0 || idx >= count) return 0;
  auto* pin = static_cast<VstPinProperties*>(ptr);
  pin->flags = kVstPinIsActive;
  if (idx % 2 == 0 && idx < count - 1) pin->flags |= kVstPinIsStereo;
  std::snprintf(pin->label, sizeof pin->label, input ? "Input %d" : "Output %d", idx + 1);
  return 1;
}

void IPlugVST::SetSpeakerArrangement(const VstSpeakerArrangement* arrangement, bool input)
{
  if (!arrangement) return;
  const int slots = input ? mPlug->NInChannels() : mPlug->NOutChannels();
  const int n = std::clamp(arrangement->numChannels, 0, slots);
  if (input)
  {
    mPlug->SetInputChannelConnections(0, n, true);
    mPlug->SetInputChannelConnections(n, slots - n, false);
  }
  else
  {
    mPlug->SetOutputChannelConnections(0, n, true);
    mPlug->SetOutputChannelConnections(n, slots - n, false);
  }
}
