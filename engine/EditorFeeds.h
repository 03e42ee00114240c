#pragma once
// What the engine tells the editor's views. The audio thread calls these:
// implementations only store numbers and set flags, never allocate or lock.
class BufferViewFeed
{
public:
  virtual ~BufferViewFeed() = default;
  virtual void SetBufferLength(int samples) = 0;
  virtual void SetSelectionStart(int tab, double sample) = 0;
  virtual void SetSelectionEnd(int tab, double sample) = 0;
  // which: 0 the start of the visible range, 1 its end.
  virtual void SetVisibleRange(int which, double value) = 0;
  virtual void ResetSelection() = 0;
  virtual void SetCommonMode(bool on, int bufferIndex) = 0;
  virtual void BufferRefilled(int tab) = 0;
  virtual void BufferGrew(int tab) = 0;
  virtual void SetActivity(int tab, double activity) = 0;
  // The tab whose voice positions the view wants: the hovered, else the current.
  virtual int ShownTab() const = 0;
  virtual void SetPositions(double playhead, double aim) = 0;
  // A short text after the tab number (" - A4"), empty for none.
  virtual void SetInfoText(const char* text) = 0;
  virtual void SelectTab(int tab, bool notify) = 0;
  virtual void RefreshKeys() = 0;
};

class KeyboardFeed
{
public:
  virtual ~KeyboardFeed() = default;
  // Per pitch class, the summed gain of the active voices playing it.
  virtual void SetKeyActivity(const double* values) = 0;
};
