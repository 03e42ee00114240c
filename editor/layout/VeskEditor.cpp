#include "editor/layout/VeskEditor.h"

#include <cmath>
#include <cstdio>

#include "editor/controls/Buttons.h"
#include "editor/controls/IBufTabsZR.h"
#include "editor/controls/Keyboard.h"
#include "editor/controls/Knobs.h"
#include "editor/framework/IGraphicsOffscreen.h"
#include "frame/IPlugBase.h"

namespace {
GraphicsFactory gFactory = nullptr;

IGraphics* MakeGraphics(IPlugBase* plug)
{
  if (gFactory) return gFactory(plug, VeskEditor::kWidth, VeskEditor::kHeight, VeskEditor::kFPS);
  return new IGraphicsOffscreen(plug, VeskEditor::kWidth, VeskEditor::kHeight, VeskEditor::kFPS);
}

struct Picture
{
  int id;
  const char* name;
  int frames;
};

#define VESK_PICTURE(symbol, id, file, frames) const Picture kPic##symbol{id, "resources/img/" #file ".png", frames};
#include "resources/img/Pictures.def"
#undef VESK_PICTURE
constexpr int kLogoGifId = 143;

const char kAuthor[] = "the Vesk developers";
const char kMail[] = "vesk@example.org";
const char kDonateCardName[] = "card payments:";
const char kDonateCardUrl[] = "https://example.org/vesk/donate/card";
const char kDonateTransferName[] = "bank transfer:";
const char kDonateTransferUrl[] = "https://example.org/vesk/donate/transfer";

void SetParamValues(IGraphics& g, IPlugBase& plug)
{
  for (int i = 0; i < plug.NParams(); ++i) g.SetParameterFromPlug(i, plug.GetParam(i)->GetNormalized(), true);
}
}  // namespace

void SetGraphicsFactory(GraphicsFactory factory)
{
  gFactory = factory;
}

template <typename C, typename... Args>
C* VeskEditor::Make(int paramIdx, Args&&... args)
{
  auto* control = new C(&mPlug, std::forward<Args>(args)...);
  if (paramIdx >= 0) mControls[paramIdx] = control;
  return control;
}

VeskEditor::VeskEditor(IPlugBase& plug, VeskEditorHost& host, std::vector<int> perVoiceParams)
  : mPlug(plug), mHost(host), mPerVoiceParams(std::move(perVoiceParams))
{
  std::fill(std::begin(mView.learnedController), std::end(mView.learnedController), -1);
  mGraphics.reset(MakeGraphics(&plug));
  mGraphics->AttachBackground(kPicBackground.id, kPicBackground.name);
  mGraphics->HandleMouseOver(true);
  mGraphics->EnableTooltips(false);
  const IBitmap logo = mGraphics->LoadIBitmap(kPicLogoBase.id, kPicLogoBase.name, kPicLogoBase.frames);
  mLogo = new IGifControlZR(&plug, 610, 285, logo.W > 0 ? logo.W : 160, logo.H > 0 ? logo.H : 110, kLogoGifId);
  mGraphics->AttachControl(mLogo);
  CreateControls();
  SetParamValues(*mGraphics, mPlug);
  mGraphics->PrepDraw();
  AddLabels();
  CreateKeyboard();
  CreateBufferView();
  AppendControls();
  mInfo->SetPanelText(AboutText(), {{kMail, std::string("mailto:") + kMail},
                                    {kDonateCardUrl, kDonateCardUrl},
                                    {kDonateTransferUrl, kDonateTransferUrl}});
  mGraphics->AssignParamNameToolTips();
  SetDescriptions();
  CreateMenus();
  for (int i = 0; i < kNumParams; ++i)
  {
    if (!mControls[i]) continue;
    mControls[i]->SetValueFromPlug(mPlug.GetParam(i)->GetNormalized());
    mControls[i]->SetDirty(false);
  }
  for (int p : {kPlayheadPos, kSelStart, kSelEnd, kFltModel, kControlFreak}) mControls[p]->Hide(true);
  SetShowLabels(true);
}

