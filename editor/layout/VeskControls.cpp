// Where each parameter's control sits on the editor, and what its tooltip
// adds to the parameter's name.
#include <string>
#include <vector>

#include "editor/controls/Buttons.h"
#include "editor/controls/IBufTabsZR.h"
#include "editor/controls/Knobs.h"
#include "editor/framework/IGraphics.h"
#include "editor/layout/VeskEditor.h"
#include "editor/layout/VeskPictures.h"
#include "frame/IPlugBase.h"

using namespace vesk_pictures;

template <typename C, typename... Args>
C* VeskEditor::Make(int paramIdx, Args&&... args)
{
  auto* control = new C(&mPlug, std::forward<Args>(args)...);
  if (paramIdx >= 0) mControls[paramIdx] = control;
  return control;
}

// One call per kind of control, each bound to the parameter it shows.
struct VeskEditor::Placer
{
  VeskEditor& e;
  using Texts = std::vector<std::string>;

  IBitmap Pic(const Picture& p) const { return e.mGraphics->LoadIBitmap(p.id, p.name, p.frames); }
  void Knob(int p, int x, int y, const Picture& picture) { e.Make<IKnobMultiControlZR>(p, x, y, p, Pic(picture)); }
  void Switch(int p, int x, int y, const Picture& picture) { e.Make<ISwitchControlZR>(p, x, y, p, Pic(picture)); }
  void List(int p, int x, int y, Texts texts) { e.Make<IListControlZR>(p, x, y, p, std::move(texts)); }
  void Toggle(int p, int x, int y, Texts texts) { e.Make<IButtonTextControlZR>(p, x, y, p, std::move(texts)); }
  void Contact(int p, int x, int y, Texts texts) { e.Make<IContactTextControlZR>(p, x, y, p, std::move(texts)); }
  void IntText(int p, int x, int y, int size, int style, int kind)
  {
    e.Make<IIntValTextControlZR>(p, x, y, p, size, style, kind);
  }
  void Position(int p) { e.Make<IBufPositionControlZR>(p, p); }
  void Hidden(int p) { e.Make<ITransparentControlZR>(p, IRECT(), p); }
  void PowerKnob(int p, int x, int y, const Picture& picture, double power)
  {
    e.Make<IKnobControlMappedZR>(p, x, y, p, Pic(picture), IKnobControlMappedZR::PowerMap(power),
                                 IKnobControlMappedZR::PowerMap(1.0 / power));
  }

  void BufferAndGrains();
  void SelectionAndRate();
  void GainAndFilter();
  void EnvelopesAndVoices();
  void KeyMeters();
};

void VeskEditor::Placer::BufferAndGrains()
{
  List(kPerfMode, 33, 30, {"NOTES", "BEAT", "SIMPLE"});
  Knob(kBufferSeconds, 26, 70, kPicReel);
  Contact(kRefillAll, 33, 162, {"REFILL"});
  Contact(kRefillThis, 33, 184, {"R THIS"});
  Toggle(kCommonBuf, 33, 206, {"own", "common"});
  List(kRefillMode, 33, 228, {"notes", "!glide", "hold", "tempo"});
  Knob(kGapProb, 120, 30, kPicDensity);
  List(kGapStereo, 656, 30, {"Pm", "Ps"});
  Switch(kGapFill, 698, 29, kPicFill);
  Switch(kPerBufInput, 753, 30, kPicMultiInput);
  Switch(kStepByRepeat, 655, 73, kPicPropRepeat);
  Switch(kStepByLen, 655, 90, kPicPropLambda);
  Switch(kStepByRate, 655, 107, kPicPropPlayrate);
  PowerKnob(kStep, 698, 73, kPicKnobSymm, 3.0);
  Knob(kRepeat, 746, 73, kPicKnob);
  Knob(kErrorInt, 650, 134, kPicKnob);
  Knob(kErrorExt, 698, 134, kPicKnob);
  Switch(kPreservePos, 750, 139, kPicPreservePos);
  Switch(kWrapMirror, 650, 195, kPicWrapMirror);
  Switch(kReturnPlayhead, 650, 228, kPicPlayhead);
  Knob(kPlayheadGlide, 698, 195, kPicKnob);
  Knob(kOverlap, 746, 195, kPicKnob);
  List(kWindowType, 741, 239, {"lin", "parab", "sine"});
}

