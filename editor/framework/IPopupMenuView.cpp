#include "editor/framework/IPopupMenuView.h"

#include <algorithm>

#include "raster/lice_font.h"

namespace {
constexpr LICE_pixel kBackground = LICE_RGBA(240, 240, 240, 255), kBorder = LICE_RGBA(110, 110, 110, 255),
                     kText = LICE_RGBA(20, 20, 20, 255), kGrayed = LICE_RGBA(150, 150, 150, 255),
                     kHighlight = LICE_RGBA(48, 112, 192, 255), kHighlightText = LICE_RGBA(255, 255, 255, 255);

bool Choosable(const IPopupMenu::Item& item)
{
  return !item.submenu && !(item.flags & (IPopupMenu::kDisabled | IPopupMenu::kTitle | IPopupMenu::kSeparator));
}

void DrawTick(LICE_IBitmap* into, int x, int y, LICE_pixel colour)
{
  for (int d = 0; d < 2; ++d)
  {
    LICE_Line(into, x, y + 4 + d, x + 3, y + 7 + d, colour, 1.0f, LICE_BLIT_MODE_COPY, false);
    LICE_Line(into, x + 3, y + 7 + d, x + 9, y + d, colour, 1.0f, LICE_BLIT_MODE_COPY, false);
  }
}
}  // namespace

IPopupMenuView::IPopupMenuView(IPopupMenu* menu) : mFont(std::make_unique<LICE_CachedFont>())
{
  if (!mFont->SetFace("Verdana", 12, false, false)) mFont.reset();
  if (menu) AddRows(menu, 0);
  int widest = 60;
  for (const Row& row : mRows)
  {
    LICE_Rect r{0, 0, 0, 0};
    if (mFont) mFont->DrawText(nullptr, row.label.c_str(), -1, &r, LICE_DT_CALCRECT);
    widest = std::max(widest, r.w + row.depth * kIndent);
  }
  mWidth = widest + 2 * kMargin;
  mHeight = mRows.empty() ? 2 : mRows.back().top + mRows.back().height + 1;
}

IPopupMenuView::~IPopupMenuView() = default;

void IPopupMenuView::AddRows(IPopupMenu* menu, int depth)
{
  for (int i = 0; i < menu->NItems(); ++i)
  {
    IPopupMenu::Item& item = menu->GetItem(i);
    const int top = mRows.empty() ? 1 : mRows.back().top + mRows.back().height;
    const bool separator = item.flags & IPopupMenu::kSeparator;
    mRows.push_back({menu, i, depth, top, separator ? kSeparatorHeight : kRowHeight,
                     separator ? std::string() : menu->ItemLabel(i), item.submenu != nullptr});
    if (item.submenu) AddRows(item.submenu.get(), depth + 1);
  }
}

int IPopupMenuView::ChoosableRowAt(int y) const
{
  for (size_t r = 0; r < mRows.size(); ++r)
    if (y >= mRows[r].top && y < mRows[r].top + mRows[r].height)
      return Choosable(mRows[r].menu->GetItem(mRows[r].index)) ? static_cast<int>(r) : -1;
  return -1;
}

IPopupMenu* IPopupMenuView::Choose(int row)
{
  if (row < 0 || row >= static_cast<int>(mRows.size())) return nullptr;
  Row& chosen = mRows[static_cast<size_t>(row)];
  chosen.menu->SetChosenItemIdx(chosen.index);
  return chosen.menu;
}

void IPopupMenuView::Draw(LICE_IBitmap* into)
{
  LICE_Clear(into, kBackground);
  for (size_t r = 0; r < mRows.size(); ++r)
  {
    const Row& row = mRows[r];
    const IPopupMenu::Item& item = row.menu->GetItem(row.index);
    if (item.flags & IPopupMenu::kSeparator)
    {
      LICE_Line(into, 4, row.top + 3, mWidth - 5, row.top + 3, kGrayed, 1.0f, LICE_BLIT_MODE_COPY, false);
      continue;
    }
    const bool hovered = static_cast<int>(r) == mHover;
    if (hovered) LICE_FillRect(into, 1, row.top, mWidth - 2, row.height, kHighlight, 1.0f, LICE_BLIT_MODE_COPY);
    const LICE_pixel colour = hovered ? kHighlightText : Choosable(item) || row.heading ? kText : kGrayed;
    const int x = kMargin + row.depth * kIndent;
    if (item.flags & IPopupMenu::kChecked) DrawTick(into, x - 16, row.top + 4, colour);
    if (!mFont) continue;
    mFont->SetTextColor(colour);
    LICE_Rect text{x, row.top + 2, mWidth - x - 4, row.height - 2};
    mFont->DrawText(into, row.label.c_str(), -1, &text, LICE_DT_LEFT | LICE_DT_NOCLIP);
  }
  const LICE_pixel b = kBorder;
  const int r = mWidth - 1, btm = mHeight - 1;
  LICE_Line(into, 0, 0, r, 0, b, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(into, 0, btm, r, btm, b, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(into, 0, 0, 0, btm, b, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(into, r, 0, r, btm, b, 1.0f, LICE_BLIT_MODE_COPY, false);
}
