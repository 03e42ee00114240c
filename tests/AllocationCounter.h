#pragma once
#include <thread>

#include <sys/resource.h>

// Counts heap allocations made by the current thread while a scope is open.
class AllocationScope
{
public:
  AllocationScope();
  ~AllocationScope();
  long Count() const;

private:
  long mStart;
};

// What a thread that never called the plug-in before costs while it plays:
// its heap allocations (the C runtime's own included) and the pages it
// touches for the first time.
struct FreshThreadCost
{
  long allocations = -1;
  long pageFaults = -1;
};

inline long ThreadPageFaults()
{
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt + usage.ru_majflt;
}

template <typename F>
FreshThreadCost OnAFreshThread(F&& play)
{
  FreshThreadCost cost;
  std::thread audio([&] {
    // The thread's own stack is the host's: touched before counting.
    volatile char stack[256 * 1024];
    for (size_t i = 0; i < sizeof stack; i += 4096) stack[i] = 0;
    const long faults = ThreadPageFaults();
    AllocationScope scope;
    play();
    cost.allocations = scope.Count();
    cost.pageFaults = ThreadPageFaults() - faults;
  });
  audio.join();
  return cost;
}

