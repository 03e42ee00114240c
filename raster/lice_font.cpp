#include "raster/lice_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>
#include <strings.h>

namespace {

std::mutex& FreeTypeLock()
{
  static std::mutex lock;
  return lock;
}

FT_Library Library()
{
  static FT_Library library = [] {
    FT_Library l = nullptr;
    return FT_Init_FreeType(&l) == 0 ? l : nullptr;
  }();
  return library;
}

// Next code point of UTF-8 text; malformed bytes read as themselves.
uint32_t NextCodePoint(const unsigned char*& p, const unsigned char* end)
{
  const unsigned char c = *p++;
  const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (extra == 0 || end - p < extra) return c;
  uint32_t cp = c & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) cp = (cp << 6) | (*p++ & 0x3F);
  return cp;
}

struct MemoryFace
{
  std::string family;
  bool bold;
  const void* data;
  int size;
  bool preferSystem;
};

std::vector<MemoryFace>& MemoryFaces()
{
  static std::vector<MemoryFace> faces;
  return faces;
}

// The registered face for a family, its bold one when asked and there.
const MemoryFace* FindMemoryFace(const std::string& family, bool bold)
{
  const MemoryFace* found = nullptr;
  for (const MemoryFace& f : MemoryFaces())
    if (strcasecmp(f.family.c_str(), family.c_str()) == 0 && (!found || f.bold == bold)) found = &f;
  return found;
}

// Whether fontconfig has this exact family (not a substitute).
bool SystemHasFamily(const std::string& family)
{
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* matched = nullptr;
  const bool has = match && FcPatternGetString(match, FC_FAMILY, 0, &matched) == FcResultMatch &&
                   strcasecmp(reinterpret_cast<const char*>(matched), family.c_str()) == 0;
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return has;
}

// A glyph's advance as whole pixels of its unhinted width, as the Windows
// font mapper lays text out, so lines measure the same on both platforms.
int Advance(const FT_GlyphSlot glyph)
{
  return static_cast<int>((glyph->linearHoriAdvance + 0x8000) >> 16);
}

const char* Fallback(const std::string& family)
{
  if (family == "Verdana") return "DejaVu Sans";
  if (family == "Roboto Mono") return "DejaVu Sans Mono";
  return "DejaVu Sans";
}

}  // namespace

void LICE_RegisterFontData(const char* family, const char*, bool bold, const void* data, int size, bool preferSystem)
{
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  if (family && data && size > 0) MemoryFaces().push_back({family, bold, data, size, preferSystem});
}

std::string LICE_FindFontFile(const std::string& family, bool bold, bool italic)
{
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  if (!FcInit()) return {};
  std::string found;
  for (const std::string& name : {family, std::string(Fallback(family))})
  {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8 *file = nullptr, *matchedFamily = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch)
    {
      // Take the family asked for, or else its fallback by name.
      const bool exact = strcasecmp(reinterpret_cast<const char*>(matchedFamily), name.c_str()) == 0;
      if (exact || name != family) found = reinterpret_cast<const char*>(file);
    }
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    if (!found.empty()) break;
  }
  return found;
}

LICE_CachedFont::~LICE_CachedFont()
{
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  if (mFace) FT_Done_Face(static_cast<FT_Face>(mFace));
}

// The registered face from memory, unless it yields to an installed one.
const void* LICE_CachedFont::MemoryFaceFor(const std::string& family, bool bold, int* size)
{
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  const MemoryFace* f = FindMemoryFace(family, bold);
  if (!f || (f->preferSystem && FcInit() && SystemHasFamily(family))) return nullptr;
  *size = f->size;
  return f->data;
}

