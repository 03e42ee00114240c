// The editor's pictures inside the library: every id with its size, found
// and decoded the way the editor loads them, and the looping logo.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "editor/framework/IGraphicsOffscreen.h"
#include "platform/Resources.h"

TEST(Pictures, EveryPictureHasItsIdAndSize)
{
  struct Expect
  {
    const char* name;
    int id, w, h;
  };
  const Expect pictures[] = {
    {"bg", 101, 815, 550},           {"knob", 105, 36, 4356},        {"knob_symm", 134, 36, 4356},
    {"playrate", 115, 70, 16870},    {"on_off", 109, 12, 24},        {"on_off_dark", 140, 12, 24},
    {"MIDIpanic", 112, 27, 47},      {"prop_lambda", 122, 26, 32},   {"prop_repeat", 123, 26, 32},
    {"prop_playrate", 128, 26, 32},  {"playhead", 124, 36, 56},      {"sum_n", 118, 24, 34},
    {"normalize", 119, 50, 4545},    {"density", 120, 502, 3400},    {"fill", 125, 35, 40},
    {"reel", 129, 70, 7000},         {"wrap_mirror", 132, 36, 40},   {"preserve_pos", 133, 29, 56},
    {"arrow_l", 135, 17, 34},        {"arrow_r", 136, 17, 34},       {"wobble_amount", 137, 36, 4356},
    {"wobble_speed", 138, 36, 4356}, {"extrude", 139, 36, 40},       {"multiinput", 141, 22, 38},
    {"logo_base", 142, 160, 110},
  };
  IGraphicsOffscreen gui(nullptr, 815, 550);
  for (const Expect& p : pictures)
  {
    const std::string file = std::string("resources/img/") + p.name + ".png";
    const IBitmap bitmap = gui.LoadIBitmap(p.id, file.c_str());
    ASSERT_NE(bitmap.mData, nullptr) << p.name;
    EXPECT_EQ(bitmap.W, p.w) << p.name;
    EXPECT_EQ(bitmap.H, p.h) << p.name;
  }
  EXPECT_EQ(gui.LoadIBitmap(999, "resources/img/none.png").mData, nullptr);
  EXPECT_EQ(gui.LoadIBitmap(106, "resources/img/knob.bmp").mData, nullptr) << "only .png names load";
}

TEST(Pictures, KnobFramesShowTheirValue)
{
  IGraphicsOffscreen gui(nullptr, 100, 100);
  const IBitmap knob = gui.LoadIBitmap(105, "resources/img/knob.PNG", 121);
  ASSERT_NE(knob.mData, nullptr);
  auto lit = [&](int frame) {
    int n = 0;
    for (int y = 0; y < 36; ++y)
      for (int x = 0; x < 36; ++x)
      {
        const LICE_pixel p = *knob.mData->pixel(x, frame * 36 + y);
        n += LICE_GETB(p) > 150 && LICE_GETR(p) < 120;  // the accent colour of the value arc
      }
    return n;
  };
  EXPECT_LT(lit(0), lit(60));
  EXPECT_LT(lit(60), lit(120)) << "the arc grows with the frame";
  EXPECT_EQ(LICE_GETA(*knob.mData->pixel(0, 0)), 0) << "corners stay transparent";
}

TEST(Pictures, LogoIsALoopingAnimation)
{
  const void* data = nullptr;
  int size = 0;
  ASSERT_TRUE(FindEmbeddedResource("GIF", 143, &data, &size));
  ASSERT_GT(size, 6);
  EXPECT_EQ(std::memcmp(data, "GIF89a", 6), 0);
  LICE_GIFReader reader(data, size);
  ASSERT_TRUE(reader.ok());
  LICE_MemBitmap frame;
  int frames = 0;
  while (reader.GetNextFrame(&frame) == 1) ++frames;
  EXPECT_EQ(frame.getWidth(), 160);
  EXPECT_EQ(frame.getHeight(), 110);
  EXPECT_GE(frames, 8);
  EXPECT_TRUE(reader.Rewind());
  EXPECT_EQ(reader.GetNextFrame(&frame), 1);
  EXPECT_FALSE(FindEmbeddedResource("PNG", 143, &data, &size));
}

namespace {
std::unique_ptr<LICE_IBitmap> ReadShot(const std::string& name)
{
  std::ifstream in(std::string(VESK_SHOTS) + "/" + name, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return std::unique_ptr<LICE_IBitmap>(LICE_LoadPNGFromMemory(bytes.data(), static_cast<int>(bytes.size())));
}

// How many pixels two pictures of one size differ in.
int DifferingPixels(LICE_IBitmap& a, LICE_IBitmap& b)
{
  int n = 0;
  for (int y = 0; y < a.getHeight(); ++y)
    for (int x = 0; x < a.getWidth(); ++x) n += *a.pixel(x, y) != *b.pixel(x, y);
  return n;
}
}  // namespace

// The screenshots vesk-shot wrote: the editor's size, not one flat colour,
// and each gesture changed what it shows. Run after the EditorShots steps.
TEST(EditorShotsCheck, ShotsShowTheEditorAndWhatEachStepDid)
{
  auto idle = ReadShot("idle.png");
  ASSERT_NE(idle, nullptr);
  EXPECT_EQ(idle->getWidth(), 815);
  EXPECT_EQ(idle->getHeight(), 550);
  std::set<LICE_pixel> colours;
  for (int y = 0; y < 550; y += 5)
    for (int x = 0; x < 815; x += 5) colours.insert(*idle->pixel(x, y));
  EXPECT_GT(colours.size(), 50u) << "a blank picture";
  // Written as a screen shows it: no alpha channel (colour type 2 in the header).
  std::ifstream file(std::string(VESK_SHOTS) + "/idle.png", std::ios::binary);
  char header[26] = {};
  file.read(header, sizeof header);
  EXPECT_EQ(header[25], 2) << "an RGB picture";
  auto filling = ReadShot("filling.png");
  for (const char* name : {"filling.png", "grid-open.png", "learn-menu.png", "tooltip.png", "zoomed.png"})
  {
    auto shot = ReadShot(name);
    ASSERT_NE(shot, nullptr) << name;
    ASSERT_EQ(shot->getWidth(), 815) << name;
    ASSERT_EQ(shot->getHeight(), 550) << name;
    EXPECT_GT(DifferingPixels(*shot, *idle), 200) << name << " looks like the idle editor";
  }
  // Three notches of the wheel zoom the waveform in: it differs from the same notes unzoomed.
  auto zoomed = ReadShot("zoomed.png");
  ASSERT_NE(filling, nullptr);
  ASSERT_NE(zoomed, nullptr);
  EXPECT_GT(DifferingPixels(*zoomed, *filling), 200) << "the wheel did not zoom";
}
