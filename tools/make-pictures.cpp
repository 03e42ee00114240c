// Draws the editor's pictures: knobs, switches, strips, the background and
// the animated logo, in one dark theme, antialiased by 4 x 4 supersampling.
//   make-pictures OUT_DIR   ->  OUT_DIR/<name>.png ..., OUT_DIR/logo.gif
#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <string>

#include "tools/ToolUsage.h"
#include "resources/img/Panels.h"
#include <vector>

namespace {

struct Rgba
{
  double r, g, b, a;
};

const Rgba kPanel{0.11, 0.12, 0.14, 1}, kTrack{0.22, 0.24, 0.28, 1}, kAccent{0.25, 0.78, 0.86, 1},
  kWarm{0.96, 0.62, 0.25, 1}, kText{0.85, 0.88, 0.92, 1}, kOff{0.30, 0.32, 0.36, 1}, kOn{0.35, 0.90, 0.55, 1};

class Canvas
{
public:
  Canvas(int w, int h) : w(w), h(h), px(static_cast<size_t>(w) * h, Rgba{0, 0, 0, 0}) {}
  int w, h;
  std::vector<Rgba> px;

  // Paints where inside(x, y) holds, with coverage from 16 sub-samples.
  void Shape(int x0, int y0, int x1, int y1, const Rgba& c, const std::function<bool(double, double)>& inside)
  {
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(w, x1); ++x)
      {
        int hits = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx) hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4);
        if (hits) Blend(x, y, c, hits / 16.0);
      }
  }
  void Blend(int x, int y, const Rgba& c, double cover)
  {
    Rgba& d = px[static_cast<size_t>(y) * w + x];
    const double a = c.a * cover, out = a + d.a * (1 - a);
    if (out <= 0) return;
    d.r = (c.r * a + d.r * d.a * (1 - a)) / out;
    d.g = (c.g * a + d.g * d.a * (1 - a)) / out;
    d.b = (c.b * a + d.b * d.a * (1 - a)) / out;
    d.a = out;
  }
  void Disc(double cx, double cy, double r, const Rgba& c)
  {
    Shape(int(cx - r) - 1, int(cy - r) - 1, int(cx + r) + 2, int(cy + r) + 2, c,
          [&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; });
  }
  // A ring segment between angles a0 and a1 (radians, clockwise from 12 o'clock).
  void Arc(double cx, double cy, double r0, double r1, double a0, double a1, const Rgba& c)
  {
    if (a1 < a0) std::swap(a0, a1);
    Shape(int(cx - r1) - 1, int(cy - r1) - 1, int(cx + r1) + 2, int(cy + r1) + 2, c, [&](double x, double y) {
      const double dx = x - cx, dy = y - cy, d = std::hypot(dx, dy);
      const double a = std::atan2(dx, -dy);
      return d >= r0 && d <= r1 && a >= a0 && a <= a1;
    });
  }
  void Line(double x0, double y0, double x1, double y1, double width, const Rgba& c)
  {
    const double len = std::hypot(x1 - x0, y1 - y0);
    Shape(int(std::min(x0, x1) - width) - 1, int(std::min(y0, y1) - width) - 1, int(std::max(x0, x1) + width) + 2,
          int(std::max(y0, y1) + width) + 2, c, [&](double x, double y) {
            const double t = len > 0 ? std::clamp(((x - x0) * (x1 - x0) + (y - y0) * (y1 - y0)) / (len * len), 0.0, 1.0) : 0;
            return std::hypot(x - (x0 + t * (x1 - x0)), y - (y0 + t * (y1 - y0))) <= width / 2;
          });
  }
  void Box(double x0, double y0, double x1, double y1, double radius, const Rgba& c)
  {
    Shape(int(x0) - 1, int(y0) - 1, int(x1) + 2, int(y1) + 2, c, [&](double x, double y) {
      const double qx = std::max({x0 + radius - x, 0.0, x - (x1 - radius)});
      const double qy = std::max({y0 + radius - y, 0.0, y - (y1 - radius)});
      return x >= x0 && x <= x1 && y >= y0 && y <= y1 && qx * qx + qy * qy <= radius * radius;
    });
  }
};

