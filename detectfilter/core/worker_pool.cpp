#include "detectfilter/core/worker_pool.h"

namespace orvanta::detect {

int DefaultWorkerThreads() {
  unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? static_cast<int>(cores) - 1 : 1;
}

WorkerPool::WorkerPool(int threads) {
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { WorkerLoop(); });
}

WorkerPool::~WorkerPool() {
  Wait();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_cv_.notify_all();
  for (auto& t : threads_) t.join();
}

bool WorkerPool::TaskReady() const {
  return active_ && next_ < phases_[phase_].count;
}

void WorkerPool::Start(int first_count, Task first, int second_count, Task second) {
  Wait();
  std::lock_guard<std::mutex> lock(mutex_);
  phases_[0] = Phase{first_count > 0 ? first_count : 0, std::move(first)};
  phases_[1] = Phase{second_count > 0 ? second_count : 0, std::move(second)};
  phase_count_ = phases_[1].count > 0 ? 2 : 1;
  phase_ = 0;
  next_ = 0;
  finished_ = 0;
  active_ = true;
  if (phases_[0].count == 0) {
    // An empty first phase opens the second at once.
    if (phase_count_ == 2) {
      phase_ = 1;
    } else {
      active_ = false;
    }
  }
  work_cv_.notify_all();
}

// Runs one claimed task with the lock released; closes the phase when it was the last one.
void WorkerPool::RunOneLocked(std::unique_lock<std::mutex>& lock) {
  int phase = phase_;
  int band = next_++;
  Task& task = phases_[phase].task;
  lock.unlock();
  task(band);
  lock.lock();
  if (++finished_ == phases_[phase].count) {
    finished_ = 0;
    next_ = 0;
    if (++phase_ >= phase_count_) {
      active_ = false;
      done_cv_.notify_all();
    } else {
      // The joining thread helps with the next phase too.
      work_cv_.notify_all();
      done_cv_.notify_all();
    }
  }
}

void WorkerPool::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (active_) {
    if (TaskReady()) {
      RunOneLocked(lock);
    } else {
      done_cv_.wait(lock);
    }
  }
}

void WorkerPool::WorkerLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_cv_.wait(lock, [this] { return stopping_ || TaskReady(); });
    if (stopping_) return;
    RunOneLocked(lock);
  }
}

}  // namespace orvanta::detect
