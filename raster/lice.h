#pragma once
// 32-bit raster graphics for the editor: bitmaps, fills, blits, lines, and
// pictures decoded from PNG and GIF bytes. A pixel is one 32-bit value
// 0xAARRGGBB (bytes blue, green, red, alpha in memory order).
#include <cstdint>
#include <vector>

using LICE_pixel = uint32_t;

constexpr LICE_pixel LICE_RGBA(int r, int g, int b, int a)
{
  return (static_cast<LICE_pixel>(a & 0xFF) << 24) | (static_cast<LICE_pixel>(r & 0xFF) << 16) |
         (static_cast<LICE_pixel>(g & 0xFF) << 8) | static_cast<LICE_pixel>(b & 0xFF);
}
constexpr int LICE_GETB(LICE_pixel p) { return p & 0xFF; }
constexpr int LICE_GETG(LICE_pixel p) { return (p >> 8) & 0xFF; }
constexpr int LICE_GETR(LICE_pixel p) { return (p >> 16) & 0xFF; }
constexpr int LICE_GETA(LICE_pixel p) { return (p >> 24) & 0xFF; }

// Blit and fill modes.
enum
{
  LICE_BLIT_MODE_COPY = 0,
  LICE_BLIT_MODE_ADD = 1,
  LICE_BLIT_MODE_DODGE = 2,
  LICE_BLIT_MODE_MASK = 0xFF,
  LICE_BLIT_USE_ALPHA = 0x10000,
};

class LICE_IBitmap
{
public:
  virtual ~LICE_IBitmap() = default;
  virtual LICE_pixel* getBits() = 0;
  virtual int getWidth() = 0;
  virtual int getHeight() = 0;
  virtual int getRowSpan() = 0;
  virtual bool isFlipped() { return false; }
  virtual bool resize(int w, int h) = 0;
  virtual void* getDC() { return nullptr; }
  virtual void* Extended(int /*id*/, void* /*data*/) { return nullptr; }

  // Pixel (x, y), counting rows from the bottom when the bitmap is flipped.
  LICE_pixel* pixel(int x, int y)
  {
    const int row = isFlipped() ? getHeight() - 1 - y : y;
    return getBits() + static_cast<int64_t>(row) * getRowSpan() + x;
  }
};

// Pixels in memory.
class LICE_MemBitmap : public LICE_IBitmap
{
public:
  LICE_MemBitmap(int w = 0, int h = 0) { resize(w, h); }
  LICE_pixel* getBits() override { return mPixels.empty() ? nullptr : mPixels.data(); }
  int getWidth() override { return mWidth; }
  int getHeight() override { return mHeight; }
  int getRowSpan() override { return mWidth; }
  bool resize(int w, int h) override;

private:
  std::vector<LICE_pixel> mPixels;
  int mWidth = 0, mHeight = 0;
};

// The editor's drawing surface. On Linux it is memory the window layer puts
// on screen; the Windows layer gives it a system drawing context.
class LICE_SysBitmap : public LICE_MemBitmap
{
public:
  LICE_SysBitmap(int w = 0, int h = 0) : LICE_MemBitmap(w, h) {}
};

// A bitmap over pixels owned elsewhere.
class LICE_WrapperBitmap : public LICE_IBitmap
{
public:
  LICE_WrapperBitmap(LICE_pixel* bits, int w, int h, int span, bool flipped)
    : mBits(bits), mWidth(w), mHeight(h), mSpan(span), mFlipped(flipped) {}
  LICE_pixel* getBits() override { return mBits; }
  int getWidth() override { return mWidth; }
  int getHeight() override { return mHeight; }
  int getRowSpan() override { return mSpan; }
  bool isFlipped() override { return mFlipped; }
  bool resize(int w, int h) override { return w == mWidth && h == mHeight; }

private:
  LICE_pixel* mBits;
  int mWidth, mHeight, mSpan;
  bool mFlipped;
};

struct LICE_Rect
{
  int x, y, w, h;
};

void LICE_Clear(LICE_IBitmap* bitmap, LICE_pixel colour);
void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel colour, float opacity, int mode);
// One pixel of text: the colour laid on with the glyph's coverage (0..255)
// times alpha (0..255); pixels outside the bitmap are skipped.
void LICE_PutTextPixel(LICE_IBitmap* bitmap, int x, int y, LICE_pixel colour, int coverage, int alpha);

void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, const LICE_Rect* srcRect, float opacity,
               int mode);
void LICE_Line(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, LICE_pixel colour, float opacity, int mode,
               bool antialias);

// Pictures from encoded bytes; nullptr when the bytes do not decode. A
// bitmap of the right size may be given to decode into.
LICE_IBitmap* LICE_LoadPNGFromMemory(const void* data, int size, LICE_IBitmap* into = nullptr);
// Writes the bitmap as an 8-bit RGBA PNG file; false when it cannot.
// An opaque PNG drops the alpha channel: the picture as a screen shows it.
bool LICE_WritePNG(const char* path, LICE_IBitmap* bitmap, bool opaque = false);

// The frames of an animated GIF held in memory.
class LICE_GIFReader
{
public:
  LICE_GIFReader(const void* data, int size);
  ~LICE_GIFReader();
  LICE_GIFReader(const LICE_GIFReader&) = delete;
  LICE_GIFReader& operator=(const LICE_GIFReader&) = delete;

  bool ok() const { return mGif != nullptr; }
  // Renders the next image into the bitmap (resized to the screen size when
  // needed); 1 for a frame, 0 at the end of the stream, negative on error.
  int GetNextFrame(LICE_IBitmap* bitmap);
  bool Rewind();
  int frameDelayMs() const { return mDelayMs; }

  // For the decoder's read callback.
  int read(unsigned char* to, int n);

private:
  void open();
  const unsigned char* mData;
  int mSize;
  int mPos = 0;
  void* mGif = nullptr;
  std::vector<LICE_pixel> mCanvas;
  int mTransparent = -1;
  int mDisposal = 0;
  int mDelayMs = 100;
};