VeskEditor::~VeskEditor() = default;

void VeskEditor::CreateControls()
{
  IGraphics& g = *mGraphics;
  auto pic = [&g](const Picture& p) { return g.LoadIBitmap(p.id, p.name, p.frames); };
  auto knob = [&](int p, int x, int y, const Picture& picture) { Make<IKnobMultiControlZR>(p, x, y, p, pic(picture)); };
  auto sw = [&](int p, int x, int y, const Picture& picture) { Make<ISwitchControlZR>(p, x, y, p, pic(picture)); };
  auto list = [&](int p, int x, int y, std::vector<std::string> texts) {
    Make<IListControlZR>(p, x, y, p, std::move(texts));
  };
  auto toggle = [&](int p, int x, int y, std::vector<std::string> texts) {
    Make<IButtonTextControlZR>(p, x, y, p, std::move(texts));
  };
  auto contact = [&](int p, int x, int y, std::vector<std::string> texts) {
    Make<IContactTextControlZR>(p, x, y, p, std::move(texts));
  };
  auto intText = [&](int p, int x, int y, int size, int style, int kind) {
    Make<IIntValTextControlZR>(p, x, y, p, size, style, kind);
  };
  auto position = [&](int p) { Make<IBufPositionControlZR>(p, p); };
  list(kPerfMode, 33, 30, {"NOTES", "BEAT", "SIMPLE"});
  knob(kBufferSeconds, 26, 70, kPicReel);
  contact(kRefillAll, 33, 162, {"REFILL"});
  contact(kRefillThis, 33, 184, {"R THIS"});
  toggle(kCommonBuf, 33, 206, {"own", "common"});
  list(kRefillMode, 33, 228, {"notes", "!glide", "hold", "tempo"});
  knob(kGapProb, 120, 30, kPicDensity);
  list(kGapStereo, 656, 30, {"Pm", "Ps"});
  sw(kGapFill, 698, 29, kPicFill);
  sw(kPerBufInput, 753, 30, kPicMultiInput);
  sw(kStepByRepeat, 655, 73, kPicPropRepeat);
  sw(kStepByLen, 655, 90, kPicPropLambda);
  sw(kStepByRate, 655, 107, kPicPropPlayrate);
  Make<IKnobControlMappedZR>(kStep, 698, 73, kStep, pic(kPicKnobSymm), IKnobControlMappedZR::PowerMap(3.0),
                             IKnobControlMappedZR::PowerMap(1.0 / 3.0));
  knob(kRepeat, 746, 73, kPicKnob);
  knob(kErrorInt, 650, 134, kPicKnob);
  knob(kErrorExt, 698, 134, kPicKnob);
  sw(kPreservePos, 750, 139, kPicPreservePos);
  sw(kWrapMirror, 650, 195, kPicWrapMirror);
  sw(kReturnPlayhead, 650, 228, kPicPlayhead);
  knob(kPlayheadGlide, 698, 195, kPicKnob);
  knob(kOverlap, 746, 195, kPicKnob);
  list(kWindowType, 741, 239, {"lin", "parab", "sine"});
  position(kPlayheadPos);
  position(kSelStart);
  position(kSelEnd);
  contact(kClearSel, 0, 0, {"CLEAR S"});
  toggle(kSelectAll, 0, 0, {"S THIS", "S ALL"});
  Make<ITransparentControlZR>(kPickedBuf, IRECT(), kPickedBuf);
  position(kBufMinVisible);
  position(kBufMaxVisible);
  Make<ITransparentControlZR>(kRequestPicked, IRECT(), kRequestPicked);
  intText(kBaseLenNom, 44, 316, 24, 1, IIntValTextControlZR::kNumerator);
  intText(kBaseLenDenum, 44, 340, 24, 1, IIntValTextControlZR::kPlain);
  intText(kRefillNom, 44, 290, 16, 1, IIntValTextControlZR::kSlashAfter);
  intText(kRefillDenum, 57, 290, 16, 1, IIntValTextControlZR::kPlain);
  Make<IKnobControlMappedZR>(kPlayRate, 406, 305, kPlayRate, pic(kPicPlayrate), IKnobControlMappedZR::PowerMap(2.0),
                             IKnobControlMappedZR::PowerMap(0.5));
  knob(kWobbleAmount, 488, 290, kPicWobbleAmount);
  knob(kWobbleFreq, 536, 290, kPicWobbleSpeed);
  toggle(kWobbleInternal, 488, 340, {"int"});
  toggle(kWobbleExternal, 488, 362, {"ext"});
  list(kWobbleSync, 532, 340, {"async", "sync"});
  knob(kAgcAmount, 33, 420, kPicNormalize);
  toggle(kDcRemoval, 90, 424, {"DC"});
  sw(kAgcPerVoice, 90, 446, kPicSumN);
  knob(kAgcSpeed, 33, 477, kPicKnob);
  knob(kAgcHardness, 81, 477, kPicKnob);
  sw(kFltOn, 160, 424, kPicOnOffDark);
  list(kFltType, 154, 446, {"LP", "BP", "HP", "P", "BR"});
  list(kFltModel, 154, 446, {"smpl", "---"});
  knob(kFltFreq, 190, 424, kPicKnob);
  toggle(kFltFollowNote, 238, 424, {"follow"});
  intText(kFltShift, 238, 446, 16, 2, IIntValTextControlZR::kPlain);
  sw(kFltPropRate, 268, 446, kPicPropPlayrate);
  knob(kFltQ, 190, 477, kPicKnob);
  knob(kFltEnvDepth, 247, 477, kPicKnobSymm);
  sw(kRearticulateBack, 337, 424, kPicArrowL);
  sw(kRearticulateFwd, 337, 445, kPicArrowR);
  for (int i = 0; i < 4; ++i)
  {
    knob(kEnvA + i, 367 + 48 * i, 424, kPicKnob);
    knob(kFltEnvA + i, 367 + 48 * i, 477, kPicKnob);
  }
  sw(kGlideHead, 587, 424, kPicArrowL);
  sw(kGlideInRelease, 587, 445, kPicArrowR);
  knob(kGlide, 618, 424, kPicKnob);
  intText(kActiveVoices, 587, 481, 16, 2, IIntValTextControlZR::kPlain);
  list(kPolyMono, 616, 481, {"MONO", "POLY"});
  knob(kAmp, 698, 424, kPicKnob);
  knob(kMix, 746, 424, kPicKnob);
  sw(kExtrudeInput, 698, 481, kPicExtrude);
  Make<IContactControlZR>(kMidiPanic, 750, 478, kMidiPanic, pic(kPicMidiPanic));
  toggle(kShowTooltips, 769, 373, {"?"});
  mInfo = new IInfoPanelControlZR(&mPlug, 769, 352, kWidth, kHeight);
  toggle(kControlFreak, 0, 0, {"CONTROL FREAK"});
  for (int k = 0; k < kNumKeys; ++k)
  {
    intText(BeatNumParam(k), 0, 0, 16, 1, IIntValTextControlZR::kNumerator);
    intText(BeatDenParam(k), 0, 0, 16, 1, IIntValTextControlZR::kPlain);
  }
  for (int k = 0; k < kNumKeys; ++k) sw(UseForParam(k), 0, 0, kPicOnOffDark);
  pic(kPicOnOff);  // loaded with the others, drawn by no control
}

