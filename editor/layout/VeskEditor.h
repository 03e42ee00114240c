#pragma once
// The instrument's editor: every control at its place with its labels,
// tooltip texts and MIDI learn menu, the buffer view, the keyboard, the
// logo and the about panel. Built once inside the plug-in's constructor.
#include <memory>
#include <string>
#include <vector>

#include "editor/controls/Lists.h"
#include "editor/layout/ParamIds.h"
#include "editor/layout/VeskEditorHost.h"

class IGraphics;
class IPlugBase;
class IBufTabsZR;
class IBeatKeyboardContainerZR;
class IGifControlZR;
class IInfoPanelControlZR;

// Which window system the editor is made for; the library sets it before
// making any instrument. Without one the editor draws off screen.
using GraphicsFactory = IGraphics* (*)(IPlugBase* plug, int w, int h, int fps);
void SetGraphicsFactory(GraphicsFactory factory);

class VeskEditor
{
public:
  static constexpr int kWidth = 815, kHeight = 550, kFPS = 25;
  // A learn menu's rows: its title, "MIDI learn", then the forget row,
  // whose text names the learned controller.
  static constexpr int kLearnItem = 1, kForgetItem = 2;

  // perVoiceParams: the parameters each voice keeps its own value of, whose
  // controls the buffer view marks and sets per buffer.
  VeskEditor(IPlugBase& plug, VeskEditorHost& host, std::vector<int> perVoiceParams);
  ~VeskEditor();
  VeskEditor(const VeskEditor&) = delete;
  VeskEditor& operator=(const VeskEditor&) = delete;

  IGraphics* Graphics() const { return mGraphics.get(); }
  IControlZR* ControlOf(int paramIdx) const { return paramIdx >= 0 && paramIdx < kNumParams ? mControls[paramIdx] : nullptr; }
  IBufTabsZR* BufferView() const { return mBufView; }
  IBeatKeyboardContainerZR* Keyboard() const { return mKeyboard; }
  ITooltipControlZR* Tooltip() const { return mTooltip; }
  IMenuControlZR* MenuControl() const { return mMenuControl; }
  IInfoPanelControlZR* InfoPanel() const { return mInfo; }
  IGifControlZR* Logo() const { return mLogo; }
  // The menu of a parameter, its forget item showing the learned controller.
  ZRMenu* LearnMenu(int paramIdx);

  void ShowLearnMenu(int paramIdx, int x, int y);
  // Takes over what the instrument shows, under its lock at a repaint tick.
  void Show(const VeskEditorView& view, const WaveSource& wave);
  const VeskEditorView& LastView() const { return mView; }
  void SetShowLabels(bool on);
  static std::string AboutText();
  // Decodes every picture the editor draws into the process-wide cache, so
  // that building an editor decodes nothing; any thread, no lock needed.
  static void LoadPictures();

private:
  static void LogoSize(int* w, int* h);
  struct Placer;
  void CreateControls();
  void AddLabels();
  void CreateKeyboard();
  void CreateBufferView();
  void AppendControls();
  void SetDescriptions();
  void CreateMenus();
  void Subscribe(IControlZR* control, bool withContext);
  template <typename C, typename... Args>
  C* Make(int paramIdx, Args&&... args);
  void OnMenuChoice(ZRMenu& menu, int item);
  void ShowDropOnMouseUp(bool on);

  IPlugBase& mPlug;
  VeskEditorHost& mHost;
  std::vector<int> mPerVoiceParams;
  VeskEditorView mView;
  std::unique_ptr<IGraphics> mGraphics;
  IControlZR* mControls[kNumParams] = {};
  IBufTabsZR* mBufView = nullptr;
  IBeatKeyboardContainerZR* mKeyboard = nullptr;
  ITooltipControlZR* mTooltip = nullptr;
  IMenuControlZR* mMenuControl = nullptr;
  IInfoPanelControlZR* mInfo = nullptr;
  IGifControlZR* mLogo = nullptr;
  IControl* mMarker = nullptr;
  std::unique_ptr<ZRMenu> mMenus[kNumParams];
  bool mAppended[kNumParams] = {};
};