// Frames stacked vertically; frame i occupies rows round(H * i / N) on.
struct Strip
{
  Canvas canvas;
  int frames;
  Strip(int w, int h, int n) : canvas(w, h), frames(n) {}
  int Top(int i) const { return static_cast<int>(std::lround(static_cast<double>(canvas.h) * i / frames)); }
};

bool WritePng(const std::string& path, const Canvas& c)
{
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)))
  {
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, c.w, c.h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<size_t>(c.w) * 4);
  for (int y = 0; y < c.h; ++y)
  {
    for (int x = 0; x < c.w; ++x)
    {
      const Rgba& p = c.px[static_cast<size_t>(y) * c.w + x];
      for (int k = 0; k < 4; ++k)
        row[static_cast<size_t>(x) * 4 + k] = static_cast<png_byte>(std::lround(std::clamp(k == 0 ? p.r : k == 1 ? p.g : k == 2 ? p.b : p.a, 0.0, 1.0) * 255));
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return true;
}

constexpr double kSweep = 0.75 * std::numbers::pi;  // the knobs turn through 270 degrees

// A knob of `size` in frame i of n: track, value arc (from the left end, or
// from the top when symmetric), cap and pointer.
void DrawKnob(Strip& s, int i, double size, bool symmetric, const Rgba& accent)
{
  Canvas& c = s.canvas;
  const double v = s.frames > 1 ? static_cast<double>(i) / (s.frames - 1) : 0.0;
  const double cx = c.w / 2.0, cy = s.Top(i) + size / 2.0, r = size / 2.0 - 1;
  const double angle = -kSweep + v * 2 * kSweep;
  c.Arc(cx, cy, r * 0.78, r, -kSweep, kSweep, kTrack);
  c.Arc(cx, cy, r * 0.78, r, symmetric ? 0.0 : -kSweep, angle, accent);
  c.Disc(cx, cy, r * 0.66, Rgba{0.17, 0.18, 0.21, 1});
  c.Line(cx + std::sin(angle) * r * 0.2, cy - std::cos(angle) * r * 0.2, cx + std::sin(angle) * r * 0.62,
         cy - std::cos(angle) * r * 0.62, std::max(1.5, size / 14), kText);
}

using Icon = std::function<void(Canvas&, double x0, double y0, double x1, double y1, const Rgba&)>;

// Two frames: off (dim) and on (lit), each a rounded button with an icon.
void DrawSwitch(Strip& s, const Icon& icon, const Rgba& lit)
{
  for (int i = 0; i < 2; ++i)
  {
    const double top = s.Top(i), bottom = s.Top(i + 1) - 1, w = s.canvas.w;
    s.canvas.Box(0.5, top + 0.5, w - 0.5, bottom, 3, i ? Rgba{0.16, 0.28, 0.31, 1} : Rgba{0.15, 0.16, 0.19, 1});
    icon(s.canvas, 3, top + 3, w - 3, bottom - 3, i ? lit : kOff);
  }
}

void Arrow(Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col, bool left)
{
  const double my = (y0 + y1) / 2, tip = left ? x0 : x1, back = left ? x1 : x0;
  c.Shape(int(x0), int(y0), int(x1) + 1, int(y1) + 1, col, [&](double x, double y) {
    const double t = (x - tip) / (back - tip);
    return t >= 0 && t <= 1 && std::fabs(y - my) <= t * (y1 - y0) / 2;
  });
}

// The picture table: each picture's file name and the frames of its strip.
struct TableEntry
{
  const char* file;
  int frames;
};
#define VESK_PICTURE(symbol, id, file, frames) {#file, frames},
const TableEntry kTable[] = {
#include "resources/img/Pictures.def"
};
#undef VESK_PICTURE

int Frames(const std::string& file)
{
  for (const TableEntry& e : kTable)
    if (file == e.file) return e.frames;
  std::fprintf(stderr, "make-pictures: %s is not in the picture table\n", file.c_str());
  std::exit(1);
}

using Pictures = std::vector<std::pair<std::string, Strip>>;

void AddKnobs(Pictures& out)
{
  auto knob = [&](const std::string& name, int size, bool symmetric, const Rgba& accent) {
    const int frames = Frames(name);
    Strip s(size, size * frames, frames);
    for (int i = 0; i < frames; ++i) DrawKnob(s, i, size, symmetric, accent);
    out.emplace_back(name, std::move(s));
  };
  knob("knob", 36, false, kAccent);
  knob("knob_symm", 36, true, kAccent);
  knob("wobble_amount", 36, false, kWarm);
  knob("wobble_speed", 36, false, Rgba{0.75, 0.55, 0.95, 1});
  knob("playrate", 70, true, kWarm);
}

void AddSwitches(Pictures& out)
{
  auto toggle = [&](const std::string& name, int w, int h, const Icon& icon, const Rgba& lit = kOn) {
    Strip s(w, h, Frames(name));
    DrawSwitch(s, icon, lit);
    out.emplace_back(name, std::move(s));
  };
  auto led = [&](const std::string& name) {
    Strip s(12, 24, Frames(name));
    for (int i = 0; i < 2; ++i) s.canvas.Disc(6, s.Top(i) + 6, 4.5, i ? kOn : kOff);
    out.emplace_back(name, std::move(s));
  };
  led("on_off");
  led("on_off_dark");
  toggle("MIDIpanic", 27, 47, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    c.Line(x0 + 3, y0 + 2, x1 - 3, y1 - 2, 2.5, col);
    c.Line(x1 - 3, y0 + 2, x0 + 3, y1 - 2, 2.5, col);
  }, Rgba{0.95, 0.35, 0.35, 1});
  toggle("prop_lambda", 26, 32, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    c.Line(x0 + 3, y0, (x0 + x1) / 2 + 2, y1, 1.6, col);
    c.Line((x0 + x1) / 2, (y0 + y1) / 2, x0 + 3, y1, 1.6, col);
  });
  toggle("prop_repeat", 26, 32, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    c.Arc((x0 + x1) / 2, (y0 + y1) / 2, (y1 - y0) / 2 - 1.5, (y1 - y0) / 2, -2.6, 2.0, col);
    Arrow(c, x1 - 6, y0, x1, y0 + 4, col, false);
  });
  toggle("prop_playrate", 26, 32, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    Arrow(c, x0 + 2, y0, x0 + 9, y1, col, false);
    Arrow(c, x0 + 10, y0, x0 + 17, y1, col, false);
  });
  toggle("playhead", 36, 56, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    c.Line((x0 + x1) / 2, y0, (x0 + x1) / 2, y1, 2, col);
    Arrow(c, (x0 + x1) / 2 - 5, y0, (x0 + x1) / 2 + 5, y0 + 6, col, false);
  });
  toggle("sum_n", 24, 34, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    c.Line(x1 - 2, y0 + 1, x0 + 3, y0 + 1, 1.6, col);
    c.Line(x0 + 3, y0 + 1, (x0 + x1) / 2, (y0 + y1) / 2, 1.6, col);
    c.Line((x0 + x1) / 2, (y0 + y1) / 2, x0 + 3, y1 - 1, 1.6, col);
    c.Line(x0 + 3, y1 - 1, x1 - 2, y1 - 1, 1.6, col);
  });
  toggle("fill", 35, 40, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    for (int k = 0; k < 5; ++k) c.Box(x0 + 2 + k * 5.5, y1 - (k + 1) * (y1 - y0) / 6, x0 + 6 + k * 5.5, y1, 1, col);
  });
  toggle("wrap_mirror", 36, 40, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    Arrow(c, x0 + 2, y0 + 1, (x0 + x1) / 2 - 1, y1 - 1, col, true);
    Arrow(c, (x0 + x1) / 2 + 1, y0 + 1, x1 - 2, y1 - 1, col, false);
  });
  toggle("preserve_pos", 29, 56, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    c.Disc((x0 + x1) / 2, (y0 + y1) / 2, std::min(x1 - x0, y1 - y0) / 2 - 1, col);
    c.Disc((x0 + x1) / 2, (y0 + y1) / 2, std::min(x1 - x0, y1 - y0) / 2 - 4, Rgba{0.15, 0.16, 0.19, 1});
  });
  toggle("arrow_l", 17, 34, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) { Arrow(c, x0, y0, x1, y1, col, true); });
  toggle("arrow_r", 17, 34, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) { Arrow(c, x0, y0, x1, y1, col, false); });
  toggle("extrude", 36, 40, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    c.Box(x0 + 2, (y0 + y1) / 2 - 2, x1 - 2, (y0 + y1) / 2 + 2, 2, col);
    Arrow(c, (x0 + x1) / 2 - 4, y0, (x0 + x1) / 2 + 4, (y0 + y1) / 2 - 3, col, false);
  });
  toggle("multiinput", 22, 38, [](Canvas& c, double x0, double y0, double x1, double y1, const Rgba& col) {
    for (int k = 0; k < 3; ++k) c.Line(x0 + 1, y0 + 2 + k * (y1 - y0 - 4) / 2, x1 - 1, y0 + 2 + k * (y1 - y0 - 4) / 2, 1.5, col);
  });
}