void VeskEditor::AddLabels()
{
  IText style;
  std::snprintf(style.mFont, sizeof style.mFont, "Roboto Mono");
  style.mSize = 16;
  style.mColor = IColor(255, 120, 120, 120);
  IText turned = style;
  turned.mOrientation = 90;
  struct Label
  {
    const char* text;
    int param, dx, dy, side;
    bool turned;
  };
  const int below = IControlZR::kBelow, right = IControlZR::kRight;
  static const Label kLabels[] = {
    {"base", kBaseLenDenum, 0, 7, below, false}, {"len", kBaseLenDenum, 0, 18, below, false},
    {"f", kFltFreq, 0, 7, below, false},         {"q", kFltQ, 0, 7, below, false},
    {"env", kFltEnvDepth, 0, 7, below, false},   {"s", kAgcSpeed, 0, 7, below, false},
    {"h", kAgcHardness, 0, 7, below, false},     {"a", kEnvA, 0, 7, below, false},
    {"d", kEnvD, 0, 7, below, false},            {"s", kEnvS, 0, 7, below, false},
    {"r", kEnvR, 0, 7, below, false},            {"amp", kEnvR, 11, 22, right, true},
    {"flt", kFltEnvR, 11, 22, right, true},      {"playrate", kPlayRate, 0, -1, below, false},
    {"glide", kGlide, 0, 7, below, false},       {"mix", kMix, 0, 7, below, false},
    {"amp", kAmp, 0, 7, below, false},           {"step", kStep, 0, 7, below, false},
    {"rep", kRepeat, 0, 7, below, false},        {"e int", kErrorInt, 0, 7, below, false},
    {"e ext", kErrorExt, 0, 7, below, false},    {"ph g", kPlayheadGlide, 0, 7, below, false},
  };
  for (const Label& l : kLabels) mControls[l.param]->AddLabel(l.text, l.turned ? turned : style, l.side, l.dx, l.dy);
}

