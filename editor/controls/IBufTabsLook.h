// Colours and small conversions shared by the buffer tabs' files.
#pragma once

#include "editor/framework/IGraphicsStructs.h"

namespace buftabs {
inline const IColor kTextColour(255, 255, 132, 132);
inline const IColor kRequestColour(255, 255, 132, 132);
inline const IColor kShade(127, 60, 60, 60);
inline const IColor kPlayheadColour(127, 255, 255, 255);
inline const IColor kIdleMarker(255, 0x14, 0x14, 0x14);

// Normalised form of the aim position across the aim parameter's range.
inline double AimValue(double p)
{
  return (p * 125.0 + 1.0) / 126.0;
}
}  // namespace buftabs
