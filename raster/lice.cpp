#include "raster/lice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

bool LICE_MemBitmap::resize(int w, int h)
{
  w = std::max(0, w);
  h = std::max(0, h);
  if (w == mWidth && h == mHeight) return false;
  mWidth = w;
  mHeight = h;
  mPixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  return true;
}

namespace {

// Clips the rectangle to the bitmap; false when nothing is left.
bool Clip(LICE_IBitmap* b, int* x, int* y, int* w, int* h)
{
  if (!b || !b->getBits()) return false;
  if (*x < 0) *w += *x, *x = 0;
  if (*y < 0) *h += *y, *y = 0;
  *w = std::min(*w, b->getWidth() - *x);
  *h = std::min(*h, b->getHeight() - *y);
  return *w > 0 && *h > 0;
}

int Channel(LICE_pixel p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

// dest + (src - dest) x weight / 256 on every channel.
LICE_pixel Mix(LICE_pixel d, LICE_pixel s, int weight)
{
  LICE_pixel out = 0;
  for (int shift = 0; shift < 32; shift += 8)
  {
    const int dc = Channel(d, shift), sc = Channel(s, shift);
    out |= static_cast<LICE_pixel>((dc + (((sc - dc) * weight) >> 8)) & 0xFF) << shift;
  }
  return out;
}

LICE_pixel Add(LICE_pixel d, LICE_pixel s, int weight)
{
  LICE_pixel out = 0;
  for (int shift = 0; shift < 32; shift += 8)
    out |= static_cast<LICE_pixel>(std::min(255, Channel(d, shift) + ((Channel(s, shift) * weight) >> 8))) << shift;
  return out;
}

LICE_pixel Dodge(LICE_pixel d, LICE_pixel s, int weight)
{
  LICE_pixel out = 0;
  for (int shift = 0; shift < 32; shift += 8)
  {
    const int sc = (Channel(s, shift) * weight) >> 8;
    out |= static_cast<LICE_pixel>(std::min(255, Channel(d, shift) * 256 / std::max(1, 256 - sc))) << shift;
  }
  return out;
}

LICE_pixel Combine(LICE_pixel d, LICE_pixel s, int weight, int mode)
{
  switch (mode & LICE_BLIT_MODE_MASK)
  {
    case LICE_BLIT_MODE_ADD: return Add(d, s, weight);
    case LICE_BLIT_MODE_DODGE: return Dodge(d, s, weight);
    default: return weight >= 256 ? s : Mix(d, s, weight);
  }
}

int Weight(float opacity) { return static_cast<int>(opacity * 256.0f); }

}  // namespace

void LICE_Clear(LICE_IBitmap* bitmap, LICE_pixel colour)
{
  if (!bitmap || !bitmap->getBits()) return;
  for (int y = 0; y < bitmap->getHeight(); ++y) std::fill_n(bitmap->pixel(0, y), bitmap->getWidth(), colour);
}

void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel colour, float opacity, int mode)
{
  if (mode & LICE_BLIT_USE_ALPHA) opacity *= LICE_GETA(colour) / 255.0f;
  if (opacity <= 0.0f || !Clip(dest, &x, &y, &w, &h)) return;
  const bool copy = (mode & LICE_BLIT_MODE_MASK) == LICE_BLIT_MODE_COPY;
  const LICE_pixel half = (colour >> 1) & 0x7F7F7F7F, quarter = (colour >> 2) & 0x3F3F3F3F;
  for (int row = y; row < y + h; ++row)
  {
    LICE_pixel* p = dest->pixel(x, row);
    if (copy && opacity >= 1.0f)
      std::fill_n(p, w, colour);
    else if (copy && opacity == 0.5f)
      for (int i = 0; i < w; ++i) p[i] = ((p[i] >> 1) & 0x7F7F7F7F) + half;
    else if (copy && opacity == 0.25f)
      for (int i = 0; i < w; ++i) p[i] = ((p[i] >> 1) & 0x7F7F7F7F) + ((p[i] >> 2) & 0x3F3F3F3F) + quarter;
    else if (copy && opacity == 0.75f)
      for (int i = 0; i < w; ++i) p[i] = ((p[i] >> 2) & 0x3F3F3F3F) + half + quarter;
    else
      for (int i = 0; i < w; ++i) p[i] = Combine(p[i], colour, Weight(std::min(opacity, 1.0f)), mode);
  }
}

void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, const LICE_Rect* srcRect, float opacity,
               int mode)
{
  if (!dest || !src || !src->getBits() || opacity <= 0.0f) return;
  LICE_Rect r = srcRect ? *srcRect : LICE_Rect{0, 0, src->getWidth(), src->getHeight()};
  // Clip against the source, carrying the shift over to the destination.
  if (r.x < 0) r.w += r.x, dstX -= r.x, r.x = 0;
  if (r.y < 0) r.h += r.y, dstY -= r.y, r.y = 0;
  r.w = std::min(r.w, src->getWidth() - r.x);
  r.h = std::min(r.h, src->getHeight() - r.y);
  int x = dstX, y = dstY, w = r.w, h = r.h;
  if (w <= 0 || h <= 0 || !Clip(dest, &x, &y, &w, &h)) return;
  const int sx = r.x + (x - dstX), sy = r.y + (y - dstY);
  const int weight = Weight(std::min(opacity, 1.0f));
  const bool useAlpha = (mode & LICE_BLIT_USE_ALPHA) != 0;
  for (int row = 0; row < h; ++row)
  {
    LICE_pixel* d = dest->pixel(x, y + row);
    const LICE_pixel* s = src->pixel(sx, sy + row);
    for (int i = 0; i < w; ++i)
    {
      const int wgt = useAlpha ? (weight * (LICE_GETA(s[i]) + (LICE_GETA(s[i]) >> 7))) >> 8 : weight;
      if (wgt > 0) d[i] = Combine(d[i], s[i], wgt, mode);
    }
  }
}

void LICE_Line(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, LICE_pixel colour, float opacity, int mode,
               bool /*antialias*/)
{
  if (!dest || !dest->getBits() || opacity <= 0.0f) return;
  const int weight = Weight(std::min(opacity, 1.0f));
  const int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1), stepX = x1 < x2 ? 1 : -1, stepY = y1 < y2 ? 1 : -1;
  int error = dx + dy;
  const int width = dest->getWidth(), height = dest->getHeight();
  for (int x = x1, y = y1;;)
  {
    if (x >= 0 && y >= 0 && x < width && y < height)
    {
      LICE_pixel* p = dest->pixel(x, y);
      *p = Combine(*p, colour, weight, mode);
    }
    if (x == x2 && y == y2) break;
    const int e2 = 2 * error;
    if (e2 >= dy) error += dy, x += stepX;
    if (e2 <= dx) error += dx, y += stepY;
  }
}

void LICE_PutTextPixel(LICE_IBitmap* bitmap, int x, int y, LICE_pixel colour, int coverage, int alpha)
{
  if (!coverage || x < 0 || y < 0 || x >= bitmap->getWidth() || y >= bitmap->getHeight()) return;
  LICE_FillRect(bitmap, x, y, 1, 1, colour | 0xFF000000u, coverage * alpha / (255.0f * 255.0f), LICE_BLIT_MODE_COPY);
}