void VeskEditor::CreateKeyboard()
{
  mKeyboard = new IBeatKeyboardContainerZR(&mPlug, IRECT(120, 290, 360, 390));
  mGraphics->AttachControl(mKeyboard);
  std::vector<IControlZR*> beat, switches;
  for (int p = kBeatNumC; p < kExtrudeInput; ++p) beat.push_back(mControls[p]);
  for (int k = 0; k < kNumKeys; ++k) switches.push_back(mControls[UseForParam(k)]);
  mKeyboard->PlaceControls(beat, switches);
  Subscribe(mKeyboard, false);
}

void VeskEditor::CreateBufferView()
{
  std::vector<IControl*> perBuffer;
  for (int p : mPerVoiceParams) perBuffer.push_back(mControls[p]);
  mMarker = new IControlsMarker(&mPlug, perBuffer);
  mGraphics->AttachControl(mMarker);

  IBufTabsZR::Companions c;
  c.picked = mControls[kPickedBuf];
  c.request = mControls[kRequestPicked];
  c.aim = static_cast<IBufPositionControlZR*>(mControls[kPlayheadPos]);
  c.selStart = static_cast<IBufPositionControlZR*>(mControls[kSelStart]);
  c.selEnd = static_cast<IBufPositionControlZR*>(mControls[kSelEnd]);
  c.visMin = static_cast<IBufPositionControlZR*>(mControls[kBufMinVisible]);
  c.visMax = static_cast<IBufPositionControlZR*>(mControls[kBufMaxVisible]);
  c.clearSel = mControls[kClearSel];
  c.selectAll = mControls[kSelectAll];
  for (int k = 0; k < kNumKeys; ++k) c.keys[k] = mControls[UseForParam(k)];
  c.perBuffer = perBuffer;
  mBufView = new IBufTabsZR(&mPlug, IRECT(120, 65, 620, 255), c);
  mBufView->SetDescription(
    "buffer waveform\n"
    "\nR drag or Shift + L drag - select."
    "\nR click - transpose selection.\nL click - aim playhead."
    "\nmouse wheel - zoom time.\nwheel + Ctrl - zoom amplitude.\nwheel + Shift - scroll.");
  mGraphics->AttachControl(mBufView);
  Subscribe(mBufView, false);
}

