// The instrument's editor in a host's X11 window, as the VST 2.4 library
// and the LV2 editor binary open it. Runs under Xvfb; skipped without a display.
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "tests/Rig.h"
#include "tools/Lv2Host.h"
#include "tests/X11Rig.h"  // X11 after the rest: its macros clash with their names

TEST(X11Window, InstrumentEditorOpensInAHostWindowAndAClickChangesAParameter)
{
  OpenEditor e;
  if (!e.parent.window) GTEST_SKIP() << "no X display with XTest";
  ASSERT_TRUE(e.Start());
  int width = 0, height = 0;
  ASSERT_TRUE(e.host.EditorSize(&width, &height));
  EXPECT_EQ(width, 815);
  EXPECT_EQ(height, 550);

  for (int round = 0; round < 2; ++round)
  {
    ASSERT_EQ(e.Show(), 1u) << "one editor window inside the host's, round " << round;
    ASSERT_EQ(e.openAnswer, 1) << round;
    ASSERT_EQ(e.shown.width, 815);
    std::vector<float> before(static_cast<size_t>(e.host.NumParams()));
    for (int p = 0; p < e.host.NumParams(); ++p) before[static_cast<size_t>(p)] = e.host.GetParameter(p);
    ClickAt(e.parent.display, e.x + 705, e.y + 36);  // the input-fill switch
    int changed = -1;
    e.IdleUntil([&] {
      for (int p = 0; p < e.host.NumParams(); ++p)
        if (e.host.GetParameter(p) != before[static_cast<size_t>(p)]) changed = p;
      return changed >= 0;
    });
    ASSERT_GE(changed, 0) << "round " << round;
    EXPECT_EQ(e.host.ParamName(changed), "input fills gaps");
    EXPECT_EQ(e.Close(), 0u) << "closing removes the editor window";
  }
}

// The editor draws from copies it takes under the plug-in lock, so an audio
// thread recording and playing (with a learned controller moving "mix") and
// a host automating from a third thread never race with it: run under
// ThreadSanitizer by the test command.
TEST(X11Window, EditorDrawsBesideAudioAndAutomationThreads)
{
  ParentWindow parent;
  if (!parent.window) GTEST_SKIP() << "no X display with XTest";
  PluginHost host;
  ASSERT_TRUE(Started(host));
  // Controller 20 learned for "mix": the state's MIDI map list for 20 holds 93.
  std::vector<uint8_t> chunk = host.GetChunk(false);
  const size_t list20 = 8 + 1428 + 4 * 20;
  const int32_t entry[2] = {1, 93};
  chunk.erase(chunk.begin() + static_cast<long>(list20), chunk.begin() + static_cast<long>(list20) + 4);
  chunk.insert(chunk.begin() + static_cast<long>(list20), reinterpret_cast<const uint8_t*>(entry),
               reinterpret_cast<const uint8_t*>(entry) + sizeof entry);
  ASSERT_TRUE(host.SetChunk(chunk, false));
  ASSERT_EQ(host.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(parent.window)), 1);

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    std::vector<std::vector<float>> in(64, std::vector<float>(256)), out(2, std::vector<float>(256));
    std::vector<float*> ip, op;
    for (auto& c : in)
    {
      for (size_t s = 0; s < c.size(); ++s) c[s] = 0.5f * std::sin(0.05f * static_cast<float>(s));
      ip.push_back(c.data());
    }
    for (auto& c : out) op.push_back(c.data());
    for (int block = 0; !stop; ++block)
    {
      host.SendMidi({MidiEvent(block % 8 == 7 ? 0x80 : 0x90, 48 + block % 8, 100), MidiEvent(0xB0, 20, block % 128)});
      host.Process(ip.data(), op.data(), 256);
    }
  });
  std::thread automation([&] {
    for (int i = 0; !stop; ++i)
    {
      host.SetParameter(i % 2 ? 32 : 26, (i % 32) / 31.0f);  // picked buffer, selection start
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  for (int i = 0; i < 60; ++i)
  {
    host.Dispatch(vst2::effEditIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(8));
  }
  stop = true;
  audio.join();
  automation.join();
  host.Dispatch(vst2::effEditClose);
}

// Typing into an entry replaces the text it opened with; keys the editor
// does not use reach the host's window, pressed and released.
TEST(X11Window, TypingReplacesTheEntryTextAndOtherKeysReachTheHost)
{
  OpenEditor e;
  if (!e.parent.window) GTEST_SKIP() << "no X display with XTest";
  ASSERT_TRUE(e.Open());
  const int voices = e.host.FindParam("active voices");
  ClickAt(e.parent.display, e.x + 594, e.y + 489);
  e.IdleFor(300);  // the entry opens
  e.Key(XK_2);
  e.Key(XK_Return);
  EXPECT_TRUE(e.IdleUntil([&] { return e.host.ParamDisplay(voices) == "2"; })) << e.host.ParamDisplay(voices);

  XTestFakeMotionEvent(e.parent.display, DefaultScreen(e.parent.display), e.x + 400, e.y + 520, 0);
  e.Key(XK_Escape);
  bool pressed = false, released = false;
  EXPECT_TRUE(e.IdleUntil([&] {
    while (XPending(e.parent.display))
    {
      XEvent event;
      XNextEvent(e.parent.display, &event);
      const bool escape = XLookupKeysym(&event.xkey, 0) == XK_Escape;
      pressed |= event.type == KeyPress && escape;
      released |= event.type == KeyRelease && escape;
    }
    return pressed && released;
  })) << "press " << pressed << ", release " << released;
}

namespace {
// The LV2 editor binary as a host loads it: in the host's window, with the
// instance and its extensions given, idled by the host, writing ports back.
struct Lv2Editor
{
  ParentWindow parent;
  Lv2Host dsp;
  void* library = nullptr;
  const LV2UI_Descriptor* descriptor = nullptr;
  LV2UI_Handle ui = nullptr;
  const LV2UI_Idle_Interface* idle = nullptr;
  Window widget = 0;
  std::vector<std::pair<uint32_t, float>> writes;
  int width = 0, height = 0;

  bool Open()
  {
    if (!parent.window || !dsp.Start()) return false;
    library = dlopen(VESK_LV2_BUNDLE "/vesk_ui.so", RTLD_NOW | RTLD_LOCAL);
    auto entry = library ? reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2ui_descriptor")) : nullptr;
    descriptor = entry ? entry(0) : nullptr;
    if (!descriptor) return false;
    LV2_Extension_Data_Feature access{dsp.descriptor->extension_data};
    LV2UI_Resize resize{this, [](LV2UI_Feature_Handle h, int w, int hh) {
                          static_cast<Lv2Editor*>(h)->width = w, static_cast<Lv2Editor*>(h)->height = hh;
                          return 0;
                        }};
    const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent.window)};
    const LV2_Feature instanceFeature{LV2_INSTANCE_ACCESS_URI, dsp.instance};
    const LV2_Feature accessFeature{LV2_DATA_ACCESS_URI, &access};
    const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    const LV2_Feature* features[] = {&dsp.mapFeature, &parentFeature, &instanceFeature, &accessFeature, &resizeFeature, nullptr};
    LV2UI_Widget w = nullptr;
    ui = descriptor->instantiate(descriptor, vesk_lv2::kPluginUri, VESK_LV2_BUNDLE "/", &Write, this, &w, features);
    widget = reinterpret_cast<Window>(w);
    idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    return ui && idle && widget;
  }

  ~Lv2Editor()
  {
    if (ui) descriptor->cleanup(ui);
  }

  static void Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
  {
    if (size == sizeof(float) && protocol == 0)
      static_cast<Lv2Editor*>(controller)->writes.emplace_back(port, *static_cast<const float*>(buffer));
  }

  template <typename Done>
  bool IdleUntil(Done&& done)
  {
    return PollUntil([&] { idle->idle(ui); }, done);
  }
};
}  // namespace

