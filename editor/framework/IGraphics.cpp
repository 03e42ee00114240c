#include "editor/framework/IGraphics.h"

#include "editor/framework/EmbeddedFonts.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <cstring>
#include <strings.h>

#include "frame/IPlugBase.h"
#include "platform/Resources.h"
#include "raster/lice_font.h"

namespace {
// Decoded pictures by type and resource id, and the editors (and whatever
// warms the cache for one) that use them.
struct BitmapCache
{
  std::mutex lock;
  std::map<std::pair<std::string, int>, std::unique_ptr<LICE_IBitmap>> bitmaps;
  int users = 0;
};

BitmapCache& Cache()
{
  static BitmapCache cache;
  return cache;
}

// The process-wide font cache, looked up by size, orientation, style and face.
struct FontCache
{
  struct Entry
  {
    int size, orientation, style;
    std::string face;
    std::unique_ptr<LICE_CachedFont> font;
  };
  std::mutex lock;
  std::vector<Entry> fonts;
};

FontCache& Fonts()
{
  static FontCache cache;
  return cache;
}

// The cached fonts are shared by every editor and keep state as they draw
// (their colour, the face's glyph slot): one text at a time, on any thread.
std::mutex& FontUse()
{
  static std::mutex use;
  return use;
}

// Draws (or with a null bitmap measures) a text in a shared font.
bool TextWith(LICE_CachedFont* font, LICE_IBitmap* into, const char* str, LICE_Rect* r, int flags, LICE_pixel colour)
{
  std::lock_guard<std::mutex> lock(FontUse());
  if (into) font->SetTextColor(colour);
  return font->DrawText(into, str, -1, r, flags);
}

LICE_CachedFont* FontFor(const IText& text)
{
  FontCache& cache = Fonts();
  std::lock_guard<std::mutex> lock(cache.lock);
  for (const auto& e : cache.fonts)
    if (e.size == text.mSize && e.orientation == text.mOrientation && e.style == text.mStyle && e.face == text.mFont)
      return e.font.get();
  auto font = std::make_unique<LICE_CachedFont>();
  if (!font->SetFace(text.mFont, text.mSize, text.mStyle == IText::kStyleBold, text.mStyle == IText::kStyleItalic,
                     text.mQuality != IText::kQualityNonAntiAliased))
    return nullptr;  // a failed font is not remembered
  cache.fonts.push_back({text.mSize, text.mOrientation, text.mStyle, text.mFont, std::move(font)});
  return cache.fonts.back().font.get();
}
}  // namespace

LICE_IBitmap* CachedPicture(const char* type, int id, const std::function<LICE_IBitmap*()>& decode)
{
  const std::pair<std::string, int> key{type, id};
  {
    std::lock_guard<std::mutex> lock(Cache().lock);
    auto found = Cache().bitmaps.find(key);
    if (found != Cache().bitmaps.end()) return found->second.get();
  }
  // Decoded outside the lock, so one editor's first picture never waits on
  // another's; when two decode the same picture, the first one stored is kept.
  std::unique_ptr<LICE_IBitmap> decoded(decode());
  if (!decoded) return nullptr;
  std::lock_guard<std::mutex> lock(Cache().lock);
  return Cache().bitmaps.emplace(key, std::move(decoded)).first->second.get();
}

LICE_IBitmap* CachedBitmap(int id)
{
  std::lock_guard<std::mutex> lock(Cache().lock);
  auto found = Cache().bitmaps.find({"PNG", id});
  return found == Cache().bitmaps.end() ? nullptr : found->second.get();
}

// Only PNG pictures, by the extension of their name (any case).
LICE_IBitmap* LoadPicture(int id, const char* name)
{
  const char* dot = name ? std::strrchr(name, '.') : nullptr;
  if (!dot || strcasecmp(dot + 1, "png") != 0) return nullptr;
  return CachedPicture("PNG", id, [id]() -> LICE_IBitmap* {
    const void* data = nullptr;
    int size = 0;
    return FindEmbeddedResource("PNG", id, &data, &size) ? LICE_LoadPNGFromMemory(data, size) : nullptr;
  });
}

EditorCacheUse::EditorCacheUse()
{
  std::lock_guard<std::mutex> lock(Cache().lock);
  ++Cache().users;
}

// The last user gone, the pictures and fonts go too.
EditorCacheUse::~EditorCacheUse()
{
  std::map<std::pair<std::string, int>, std::unique_ptr<LICE_IBitmap>> released;
  {
    std::lock_guard<std::mutex> lock(Cache().lock);
    if (--Cache().users > 0) return;
    released.swap(Cache().bitmaps);
  }
  std::lock_guard<std::mutex> lock(Fonts().lock);
  Fonts().fonts.clear();
}

