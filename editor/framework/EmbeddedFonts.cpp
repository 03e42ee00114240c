#include "editor/framework/EmbeddedFonts.h"

#include <mutex>

#include "platform/Resources.h"
#include "raster/lice_font.h"

void RegisterEmbeddedFonts()
{
  static std::once_flag once;
  std::call_once(once, [] {
    static const struct
    {
      const char* family;
      const char* face;
      bool bold;
      int id;
      bool preferSystem;
    } kFaces[] = {
      {"Roboto Mono", "Roboto Mono", false, 200, false},
      {"Roboto Mono", "Roboto Mono", true, 201, false},
      {"Verdana", "DejaVu Sans", false, 202, true},
      {"Verdana", "DejaVu Sans", true, 203, true},
    };
    for (const auto& f : kFaces)
    {
      const void* data = nullptr;
      int size = 0;
      if (FindEmbeddedResource("TTF", f.id, &data, &size))
        LICE_RegisterFontData(f.family, f.face, f.bold, data, size, f.preferSystem);
    }
  });
}
