#include <windows.h>
#include <process.h>

#include "pack/threads.h"

namespace lzhpack {

unsigned processorCount() {
  const DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}

struct Monitor::State {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

Monitor::Monitor() : state_(std::make_unique<State>()) {}
Monitor::~Monitor() = default;
void Monitor::lock() { AcquireSRWLockExclusive(&state_->lock); }
void Monitor::unlock() { ReleaseSRWLockExclusive(&state_->lock); }
void Monitor::wait() { SleepConditionVariableSRW(&state_->condition, &state_->lock, INFINITE, 0); }
void Monitor::notifyAll() { WakeAllConditionVariable(&state_->condition); }

struct Thread::State {
  HANDLE handle = nullptr;
  void (*body)(void*);
  void* argument;
};

namespace {
unsigned __stdcall runBody(void* raw) {
  auto* state = static_cast<Thread::State*>(raw);
  state->body(state->argument);
  return 0;
}
}  // namespace

Thread::Thread() = default;
Thread::~Thread() { join(); }

bool Thread::start(void (*body)(void*), void* argument) {
  state_ = std::make_unique<State>();
  state_->body = body;
  state_->argument = argument;
  // _beginthreadex rather than CreateThread: the thread uses the C runtime.
  state_->handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, runBody, state_.get(), 0, nullptr));
  if (!state_->handle) {
    state_.reset();
    return false;
  }
  return true;
}

void Thread::join() {
  if (!state_) return;
  WaitForSingleObject(state_->handle, INFINITE);
  CloseHandle(state_->handle);
  state_.reset();
}

}  // namespace lzhpack
