#include "extract/Workers.h"

#include <malloc.h>

unsigned TWorkerPool::Cores() {
  const unsigned Count = std::thread::hardware_concurrency();
  return Count > 0 ? Count : 1;
}

TWorkerPool::TWorkerPool(unsigned Count) {
  if (Count == 0) Count = Cores();
  FThreads.reserve(Count);
  for (unsigned i = 0; i < Count; ++i) FThreads.emplace_back([this] { Work(); });
}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard<std::mutex> Hold(FLock);
    FStopping = true;
  }
  FWake.notify_all();
  for (std::thread& Thread : FThreads) Thread.join();
}

void TWorkerPool::Run(std::function<void()> Job) {
  {
    std::lock_guard<std::mutex> Hold(FLock);
    FJobs.push_back(std::move(Job));
  }
  FWake.notify_one();
}

void TWorkerPool::Work() {
  for (;;) {
    std::function<void()> Job;
    {
      std::unique_lock<std::mutex> Hold(FLock);
      FWake.wait(Hold, [this] { return FStopping || !FJobs.empty(); });
      if (FJobs.empty()) return;  // stopping, and nothing left to do
      Job = std::move(FJobs.front());
      FJobs.pop_front();
    }
    Job();
  }
}

void KeepHeapSlack() {
  mallopt(M_TOP_PAD, 1 << 20);
  // Setting the pad stops the allocator from raising these two as large
  // blocks are freed; they are set where it would have taken them.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 8 << 20);
}
