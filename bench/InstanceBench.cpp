// What an instance costs before it plays, for the VST 2.4 library and the
// LV2 bundle: the CPU time of create + open + close (median of 20 rounds),
// and the resident memory an instance adds after open, after resume at the
// default patch, with 32 voices, with 32 voices and a 10 s buffer, and for
// 8 resumed instances, each read in a process of its own after one instance
// came and went (so the library's own pages are in). Then the time to build
// the editor of a first and of a second instance, and the longest process
// call while a longer buffer is mapped, after automation and after a value
// typed on the host's thread.
//   vesk-instance-bench BUILD-DIR
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/VeskVendor.h"
#include "plugin/Vesk.h"
#include "tools/Lv2Host.h"
#include "tools/PluginHost.h"
#include "tools/ToolUsage.h"

namespace {

double CpuSeconds()
{
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

double ResidentBytes()
{
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r"))
  {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * sysconf(_SC_PAGESIZE);
}

// f's answer, worked out in a process of its own.
double InChild(const std::function<double()>& f)
{
  int fds[2];
  if (pipe(fds) != 0) return -1.0;
  std::fflush(stdout);  // or the child would print it again
  const pid_t pid = fork();
  if (pid == 0)
  {
    close(fds[0]);
    const double value = f();
    std::fflush(stdout);
    if (write(fds[1], &value, sizeof value) != sizeof value) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  double value = -1.0;
  if (read(fds[0], &value, sizeof value) != sizeof value) value = -1.0;
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return value;
}

double Median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// One format's instances, as the bench drives them.
struct Format
{
  const char* name;
  std::function<void*()> create;          // created and opened, not resumed
  std::function<void(void*)> resume;      // at 48 kHz
  std::function<void(void*, const char*, const char*)> set;  // a parameter by name and text, then settled
  std::function<void(void*)> destroy;
};

intptr_t QuietHost(vst2::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
  return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

Format Vst(const std::string& path)
{
  auto entry = [path] {
    std::string error;
    static void* library = plugin_library::Open(path, &error);
    return reinterpret_cast<vst2::AEffect* (*)(vst2::HostCallback)>(plugin_library::Symbol(library, "VSTPluginMain"));
  };
  auto call = [](void* e, int32_t op, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f, int32_t index = 0) {
    auto* effect = static_cast<vst2::AEffect*>(e);
    return effect->dispatcher(effect, op, index, value, ptr, opt);
  };
  return {"VST 2.4",
          [entry, call]() -> void* {
            vst2::AEffect* e = entry()(&QuietHost);
            call(e, vst2::effOpen);
            return e;
          },
          [call](void* e) {
            call(e, vst2::effSetSampleRate, 0, nullptr, 48000.0f);
            call(e, vst2::effSetBlockSize, 512);
            call(e, vst2::effMainsChanged, 1);
          },
          [call](void* e, const char* name, const char* value) {
            auto* effect = static_cast<vst2::AEffect*>(e);
            for (int i = 0; i < effect->numParams; ++i)
            {
              char text[64] = {};
              call(e, vst2::effGetParamName, 0, text, 0.0f, i);
              std::string typed = value;
              if (name == std::string(text)) call(e, vst2::effString2Parameter, 0, typed.data(), 0.0f, i);
            }
          },
          [call](void* e) { call(e, vst2::effClose); }};
}

Format Lv2(const std::string& bundle)
{
  return {"LV2",
          [bundle]() -> void* {
            auto* host = new Lv2Host(bundle);
            if (!host->Start(48000.0, false)) return nullptr;
            return host;
          },
          [](void* h) { static_cast<Lv2Host*>(h)->descriptor->activate(static_cast<Lv2Host*>(h)->instance); },
          [](void* h, const char* name, const char* value) {
            auto* host = static_cast<Lv2Host*>(h);
            for (size_t i = 0; i < VeskParamTable().size(); ++i)
              if (VeskParam(static_cast<int>(i)).name == std::string(name)) host->controls[i] = std::stof(value);
            // The port reaches the instance in run(); the memory helper maps
            // what it reaches meanwhile.
            host->Run(64);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            host->Run(64);
          },
          [](void* h) { delete static_cast<Lv2Host*>(h); }};
}

// Create, open and close: the median CPU time of 20 rounds.
double CreateOpenClose(const Format& f)
{
  return InChild([&f] {
    std::vector<double> times;
    for (int round = 0; round < 21; ++round)
    {
      const double t0 = CpuSeconds();
      void* instance = f.create();
      f.destroy(instance);
      if (round > 0) times.push_back(CpuSeconds() - t0);  // the first pages the library in
    }
    return Median(times);
  });
}

// Resident bytes `instances` instances add once `prepare` has run on each.
double Resident(const Format& f, int instances, const std::function<void(void*)>& prepare)
{
  return InChild([&] {
    f.destroy(f.create());
    const double before = ResidentBytes();
    std::vector<void*> made;
    for (int i = 0; i < instances; ++i)
    {
      made.push_back(f.create());
      if (prepare) prepare(made.back());
    }
    const double after = ResidentBytes();
    for (void* instance : made) f.destroy(instance);
    return after - before;
  });
}

void Costs(const Format& f)
{
  auto mb = [](double bytes) { return bytes / (1024.0 * 1024.0); };
  auto voices = [&f](void* i) {
    f.resume(i);
    f.set(i, "active voices", "32");
  };
  auto tenSeconds = [&f, voices](void* i) {
    voices(i);
    f.set(i, "buffer size (sec)", "10");
  };
  std::printf("%-8s create+open+close %7.3f ms CPU\n", f.name, CreateOpenClose(f) * 1e3);
  std::printf("%-8s resident after open %7.2f MB, resumed %6.2f MB, 32 voices %6.2f MB, 32 voices 10 s %7.2f MB, "
              "8 resumed %6.2f MB\n",
              f.name, mb(Resident(f, 1, nullptr)), mb(Resident(f, 1, f.resume)), mb(Resident(f, 1, voices)),
              mb(Resident(f, 1, tenSeconds)), mb(Resident(f, 8, f.resume)));
}

// Building the editor of a first and of a second instance in one process
// (off screen): the first decodes the pictures, the second finds them.
void EditorTimes()
{
  InChild([] {
    std::unique_ptr<Vesk> first(new Vesk()), second(new Vesk());
    for (Vesk* plug : {first.get(), second.get()})
    {
      const auto t0 = std::chrono::steady_clock::now();
      const double c0 = CpuSeconds();
      plug->Editor()->Prepare();
      plug->Layout();
      std::printf("editor   %s instance's editor built in %6.1f ms (%6.1f ms CPU)\n", plug == first.get() ? "a first" : "a second",
                  std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(),
                  (CpuSeconds() - c0) * 1e3);
    }
    return 0.0;
  });
}

// 32 voices record; "buffer size (sec)" goes from 2 to 10 s by automation on
// the audio thread or typed on another thread; the longest process call
// until the longer buffer is in use, and how long the mapping took.
void LongestCallAroundALongerBuffer(const std::string& library, bool automated)
{
  PluginHost host;
  std::string error;
  if (!host.Load(library, &error)) return (void)std::printf("%s\n", error.c_str());
  host.Start(48000, 256);
  for (const char* setting : {"active voices=32", "perfomance mode=simple mode"})
  {
    const std::string s = setting;
    std::string value = s.substr(s.find('=') + 1);
    host.Dispatch(vst2::effString2Parameter, host.FindParam(s.substr(0, s.find('='))), 0, value.data());
  }
  std::vector<std::vector<float>> in(64, std::vector<float>(256, 0.2f)), out(2, std::vector<float>(256));
  std::vector<float*> ip, op;
  for (auto& c : in) ip.push_back(c.data());
  for (auto& c : out) op.push_back(c.data());
  std::vector<vst2::VstMidiEvent> notes;
  for (int n = 0; n < 32; ++n) notes.push_back(MidiEvent(0x90, 40 + n, 100, n));
  host.SendMidi(notes);
  for (int b = 0; b < 20; ++b) host.Process(ip.data(), op.data(), 256);
  const int param = host.FindParam("buffer size (sec)");
  std::atomic<bool> typed{false};
  std::thread control;
  if (!automated)
    control = std::thread([&] {
      std::string ten = "10";
      host.Dispatch(vst2::effString2Parameter, param, 0, ten.data());
      typed = true;
    });
  double longest = 0.0;
  const auto start = std::chrono::steady_clock::now();
  for (int b = 0, after = 0; b < 100000 && after < 20; ++b)
  {
    const auto t0 = std::chrono::steady_clock::now();
    if (automated && b == 0) host.SetParameter(param, 1.0f);  // the host's automation, in its audio call
    host.Process(ip.data(), op.data(), 256);
    longest = std::max(longest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    const bool mapped = (automated || typed) && !host.Dispatch(vst2::effVendorSpecific, vesk_vendor::kMemoryPending);
    after += mapped;
    if (!mapped) std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  if (control.joinable()) control.join();
  std::printf("change   2 s to 10 s %-13s mapped within %6.1f ms; longest process call %6.2f ms\n",
              automated ? "by automation" : "typed", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
              longest);
}

}  // namespace

int main(int argc, char** argv)
{
  const char usage[] = "usage: vesk-instance-bench BUILD-DIR\n"
                       "what an instance of the VST 2.4 library and the LV2 bundle in BUILD-DIR costs before it plays\n";
  AnswerCommandLine(argc, argv, usage);
  if (argc != 2)
  {
    std::fputs(usage, stderr);
    return 2;
  }
  const std::string build = argv[1];
  Costs(Vst(build + "/vesk.so"));
  Costs(Lv2(build + "/vesk.lv2/"));
  EditorTimes();
  LongestCallAroundALongerBuffer(build + "/vesk.so", true);
  LongestCallAroundALongerBuffer(build + "/vesk.so", false);
  return 0;
}