int EditorCacheUsers()
{
  std::lock_guard<std::mutex> lock(Cache().lock);
  return Cache().users;
}

int IChannelBlend::BlitMode() const
{
  switch (mMethod)
  {
    case kBlendClobber: return LICE_BLIT_MODE_COPY;
    case kBlendAdd: return LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA;
    case kBlendColorDodge: return LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA;
    default: return LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
  }
}

std::string IPopupMenu::ItemLabel(int i) const
{
  static const char* const kFormats[] = {"%s", "%1d: %s", "%02d: %s", "%03d: %s"};
  const std::string& text = GetItem(i).text;
  if (mPrefix <= 0 || mPrefix > 3) return text;
  char label[512];
  std::snprintf(label, sizeof label, kFormats[mPrefix], i + 1, text.c_str());
  return label;
}

IGraphics::IGraphics(IPlugBase* plug, int w, int h, int fps) : mPlug(plug), mWidth(w), mHeight(h), mFPS(fps)
{
  RegisterEmbeddedFonts();
}

IGraphics::~IGraphics() = default;

bool IGraphics::PrepDraw()
{
  mDrawBitmap = std::make_unique<LICE_SysBitmap>(mWidth, mHeight);
  mTmpBitmap = std::make_unique<LICE_MemBitmap>();
  return true;
}

bool IGraphics::RenderText(IText& text, const char* str, IRECT& rect, bool measure)
{
  auto* font = static_cast<LICE_CachedFont*>(text.mCached);
  if (!font) text.mCached = font = FontFor(text);
  if (!font) return false;
  static const int kAlign[] = {LICE_DT_LEFT, LICE_DT_CENTER, LICE_DT_RIGHT};
  int flags = LICE_DT_NOCLIP | kAlign[text.mAlign];
  if (text.mColor.A < 255) flags |= LICE_DT_USEFGALPHA;
  LICE_Rect r{rect.L, rect.T, rect.W(), rect.H()};
  if (measure)
  {
    TextWith(font, nullptr, str, &r, flags | LICE_DT_CALCRECT, 0);
    const int width = r.w;
    if (text.mAlign == IText::kAlignNear) rect.R = rect.L + width;
    else if (text.mAlign == IText::kAlignFar) rect.L = rect.R - width;
    else
    {
      rect.L = (rect.L + rect.R) / 2 - width / 2;
      rect.R = rect.L + width;
    }
    rect.B = rect.T + r.h;
    return true;
  }
  return TextWith(font, mDrawBitmap.get(), str, &r, flags, text.mColor.Packed());
}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
  if (!normalized && mPlug)
    if (const IParam* param = mPlug->GetParam(paramIdx)) value = param->GetNormalized(value);
  for (auto& control : mControls)
  {
    if (control->ParamIdx() == paramIdx) control->SetValueFromPlug(value);
    for (int i = 0; i < control->NAuxParams(); ++i)
      if (control->GetAuxParam(i).mParamIdx == paramIdx)
      {
        control->SetAuxParamValueFromPlug(i, value);
        break;
      }
  }
}

int IGraphics::AttachControl(IControl* control)
{
  control->SetGraphics(this);
  mControls.emplace_back(control);
  return GetNControls() - 1;
}

void IGraphics::AttachBackground(int id, const char* name)
{
  const IBitmap bitmap = LoadIBitmap(id, name);
  auto* background = new IBitmapControl(mPlug, 0, 0, -1, bitmap);
  background->SetGraphics(this);
  mControls.emplace(mControls.begin(), background);
}

void IGraphics::AssignParamNameToolTips()
{
  for (auto& control : mControls)
    if (const IParam* param = mPlug ? mPlug->GetParam(control->ParamIdx()) : nullptr)
      control->SetTooltip(param->GetNameForHost());
}

IBitmap IGraphics::LoadIBitmap(int id, const char* name, int frames, bool framesAreHorizontal)
{
  LICE_IBitmap* data = LoadPicture(id, name);
  IBitmap bitmap;
  bitmap.mData = data;
  bitmap.W = data ? data->getWidth() : 0;
  bitmap.H = data ? data->getHeight() : 0;
  bitmap.N = std::max(1, frames);
  bitmap.mFramesAreHorizontal = framesAreHorizontal;
  return bitmap;
}

bool IGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int frame, const IChannelBlend* blend)
{
  int srcX = 0, srcY = 0;
  if (bitmap.N > 1 && frame > 1)
  {
    const double step = (bitmap.mFramesAreHorizontal ? bitmap.W : bitmap.H) * static_cast<double>(frame - 1) / bitmap.N;
    (bitmap.mFramesAreHorizontal ? srcX : srcY) = static_cast<int>(std::lround(step));
  }
  return DrawBitmap(bitmap, dest, srcX, srcY, blend);
}

