#include "editor/layout/VeskEditor.h"

#include <cmath>
#include <cstdio>

#include "editor/controls/Buttons.h"
#include "editor/controls/IBufTabsZR.h"
#include "editor/controls/Keyboard.h"
#include "editor/controls/Knobs.h"
#include "editor/framework/IGraphicsOffscreen.h"
#include "editor/layout/VeskPictures.h"
#include "frame/IPlugBase.h"

using namespace vesk_pictures;

namespace {
GraphicsFactory gFactory = nullptr;

IGraphics* MakeGraphics(IPlugBase* plug)
{
  if (gFactory) return gFactory(plug, VeskEditor::kWidth, VeskEditor::kHeight, VeskEditor::kFPS);
  return new IGraphicsOffscreen(plug, VeskEditor::kWidth, VeskEditor::kHeight, VeskEditor::kFPS);
}

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


VeskEditor::VeskEditor(IPlugBase& plug, VeskEditorHost& host, std::vector<int> perVoiceParams)
  : mPlug(plug), mHost(host), mPerVoiceParams(std::move(perVoiceParams))
{
  std::fill(std::begin(mView.learnedController), std::end(mView.learnedController), -1);
  mGraphics.reset(MakeGraphics(&plug));
  mGraphics->AttachBackground(kPicBackground.id, kPicBackground.name);
  mGraphics->HandleMouseOver(true);
  mGraphics->EnableTooltips(false);
  int logoW, logoH;
  LogoSize(&logoW, &logoH);
  mLogo = new IGifControlZR(&plug, 610, 285, logoW, logoH, kLogoGifId);
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

void VeskEditor::LogoSize(int* w, int* h)
{
  LICE_IBitmap* logo = LoadPicture(kPicLogoBase.id, kPicLogoBase.name);
  *w = logo ? logo->getWidth() : 160;
  *h = logo ? logo->getHeight() : 110;
}

void VeskEditor::LoadPictures()
{
#define VESK_PICTURE(symbol, resourceId, file, frameCount) LoadPicture(kPic##symbol.id, kPic##symbol.name);
#include "resources/img/Pictures.def"
#undef VESK_PICTURE
  int logoW, logoH;
  LogoSize(&logoW, &logoH);
  IGifControlZR::LoadFrames(kLogoGifId, logoW, logoH);
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
  std::vector<IControlsMarker::Entry> markers;
  for (int p : mPerVoiceParams)
  {
    perBuffer.push_back(mControls[p]);
    if (!mControls[p]) continue;
    // Where a neighbour sits close at the right, the marker moves in or out
    // a little, or goes to the left side.
    IControlsMarker::Entry e = IControlsMarker::EntryFor(mControls[p]);
    if (p == kBaseLenDenum || p == kBaseLenNom || p == kPlayRate) e.offset = -3;
    if (p == kGapProb || p == kFltShift) e.offset = 3;
    if (p == kFltOn || p == kAgcAmount) e.side = IControlsMarker::kLeftSide;
    markers.push_back(e);
  }
  mMarker = new IControlsMarker(&mPlug, std::move(markers));
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
  if (!mHost.Learnable(paramIdx) || menu->items.size() <= kForgetItem) return menu;
  ZRMenu::Item& forget = menu->items[kForgetItem];
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
  if (item == kLearnItem) return mHost.ArmLearn(p);
  if (item == kForgetItem) return mHost.Forget(p);
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
