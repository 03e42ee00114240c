#pragma once
// The editor's side of the instrument: what it asks of the instrument, and
// what it is shown of it beyond parameter values. The editor calls from its
// own thread; the instrument takes its lock.
#include "editor/controls/IBufTabsZR.h"
#include "editor/layout/ParamIds.h"

// Copied under the instrument's lock at every repaint tick.
struct VeskEditorView
{
  IBufTabsZR::State buffers;
  double keyActivity[kNumKeys] = {};
  int learnedController[kNumParams] = {};  // -1: none
  bool showTooltips = false, dropOnMouseUp = false, showLabels = true;
};

class VeskEditorHost
{
public:
  virtual ~VeskEditorHost() = default;
  // Whether the parameter's control has a MIDI learn menu.
  virtual bool Learnable(int paramIdx) const = 0;
  virtual void ArmLearn(int paramIdx) = 0;
  virtual void Forget(int paramIdx) = 0;
  virtual void EraseMidiMap() = 0;
  virtual void SetAllToCurrent() = 0;
  virtual void SetDropOnMouseUp(bool on) = 0;
  virtual void SetShowLabels(bool on) = 0;
  // The "use for" menu: the picked buffer for every key, one key for every
  // buffer, every flag on again.
  virtual void UseForPickedBuffer(bool on) = 0;
  virtual void UseForKey(int key, bool on) = 0;
  virtual void ResetUseFor() = 0;
};
