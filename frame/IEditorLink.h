#pragma once
// All the host adapter knows of an editor. The window calls come on the
// host's user-interface thread; ParameterChanged may come on any thread
// with the plug-in lock held, and only marks the parameter: the editor
// picks marked values up at its next idle, on its own thread.
#include <cstdint>

class IEditorLink
{
public:
  virtual ~IEditorLink() = default;
  // What opening needs that takes long (decoding pictures), done before the
  // adapter takes the plug-in lock to open; any thread.
  virtual void Prepare() {}
  virtual bool Open(void* parentWindow) = 0;
  virtual void Close() = 0;
  virtual void Idle() = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // The editor's own window while it is open (an X11 window or a window handle), else 0.
  virtual uintptr_t Window() const = 0;
  // A descriptor that turns readable when the open editor's window has
  // events waiting (its X11 connection), for hosts that run the editor from
  // their own loop; -1 when there is none.
  virtual int EventSource() const { return -1; }
  virtual void ParameterChanged(int paramIdx) = 0;
};
