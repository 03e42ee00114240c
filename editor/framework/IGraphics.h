#pragma once
// The editor as the plug-in frame sees it: controls follow parameter values,
// and the drawing surfaces are prepared when the editor is attached.
class IGraphics
{
public:
  virtual ~IGraphics() = default;
  // Tells every control bound to the parameter its new value (real units
  // unless normalized is set).
  virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool PrepDraw() = 0;
  // Opens the editor window inside the host's window; false when it cannot.
  virtual bool OpenWindow(void* parentWindow) = 0;
  virtual void CloseWindow() = 0;
  virtual void Idle() {}
};
