#pragma once
// A popup menu laid out and drawn by the editor itself, for window systems
// without native menus. Sub-menus are shown inline: the sub-menu's item is a
// heading and its items follow, indented.
#include <memory>
#include <string>
#include <vector>

#include "editor/framework/IGraphicsStructs.h"
#include "raster/lice.h"

class LICE_CachedFont;

class IPopupMenuView
{
public:
  static constexpr int kRowHeight = 18, kSeparatorHeight = 7, kIndent = 14, kMargin = 22;

  explicit IPopupMenuView(IPopupMenu* menu);
  ~IPopupMenuView();

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  // The row under y, or -1 (also for separators, headings, disabled items).
  int ChoosableRowAt(int y) const;
  void SetHover(int row) { mHover = row; }
  int Hover() const { return mHover; }
  // Marks the row's item as chosen in the menu that holds it and returns
  // that menu.
  IPopupMenu* Choose(int row);
  void Draw(LICE_IBitmap* into);

private:
  struct Row
  {
    IPopupMenu* menu;
    int index, depth, top, height;
    std::string label;
    bool heading;
  };
  void AddRows(IPopupMenu* menu, int depth);

  std::vector<Row> mRows;
  std::unique_ptr<LICE_CachedFont> mFont;
  int mWidth = 0, mHeight = 0, mHover = -1;
};
