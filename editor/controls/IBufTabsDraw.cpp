#include "editor/controls/IBufTabsZR.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/controls/IBufTabsLook.h"
#include "editor/framework/IGraphics.h"
#include "frame/IPlugBase.h"

using namespace buftabs;

// ---- Waveform columns -------------------------------------------------------------------

void IBufTabsZR::BuildColumns(int tabIdx, int bufferIdx, const WaveSource& wave)
{
  Tab& t = mTab[tabIdx];
  const bool full = t.fullRebuild;
  t.fullRebuild = false;
  if (!full && !t.append) return;
  if (full)
  {
    for (auto& c : t.columns) c.clear();
    t.ampFloor = 1.0;
  }
  const int filled = std::min(mFilled[bufferIdx], kMaxLength), length = std::min(mLength, mBufferLength[bufferIdx]);
  double peak = 1.0 / t.ampFloor;
  const double spp = t.samplesPerPixel;
  if (spp >= 1.0)
  {
    const int per = std::max(1, static_cast<int>(std::lround(spp)));
    for (int ch = 0; ch < 2; ++ch)
    {
      auto& cols = t.columns[ch];
      for (int c = static_cast<int>(cols.size()); c < mW; ++c)
      {
        const double first = spp * c + t.viewStart * length;
        const int start = static_cast<int>(std::lround(first));
        if (start + per > filled && start + per <= length) break;  // comes when more is recorded
        Column col{0.0, 0.0};
        for (int i = start; i < start + per && i < length && i < filled; ++i)
        {
          const double v = wave.Sample(bufferIdx, i, ch);
          col.min = std::min(col.min, v), col.max = std::max(col.max, v);
          peak = std::max(peak, std::fabs(v));
        }
        cols.push_back(col);
      }
    }
  }
  else
  {
    const int from = static_cast<int>(t.viewStart * length), to = std::min({static_cast<int>(t.viewEnd * length), length, filled});
    for (int ch = 0; ch < 2; ++ch)
    {
      auto& cols = t.columns[ch];
      cols.clear();
      for (int i = from; i < to && static_cast<int>(cols.size()) < mW; ++i)
      {
        const double v = wave.Sample(bufferIdx, i, ch);
        cols.push_back(v < 0.0 ? Column{v, 0.0} : Column{0.0, v});
        peak = std::max(peak, std::fabs(v));
      }
    }
  }
  t.ampFloor = 1.0 / std::max(1.0, peak);
  t.ampZoom = std::max(t.ampZoom, t.ampFloor);
  const int n = static_cast<int>(t.columns[0].size());
  if (n == 0) t.fullRebuild = true;
  t.append = n > 0 && n < mW && spp >= 1.0;
  if (spp < 1.0 && filled < length) t.append = true;
}

// ---- Drawing ------------------------------------------------------------------------------

void IBufTabsZR::DrawWaveform(IGraphics* g, const Tab& t)
{
  const double a = mHalfHeight * t.ampZoom;
  const double spp = t.samplesPerPixel;
  for (int ch = 0; ch < 2; ++ch)
  {
    const auto& cols = t.columns[ch];
    const IColor colour = t.colour[ch];
    IColor clip = colour;
    clip.A = 200;
    for (size_t c = 0; c < cols.size(); ++c)
    {
      const int x = spp >= 1.0 ? mWave.L + static_cast<int>(c)
                               : std::min(mWave.R - 1, mWave.L + static_cast<int>(c / spp));
      const int top = std::clamp(static_cast<int>(mCentre - cols[c].max * a), mWave.T, mWave.B - 1);
      const int bottom = std::clamp(static_cast<int>(mCentre - cols[c].min * a), mWave.T, mWave.B - 1);
      g->FillAlpha(colour, IRECT(x, top, x + 1, bottom + 1));
      if (cols[c].max > 1.0) g->FillAlpha(clip, IRECT(x, mWave.T, x + 1, mWave.T + 2));
      if (cols[c].min < -1.0) g->FillAlpha(clip, IRECT(x, mWave.B - 2, x + 1, mWave.B));
    }
  }
  IColor centre = kTextColour;
  centre.A = 50;
  g->FillAlpha(centre, IRECT(mWave.L, mCentre, mWave.R, mCentre + 1));
  const double playhead = mPlayhead;
  if (playhead >= t.viewStart && playhead <= t.viewEnd)
  {
    const int x = PixelOf(playhead);
    g->FillAlpha(kPlayheadColour, IRECT(x, mWave.T + 3, x + 1, mWave.B - 2));
  }
  const double aim = mAimTarget;
  if (aim >= 0.0 && aim >= t.viewStart && aim <= t.viewEnd)
  {
    const int x = PixelOf(aim);
    g->FillAlpha(IColor(40, 255, 255, 255), IRECT(x - 1, mWave.T, x + 2, mWave.B));
  }
}

void IBufTabsZR::DrawSelection(IGraphics* g, const Tab& t)
{
  const int ps = std::clamp(PixelOf(t.selStart), mWave.L, mWave.R), pe = std::clamp(PixelOf(t.selEnd), mWave.L, mWave.R);
  if (ps > mWave.L) g->FillAlpha(kShade, IRECT(mWave.L, mWave.T, ps, mWave.B));
  if (pe < mWave.R) g->FillAlpha(kShade, IRECT(pe, mWave.T, mWave.R, mWave.B));
  IColor lit = kTextColour;
  lit.A = 150;
  const struct
  {
    int x;
    bool lit;
    IRECT handle;
  } markers[2] = {{ps, mStartLit, mStartHandle}, {pe, mEndLit, mEndHandle}};
  for (const auto& m : markers)
  {
    if (m.lit) g->FillAlpha(lit, m.handle);
    g->FillAlpha(m.lit ? kTextColour : kIdleMarker, IRECT(m.x, mWave.T, m.x + 1, mWave.B));
  }
}

