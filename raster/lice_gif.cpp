// Frames of an animated GIF held in memory, through giflib.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "raster/lice.h"

namespace {
int ReadGif(GifFileType* gif, GifByteType* to, int n)
{
  return static_cast<LICE_GIFReader*>(gif->UserData)->read(to, n);
}
GifFileType* Gif(void* p) { return static_cast<GifFileType*>(p); }
}  // namespace

LICE_GIFReader::LICE_GIFReader(const void* data, int size) : mData(static_cast<const unsigned char*>(data)), mSize(size)
{
  open();
}

LICE_GIFReader::~LICE_GIFReader()
{
  int error = 0;
  if (mGif) DGifCloseFile(Gif(mGif), &error);
}

int LICE_GIFReader::read(unsigned char* to, int n)
{
  n = std::max(0, std::min(n, mSize - mPos));
  std::memcpy(to, mData + mPos, static_cast<size_t>(n));
  mPos += n;
  return n;
}

void LICE_GIFReader::open()
{
  int error = 0;
  mPos = 0;
  mGif = mData && mSize >= 6 ? DGifOpen(this, ReadGif, &error) : nullptr;
  if (!mGif) return;
  GifFileType* gif = Gif(mGif);
  if (gif->SWidth <= 0 || gif->SHeight <= 0 || gif->SWidth > 4096 || gif->SHeight > 4096)
  {
    DGifCloseFile(gif, &error);
    mGif = nullptr;
    return;
  }
  mCanvas.assign(static_cast<size_t>(gif->SWidth) * static_cast<size_t>(gif->SHeight), 0);
}

bool LICE_GIFReader::Rewind()
{
  int error = 0;
  if (mGif) DGifCloseFile(Gif(mGif), &error);
  open();
  return ok();
}

int LICE_GIFReader::GetNextFrame(LICE_IBitmap* bitmap)
{
  if (!mGif || !bitmap) return -1;
  GifFileType* gif = Gif(mGif);
  const int sw = gif->SWidth, sh = gif->SHeight;
  for (;;)
  {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return -2;
    if (type == TERMINATE_RECORD_TYPE) return 0;
    if (type == EXTENSION_RECORD_TYPE)
    {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) return -3;
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4)
      {
        mDisposal = (ext[1] >> 2) & 7;
        mDelayMs = (ext[2] | (ext[3] << 8)) * 10;
        mTransparent = (ext[1] & 1) ? ext[4] : -1;
      }
      while (ext)
        if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) return -3;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) return -4;
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (d.Width <= 0 || d.Height <= 0 || d.Width > 4096 || d.Height > 4096) return -5;
    std::vector<GifPixelType> line(static_cast<size_t>(d.Width));
    auto drawRow = [&](int y) {
      if (y + d.Top < 0 || y + d.Top >= sh) return;
      for (int x = 0; x < d.Width; ++x)
      {
        const int cx = x + d.Left;
        const int index = line[static_cast<size_t>(x)];
        if (cx < 0 || cx >= sw || index == mTransparent || !map || index >= map->ColorCount) continue;
        const GifColorType& c = map->Colors[index];
        mCanvas[static_cast<size_t>(y + d.Top) * sw + cx] = LICE_RGBA(c.Red, c.Green, c.Blue, 255);
      }
    };
    static const int kInterlaceStart[] = {0, 4, 2, 1}, kInterlaceStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < (d.Interlace ? 4 : 1); ++pass)
      for (int y = d.Interlace ? kInterlaceStart[pass] : 0; y < d.Height; y += d.Interlace ? kInterlaceStep[pass] : 1)
      {
        if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) return -6;
        drawRow(y);
      }
    if (bitmap->getWidth() != sw || bitmap->getHeight() != sh) bitmap->resize(sw, sh);
    if (bitmap->getWidth() != sw || bitmap->getHeight() != sh || !bitmap->getBits()) return -7;
    for (int y = 0; y < sh; ++y) std::copy_n(&mCanvas[static_cast<size_t>(y) * sw], sw, bitmap->pixel(0, y));
    // Restore-to-background frames leave a cleared area behind them.
    if (mDisposal == 2)
      for (int y = std::max(0, d.Top); y < std::min(sh, d.Top + d.Height); ++y)
        std::fill_n(&mCanvas[static_cast<size_t>(y) * sw + std::max(0, d.Left)],
                    std::max(0, std::min(sw, d.Left + d.Width) - std::max(0, d.Left)), 0);
    return 1;
  }
}