bool IGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY, const IChannelBlend* blend)
{
  if (!bitmap.mData || !mDrawBitmap) return false;
  const LICE_Rect src{srcX, srcY, dest.W(), dest.H()};
  const IChannelBlend none;
  const IChannelBlend& b = blend ? *blend : none;
  LICE_Blit(mDrawBitmap.get(), bitmap.mData, dest.L, dest.T, &src, b.mWeight, b.BlitMode());
  return true;
}

bool IGraphics::FillIRect(const IColor& color, const IRECT& rect, const IChannelBlend* blend)
{
  if (!mDrawBitmap) return false;
  const float weight = blend ? blend->mWeight : 1.0f;
  const int mode = blend ? blend->BlitMode() : LICE_BLIT_MODE_COPY;
  LICE_FillRect(mDrawBitmap.get(), rect.L, rect.T, rect.W(), rect.H(), color.Packed(), weight, mode);
  return true;
}

bool IGraphics::DrawLine(const IColor& color, int x1, int y1, int x2, int y2)
{
  if (!mDrawBitmap) return false;
  LICE_Line(mDrawBitmap.get(), x1, y1, x2, y2, color.Packed(), 1.0f, LICE_BLIT_MODE_COPY, false);
  return true;
}

bool IGraphics::DrawRect(const IColor& color, const IRECT& r)
{
  return DrawLine(color, r.L, r.T, r.R, r.T) && DrawLine(color, r.L, r.B, r.R, r.B) &&
         DrawLine(color, r.L, r.T, r.L, r.B) && DrawLine(color, r.R, r.T, r.R, r.B);
}

bool IGraphics::DrawIText(IText& text, const char* str, IRECT& rect, bool measure)
{
  if (!str || !*str) return true;
  return RenderText(text, str, rect, measure);
}

void IGraphics::PromptUserInput(IControl* control, IParam* param, const IRECT& rect)
{
  if (!control || !param || rect.Empty()) return;
  double shown = 0.0;
  if (mPlug)
  {
    // The value may change on the host's threads; the rest of a parameter never does.
    IMutexLock lock(mPlug->Mutex());
    shown = param->Value();
  }
  const bool named = param->Type() == IParam::kTypeEnum || (param->Type() == IParam::kTypeBool && param->NDisplayTexts() > 0);
  if (named)
  {
    IPopupMenu menu;
    char current[64];
    param->GetDisplayForHost(shown, false, current, sizeof current);
    const int count = static_cast<int>(param->Max() - param->Min()) + 1;
    for (int i = 0; i < count; ++i)
    {
      const char* text = param->GetDisplayTextForValue(i);
      menu.AddItem(text ? text : "", text && std::string(text) == current ? IPopupMenu::kChecked : 0);
    }
    if (CreateIPopupMenu(&menu, rect) && menu.GetChosenItemIdx() >= 0)
      control->SetValueFromUserInput(param->GetNormalized(menu.GetChosenItemIdx()));
    return;
  }
  char value[64];
  const double v = param->DisplayIsNegated() ? -shown : shown;
  if (param->DisplayPrecision() != 0)
    std::snprintf(value, sizeof value, "%.*f", param->DisplayPrecision(), v);
  else
    std::snprintf(value, sizeof value, "%d", static_cast<int>(v));
  CreateTextEntry(control, control->GetText(), rect, value, param);
}

bool IGraphics::TextEntryAccepts(const IParam* param, char c)
{
  if (!param || c == '\b') return true;
  const bool digitsOrSign = (c >= '0' && c <= '9') || c == '+' || c == '-';
  return param->Type() == IParam::kTypeDouble ? digitsOrSign || c == '.' : digitsOrSign;
}

void IGraphics::ResolveTextEntry()
{
  if (mTextEntryState == kTextEntryCommit && mEdControl)
  {
    std::string text = TextEntryText().substr(0, 32);
    if (mEdParam)
    {
      double v = 0.0;
      if (mEdParam->Type() == IParam::kTypeEnum || mEdParam->Type() == IParam::kTypeBool)
        mEdParam->MapDisplayText(text.c_str(), &v);
      else
      {
        v = std::strtod(text.c_str(), nullptr);
        if (mEdParam->DisplayIsNegated()) v = -v;
      }
      BeginHostEdit(mEdControl->ParamIdx());
      mEdControl->SetValueFromUserInput(mEdParam->GetNormalized(v));
      EndHostEdit();
    }
    else
      mEdControl->TextFromTextEntry(text.c_str());
  }
  if (mTextEntryState == kTextEntryCommit || mTextEntryState == kTextEntryCancel)
  {
    DestroyTextEntry();
    mEdControl = nullptr;
    mEdParam = nullptr;
  }
  mTextEntryState = kTextEntryNone;
}