void VeskEditor::AppendControls()
{
  auto append = [this](int p) {
    if (mAppended[p] || !mControls[p]) return;
    mGraphics->AttachControl(mControls[p]);
    mAppended[p] = true;
  };
  for (int p = 2; p < kNumParams; ++p)
    if (p != kWindowType && p != kFltModel && p != kFltType) append(p);
  mGraphics->AttachControl(mInfo);
  for (int p : {kPerfMode, kRefillMode, kWindowType, kFltModel, kFltType}) append(p);
}

void VeskEditor::SetDescriptions()
{
  auto set = [this](int p, const std::string& d) { mControls[p]->SetDescription(d); };
  set(kPickedBuf,
      "\nL click or wheel - select.\nhover - look up without picking."
      "\nsecond click - request this buf\n for the next note."
      "\nthird - cancel the request. picking"
      "\n another tab transfers the request.");
  for (int p : {kSelStart, kSelEnd, kClearSel})
    set(p, "\naffected by \"select this/all\" param.\naffects MIDI CC for aiming playhead.");
  set(kPlayheadPos,
      "\naffected by \"select this/all\" param."
      "\ntakes repeat grain param into account."
      "\nMIDI CC is mapped to buf selection range."
      "\nif your host smoothes automation envelopes,\ntry drop on MouseUp option in the menu.");
  set(kSelectAll, "\naffects buf selections\nand playhead aiming");
  for (int k = 0; k < kNumKeys; ++k)
    set(UseForParam(k), std::string("\nsets picked buf (un)available for ") + kKeyNames[k] +
                          "s.\nsee menu for group operations.\nignored in monophonic mode."
                          "\noverriden by request buf param,\nMIDI portamento and legato.");
  for (int p = kBeatNumC; p < kExtrudeInput; ++p)
    set(p,
        "\nthese are used in BEAT vesk mode\nas multipliers for grain lengths.\nShift + wheel to * or / by 2."
        "\nmultiplied by base len ratio.");
  for (int p : {kBaseLenDenum, kBaseLenNom}) set(p, "\naffects notes' frequencies\nand individual key meters");
  set(kWrapMirror, "\nbehavior on buf edges");
  set(kReturnPlayhead, "to buf start on new notes");
  set(kPerfMode,
      "\nSIMPLE - plain playback, no grains.\nNOTE - melodic and granular."
      "\nBEAT - grains' lengths depend on host tempo,\n keys' meters and base len ratio.");
  set(kMidiPanic, "\nall notes off.\nerase MIDI map in the menu.");
  set(kGapFill, "and is processed\nby flt and agc");
  set(kExtrudeInput, "\nenvelopes will extrude the input signal\nin A and R, and silence it in D and S");
  for (int p : {kRefillDenum, kRefillNom}) set(p, "\nproportional to host tempo");
  set(kRefillMode,
      "\nnotes - refill a buf on a new note."
      "\n!glides - same except for glides."
      "\nhold - fill once and keep."
      "\ntempo - refill every <refill ratio> beats.");
  set(kCommonBuf, "\ndoesn't erase own bufs,only switches\n other voices to the picked buf");
  set(kRefillThis, "\ndoesn't refill common buf");
  set(kRefillAll,
      "\nrefills all active voices immidiately\nand all inactive on next activation."
      "\nfilling suspends when voice deactivates.");
  set(kStep, "\nadvance grain start position\nby n samples.\nShift + wheel to * or / by 2.");
  set(kRepeat, "\nrepeat the grain n times before\nadvancing or adding ext error");
  set(kErrorInt, "\nread position error inside a grain\nor during SIMPLE vesk mode");
  set(kErrorExt, "\ngrain start position error");
  set(kPreservePos, "\nwhen on, errors don't affect the average\nplayhead and start position advancements");
  set(kPlayheadGlide,
      "\ntime it takes for aimed playhead\nto reach set position."
      "\naffects flt when cut-off is set\nproportional to playrate.");
  set(kOverlap, "\nbig overlaps => high CPU load");
  set(kActiveVoices, "\nmore voices => higher CPU load");
  set(kPlayRate, "\nin-grain and SIMPLE playrate.\nShift + wheel to * or / by 2.");
  set(kWobbleInternal, "\nin-grain and SIMPLE wobble");
  set(kWobbleExternal, "\ngrain length variation");
  set(kFltFreq,
      "\noverriden when flt follows note.\naffected by flt freq shift,\nflt prop playrate\nand flt envelope params.");
  set(kFltFollowNote, "\noverrides flt cut-off freq.\naffected by flt freq shift and\nbase len ratio params.");
  set(kFltShift, "\nmultiplies flt cut-off by n\nin usual and follow note modes");
  set(kFltPropRate, "\nmultiplies flt cut-off by playrate\nin usual and follow note modes.\naffected by playhead glide.");
  set(kAgcSpeed, "\nauto by default.\nin manual 50 Hz works fine\nfor most sources.");
  set(kRearticulateFwd, "\nin monophonic mode or in portamento\nand legato when gliding to new notes");
  set(kRearticulateBack,
      "\nin monophonic mode or in portamento\nand legato when gliding to previous\nholding notes");
  set(kGlideHead, "from previous note's frequency");
  set(kGlideInRelease, "\nkeep gliding to the new note's\nfreq when it was released");
  set(kWindowType, "\nlin - linear fades.\nparab - s-shaped fades.\nsine - pronounced AM on low overlaps.");
  set(kPerBufInput,
      "\ninput signal routing.\nusual stereo input by default.\nwhen on, each buf gets it's own\npair of input channels.");
  set(kBufferSeconds, std::string("\n max ") + "480000" + " samples");
  set(kControlFreak, "\ndon't.");
}