bool LICE_CachedFont::SetFace(const std::string& family, int pixelSize, bool bold, bool italic, bool antialias)
{
  int size = 0;
  const void* data = MemoryFaceFor(family, bold, &size);
  const std::string path = data ? "embedded:" + family : LICE_FindFontFile(family, bold, italic);
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  if (path.empty() || !Library() || pixelSize <= 0) return false;
  FT_Face face = nullptr;
  const FT_Error error = data ? FT_New_Memory_Face(Library(), static_cast<const FT_Byte*>(data), size, 0, &face)
                              : FT_New_Face(Library(), path.c_str(), 0, &face);
  if (error != 0) return false;
  // The size is the cell height, as the Windows font mapper takes it: the
  // face's Windows ascent plus descent, not the em square, so a face sizes
  // the same on both platforms.
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const double cellUnits = os2 && os2->usWinAscent + os2->usWinDescent > 0
                             ? os2->usWinAscent + os2->usWinDescent
                             : static_cast<double>(face->ascender - face->descender);
  const double scale = pixelSize / cellUnits;  // pixels per font unit
  FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_NOMINAL, 0, std::lround(face->units_per_EM * scale * 64.0), 0, 0};
  if (cellUnits <= 0 || FT_Request_Size(face, &request) != 0)
  {
    FT_Done_Face(face);
    return false;
  }
  if (mFace) FT_Done_Face(static_cast<FT_Face>(mFace));
  mFace = face;
  mPath = path;
  mAntialias = antialias;
  const double ascent = os2 ? os2->usWinAscent : face->ascender;
  mAscent = static_cast<int>(std::lround(ascent * scale));
  mDescent = pixelSize - mAscent;
  return true;
}

int LICE_CachedFont::Measure(const char* str, int len)
{
  FT_Face face = static_cast<FT_Face>(mFace);
  const auto* p = reinterpret_cast<const unsigned char*>(str);
  const auto* end = p + len;
  int width = 0;
  while (p < end)
    if (FT_Load_Char(face, NextCodePoint(p, end), FT_LOAD_DEFAULT) == 0) width += Advance(face->glyph);
  return width;
}

bool LICE_CachedFont::DrawText(LICE_IBitmap* bitmap, const char* str, int len, LICE_Rect* rect, int flags)
{
  if (!mFace || !str || !rect) return false;
  if (len < 0) len = static_cast<int>(std::strlen(str));
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  const int width = Measure(str, len);
  int x = rect->x;
  if (flags & LICE_DT_CENTER) x = rect->x + rect->w / 2 - width / 2;
  if (flags & LICE_DT_RIGHT) x = rect->x + rect->w - width;
  if (flags & LICE_DT_CALCRECT)
  {
    *rect = {x, rect->y, width, LineHeight()};
    return true;
  }
  if (!bitmap || !bitmap->getBits()) return false;
  FT_Face face = static_cast<FT_Face>(mFace);
  const int alpha = (flags & LICE_DT_USEFGALPHA) ? LICE_GETA(mColour) : 255;
  const int baseline = rect->y + mAscent;
  const auto* p = reinterpret_cast<const unsigned char*>(str);
  const auto* end = p + len;
  const int loadFlags = FT_LOAD_RENDER | (mAntialias ? 0 : FT_LOAD_TARGET_MONO);
  while (p < end)
  {
    if (FT_Load_Char(face, NextCodePoint(p, end), loadFlags) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& glyph = g->bitmap;
    for (unsigned row = 0; row < glyph.rows; ++row)
      for (unsigned col = 0; col < glyph.width; ++col)
      {
        const int px = x + g->bitmap_left + static_cast<int>(col), py = baseline - g->bitmap_top + static_cast<int>(row);
        const unsigned char* src = glyph.buffer + static_cast<long>(row) * glyph.pitch;
        const int coverage = glyph.pixel_mode == FT_PIXEL_MODE_MONO ? ((src[col / 8] >> (7 - col % 8)) & 1) * 255 : src[col];
        LICE_PutTextPixel(bitmap, px, py, mColour, coverage, alpha);
      }
    x += Advance(g);
  }
  return true;
}
