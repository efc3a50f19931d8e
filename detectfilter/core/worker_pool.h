// A persistent pool for the per-frame band jobs: the streaming thread forks a job of bands,
// goes on with its own work if it likes, and joins before it depends on the result. A job has
// up to two phases; no task of the second phase starts before every task of the first has
// finished (the barrier the star masking needs between marking and carrying).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orvanta::detect {

class WorkerPool {
 public:
  using Task = std::function<void(int band)>;

  // `threads` helper threads; 0 runs every task on the joining thread (one-thread reference).
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Forks a job: `first` runs for bands 0..first_count-1, then `second` for
  // 0..second_count-1. One job at a time: Start joins any job still running.
  void Start(int first_count, Task first, int second_count = 0, Task second = nullptr);
  // Joins the running job; the calling thread helps with the tasks left.
  void Wait();
  void Run(int count, Task task) {
    Start(count, std::move(task));
    Wait();
  }
  int threads() const { return static_cast<int>(threads_.size()); }

 private:
  struct Phase {
    int count = 0;
    Task task;
  };
  bool TaskReady() const;
  void RunOneLocked(std::unique_lock<std::mutex>& lock);
  void WorkerLoop();

  std::mutex mutex_;
  std::condition_variable work_cv_;
  std::condition_variable done_cv_;
  Phase phases_[2];
  int phase_count_ = 0;
  int phase_ = 0;
  int next_ = 0;
  int finished_ = 0;
  bool active_ = false;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Helper threads for this machine: one less than the cores, since the streaming thread helps.
int DefaultWorkerThreads();

}  // namespace orvanta::detect
