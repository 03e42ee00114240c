#include "editor/framework/IGraphicsOffscreen.h"

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
  mEntry.Open(initial);
  mEntryRect = IRECT(rect.L, rect.T, rect.R + 1, rect.B + 1);
  BeginTextEntry(control, param);
  SetTextEntryState(kTextEntryEditing);
}

void IGraphicsOffscreen::Type(const std::string& keys)
{
  if (!TextEntryOpen()) return;
  for (char c : keys) EntryKey(mEntry, c);
  SetTextEntryState(kTextEntryUpdate);
}

bool IGraphicsOffscreen::WritePNG(const std::string& path)
{
  return LICE_WritePNG(path.c_str(), GetDrawBitmap(), true);
}