void VeskEditor::Placer::SelectionAndRate()
{
  Position(kPlayheadPos);
  Position(kSelStart);
  Position(kSelEnd);
  Contact(kClearSel, 0, 0, {"CLEAR S"});
  Toggle(kSelectAll, 0, 0, {"S THIS", "S ALL"});
  Hidden(kPickedBuf);
  Position(kBufMinVisible);
  Position(kBufMaxVisible);
  Hidden(kRequestPicked);
  IntText(kBaseLenNom, 44, 316, 24, 1, IIntValTextControlZR::kNumerator);
  IntText(kBaseLenDenum, 44, 340, 24, 1, IIntValTextControlZR::kPlain);
  IntText(kRefillNom, 44, 290, 16, 1, IIntValTextControlZR::kSlashAfter);
  IntText(kRefillDenum, 57, 290, 16, 1, IIntValTextControlZR::kPlain);
  static_cast<IIntValTextControlZR*>(e.mControls[kRefillNom])->EndAreaAt(57);
  PowerKnob(kPlayRate, 406, 305, kPicPlayrate, 2.0);
  Knob(kWobbleAmount, 488, 290, kPicWobbleAmount);
  Knob(kWobbleFreq, 536, 290, kPicWobbleSpeed);
  Toggle(kWobbleInternal, 488, 340, {"int"});
  Toggle(kWobbleExternal, 488, 362, {"ext"});
  List(kWobbleSync, 532, 340, {"async", "sync"});
}

void VeskEditor::Placer::GainAndFilter()
{
  Knob(kAgcAmount, 33, 420, kPicNormalize);
  Toggle(kDcRemoval, 90, 424, {"DC"});
  Switch(kAgcPerVoice, 90, 446, kPicSumN);
  Knob(kAgcSpeed, 33, 477, kPicKnob);
  Knob(kAgcHardness, 81, 477, kPicKnob);
  Switch(kFltOn, 160, 424, kPicOnOffDark);
  List(kFltType, 154, 446, {"LP", "BP", "HP", "P", "BR"});
  List(kFltModel, 154, 446, {"smpl", "---"});
  Knob(kFltFreq, 190, 424, kPicKnob);
  Toggle(kFltFollowNote, 238, 424, {"follow"});
  IntText(kFltShift, 238, 446, 16, 2, IIntValTextControlZR::kPlain);
  Switch(kFltPropRate, 268, 446, kPicPropPlayrate);
  Knob(kFltQ, 190, 477, kPicKnob);
  Knob(kFltEnvDepth, 247, 477, kPicKnobSymm);
}

void VeskEditor::Placer::EnvelopesAndVoices()
{
  Switch(kRearticulateBack, 337, 424, kPicArrowL);
  Switch(kRearticulateFwd, 337, 445, kPicArrowR);
  for (int i = 0; i < 4; ++i)
  {
    Knob(kEnvA + i, 367 + 48 * i, 424, kPicKnob);
    Knob(kFltEnvA + i, 367 + 48 * i, 477, kPicKnob);
  }
  Switch(kGlideHead, 587, 424, kPicArrowL);
  Switch(kGlideInRelease, 587, 445, kPicArrowR);
  Knob(kGlide, 618, 424, kPicKnob);
  IntText(kActiveVoices, 587, 481, 16, 2, IIntValTextControlZR::kPlain);
  List(kPolyMono, 616, 481, {"MONO", "POLY"});
  Knob(kAmp, 698, 424, kPicKnob);
  Knob(kMix, 746, 424, kPicKnob);
  Switch(kExtrudeInput, 698, 481, kPicExtrude);
  e.Make<IContactControlZR>(kMidiPanic, 750, 478, kMidiPanic, Pic(kPicMidiPanic));
  Toggle(kShowTooltips, 769, 373, {"?"});
  e.mInfo = new IInfoPanelControlZR(&e.mPlug, 769, 352, kWidth, kHeight);
  Toggle(kControlFreak, 0, 0, {"CONTROL FREAK"});
}

void VeskEditor::Placer::KeyMeters()
{
  for (int k = 0; k < kNumKeys; ++k)
  {
    IntText(BeatNumParam(k), 0, 0, 16, 1, IIntValTextControlZR::kNumerator);
    IntText(BeatDenParam(k), 0, 0, 16, 1, IIntValTextControlZR::kPlain);
  }
  for (int k = 0; k < kNumKeys; ++k) Switch(UseForParam(k), 0, 0, kPicOnOffDark);
  Pic(kPicOnOff);  // loaded with the others, drawn by no control
}

void VeskEditor::CreateControls()
{
  Placer place{*this};
  place.BufferAndGrains();
  place.SelectionAndRate();
  place.GainAndFilter();
  place.EnvelopesAndVoices();
  place.KeyMeters();
}