// A click in the LV2 editor changes a parameter of the instance; the host
// hears it through its write function and, writing the port, leaves it so.
TEST(X11Window, Lv2EditorOpensInTheHostWindowAndAClickReachesTheInstance)
{
  Lv2Editor e;
  if (!e.parent.window) GTEST_SKIP() << "no X display with XTest";
  ASSERT_TRUE(e.Open());
  EXPECT_EQ(e.width, 815);
  EXPECT_EQ(e.height, 550);
  XWindowAttributes shown{};
  ASSERT_TRUE(e.IdleUntil([&] { return XGetWindowAttributes(e.parent.display, e.widget, &shown) && shown.map_state == IsViewable; }));
  int x = 0, y = 0;
  OriginOf(e.parent.display, e.widget, &x, &y);
  e.dsp.Run(64);
  const std::vector<uint8_t> before = e.dsp.Save().bytes;
  ClickAt(e.parent.display, x + 705, y + 36);  // the input-fill switch
  ASSERT_TRUE(e.IdleUntil([&] { return !e.writes.empty(); }));
  EXPECT_EQ(e.writes.front().first, static_cast<uint32_t>(kGapFill));
  EXPECT_EQ(e.writes.front().second, 1.0f);
  e.dsp.controls[kGapFill] = e.writes.front().second;
  e.dsp.Run(64);
  e.dsp.Run(64);
  EXPECT_NE(e.dsp.Save().bytes, before) << "the instance took the change";
  e.dsp.controls[kGapFill] = 0.0f;  // the host moves it back
  e.dsp.Run(64);
  EXPECT_EQ(e.dsp.Save().bytes, before);
}

// A controller the instrument learned moves its parameter; with the editor
// open the host hears the new value through its write function (and the
// notify port says nothing a host would not know).
TEST(X11Window, Lv2LearnedControllerReachesTheHostThroughTheEditor)
{
  Lv2Editor e;
  if (!e.parent.window) GTEST_SKIP() << "no X display with XTest";
  ASSERT_TRUE(e.Open());
  Lv2Host::Saved learned = e.dsp.Save();
  {
    ByteChunk chunk;
    ASSERT_TRUE(LearnedState(kFltFreq, 20, &chunk));
    learned.bytes.assign(chunk.GetBytes(), chunk.GetBytes() + chunk.Size());
  }
  ASSERT_EQ(e.dsp.Restore(learned), LV2_STATE_SUCCESS);
  e.dsp.Run(64);
  ASSERT_TRUE(e.IdleUntil([&] { return !e.writes.empty(); })) << "the restored values";
  e.writes.clear();
  e.dsp.Forge({{10, {0xB0, 20, 100}}});
  e.dsp.Run(64);
  EXPECT_EQ(e.dsp.NotifyEvents(), 0);
  ASSERT_TRUE(e.IdleUntil([&] { return !e.writes.empty(); }));
  EXPECT_EQ(e.writes.front().first, static_cast<uint32_t>(kFltFreq));
  EXPECT_GT(e.writes.front().second, VeskParam(kFltFreq).min);
}
