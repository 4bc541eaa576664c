// The few threading pieces the packer needs, on POSIX threads or Win32 (the MinGW runtime
// of the Windows build has no std::thread).
#pragma once

#include <memory>

namespace lzhpack {

// Processors this process may run on (at least 1).
unsigned processorCount();

// A mutex with one condition to wait for.
class Monitor {
 public:
  Monitor();
  ~Monitor();
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;

  void lock();
  void unlock();
  // Unlocks, waits for notifyAll (or a spurious wake-up), locks again.
  void wait();
  void notifyAll();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

class MonitorLock {
 public:
  explicit MonitorLock(Monitor& monitor) : monitor_(monitor) { monitor_.lock(); }
  ~MonitorLock() { monitor_.unlock(); }
  MonitorLock(const MonitorLock&) = delete;
  MonitorLock& operator=(const MonitorLock&) = delete;

 private:
  Monitor& monitor_;
};

// One thread running body(argument); join before destruction.
class Thread {
 public:
  Thread();
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  bool start(void (*body)(void*), void* argument);
  void join();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace lzhpack
