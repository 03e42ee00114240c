#pragma once
// The instrument's editor: every control at its place with its labels,
// tooltip texts and MIDI learn menu, the buffer view, the keyboard, the
// logo and the about panel. Built once inside the plug-in's constructor.
#include <memory>
#include <string>

#include "editor/controls/Lists.h"
#include "engine/VeskParams.h"

class IGraphics;
class IPlugBase;
class Vesk;
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

  explicit VeskEditor(Vesk& plug);
  ~VeskEditor();
  VeskEditor(const VeskEditor&) = delete;
  VeskEditor& operator=(const VeskEditor&) = delete;

  IGraphics* Graphics() const { return mGraphics; }
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
  // Options kept in the state: "drop on MouseUp" and "show labels".
  void SyncFromEngine();
  void SetShowLabels(bool on);
  static std::string AboutText();

private:
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
  void ToggleThisBuf(int key);
  void ToggleThisNote(int key);
  void ResetAllFlags();
  void SetFromEditor(int paramIdx, double normalized);

  Vesk& mPlug;
  IGraphics* mGraphics = nullptr;  // owned by the plug-in base once attached
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
