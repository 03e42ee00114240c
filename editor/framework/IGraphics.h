#pragma once
// The editor: an ordered list of controls drawn into one off-screen bitmap,
// input routed to them, dirty controls repainted on a timer tick, popup
// menus and in-place text entry. Window-system backends derive from it and
// supply the window, the screen copy, menus and the entry box.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/framework/IEntryText.h"
#include "editor/framework/IControl.h"
#include "editor/framework/IGraphicsStructs.h"
#include "raster/lice.h"

class IParam;
class IPlugBase;

// Held by every editor, and by whatever warms the caches for one: while any
// is held, decoded pictures and opened fonts stay; when the last one goes,
// they are released, so the caches outlive no user.
class EditorCacheUse
{
public:
  EditorCacheUse();
  ~EditorCacheUse();
  EditorCacheUse(const EditorCacheUse&) = delete;
  EditorCacheUse& operator=(const EditorCacheUse&) = delete;
};

class IGraphics
{
public:
  enum ETextEntryState { kTextEntryNone, kTextEntryEditing, kTextEntryUpdate, kTextEntryCancel, kTextEntryCommit };
  // Key codes given to OnKeyDown.
  enum EKey { kKeySpace = 0, kKeyUp, kKeyDown, kKeyLeft, kKeyRight, kKeyDigit0 = 5, kKeyLetterA = 15, kKeyNone = -1 };

  IGraphics(IPlugBase* plug, int w, int h, int fps = 25);
  virtual ~IGraphics();
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // The window-system side.
  virtual void DrawScreen(const IRECT& rect) = 0;
  virtual bool OpenWindow(void* parentWindow) = 0;
  virtual void CloseWindow() = 0;
  virtual bool WindowIsOpen() = 0;
  // The window the editor draws in while open, as the platform names it; 0 when closed.
  virtual uintptr_t NativeWindow() const { return 0; }
  // What the window's events arrive on, for a host's own loop; -1 for none.
  virtual int EventSource() const { return -1; }
  virtual const char* GetGUIAPI() = 0;
  // Returns the menu (or sub-menu) in which an item was chosen, or none.
  virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& area) = 0;
  virtual void CreateTextEntry(IControl* control, const IText& text, const IRECT& rect, const char* initial,
                               IParam* param) = 0;
  // The entry box's text and its removal, when an entry is resolved.
  virtual std::string TextEntryText() = 0;
  virtual void DestroyTextEntry() = 0;
  virtual bool ShowMessageBox(const char* /*text*/, const char* /*caption*/, int /*type*/) { return false; }
  virtual bool OpenURL(const char* /*url*/, const char* /*title*/ = nullptr, const char* /*confirm*/ = nullptr,
                       const char* /*error*/ = nullptr) { return false; }
  virtual bool GetTextFromClipboard(std::string* out) { out->clear(); return false; }
  // Folders, each with its trailing separator; empty where the platform has none.
  enum EFileAction { kFileOpen, kFileSave };
  virtual void HostPath(std::string* out) { out->clear(); }
  virtual void PluginPath(std::string* out) { out->clear(); }
  virtual void DesktopPath(std::string* out) { out->clear(); }
  virtual void AppSupportPath(std::string* out, bool /*system*/ = false) { out->clear(); }
  void SandboxSafeAppSupportPath(std::string* out) { AppSupportPath(out, false); }
  // A file dialog: on success filename is the chosen path and dir its folder;
  // on cancel (or without a window) filename becomes empty.
  virtual void PromptForFile(std::string* filename, EFileAction /*action*/, std::string* /*dir*/ = nullptr,
                             const char* /*extensions*/ = "") { filename->clear(); }
  // The colour chooser: true with the colour's R, G, B replaced on OK.
  virtual bool PromptForColor(IColor* /*color*/, const char* /*prompt*/ = "") { return false; }
  virtual void HideMouseCursor() {}
  virtual void ShowMouseCursor() {}
  virtual void Idle() {}
  // Called at the start of every repaint tick, before anything is drawn:
  // where the editor takes over what changed elsewhere.
  void SetPickUp(std::function<void()> pickUp) { mPickUp = std::move(pickUp); }
  // Draws or, with measure, sizes text; false when no font can be had.
  virtual bool RenderText(IText& text, const char* str, IRECT& rect, bool measure);

  // Parameters and attaching.
  virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized);
  virtual bool PrepDraw();
  void AttachBackground(int id, const char* name);
  int AttachControl(IControl* control);
  IControl* GetControl(int i) { return i >= 0 && i < GetNControls() ? mControls[static_cast<size_t>(i)].get() : nullptr; }
  int GetNControls() const { return static_cast<int>(mControls.size()); }
  void SetKeyCatcher(IControl* control) { mKeyCatcher.reset(control); }
  void AssignParamNameToolTips();
  void HandleMouseOver(bool on) { mHandleMouseOver = on; }
  void EnableTooltips(bool on) { mTooltipsEnabled = on; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  IPlugBase* GetPlug() const { return mPlug; }
  LICE_IBitmap* GetDrawBitmap() { return mDrawBitmap.get(); }

  // Drawing, for controls.
  IBitmap LoadIBitmap(int id, const char* name, int frames = 1, bool framesAreHorizontal = false);
  bool DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int frame = 1, const IChannelBlend* blend = nullptr);
  bool DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY, const IChannelBlend* blend = nullptr);
  bool FillIRect(const IColor& color, const IRECT& rect, const IChannelBlend* blend = nullptr);
  bool DrawRect(const IColor& color, const IRECT& rect);
  bool DrawLine(const IColor& color, int x1, int y1, int x2, int y2);
  bool DrawIText(IText& text, const char* str, IRECT& rect) { return DrawIText(text, str, rect, false); }
  bool MeasureIText(IText& text, const char* str, IRECT& rect) { return DrawIText(text, str, rect, true); }
  // One line of text turned 90 degrees counter-clockwise, reading upward
  // from the bottom left corner of rect.
  bool DrawITextTurned(IText& text, const char* str, const IRECT& rect);
  // A colour's alpha applied to fills and lines.
  void FillAlpha(const IColor& color, const IRECT& rect);
  void LineAlpha(const IColor& color, int x1, int y1, int x2, int y2);
  // An outline drawn inside rect.
  void Outline(const IColor& color, const IRECT& rect);

  void PromptUserInput(IControl* control, IParam* param, const IRECT& rect);

  // Input and painting, from the window layer.
  // A button press from the window: with a text entry open it resolves the
  // entry instead (cancel while editing, else commit) and reaches no control.
  void OnButtonPress(int x, int y, IMouseMod* mod);
  void OnMouseDown(int x, int y, IMouseMod* mod);
  void OnMouseUp(int x, int y, IMouseMod* mod);
  void OnMouseDrag(int x, int y, IMouseMod* mod);
  bool OnMouseDblClick(int x, int y, IMouseMod* mod);
  void OnMouseWheel(int x, int y, IMouseMod* mod, int wheelDelta);
  bool OnMouseOver(int x, int y, IMouseMod* mod);
  void OnMouseOut();
  bool OnKeyDown(int x, int y, int key);
  bool IsDirty(IRECT* rect);
  void Draw(const IRECT& rect);
  // One repaint tick: resolves a pending text entry, or returns the rect to
  // repaint (empty when nothing is dirty).
  IRECT OnTimerTick();
  int GetMouseControlIdx(int x, int y, bool forMouseOver = false);
  int GetCapturedControl() const { return mMouseCapture; }
  int GetMouseOverControl() const { return mMouseOver; }
  void ReleaseMouseCapture();
  // The host's begin and end of an edit gesture: every begin gets one end.
  void BeginHostEdit(int param);
  void EndHostEdit();

  // The in-place text entry.
  ETextEntryState TextEntryState() const { return mTextEntryState; }
  void SetTextEntryState(ETextEntryState s) { mTextEntryState = s; }
  bool TextEntryOpen() const { return mEdControl != nullptr; }
  IControl* TextEntryControl() const { return mEdControl; }
  // Whether a typed character may go into the entry for this parameter.
  static bool TextEntryAccepts(const IParam* param, char c);
  // A key typed into the open entry, filtered as the edit box filters keys.
  void EntryKey(IEntryText& entry, char c) const
  {
    if (mEdControl && TextEntryAccepts(mEdParam, c)) entry.Key(c, mEdControl->GetTextEntryLength());
  }

