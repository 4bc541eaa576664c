#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include "pack/threads.h"

namespace lzhpack {

unsigned processorCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1;
}

struct Monitor::State {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t condition = PTHREAD_COND_INITIALIZER;
};

Monitor::Monitor() : state_(std::make_unique<State>()) {}
Monitor::~Monitor() {
  pthread_cond_destroy(&state_->condition);
  pthread_mutex_destroy(&state_->mutex);
}
void Monitor::lock() { pthread_mutex_lock(&state_->mutex); }
void Monitor::unlock() { pthread_mutex_unlock(&state_->mutex); }
void Monitor::wait() { pthread_cond_wait(&state_->condition, &state_->mutex); }
void Monitor::notifyAll() { pthread_cond_broadcast(&state_->condition); }

struct Thread::State {
  pthread_t thread;
  void (*body)(void*);
  void* argument;
};

namespace {
void* runBody(void* raw) {
  auto* state = static_cast<Thread::State*>(raw);
  state->body(state->argument);
  return nullptr;
}
}  // namespace

Thread::Thread() = default;
Thread::~Thread() { join(); }

bool Thread::start(void (*body)(void*), void* argument) {
  state_ = std::make_unique<State>();
  state_->body = body;
  state_->argument = argument;
  if (pthread_create(&state_->thread, nullptr, runBody, state_.get()) != 0) {
    state_.reset();
    return false;
  }
  return true;
}

void Thread::join() {
  if (!state_) return;
  pthread_join(state_->thread, nullptr);
  state_.reset();
}

}  // namespace lzhpack