IRECT IGraphics::OnTimerTick()
{
  if (mPickUp) mPickUp();
  if (mTextEntryState != kTextEntryNone)
  {
    ResolveTextEntry();
    return {};
  }
  IRECT dirty;
  if (!IsDirty(&dirty)) return {};
  if (mEdControl) mTextEntryState = kTextEntryUpdate;
  return dirty;
}

bool IGraphics::IsDirty(IRECT* rect)
{
  *rect = IRECT();
  bool dirty = false;
  for (auto& control : mControls)
    if (control->IsDirty())
    {
      *rect = rect->Union(control->GetRECT());
      dirty = true;
    }
  return dirty && !rect->Empty();
}

// Controls draw whole; what they paint outside the update rect is put back,
// so a background drawn for a small update leaves the rest of the editor be.
void IGraphics::Draw(const IRECT& rect)
{
  mDrawRECT = rect;
  LICE_IBitmap* bits = mDrawBitmap.get();
  const bool partial = bits && mTmpBitmap && !(rect.L <= 0 && rect.T <= 0 && rect.R >= mWidth && rect.B >= mHeight);
  if (partial)
  {
    mTmpBitmap->resize(bits->getWidth(), bits->getHeight());
    LICE_Blit(mTmpBitmap.get(), bits, 0, 0, nullptr, 1.0f, LICE_BLIT_MODE_COPY);
  }
  for (auto& control : mControls)
    if (!control->IsHidden() && control->GetRECT().Intersects(rect)) control->Draw(this);
  if (partial)
  {
    const int l = std::clamp(rect.L, 0, mWidth), r = std::clamp(rect.R, 0, mWidth);
    const int t = std::clamp(rect.T, 0, mHeight), b = std::clamp(rect.B, 0, mHeight);
    const auto restore = [&](int x, int y, int w, int h) {
      if (w <= 0 || h <= 0) return;
      const LICE_Rect src{x, y, w, h};
      LICE_Blit(bits, mTmpBitmap.get(), x, y, &src, 1.0f, LICE_BLIT_MODE_COPY);
    };
    restore(0, 0, mWidth, t);
    restore(0, b, mWidth, mHeight - b);
    restore(0, t, l, b - t);
    restore(r, t, mWidth - r, b - t);
  }
  for (auto& control : mControls) control->SetClean();
  DrawScreen(rect);
}

bool MeasureTextSize(const IText& text, const char* str, int* width, int* height)
{
  *width = *height = 0;
  LICE_CachedFont* font = FontFor(text);
  if (!font || !str) return false;
  LICE_Rect r{0, 0, 0, 0};
  TextWith(font, nullptr, str, &r, LICE_DT_CALCRECT, 0);
  *width = r.w;
  *height = r.h;
  return true;
}

bool IGraphics::DrawITextTurned(IText& text, const char* str, const IRECT& rect)
{
  int w = 0, h = 0;
  LICE_CachedFont* font = FontFor(text);
  if (!font || !mDrawBitmap || !MeasureTextSize(text, str, &w, &h) || w <= 0 || h <= 0) return false;
  LICE_MemBitmap flat(w, h);
  LICE_Clear(&flat, 0);
  LICE_Rect r{0, 0, w, h};
  TextWith(font, &flat, str, &r, LICE_DT_NOCLIP | LICE_DT_LEFT, text.mColor.Packed());
  LICE_MemBitmap turned(h, w);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      *turned.pixel(y, w - 1 - x) = (text.mColor.Packed() & 0xFFFFFFu) | (*flat.pixel(x, y) & 0xFF000000u);
  LICE_Blit(mDrawBitmap.get(), &turned, rect.L, rect.B - w, nullptr, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  return true;
}

void IGraphics::FillAlpha(const IColor& color, const IRECT& rect)
{
  if (mDrawBitmap)
    LICE_FillRect(mDrawBitmap.get(), rect.L, rect.T, rect.W(), rect.H(), color.Packed(), 1.0f,
                  LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
}

void IGraphics::LineAlpha(const IColor& color, int x1, int y1, int x2, int y2)
{
  if (mDrawBitmap)
    LICE_Line(mDrawBitmap.get(), x1, y1, x2, y2, color.Packed(), color.A / 255.0f, LICE_BLIT_MODE_COPY, false);
}

void IGraphics::Outline(const IColor& color, const IRECT& r)
{
  if (r.W() <= 0 || r.H() <= 0) return;
  LineAlpha(color, r.L, r.T, r.R - 1, r.T);
  LineAlpha(color, r.L, r.B - 1, r.R - 1, r.B - 1);
  LineAlpha(color, r.L, r.T, r.L, r.B - 1);
  LineAlpha(color, r.R - 1, r.T, r.R - 1, r.B - 1);
}