void AddMeters(Pictures& out)
{
  {  // normalise meter: a filling bar
    Strip s(50, 4545, Frames("normalize"));
    for (int i = 0; i < s.frames; ++i)
    {
      const double top = s.Top(i), v = i / 100.0;
      s.canvas.Box(2, top + 14, 48, top + 31, 3, kTrack);
      s.canvas.Box(2, top + 14, 2 + 46 * v, top + 31, 3, Rgba{0.25 + 0.6 * v, 0.78 - 0.3 * v, 0.86 - 0.5 * v, 1});
    }
    out.emplace_back("normalize", std::move(s));
  }
  {  // density: grain columns across the strip
    Strip s(502, 3400, Frames("density"));
    for (int i = 0; i < s.frames; ++i)
    {
      const double top = s.Top(i), n = 1 + i * 0.6;
      for (int k = 0; k < static_cast<int>(n); ++k)
      {
        const double x = 2 + (k + 0.5) * 498 / n;
        s.canvas.Line(x, top + 3, x, top + 14, 1.2, kAccent);
      }
    }
    out.emplace_back("density", std::move(s));
  }
  {  // reel: a turning spool
    Strip s(70, 7000, Frames("reel"));
    for (int i = 0; i < s.frames; ++i)
    {
      const double cx = 35, cy = s.Top(i) + 35, a = i * 2 * std::numbers::pi / s.frames;
      s.canvas.Disc(cx, cy, 32, kTrack);
      s.canvas.Disc(cx, cy, 29, Rgba{0.15, 0.16, 0.19, 1});
      for (int k = 0; k < 3; ++k)
      {
        const double b = a + k * 2 * std::numbers::pi / 3;
        s.canvas.Disc(cx + std::sin(b) * 17, cy - std::cos(b) * 17, 7, kTrack);
      }
      s.canvas.Disc(cx, cy, 5, kAccent);
    }
    out.emplace_back("reel", std::move(s));
  }
}

