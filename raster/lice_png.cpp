// PNG pictures from memory through libpng, every row as 32-bit pixels with
// alpha.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "raster/lice.h"

namespace {
// Strip pictures are tall: the play-rate knob's 241 frames are 16,870 rows.
constexpr png_uint_32 kMaxSide = 65536;

struct MemoryReader
{
  const unsigned char* data;
  size_t size, pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n)
{
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (n > r->size - r->pos) png_error(png, "PNG data ends early");
  std::memcpy(out, r->data + r->pos, n);
  r->pos += n;
}

// Failures are answers, not messages: errors leave quietly, warnings are dropped.
void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

// Decodes into `bitmap` (already sized); false on any libpng error. Kept free
// of objects with destructors, since libpng leaves by longjmp on error.
bool Decode(png_structp png, png_infop info, MemoryReader* reader, LICE_IBitmap** bitmap, LICE_IBitmap* into,
            png_bytep* rows)
{
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, reader, ReadFromMemory);
  png_read_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide) return false;
  const int colourType = png_get_color_type(png, info);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (png_get_bit_depth(png, info) < 8) png_set_packing(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  png_set_strip_16(png);
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != w * 4) return false;
  LICE_IBitmap* target = into && into->getWidth() == static_cast<int>(w) && into->getHeight() == static_cast<int>(h)
                           ? into
                           : new LICE_MemBitmap(static_cast<int>(w), static_cast<int>(h));
  *bitmap = target;
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = reinterpret_cast<png_bytep>(target->pixel(0, static_cast<int>(y)));
  png_read_image(png, rows);
  return true;
}
}  // namespace

LICE_IBitmap* LICE_LoadPNGFromMemory(const void* data, int size, LICE_IBitmap* into)
{
  if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) return nullptr;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  std::unique_ptr<png_bytep[]> rows(new png_bytep[kMaxSide]);
  MemoryReader reader{static_cast<const unsigned char*>(data), static_cast<size_t>(size), 0};
  LICE_IBitmap* bitmap = nullptr;
  const bool ok = info && Decode(png, info, &reader, &bitmap, into, rows.get());
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (ok) return bitmap;
  if (bitmap != into) delete bitmap;
  return nullptr;
}

bool LICE_WritePNG(const char* path, LICE_IBitmap* bitmap, bool opaque)
{
  if (!path || !bitmap || !bitmap->getBits()) return false;
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png)))
  {
    png_init_io(png, file);
    png_set_IHDR(png, info, bitmap->getWidth(), bitmap->getHeight(), 8, opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bgr(png);
    png_write_info(png, info);
    if (opaque) png_set_filler(png, 0, PNG_FILLER_AFTER);  // the rows' fourth byte is left out
    for (int y = 0; y < bitmap->getHeight(); ++y) png_write_row(png, reinterpret_cast<png_bytep>(bitmap->pixel(0, y)));
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  std::fclose(file);
  return ok;
}
