// The editor's pictures by name, from the one picture table.
#pragma once

namespace vesk_pictures {
struct Picture
{
  int id;
  const char* name;
  int frames;
};

#define VESK_PICTURE(symbol, id, file, frames) const Picture kPic##symbol{id, "resources/img/" #file ".png", frames};
#include "resources/img/Pictures.def"
#undef VESK_PICTURE
}  // namespace vesk_pictures