void AddPlates(Pictures& out)
{
  {  // logo base: the name on a plate, drawn whole whatever the table declares
    Strip s(160, 110, 1);
    s.canvas.Box(4, 8, 156, 102, 10, Rgba{0.15, 0.16, 0.19, 1});
    // "V" made of two strokes, then grain dots fanning out.
    s.canvas.Line(40, 30, 62, 80, 7, kAccent);
    s.canvas.Line(62, 80, 84, 30, 7, kAccent);
    for (int k = 0; k < 6; ++k) s.canvas.Disc(96 + k * 9, 55 + std::sin(k) * 12, 3.5 - k * 0.4, kWarm);
    out.emplace_back("logo_base", std::move(s));
  }
  {  // background: panel, sections and the waveform well
    Strip s(815, 550, 1);
    Canvas& c = s.canvas;
    c.Box(0, 0, 815, 550, 0, kPanel);
    for (int y = 0; y < 550; y += 2) c.Line(0, y, 815, y, 0.6, Rgba{1, 1, 1, 0.012});
    for (const PanelRect& r : kPanels)
      c.Box(r.l, r.t, r.r, r.b, 8, r.well ? Rgba{0.07, 0.075, 0.09, 1} : Rgba{0.14, 0.15, 0.175, 1});
    const PanelRect& h = kHeaderPanel;
    c.Box(h.l, h.t, h.r, h.b, 0, Rgba{0.08, 0.085, 0.10, 1});
    c.Line(h.l, h.b, h.r, h.b, 1, kAccent);
    out.emplace_back("bg", std::move(s));
  }
}

