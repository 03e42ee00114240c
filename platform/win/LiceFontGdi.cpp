// Text in bitmaps through GDI: the system font is drawn white on black into
// a DIB section, and the grey levels become the coverage with which the text
// colour is laid onto the bitmap.
#include <windows.h>
#undef DrawText  // the font class's own method, not the Win32 macro

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/win/Module.h"
#include "raster/lice_font.h"

namespace {
// One measuring context for every font; drawing makes its own surface.
std::mutex& GdiLock()
{
  static std::mutex lock;
  return lock;
}

HDC MeasureDC()
{
  static HDC dc = CreateCompatibleDC(nullptr);
  return dc;
}

SIZE Extent(HFONT font, const std::wstring& text)
{
  SIZE size{0, 0};
  HGDIOBJ old = SelectObject(MeasureDC(), font);
  GetTextExtentPoint32W(MeasureDC(), text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(MeasureDC(), old);
  return size;
}

void LayCoverage(LICE_IBitmap* bitmap, const uint32_t* grey, int w, int h, int x0, int y0, LICE_pixel colour, int alpha)
{
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      const uint32_t p = grey[y * w + x];
      LICE_PutTextPixel(bitmap, x0 + x, y0 + y, colour, std::max({LICE_GETR(p), LICE_GETG(p), LICE_GETB(p)}), alpha);
    }
}
}  // namespace

std::string LICE_FindFontFile(const std::string& family, bool, bool) { return family; }

namespace {
// Families that an embedded face stands in for, by the face's own name.
std::vector<std::pair<std::wstring, std::wstring>>& StandIns()
{
  static std::vector<std::pair<std::wstring, std::wstring>> standIns;
  return standIns;
}

bool SystemHasFamily(const std::wstring& family)
{
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(wanted.lfFaceName, family.c_str(), LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(MeasureDC(), &wanted,
                      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
                        *reinterpret_cast<bool*>(found) = true;
                        return 0;
                      },
                      reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

std::wstring FaceFor(const std::string& family)
{
  const std::wstring wide = Widen(family);
  std::lock_guard<std::mutex> lock(GdiLock());
  for (const auto& [asked, face] : StandIns())
    if (_wcsicmp(asked.c_str(), wide.c_str()) == 0) return face;
  return wide;
}
}  // namespace

// Faces added from memory are the process's own: no other program sees them.
void LICE_RegisterFontData(const char* family, const char* faceName, bool, const void* data, int size,
                           bool preferSystem)
{
  if (!family || !faceName || !data || size <= 0) return;
  std::lock_guard<std::mutex> lock(GdiLock());
  const std::wstring asked = Widen(family), face = Widen(faceName);
  if (preferSystem && SystemHasFamily(asked)) return;
  DWORD added = 0;
  if (!AddFontMemResourceEx(const_cast<void*>(data), static_cast<DWORD>(size), nullptr, &added) || added == 0) return;
  if (_wcsicmp(asked.c_str(), face.c_str()) != 0) StandIns().push_back({asked, face});
}

LICE_CachedFont::~LICE_CachedFont()
{
  if (mFace) DeleteObject(static_cast<HFONT>(mFace));
}

bool LICE_CachedFont::SetFace(const std::string& family, int pixelSize, bool bold, bool italic, bool antialias)
{
  if (pixelSize <= 0) return false;
  HFONT font = CreateFontW(pixelSize, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, antialias ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY,
                           DEFAULT_PITCH, FaceFor(family).c_str());
  if (!font) return false;
  std::lock_guard<std::mutex> lock(GdiLock());
  if (mFace) DeleteObject(static_cast<HFONT>(mFace));
  mFace = font;
  mPath = family;
  mAntialias = antialias;
  TEXTMETRICW metrics{};
  HGDIOBJ old = SelectObject(MeasureDC(), font);
  GetTextMetricsW(MeasureDC(), &metrics);
  SelectObject(MeasureDC(), old);
  mAscent = metrics.tmAscent;
  mDescent = metrics.tmDescent;
  return true;
}

int LICE_CachedFont::Measure(const char* str, int len)
{
  return Extent(static_cast<HFONT>(mFace), Widen(std::string(str, static_cast<size_t>(len)))).cx;
}

bool LICE_CachedFont::DrawText(LICE_IBitmap* bitmap, const char* str, int len, LICE_Rect* rect, int flags)
{
  if (!mFace || !str || !rect) return false;
  if (len < 0) len = static_cast<int>(std::strlen(str));
  std::lock_guard<std::mutex> lock(GdiLock());
  const std::wstring text = Widen(std::string(str, static_cast<size_t>(len)));
  const SIZE size = Extent(static_cast<HFONT>(mFace), text);
  int x = rect->x;
  if (flags & LICE_DT_CENTER) x = rect->x + rect->w / 2 - size.cx / 2;
  if (flags & LICE_DT_RIGHT) x = rect->x + rect->w - size.cx;
  if (flags & LICE_DT_CALCRECT)
  {
    *rect = {x, rect->y, static_cast<int>(size.cx), LineHeight()};
    return true;
  }
  if (!bitmap || !bitmap->getBits() || size.cx <= 0 || size.cy <= 0) return size.cx >= 0;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!surface || !bits)
  {
    if (surface) DeleteObject(surface);
    DeleteDC(dc);
    return false;
  }
  HGDIOBJ oldBitmap = SelectObject(dc, surface);
  HGDIOBJ oldFont = SelectObject(dc, static_cast<HFONT>(mFace));
  SetBkColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, OPAQUE);
  ::SetTextColor(dc, RGB(255, 255, 255));
  TextOutW(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
  GdiFlush();
  const int alpha = (flags & LICE_DT_USEFGALPHA) ? LICE_GETA(mColour) : 255;
  LayCoverage(bitmap, static_cast<const uint32_t*>(bits), size.cx, size.cy, x, rect->y, mColour, alpha);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(surface);
  DeleteDC(dc);
  return true;
}