std::string VeskEditor::AboutText()
{
  char version[32];
  std::snprintf(version, sizeof version, "v%d.%d.%d", 1, 0, 0);
  return std::string("VESK") + " x64 " + version + "\nby " + kAuthor + "\n" + kMail + "\n\n" + kDonateCardName + "\n" +
         kDonateCardUrl + "\n" + kDonateTransferName + "\n" + kDonateTransferUrl;
}

void VeskEditor::Subscribe(IControlZR* control, bool withContext)
{
  if (withContext)
    control->SubscribeContext([this](int p, int x, int y) { ShowLearnMenu(p, x, y); });
  control->SubscribeHover([this](int p, const std::string& d, int x, int y) { mTooltip->ShowFor(p, d, x, y); });
  control->SubscribeLeave([this](int) { mTooltip->HideTip(); });
}

void VeskEditor::CreateMenus()
{
  mTooltip = new ITooltipControlZR(&mPlug, kWidth, kHeight, [this] { return mView.showTooltips; });
  mGraphics->AttachControl(mTooltip);
  for (int p = 0; p < kNumParams; ++p)
  {
    if (!mControls[p]) continue;
    if (mHost.Learnable(p)) Subscribe(mControls[p], true);
    if (!mHost.Learnable(p)) continue;
    auto menu = std::make_unique<ZRMenu>();
    menu->paramIdx = p;
    menu->Add(mPlug.GetParam(p)->GetNameForHost(), ZRMenu::kTitle);
    menu->Add("MIDI learn", ZRMenu::kNormal);
    menu->Add("MIDI forget (none)", ZRMenu::kDisabled);
    if (p == kMidiPanic) menu->Add("erase MIDI map", ZRMenu::kAction);
    if (p == kPlayheadPos) menu->Add("drop on MouseUp", ZRMenu::kNormal);
    if (p >= kUseForC && p < kUseForC + kNumKeys)
      for (const char* t : {"toggle this buf", "toggle this note", "reset all flags"}) menu->Add(t, ZRMenu::kAction);
    if (p == kControlFreak) menu->Add("set all to current", ZRMenu::kAction);
    menu->onChoose = [this](ZRMenu& m, int item) { OnMenuChoice(m, item); };
    mMenus[p] = std::move(menu);
  }
  auto labels = std::make_unique<ZRMenu>();
  labels->paramIdx = kShowTooltips;
  labels->Add("show labels", ZRMenu::kTicked);
  labels->onChoose = [this](ZRMenu& m, int) {
    const bool on = m.items[0].state != ZRMenu::kTicked;
    SetShowLabels(on);
    mHost.SetShowLabels(on);
  };
  mMenus[kShowTooltips] = std::move(labels);
  mControls[kShowTooltips]->SubscribeContext([this](int p, int x, int y) { ShowLearnMenu(p, x, y); });
  mMenuControl = new IMenuControlZR(&mPlug, kWidth, kHeight);
  mGraphics->AttachControl(mMenuControl);
}

