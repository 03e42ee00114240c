#pragma once
// All the plug-in knows of its host, whatever the format: each format's
// adapter implements it and hands it to the plug-in it drives.
#include <string>

#include "frame/IPlugStructs.h"

// A host's time line as its format gives it. A field the host does not
// mark valid is given as -1 (0 for the tempo and the time signature): like
// any value that makes no sense there, the plug-in passes it over.
struct HostTime
{
  double samplePos = 0.0, quarters = -1.0, tempo = 0.0, lastBar = -1.0, cycleStart = -1.0, cycleEnd = -1.0;
  int numerator = 0, denominator = 0;
  bool playing = false, looping = false;

  // The fields that make sense, the tempo held to what music uses; the
  // others keep what the caller put in.
  void Into(ITimeInfo* info) const;
};

class IHostLink
{
public:
  virtual ~IHostLink() = default;

  // A parameter the plug-in changed itself (a learned controller, the
  // editor, a key's flags), inside its gesture's begin and end where the
  // host has gestures. Any thread, with the plug-in lock held.
  virtual void BeginParamEdit(int paramIdx) = 0;
  virtual void ParamChangedByPlug(int paramIdx, double normalized) = 0;
  virtual void EndParamEdit(int paramIdx) = 0;
  // Many values changed at once (a program or a state): the host reads them all again.
  virtual void AllParamsChanged() = 0;

  // The host's time line: fills what the host knows and leaves the rest;
  // false when it knows nothing. Asked by process calls only.
  virtual bool GetTime(ITimeInfo* info) = 0;
  virtual bool IsRenderingOffline() = 0;
  // The host's product name (empty when it gives none) and its version in
  // decimal as hosts report it (0 when unknown).
  virtual std::string HostProduct() = 0;
  virtual int HostVersion() = 0;
};
