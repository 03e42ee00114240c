// Bitmaps, fills, blits and lines; PNG and GIF pictures decoded from bytes
// this test encodes itself.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <memory>

#include "raster/lice.h"

namespace {

LICE_pixel At(LICE_IBitmap& b, int x, int y) { return *b.pixel(x, y); }

std::vector<uint8_t> EncodePng(int w, int h, int colourType, int depth, const std::vector<uint8_t>& pixels,
                               const std::vector<png_color>& palette = {}, const std::vector<uint8_t>& alpha = {})
{
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
    png, &out,
    [](png_structp p, png_bytep data, png_size_t n) {
      auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
      o->insert(o->end(), data, data + n);
    },
    nullptr);
  png_set_IHDR(png, info, w, h, depth, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!alpha.empty()) png_set_tRNS(png, info, alpha.data(), static_cast<int>(alpha.size()), nullptr);
  png_write_info(png, info);
  const size_t rowBytes = pixels.size() / h;
  for (int y = 0; y < h; ++y) png_write_row(png, pixels.data() + y * rowBytes);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace

TEST(Raster, FillClipsToTheBitmap)
{
  LICE_MemBitmap b(8, 6);
  LICE_Clear(&b, 0);
  LICE_FillRect(&b, -3, -2, 5, 4, 0xFF112233, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(At(b, 0, 0), 0xFF112233u);
  EXPECT_EQ(At(b, 1, 1), 0xFF112233u);
  EXPECT_EQ(At(b, 2, 0), 0u) << "x from -3 for 5 pixels ends at 1";
  EXPECT_EQ(At(b, 0, 2), 0u);
  LICE_FillRect(&b, 6, 5, 100, 100, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(At(b, 7, 5), 0xFFFFFFFFu);
  EXPECT_EQ(At(b, 5, 5), 0u);
  LICE_FillRect(&b, 20, 20, 5, 5, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY);  // wholly outside: nothing
  LICE_FillRect(nullptr, 0, 0, 1, 1, 0, 1.0f, 0);
}

TEST(Raster, FillFastPathsAreExact)
{
  LICE_MemBitmap b(1, 1);
  const LICE_pixel dest = 0x80402010, colour = 0xFFC0A060;
  struct Case
  {
    float opacity;
    LICE_pixel expect;
  };
  const Case cases[] = {
    {0.5f, ((dest >> 1) & 0x7F7F7F7F) + ((colour >> 1) & 0x7F7F7F7F)},
    {0.25f, ((dest >> 1) & 0x7F7F7F7F) + ((dest >> 2) & 0x3F3F3F3F) + ((colour >> 2) & 0x3F3F3F3F)},
    {0.75f, ((dest >> 2) & 0x3F3F3F3F) + ((colour >> 1) & 0x7F7F7F7F) + ((colour >> 2) & 0x3F3F3F3F)},
    {1.0f, colour},
    {0.0f, dest},
  };
  for (const Case& c : cases)
  {
    *b.pixel(0, 0) = dest;
    LICE_FillRect(&b, 0, 0, 1, 1, colour, c.opacity, LICE_BLIT_MODE_COPY);
    EXPECT_EQ(At(b, 0, 0), c.expect) << c.opacity;
  }
  *b.pixel(0, 0) = 0xFF000000;
  LICE_FillRect(&b, 0, 0, 1, 1, 0xFFFFFFFF, 0.1f, LICE_BLIT_MODE_COPY);  // weight 25 of 256
  EXPECT_EQ(LICE_GETR(At(b, 0, 0)), (255 * 25) >> 8);
  *b.pixel(0, 0) = 0;
  LICE_FillRect(&b, 0, 0, 1, 1, LICE_RGBA(255, 255, 255, 0), 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  EXPECT_EQ(At(b, 0, 0), 0u) << "a transparent colour with source alpha draws nothing";
}

TEST(Raster, BlitClipsAndBlendsBySourceAlpha)
{
  LICE_MemBitmap src(4, 4), dst(6, 6);
  LICE_Clear(&src, LICE_RGBA(200, 100, 50, 255));
  *src.pixel(0, 0) = LICE_RGBA(255, 255, 255, 0);
  LICE_Clear(&dst, LICE_RGBA(0, 0, 0, 255));
  LICE_Blit(&dst, &src, -1, -1, nullptr, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  EXPECT_EQ(At(dst, 0, 0), LICE_RGBA(200, 100, 50, 255)) << "source (1, 1) lands at (0, 0)";
  EXPECT_EQ(At(dst, 3, 3), LICE_RGBA(0, 0, 0, 255)) << "the source ends at destination 2";
  LICE_Clear(&dst, LICE_RGBA(0, 0, 0, 255));
  LICE_Blit(&dst, &src, 0, 0, nullptr, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  EXPECT_EQ(At(dst, 0, 0), LICE_RGBA(0, 0, 0, 255)) << "alpha 0 leaves the destination";
  const LICE_Rect part{2, 2, 10, 10};
  LICE_Clear(&dst, 0);
  LICE_Blit(&dst, &src, 4, 4, &part, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(At(dst, 5, 5), LICE_RGBA(200, 100, 50, 255));
  EXPECT_EQ(At(dst, 3, 3), 0u);
  LICE_Clear(&dst, 0);
  LICE_Blit(&dst, &src, 0, 0, nullptr, 0.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(At(dst, 1, 1), 0u) << "opacity 0 draws nothing";
}

TEST(Raster, LinesAreInclusiveAndClipped)
{
  LICE_MemBitmap b(5, 5);
  LICE_Clear(&b, 0);
  LICE_Line(&b, -2, 2, 10, 2, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, false);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(At(b, x, 2), 0xFFFFFFFFu);
  LICE_Clear(&b, 0);
  LICE_Line(&b, 1, 1, 3, 4, 0xFF00FF00, 1.0f, LICE_BLIT_MODE_COPY, false);
  EXPECT_EQ(At(b, 1, 1), 0xFF00FF00u);
  EXPECT_EQ(At(b, 3, 4), 0xFF00FF00u);
  int lit = 0;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) lit += At(b, x, y) != 0;
  EXPECT_EQ(lit, 4) << "one pixel per row of a steep line";
}

TEST(Raster, FlippedWrapperAddressesFromTheBottom)
{
  LICE_pixel bits[6] = {};
  LICE_WrapperBitmap w(bits, 2, 3, 2, true);
  LICE_FillRect(&w, 0, 0, 2, 1, 7, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(bits[4], 7u);
  EXPECT_EQ(bits[0], 0u);
}

TEST(Raster, PngDecodesEveryColourType)
{
  const std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 10, 20, 30, 40};
  std::unique_ptr<LICE_IBitmap> a(LICE_LoadPNGFromMemory(EncodePng(2, 2, PNG_COLOR_TYPE_RGBA, 8, rgba).data(),
                                                         static_cast<int>(EncodePng(2, 2, PNG_COLOR_TYPE_RGBA, 8, rgba).size())));
  ASSERT_TRUE(a);
  EXPECT_EQ(At(*a, 0, 0), LICE_RGBA(255, 0, 0, 255));
  EXPECT_EQ(At(*a, 1, 0), LICE_RGBA(0, 255, 0, 128));
  EXPECT_EQ(At(*a, 1, 1), LICE_RGBA(10, 20, 30, 40));

  const std::vector<png_color> palette = {{10, 20, 30}, {200, 150, 100}};
  const auto indexed = EncodePng(2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1}, palette, {0});
  std::unique_ptr<LICE_IBitmap> p(LICE_LoadPNGFromMemory(indexed.data(), static_cast<int>(indexed.size())));
  ASSERT_TRUE(p);
  EXPECT_EQ(At(*p, 0, 0), LICE_RGBA(10, 20, 30, 0)) << "transparency becomes alpha";
  EXPECT_EQ(At(*p, 1, 0), LICE_RGBA(200, 150, 100, 255)) << "an opaque filler otherwise";

  const auto grey16 = EncodePng(1, 1, PNG_COLOR_TYPE_GRAY, 16, {0x80, 0x00});
  std::unique_ptr<LICE_IBitmap> g(LICE_LoadPNGFromMemory(grey16.data(), static_cast<int>(grey16.size())));
  ASSERT_TRUE(g);
  EXPECT_EQ(At(*g, 0, 0), LICE_RGBA(0x80, 0x80, 0x80, 255));

  LICE_MemBitmap into(2, 2);
  const auto rgbaPng = EncodePng(2, 2, PNG_COLOR_TYPE_RGBA, 8, rgba);
  EXPECT_EQ(LICE_LoadPNGFromMemory(rgbaPng.data(), static_cast<int>(rgbaPng.size()), &into), &into);
}

TEST(Raster, PngRejectsJunk)
{
  const uint8_t junk[] = {0x89, 'P', 'N', 'G', 1, 2, 3};
  EXPECT_EQ(LICE_LoadPNGFromMemory(junk, sizeof junk), nullptr);
  const std::vector<uint8_t> rgba(16, 7);
  auto cut = EncodePng(2, 2, PNG_COLOR_TYPE_RGBA, 8, rgba);
  cut.resize(cut.size() - 20);
  EXPECT_EQ(LICE_LoadPNGFromMemory(cut.data(), static_cast<int>(cut.size())), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromMemory(nullptr, 100), nullptr);
}

TEST(Raster, GifFramesAndRewind)
{
  std::vector<uint8_t> bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(
    &bytes,
    [](GifFileType* g, const GifByteType* data, int n) {
      auto* out = static_cast<std::vector<uint8_t>*>(g->UserData);
      out->insert(out->end(), data, data + n);
      return n;
    },
    &error);
  ASSERT_NE(gif, nullptr);
  GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colours);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, 3, 2, 2, 0, map);
  for (int frame = 0; frame < 2; ++frame)
  {
    GraphicsControlBlock gcb{};
    gcb.DelayTime = 7;
    gcb.TransparentColor = frame == 1 ? 0 : NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    const size_t len = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext);
    EGifPutImageDesc(gif, 0, 0, 3, 2, false, nullptr);
    GifPixelType rows[2][3] = {{1, 2, 3}, {3, 2, 1}};
    if (frame == 1) rows[0][0] = 0, rows[1][2] = 2;
    for (auto& row : rows) EGifPutLine(gif, row, 3);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);

  LICE_GIFReader reader(bytes.data(), static_cast<int>(bytes.size()));
  ASSERT_TRUE(reader.ok());
  LICE_MemBitmap frame;
  ASSERT_EQ(reader.GetNextFrame(&frame), 1);
  EXPECT_EQ(frame.getWidth(), 3);
  EXPECT_EQ(At(frame, 0, 0), LICE_RGBA(255, 0, 0, 255));
  EXPECT_EQ(reader.frameDelayMs(), 70);
  ASSERT_EQ(reader.GetNextFrame(&frame), 1);
  EXPECT_EQ(At(frame, 0, 0), LICE_RGBA(255, 0, 0, 255)) << "a transparent pixel keeps the previous frame";
  EXPECT_EQ(At(frame, 2, 1), LICE_RGBA(0, 255, 0, 255));
  EXPECT_EQ(reader.GetNextFrame(&frame), 0);
  ASSERT_TRUE(reader.Rewind());
  ASSERT_EQ(reader.GetNextFrame(&frame), 1);
  EXPECT_EQ(At(frame, 2, 1), LICE_RGBA(255, 0, 0, 255));

  LICE_GIFReader junk("GIF89a", 6);
  LICE_MemBitmap none;
  EXPECT_LT(junk.ok() ? junk.GetNextFrame(&none) : -1, 0);
}