void VeskEditor::ShowLearnMenu(int paramIdx, int x, int y)
{
  ZRMenu* menu = LearnMenu(paramIdx);
  if (menu && mMenuControl) mMenuControl->Open(menu, x, y);
}

ZRMenu* VeskEditor::LearnMenu(int paramIdx)
{
  if (paramIdx < 0 || paramIdx >= kNumParams || !mMenus[paramIdx]) return nullptr;
  ZRMenu* menu = mMenus[paramIdx].get();
  if (!mHost.Learnable(paramIdx) || menu->items.size() < 3) return menu;
  ZRMenu::Item& forget = menu->items[2];
  const int controller = mView.learnedController[paramIdx];
  forget.text = controller >= 0 ? "MIDI forget CC#" + std::to_string(controller) : "MIDI forget (none)";
  forget.state = controller >= 0 ? ZRMenu::kNormal : ZRMenu::kDisabled;
  return menu;
}

void VeskEditor::Show(const VeskEditorView& view, const WaveSource& wave)
{
  mBufView->Show(view.buffers, wave);
  mKeyboard->SetKeyActivity(view.keyActivity);
  const bool labels = view.showLabels != mView.showLabels, drop = view.dropOnMouseUp != mView.dropOnMouseUp;
  mView = view;
  if (labels) SetShowLabels(view.showLabels);
  if (drop) ShowDropOnMouseUp(view.dropOnMouseUp);
}

void VeskEditor::ShowDropOnMouseUp(bool on)
{
  mBufView->SetDropOnMouseUp(on);
  for (auto& item : mMenus[kPlayheadPos]->items)
    if (item.text == "drop on MouseUp") item.state = on ? ZRMenu::kTicked : ZRMenu::kNormal;
}

void VeskEditor::SetShowLabels(bool on)
{
  if (ZRMenu* menu = mMenus[kShowTooltips].get()) menu->items[0].state = on ? ZRMenu::kTicked : ZRMenu::kNormal;
  mView.showLabels = on;
  for (IControlZR* c : mControls)
    if (c) c->SetShowLabels(on);
}

void VeskEditor::OnMenuChoice(ZRMenu& menu, int item)
{
  const int p = menu.paramIdx;
  const std::string& text = menu.items[static_cast<size_t>(item)].text;
  if (text == "MIDI learn") return mHost.ArmLearn(p);
  if (item == 2) return mHost.Forget(p);
  if (text == "erase MIDI map") return mHost.EraseMidiMap();
  if (text == "drop on MouseUp")
  {
    const bool on = menu.items[static_cast<size_t>(item)].state != ZRMenu::kTicked;
    mView.dropOnMouseUp = on;
    ShowDropOnMouseUp(on);
    return mHost.SetDropOnMouseUp(on);
  }
  const int key = p - kUseForC;
  // The switch of the menu's key tells which way the flags flip.
  const bool on = mControls[p]->GetValue() == 0.0;
  if (text == "toggle this buf") return mHost.UseForPickedBuffer(on);
  if (text == "toggle this note") return mHost.UseForKey(key, on);
  if (text == "reset all flags") return mHost.ResetUseFor();
  if (text == "set all to current") return mHost.SetAllToCurrent();
}
