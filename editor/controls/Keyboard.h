#pragma once
// The piano picture behind the per-key BEAT controls, and the logo animation.
#include <memory>
#include <vector>

#include "editor/controls/IControlZR.h"
#include "raster/lice.h"

class IBeatKeyboardContainerZR : public IControlZR
{
public:
  static constexpr bool IsBlackKey(int k) { return k == 1 || k == 3 || k == 6 || k == 8 || k == 10; }

  IBeatKeyboardContainerZR(IPlugBase* plug, IRECT rect, int octaves = 1);
  bool Draw(IGraphics* graphics) override;
  // Per pitch class, the summed gain of the voices playing it.
  void SetKeyActivity(const double* values);
  // Places the two beat controls of every key (in parameter order) and the
  // twelve "use for" switches (in key order) on the keys.
  void PlaceControls(const std::vector<IControlZR*>& beatControls, const std::vector<IControlZR*>& switches);
  IRECT KeyRect(int key) const;

private:
  double mWhiteW, mBlackW, mBlackH;
  int mOctaves;
  double mActivity[12] = {};
};

struct GifFrameStrip;

class IGifControlZR : public IControl
{
public:
  // The logo at (x, y), the size of its base picture, playing the GIF resource.
  IGifControlZR(IPlugBase* plug, int x, int y, int w, int h, int gifId);
  // The GIF's frames, decoded once per process; none when it does not decode.
  static const GifFrameStrip* LoadFrames(int gifId, int w, int h);
  ~IGifControlZR() override;
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;
  int NFrames() const { return mFrames; }
  int FrameShown() const { return mFrame; }
  bool Playing() const { return mPlaying; }
  bool Looping() const { return mLooping; }

private:
  void Rewind();
  void ShowFrame(int k);
  LICE_MemBitmap mBitmap;
  const GifFrameStrip* mStrip;  // in the process-wide picture cache, or none
  int mFrames = 0, mFrame = 0;
  bool mPlaying = true, mLooping = false;
};
