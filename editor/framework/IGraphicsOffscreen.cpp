#include "editor/framework/IGraphicsOffscreen.h"

#include <png.h>

#include <cstdio>
#include <vector>

bool IGraphicsOffscreen::OpenWindow(void*)
{
  if (!GetDrawBitmap()) PrepDraw();
  mOpen = true;
  for (int i = 0; i < GetNControls(); ++i) GetControl(i)->SetDirty(false);
  return true;
}

void IGraphicsOffscreen::Tick()
{
  const IRECT dirty = OnTimerTick();
  if (!dirty.Empty()) Draw(dirty);
}

IPopupMenu* IGraphicsOffscreen::CreateIPopupMenu(IPopupMenu* menu, const IRECT&)
{
  ReleaseMouseCapture();
  mLastMenu = IPopupMenu();
  if (!menu) return nullptr;
  for (int i = 0; i < menu->NItems(); ++i) mLastMenu.AddItem(menu->GetItem(i).text, menu->GetItem(i).flags);
  if (mMenuChoices.empty()) return nullptr;
  const int choice = mMenuChoices.front();
  mMenuChoices.pop_front();
  if (choice < 0 || choice >= menu->NItems()) return nullptr;
  const IPopupMenu::Item& item = menu->GetItem(choice);
  if (item.flags & (IPopupMenu::kDisabled | IPopupMenu::kTitle | IPopupMenu::kSeparator)) return nullptr;
  menu->SetChosenItemIdx(choice);
  return menu;
}

void IGraphicsOffscreen::CreateTextEntry(IControl* control, const IText&, const IRECT& rect, const char* initial,
                                         IParam* param)
{
  if (!control || TextEntryOpen()) return;
  mEntryText = initial ? initial : "";
  mEntryRect = IRECT(rect.L, rect.T, rect.R + 1, rect.B + 1);
  BeginTextEntry(control, param);
  SetTextEntryState(kTextEntryEditing);
}

void IGraphicsOffscreen::Type(const std::string& keys)
{
  if (!TextEntryOpen()) return;
  // The whole initial text starts selected: the first key replaces it.
  if (TextEntryState() == kTextEntryEditing && !keys.empty()) mEntryText.clear();
  for (char c : keys)
  {
    if (!TextEntryAccepts(mEdParam, c)) continue;
    if (c == '\b')
    {
      if (!mEntryText.empty()) mEntryText.pop_back();
    }
    else if (static_cast<int>(mEntryText.size()) < TextEntryControl()->GetTextEntryLength())
      mEntryText.push_back(c);
  }
  SetTextEntryState(kTextEntryUpdate);
}

bool IGraphicsOffscreen::WritePNG(const std::string& path)
{
  LICE_IBitmap* bitmap = GetDrawBitmap();
  if (!bitmap || !bitmap->getBits()) return false;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png)))
  {
    png_init_io(png, file);
    png_set_IHDR(png, info, bitmap->getWidth(), bitmap->getHeight(), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bgr(png);
    png_write_info(png, info);
    for (int y = 0; y < bitmap->getHeight(); ++y) png_write_row(png, reinterpret_cast<png_bytep>(bitmap->pixel(0, y)));
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  std::fclose(file);
  return ok;
}
