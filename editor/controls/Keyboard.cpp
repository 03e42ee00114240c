#include "editor/controls/Keyboard.h"

#include <cmath>

#include "editor/framework/IGraphics.h"
#include "platform/Resources.h"

IBeatKeyboardContainerZR::IBeatKeyboardContainerZR(IPlugBase* plug, IRECT rect, int octaves)
  : IControlZR(plug, rect, -1), mOctaves(std::max(1, octaves))
{
  mWhiteW = rect.W() / (7.0 * mOctaves);
  mBlackW = mWhiteW / 1.3;
  mBlackH = rect.H() / 1.8;
}

IRECT IBeatKeyboardContainerZR::KeyRect(int key) const
{
  int whites = 0;
  for (int k = 0; k < key % 12; ++k) whites += !IsBlackKey(k);
  const double x0 = mRECT.L + ((key / 12) * 7 + whites) * mWhiteW;
  if (IsBlackKey(key % 12))
    return {static_cast<int>(x0 - mBlackW / 2), mRECT.T, static_cast<int>(x0 + mBlackW / 2),
            static_cast<int>(mRECT.T + mBlackH)};
  return {static_cast<int>(x0), mRECT.T, static_cast<int>(x0 + mWhiteW), mRECT.B};
}

void IBeatKeyboardContainerZR::PlaceControls(const std::vector<IControlZR*>& beat,
                                             const std::vector<IControlZR*>& switches)
{
  if (beat.size() < 24 || switches.size() < 12) return;
  const double w = beat[0]->Width(), h = beat[0]->Height(), ws = switches[0]->Width();
  const double height = mRECT.H();
  int whites = 0;
  for (int k = 0; k < 12; ++k)
  {
    double x, y = mRECT.B - 1.2 * h;
    if (IsBlackKey(k))
    {
      x = mRECT.L + whites * mWhiteW - w / 2;
      y -= height - height / 1.8 - 1;
    }
    else
    {
      x = mRECT.L + whites * mWhiteW + (mWhiteW - w) / 2;
      ++whites;
    }
    beat[2 * k]->MoveTo(static_cast<int>(x), static_cast<int>(y - h));
    beat[2 * k + 1]->MoveTo(static_cast<int>(x), static_cast<int>(y - 1));
    switches[k]->MoveTo(static_cast<int>(x + (w - ws) / 2), mRECT.T + 5);
  }
}

void IBeatKeyboardContainerZR::SetKeyActivity(const double* values)
{
  bool changed = false;
  for (int k = 0; k < 12; ++k)
    if (mActivity[k] != values[k])
    {
      mActivity[k] = values[k];
      changed = true;
    }
  if (changed) mDirty = true;
}

bool IBeatKeyboardContainerZR::Draw(IGraphics* graphics)
{
  const IColor white(255, 200, 200, 196), black(255, 34, 34, 38), line(255, 20, 20, 20);
  for (int pass = 0; pass < 2; ++pass)
    for (int key = 0; key < 12 * mOctaves; ++key)
    {
      if (IsBlackKey(key % 12) != (pass == 1)) continue;
      const IRECT r = KeyRect(key);
      graphics->FillAlpha(pass ? black : white, r);
      graphics->Outline(line, r);
      const double v = mActivity[key % 12];
      if (v <= 0.0) continue;
      const int bars = static_cast<int>(std::ceil(v));
      const IColor glow(std::min(255, static_cast<int>(40 + 50 * v)), 255, 132, 132);
      for (int b = 0; b < bars && b * 6 + 5 < r.H(); ++b)
        graphics->FillAlpha(glow, IRECT(r.L + 2, r.B - 7 - b * 6, r.R - 2, r.B - 2 - b * 6));
    }
  return true;
}

// ---- Logo ------------------------------------------------------------------------

// Every frame of an animated GIF, decoded once per process into one strip
// (frame k in rows k * height .. k * height + height - 1), each from a
// cleared canvas of the base picture's size, as the logo shows them.
struct GifFrameStrip : LICE_MemBitmap
{
  int frames = 0, frameHeight = 0;
};

const GifFrameStrip* IGifControlZR::LoadFrames(int gifId, int w, int h)
{
  LICE_IBitmap* strip = CachedPicture("GIF", gifId, [&]() -> LICE_IBitmap* {
    const void* data = nullptr;
    int size = 0;
    if (!FindEmbeddedResource("GIF", gifId, &data, &size)) return nullptr;
    LICE_GIFReader reader(data, size);
    std::vector<LICE_MemBitmap> frames;
    for (LICE_MemBitmap canvas(w, h); reader.ok(); canvas.resize(w, h))
    {
      LICE_Clear(&canvas, 0);
      if (reader.GetNextFrame(&canvas) <= 0) break;
      frames.push_back(canvas);
    }
    if (frames.empty()) return nullptr;
    auto* made = new GifFrameStrip;
    made->frames = static_cast<int>(frames.size());
    made->frameHeight = frames[0].getHeight();
    made->resize(frames[0].getWidth(), made->frameHeight * made->frames);
    for (int k = 0; k < made->frames; ++k)
    {
      const LICE_Rect whole{0, 0, frames[0].getWidth(), made->frameHeight};
      LICE_Blit(made, &frames[static_cast<size_t>(k)], 0, k * made->frameHeight, &whole, 1.0f, LICE_BLIT_MODE_COPY);
    }
    return made;
  });
  return static_cast<const GifFrameStrip*>(strip);
}

IGifControlZR::IGifControlZR(IPlugBase* plug, int x, int y, int w, int h, int gifId)
  : IControl(plug, IRECT(x, y, x + w, y + h), -1), mBitmap(w, h), mStrip(LoadFrames(gifId, w, h))
{
  mFrames = mStrip ? mStrip->frames : 0;
  Rewind();
}

IGifControlZR::~IGifControlZR() = default;

void IGifControlZR::Rewind()
{
  mFrame = 0;
  LICE_Clear(&mBitmap, 0);
}

// The strip's frame k becomes the picture shown.
void IGifControlZR::ShowFrame(int k)
{
  auto* strip = const_cast<GifFrameStrip*>(mStrip);
  const int w = strip->getWidth(), h = strip->frameHeight;
  mBitmap.resize(w, h);
  const LICE_Rect frame{0, k * h, w, h};
  LICE_Blit(&mBitmap, strip, 0, 0, &frame, 1.0f, LICE_BLIT_MODE_COPY);
}

void IGifControlZR::OnMouseDown(int, int, IMouseMod* mod)
{
  if (!mod) return;
  if (mod->L)
  {
    const bool ended = !mPlaying && mFrame == 0;
    mPlaying = mLooping = !mPlaying;
    if (ended) Rewind();
  }
  else if (mod->R)
    Rewind();
  SetDirty(false);
}

void IGifControlZR::OnMouseDblClick(int, int, IMouseMod*)
{
  mPlaying = mLooping = false;
  Rewind();
  SetDirty(false);
}

bool IGifControlZR::Draw(IGraphics* graphics)
{
  if (mPlaying && mFrames > 0)
  {
    ShowFrame(mFrame++);
    if (mFrame >= mFrames)
    {
      mFrame = 0;
      mPlaying = mLooping;
    }
    SetRedraw();
  }
  IBitmap picture;
  picture.mData = &mBitmap;
  picture.W = mBitmap.getWidth();
  picture.H = mBitmap.getHeight();
  return graphics->DrawBitmap(picture, mRECT, 1, &mBlend);
}