Pictures AllPictures()
{
  Pictures out;
  AddKnobs(out);
  AddSwitches(out);
  AddMeters(out);
  AddPlates(out);
  return out;
}

// The looping logo: grains drifting across the plate, 24 frames.
bool WriteGif(const std::string& path)
{
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return false;
  GifColorType colours[16];
  const Rgba palette[16] = {kPanel, {0.15, 0.16, 0.19, 1}, kTrack, kAccent, kWarm, kText, {0.5, 0.4, 0.2, 1},
                            {0.2, 0.5, 0.55, 1}};
  for (int i = 0; i < 16; ++i)
  {
    colours[i].Red = static_cast<GifByteType>(palette[i].r * 255);
    colours[i].Green = static_cast<GifByteType>(palette[i].g * 255);
    colours[i].Blue = static_cast<GifByteType>(palette[i].b * 255);
  }
  ColorMapObject* map = GifMakeMapObject(16, colours);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, 160, 110, 4, 0, map);
  const unsigned char loop[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  const unsigned char loopData[] = {1, 0, 0};
  EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
  EGifPutExtensionBlock(gif, sizeof loop, loop);
  EGifPutExtensionBlock(gif, sizeof loopData, loopData);
  EGifPutExtensionTrailer(gif);
  std::vector<GifPixelType> pixels(160 * 110);
  for (int f = 0; f < 24; ++f)
  {
    GraphicsControlBlock gcb{};
    gcb.DelayTime = 8;
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&gcb, ext)), ext);
    for (int y = 0; y < 110; ++y)
      for (int x = 0; x < 160; ++x)
      {
        const bool plate = x >= 6 && x < 154 && y >= 10 && y < 100;
        GifPixelType p = plate ? 1 : 0;
        const bool v = plate && (std::fabs((x - 40) - (y - 30) * 0.44) < 3.5 || std::fabs((84 - x) - (y - 30) * 0.44) < 3.5) && y < 82 && y > 28;
        if (v) p = 3;
        for (int k = 0; k < 6; ++k)
        {
          const double gx = 96 + std::fmod(k * 9 + f * 2.0, 54), gy = 55 + std::sin(k + f * 0.26) * 12;
          if (plate && (x - gx) * (x - gx) + (y - gy) * (y - gy) < 10) p = k % 2 ? 4 : 6;
        }
        pixels[static_cast<size_t>(y) * 160 + x] = p;
      }
    EGifPutImageDesc(gif, 0, 0, 160, 110, false, nullptr);
    for (int y = 0; y < 110; ++y) EGifPutLine(gif, &pixels[static_cast<size_t>(y) * 160], 160);
  }
  GifFreeMapObject(map);
  return EGifCloseFile(gif, &error) == GIF_OK;
}

}  // namespace

int main(int argc, char** argv)
{
  const char usage[] = "usage: make-pictures OUT_DIR\ndraws the editor's pictures of the picture table into OUT_DIR\n";
  AnswerCommandLine(argc, argv, usage);
  if (argc != 2)
  {
    std::fputs(usage, stderr);
    return 2;
  }
  const std::string dir = argv[1];
  const auto pictures = AllPictures();
  for (const TableEntry& e : kTable)
  {
    auto drawn = std::find_if(pictures.begin(), pictures.end(), [&](const auto& p) { return p.first == e.file; });
    if (drawn == pictures.end())
    {
      std::fprintf(stderr, "make-pictures: nothing draws %s of the picture table\n", e.file);
      return 1;
    }
    if (!WritePng(dir + "/" + e.file + ".png", drawn->second.canvas))
    {
      std::fprintf(stderr, "make-pictures: cannot write %s/%s.png\n", dir.c_str(), e.file);
      return 1;
    }
  }
  if (!WriteGif(dir + "/logo.gif"))
  {
    std::fprintf(stderr, "make-pictures: cannot write %s/logo.gif\n", dir.c_str());
    return 1;
  }
  return 0;
}
