#pragma once
// The text of an open entry as the user edits it: the whole initial text
// starts selected, so the first key typed replaces it (a backspace clears
// it), as native edit boxes do.
#include <string>

struct IEntryText
{
  std::string text;
  bool selected = false;

  void Open(const char* initial)
  {
    text = initial ? initial : "";
    selected = !text.empty();
  }
  void Clear() { text.clear(), selected = false; }
  // One key already accepted by the entry's filter ('\b' erases).
  void Key(char c, int maxLength)
  {
    if (selected)
    {
      Clear();
      if (c == '\b') return;
    }
    if (c == '\b')
    {
      if (!text.empty()) text.pop_back();
    }
    else if (static_cast<int>(text.size()) < maxLength)
      text.push_back(c);
  }
};
