#pragma once
// Text in bitmaps: through FreeType on Linux, with faces registered from
// memory or found through fontconfig; through GDI on Windows. Faces found
// nowhere fall back to metric-close ones: "Verdana" to DejaVu Sans,
// "Roboto Mono" to DejaVu Sans Mono.
#include <string>

#include "raster/lice.h"

enum
{
  LICE_DT_LEFT = 0,
  LICE_DT_CENTER = 1,
  LICE_DT_RIGHT = 2,
  LICE_DT_NOCLIP = 0x100,
  LICE_DT_USEFGALPHA = 0x200,
  LICE_DT_CALCRECT = 0x400,
};

class LICE_CachedFont
{
public:
  LICE_CachedFont() = default;
  ~LICE_CachedFont();
  LICE_CachedFont(const LICE_CachedFont&) = delete;
  LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

  // Opens the face; false when no font file can be found or read.
  bool SetFace(const std::string& family, int pixelSize, bool bold, bool italic, bool antialias = true);
  void SetTextColor(LICE_pixel colour) { mColour = colour; }
  // Draws str (len bytes, or up to its end when len < 0) into rect, or with
  // LICE_DT_CALCRECT only measures: rect becomes the text's box.
  bool DrawText(LICE_IBitmap* bitmap, const char* str, int len, LICE_Rect* rect, int flags);
  int LineHeight() const { return mAscent + mDescent; }
  const std::string& FilePath() const { return mPath; }

private:
  int Measure(const char* str, int len);
  static const void* MemoryFaceFor(const std::string& family, bool bold, int* size);
  void* mFace = nullptr;
  std::string mPath;
  LICE_pixel mColour = 0xFF000000;
  int mAscent = 0, mDescent = 0;
  bool mAntialias = true;
};

// A face kept in memory (embedded in the library) for a family and weight;
// faceName is the face's own family name (it may stand in for another
// family). The data must outlive every font. With preferSystem, a face of
// that exact family installed on the system is taken first. Register
// before drawing.
void LICE_RegisterFontData(const char* family, const char* faceName, bool bold, const void* data, int size,
                           bool preferSystem);

// The font file fontconfig offers for a family and style; empty when none.
std::string LICE_FindFontFile(const std::string& family, bool bold, bool italic);