namespace {
struct ParamDescription
{
  int param;
  const char* text;
};

// What a tooltip adds after the parameter's name, one parameter at a time.
const ParamDescription kDescriptions[] = {
    {kPickedBuf, "\nL click or wheel - select.\nhover - look up without picking." "\nsecond click - request this buf\n for the next note." "\nthird - cancel the request. picking" "\n another tab transfers the request."},
    {kPlayheadPos, "\naffected by \"select this/all\" param." "\ntakes repeat grain param into account." "\nMIDI CC is mapped to buf selection range." "\nif your host smoothes automation envelopes,\ntry drop on MouseUp option in the menu."},
    {kSelectAll, "\naffects buf selections\nand playhead aiming"},
    {kWrapMirror, "\nbehavior on buf edges"},
    {kReturnPlayhead, "to buf start on new notes"},
    {kPerfMode, "\nSIMPLE - plain playback, no grains.\nNOTE - melodic and granular." "\nBEAT - grains' lengths depend on host tempo,\n keys' meters and base len ratio."},
    {kMidiPanic, "\nall notes off.\nerase MIDI map in the menu."},
    {kGapFill, "and is processed\nby flt and agc"},
    {kExtrudeInput, "\nenvelopes will extrude the input signal\nin A and R, and silence it in D and S"},
    {kRefillMode, "\nnotes - refill a buf on a new note." "\n!glides - same except for glides." "\nhold - fill once and keep." "\ntempo - refill every <refill ratio> beats."},
    {kCommonBuf, "\ndoesn't erase own bufs,only switches\n other voices to the picked buf"},
    {kRefillThis, "\ndoesn't refill common buf"},
    {kRefillAll, "\nrefills all active voices immidiately\nand all inactive on next activation." "\nfilling suspends when voice deactivates."},
    {kStep, "\nadvance grain start position\nby n samples.\nShift + wheel to * or / by 2."},
    {kRepeat, "\nrepeat the grain n times before\nadvancing or adding ext error"},
    {kErrorInt, "\nread position error inside a grain\nor during SIMPLE vesk mode"},
    {kErrorExt, "\ngrain start position error"},
    {kPreservePos, "\nwhen on, errors don't affect the average\nplayhead and start position advancements"},
    {kPlayheadGlide, "\ntime it takes for aimed playhead\nto reach set position." "\naffects flt when cut-off is set\nproportional to playrate."},
    {kOverlap, "\nbig overlaps => high CPU load"},
    {kActiveVoices, "\nmore voices => higher CPU load"},
    {kPlayRate, "\nin-grain and SIMPLE playrate.\nShift + wheel to * or / by 2."},
    {kWobbleInternal, "\nin-grain and SIMPLE wobble"},
    {kWobbleExternal, "\ngrain length variation"},
    {kFltFreq, "\noverriden when flt follows note.\naffected by flt freq shift,\nflt prop playrate\nand flt envelope params."},
    {kFltFollowNote, "\noverrides flt cut-off freq.\naffected by flt freq shift and\nbase len ratio params."},
    {kFltShift, "\nmultiplies flt cut-off by n\nin usual and follow note modes"},
    {kFltPropRate, "\nmultiplies flt cut-off by playrate\nin usual and follow note modes.\naffected by playhead glide."},
    {kAgcSpeed, "\nauto by default.\nin manual 50 Hz works fine\nfor most sources."},
    {kRearticulateFwd, "\nin monophonic mode or in portamento\nand legato when gliding to new notes"},
    {kRearticulateBack, "\nin monophonic mode or in portamento\nand legato when gliding to previous\nholding notes"},
    {kGlideHead, "from previous note's frequency"},
    {kGlideInRelease, "\nkeep gliding to the new note's\nfreq when it was released"},
    {kWindowType, "\nlin - linear fades.\nparab - s-shaped fades.\nsine - pronounced AM on low overlaps."},
    {kPerBufInput, "\ninput signal routing.\nusual stereo input by default.\nwhen on, each buf gets it's own\npair of input channels."},
    {kControlFreak, "\ndon't."},
};
}  // namespace

void VeskEditor::SetDescriptions()
{
  auto set = [this](int p, const std::string& d) { mControls[p]->SetDescription(d); };
  for (const ParamDescription& d : kDescriptions) set(d.param, d.text);
  for (int p : {kSelStart, kSelEnd, kClearSel})
    set(p, "\naffected by \"select this/all\" param.\naffects MIDI CC for aiming playhead.");
  for (int k = 0; k < kNumKeys; ++k)
    set(UseForParam(k), std::string("\nsets picked buf (un)available for ") + kKeyNames[k] +
                          "s.\nsee menu for group operations.\nignored in monophonic mode."
                          "\noverriden by request buf param,\nMIDI portamento and legato.");
  for (int p = kBeatNumC; p < kExtrudeInput; ++p)
    set(p,
        "\nthese are used in BEAT vesk mode\nas multipliers for grain lengths.\nShift + wheel to * or / by 2."
        "\nmultiplied by base len ratio.");
  for (int p : {kBaseLenDenum, kBaseLenNom}) set(p, "\naffects notes' frequencies\nand individual key meters");
  for (int p : {kRefillDenum, kRefillNom}) set(p, "\nproportional to host tempo");
  set(kBufferSeconds, std::string("\n max ") + "480000" + " samples");
}