void IBufTabsZR::DrawTabs(IGraphics* g)
{
  if (mLayoutDirty) LayoutTabs();
  const IColor outline = Dimmed(kTextColour, 0.3, 56);
  const int hovered = mHovered;
  for (int i = 0; i < kTabs; ++i)
  {
    const IRECT& r = mTab[i].rect;
    if (i == mCurrent && mC.request && mC.request->GetValue() >= 0.5) g->FillAlpha(kRequestColour, r);
    const double activity = mTab[i].activity;
    if (activity != 0.0)
      g->FillAlpha(IColor(std::clamp(static_cast<int>(40 + 180 * activity), 0, 255), 255, 255, 255),
                   IRECT(r.L + 1, r.T + 1, r.R - 1, std::min(r.B, r.T + 6)));
    if (i == mCurrent)
    {
      g->LineAlpha(outline, r.L, r.T, r.R - 1, r.T);
      g->LineAlpha(outline, r.L, r.T, r.L, r.B);
      g->LineAlpha(outline, r.R - 1, r.T, r.R - 1, r.B);
    }
    else
      g->Outline(outline, r);
    if (i == mCurrent || i == hovered)
    {
      char number[4];
      std::snprintf(number, sizeof number, "%d", i + 1);
      IText t = mTextStyle;
      t.mSize = 13;
      t.mCached = nullptr;
      IRECT nr(r.L, r.T + 4, r.R, r.B);
      g->DrawIText(t, number, nr);
    }
  }
  // The current tab's outline continues around the waveform, whose frame
  // spans the tab strip, so the outer tabs' edges run straight down.
  const IRECT& cur = mTab[mCurrent].rect;
  const int top = mWave.T, left = mTab[0].rect.L, right = mTab[kTabs - 1].rect.R - 1, bottom = mAnchor.B - 1;
  g->LineAlpha(outline, left, top, cur.L, top);
  g->LineAlpha(outline, cur.R - 1, top, right, top);
  g->LineAlpha(outline, left, top, left, bottom);
  g->LineAlpha(outline, right, top, right, bottom);
  g->LineAlpha(outline, left, bottom, right, bottom);
}

void IBufTabsZR::DrawReadouts(IGraphics* g, const Tab& t)
{
  const double values[3] = {mPlayhead, t.selStart, t.selEnd};
  for (int i = 0; i < 3; ++i)
  {
    g->FillAlpha(kShade, mReadout[i]);
    char text[16];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(values[i] * mLength));
    IRECT r = mReadout[i];
    g->DrawIText(mTextStyle, text, r);
  }
  IRECT dash(mReadout[1].R, mReadout[1].T, mReadout[2].L, mReadout[2].B);
  g->DrawIText(mTextStyle, " - ", dash);
}

std::string IBufTabsZR::StatusText() const
{
  const int b = ShownBuffer();
  if (mFilled[b] <= 0) return "REFILL PENDING";
  if (mFilled[b] < mBufferLength[b]) return "FILLING";
  return {};
}

void IBufTabsZR::PushKeys()
{
  if (!mKeysDirty) return;
  mKeysDirty = false;
  const int shown = ShownTab();
  for (int k = 0; k < kKeys; ++k)
    if (mC.keys[k]) mC.keys[k]->SetValueFromPlug(mUsedFor[k][shown] ? 1.0 : 0.0);
}

bool IBufTabsZR::Draw(IGraphics* g)
{
  const int shown = ShownTab();
  const int buffer = ShownBuffer();
  Tab& t = mTab[shown];
  const int filled = mFilled[buffer], length = mBufferLength[buffer];
  g->FillAlpha(IColor(255, 16, 16, 18), mWave);
  if (filled > 0)
  {
    if (!t.columns[0].empty()) DrawWaveform(g, t);
    DrawSelection(g, t);
    if (filled < length)
    {
      IText status = mTextStyle;
      status.mAlign = IText::kAlignFar;
      status.mCached = nullptr;
      IRECT r = mStatusBox;
      g->DrawIText(status, "FILLING", r);
    }
  }
  else
  {
    DrawSelection(g, t);
    IRECT r(mWave.L, mCentre - kTextSize / 2, mWave.R, mCentre + kTextSize / 2);
    g->DrawIText(mTextStyle, "REFILL PENDING", r);
  }
  DrawTabs(g);
  DrawReadouts(g, mTab[mCurrent]);
  if (mInfo[0])
  {
    IText info = mTextStyle;
    info.mAlign = IText::kAlignNear;
    info.mCached = nullptr;
    IRECT r(mLabelBox.L + 30, mLabelBox.T, mLabelBox.R + 60, mLabelBox.B);
    g->DrawIText(info, mInfo, r);
  }
  if (mCommon && shown != mCommonIndex)
  {
    char label[16];
    std::snprintf(label, sizeof label, "(%d)", mCommonIndex + 1);
    IText lt = mTextStyle;
    lt.mAlign = IText::kAlignNear;
    lt.mCached = nullptr;
    IRECT r = mLabelBox;
    g->DrawIText(lt, label, r);
  }
  mLabelDirty = false;
  PushKeys();
  // Recording in progress: keep repainting while the buffer grows.
  if (filled > 0 && filled < length) SetRedraw();
  return true;
}
