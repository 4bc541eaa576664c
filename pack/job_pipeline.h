// Jobs run on worker threads and handed back in the order they were given, so that the
// output can be written in order while later jobs are still running.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "pack/threads.h"

namespace lzhpack {

template <typename Job>
class JobPipeline {
 public:
  // With threads <= 1 (or when no thread can be started) every job runs inside submit, on
  // the caller's thread.
  JobPipeline(unsigned threads, std::function<void(Job&)> work) : work_(std::move(work)) {
    if (threads <= 1) return;
    for (unsigned i = 0; i < threads; ++i) {
      workers_.push_back(std::make_unique<Thread>());
      if (!workers_.back()->start(&JobPipeline::runWorker, this)) {
        stopWorkers();
        break;
      }
    }
  }
  ~JobPipeline() { stopWorkers(); }
  JobPipeline(const JobPipeline&) = delete;
  JobPipeline& operator=(const JobPipeline&) = delete;

  // Queues a job; done says it needs no work.
  void submit(std::unique_ptr<Job> job, bool done = false) {
    if (workers_.empty() && !done) work_(*job);
    MonitorLock lock(monitor_);
    jobs_.push_back({std::move(job), done || workers_.empty()});
    monitor_.notifyAll();
  }

  size_t queued() {
    MonitorLock lock(monitor_);
    return jobs_.size();
  }

  bool oldestIsDone() {
    MonitorLock lock(monitor_);
    return !jobs_.empty() && jobs_.front().done;
  }

  // The oldest job once it is done; call only when queued() > 0.
  std::unique_ptr<Job> takeOldest() {
    MonitorLock lock(monitor_);
    while (!jobs_.front().done) monitor_.wait();
    std::unique_ptr<Job> job = std::move(jobs_.front().job);
    jobs_.pop_front();
    if (nextToStart_ > 0) --nextToStart_;
    return job;
  }

 private:
  struct Entry {
    std::unique_ptr<Job> job;
    bool done;
  };

  static void runWorker(void* raw) { static_cast<JobPipeline*>(raw)->workLoop(); }

  void workLoop() {
    MonitorLock lock(monitor_);
    while (true) {
      while (!stopping_ && nextToStart_ == jobs_.size()) monitor_.wait();
      if (stopping_) return;
      // Adding and removing at the ends of a deque leaves references to the other entries
      // valid, and takeOldest removes this one only once it is done.
      Entry& entry = jobs_[nextToStart_++];
      if (entry.done) continue;
      monitor_.unlock();
      work_(*entry.job);
      monitor_.lock();
      entry.done = true;
      monitor_.notifyAll();
    }
  }

  // Workers finish the job in hand and end; jobs not started stay undone.
  void stopWorkers() {
    {
      MonitorLock lock(monitor_);
      stopping_ = true;
      monitor_.notifyAll();
    }
    for (auto& worker : workers_) worker->join();
    workers_.clear();
  }

  std::function<void(Job&)> work_;
  Monitor monitor_;
  std::deque<Entry> jobs_;
  size_t nextToStart_ = 0;  // jobs_[0, nextToStart_) are taken by a worker or done
  bool stopping_ = false;
  std::vector<std::unique_ptr<Thread>> workers_;
};

}  // namespace lzhpack
