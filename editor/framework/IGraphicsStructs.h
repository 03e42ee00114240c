#pragma once
// Value types of the editor: rectangles, colours, text styles, mouse
// modifiers, blends, strip bitmaps and popup menus.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LICE_IBitmap;

struct IRECT
{
  int L = 0, T = 0, R = 0, B = 0;

  IRECT() = default;
  IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  int W() const { return R - L; }
  int H() const { return B - T; }
  bool Contains(int x, int y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
  // The right and bottom edges count as touching.
  bool Intersects(const IRECT& o) const { return !Empty() && !o.Empty() && R >= o.L && L < o.R && B >= o.T && T < o.B; }
  IRECT Union(const IRECT& o) const
  {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return {std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B)};
  }
  bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
};

struct IColor
{
  int A = 255, R = 0, G = 0, B = 0;

  IColor() = default;
  IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  uint32_t Packed() const
  {
    return (static_cast<uint32_t>(A & 0xFF) << 24) | (static_cast<uint32_t>(R & 0xFF) << 16) |
           (static_cast<uint32_t>(G & 0xFF) << 8) | static_cast<uint32_t>(B & 0xFF);
  }
  bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
};

struct IText
{
  enum EStyle { kStyleNormal, kStyleBold, kStyleItalic };
  enum EAlign { kAlignNear, kAlignCenter, kAlignFar };
  enum EQuality { kQualityDefault, kQualityNonAntiAliased, kQualityAntiAliased, kQualityClearType };

  char mFont[32] = "Verdana";
  int mSize = 12;
  IColor mColor{255, 0, 0, 0};
  IColor mTextEntryBGColor{255, 255, 255, 255};
  IColor mTextEntryFGColor{255, 0, 0, 0};
  EStyle mStyle = kStyleNormal;
  EAlign mAlign = kAlignCenter;
  int mOrientation = 0;
  EQuality mQuality = kQualityDefault;
  void* mCached = nullptr;  // the font the first draw found
};

struct IMouseMod
{
  bool L = false, R = false, S = false, C = false, A = false;
};

struct IChannelBlend
{
  enum EBlendMethod { kBlendNone, kBlendClobber, kBlendAdd, kBlendColorDodge };
  EBlendMethod mMethod = kBlendNone;
  float mWeight = 1.0f;

  IChannelBlend(EBlendMethod method = kBlendNone, float weight = 1.0f) : mMethod(method), mWeight(weight) {}
  // The raster blit mode for the method.
  int BlitMode() const;
};

struct IBitmap
{
  LICE_IBitmap* mData = nullptr;  // not owned
  int W = 0, H = 0, N = 1;
  bool mFramesAreHorizontal = false;
};

class IPopupMenu
{
public:
  enum EItemFlags { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };

  struct Item
  {
    std::string text;
    int flags = kNoFlags;
    std::unique_ptr<IPopupMenu> submenu;
  };

  void AddItem(const std::string& text, int flags = kNoFlags) { mItems.push_back({text, flags, nullptr}); }
  void AddSeparator() { mItems.push_back({"", kSeparator, nullptr}); }
  void AddSubmenu(const std::string& text, std::unique_ptr<IPopupMenu> submenu)
  {
    mItems.push_back({text, kNoFlags, std::move(submenu)});
  }
  int NItems() const { return static_cast<int>(mItems.size()); }
  Item& GetItem(int i) { return mItems[static_cast<size_t>(i)]; }
  const Item& GetItem(int i) const { return mItems[static_cast<size_t>(i)]; }
  void SetChecked(int i, bool on)
  {
    Item& item = GetItem(i);
    item.flags = on ? item.flags | kChecked : item.flags & ~kChecked;
  }
  int GetChosenItemIdx() const { return mChosen; }
  void SetChosenItemIdx(int i) { mChosen = i; }
  void SetPrefix(int prefix) { mPrefix = prefix; }
  int GetPrefix() const { return mPrefix; }
  // The item's text with its number when the menu numbers its items.
  std::string ItemLabel(int i) const;

private:
  int mPrefix = 0;
  int mChosen = -1;
  std::vector<Item> mItems;
};