protected:
  // An entry takes over from the press that opened it: the mouse is let go.
  void BeginTextEntry(IControl* control, IParam* param)
  {
    ReleaseMouseCapture();
    mEdControl = control, mEdParam = param;
  }
  void ResolveTextEntry();
  bool DrawIText(IText& text, const char* str, IRECT& rect, bool measure);

  IPlugBase* mPlug;
  EditorCacheUse mCacheUse;  // before the controls, which draw from the caches
  std::vector<std::unique_ptr<IControl>> mControls;
  IRECT mDrawRECT;
  std::unique_ptr<LICE_SysBitmap> mDrawBitmap;
  std::unique_ptr<LICE_MemBitmap> mTmpBitmap;
  int mWidth, mHeight, mFPS;
  int mMouseCapture = -1, mMouseOver = -1, mMouseX = -1, mMouseY = -1, mLastClickedParam = -1;
  int mHostEditParam = -1;  // the parameter whose host edit is open (-1: none)
  bool mHandleMouseOver = false, mStrict = true, mTooltipsEnabled = true, mShowControlBounds = false;
  std::unique_ptr<IControl> mKeyCatcher;
  ETextEntryState mTextEntryState = kTextEntryNone;
  IControl* mEdControl = nullptr;
  IParam* mEdParam = nullptr;
  std::function<void()> mPickUp;
};

// The width and height of one line of text in its style, without an editor.
bool MeasureTextSize(const IText& text, const char* str, int* width, int* height);

// The process-wide picture cache: every picture is decoded once, by the
// first editor that needs it, and shared by all; `decode` makes it when it
// is not there yet. Null when the picture does not decode.
LICE_IBitmap* CachedPicture(const char* type, int id, const std::function<LICE_IBitmap*()>& decode);
// A PNG picture from the library's resources (by id; the name must end in
// .png), through the cache.
LICE_IBitmap* LoadPicture(int id, const char* name);
// A PNG picture already in the cache, or none.
LICE_IBitmap* CachedBitmap(int id);
// How many users the caches have now.
int EditorCacheUsers();
