// Text in bitmaps through GDI: the system font is drawn white on black into
// a DIB section, and the grey levels become the coverage with which the text
// colour is laid onto the bitmap.
#include <windows.h>
#undef DrawText  // the font class's own method, not the Win32 macro

#include <algorithm>
#include <cstring>
#include <mutex>

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

LICE_CachedFont::~LICE_CachedFont()
{
  if (mFace) DeleteObject(static_cast<HFONT>(mFace));
}

bool LICE_CachedFont::SetFace(const std::string& family, int pixelSize, bool bold, bool italic, bool antialias)
{
  if (pixelSize <= 0) return false;
  HFONT font = CreateFontW(pixelSize, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, antialias ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY,
                           DEFAULT_PITCH, Widen(family).c_str());
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
