// TWorkerPool: a few threads that run jobs handed to them, first come first
// served. Save all spreads its pictures over one, and the command-line tool
// its movies' pictures too.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TWorkerPool {
 public:
  // Count threads; 0 for one per core.
  explicit TWorkerPool(unsigned Count = 0);
  // Lets the jobs already handed over finish, then ends the threads.
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  unsigned Size() const { return unsigned(FThreads.size()); }
  void Run(std::function<void()> Job);

  static unsigned Cores();

 private:
  void Work();

  std::mutex FLock;
  std::condition_variable FWake;
  std::deque<std::function<void()>> FJobs;
  bool FStopping = false;
  std::vector<std::thread> FThreads;
};

// For the command-line tool's start, before its threads: movie after movie,
// every picture's buffers of a few hundred KB come and go, and the allocator
// would give the top of each heap back to the system after each one and take
// it again for the next, a page fault per page. Each heap keeps a MiB at its
// top instead, and blocks below 32 MiB come from the heaps, not from the
// system one by one. (The window holds one movie: there, the few MiB this
// keeps in a heap weigh more than the faults.)
void KeepHeapSlack();
