#include "LargeStackRunner.h"

#include <pthread.h>

#include <cstddef>

namespace {
struct Job {
  void (*function)(void*);
  void* argument;
};

void* RunJob(void* raw) {
  Job* job = static_cast<Job*>(raw);
  job->function(job->argument);
  return nullptr;
}
}  // namespace

const char* CallerStackFloor(const char* frame) {
  // The stack's low end, looked up once per thread.
  thread_local const char* stackLow = nullptr;
  thread_local bool known = false;
  if (!known) {
    known = true;
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
      void* address = nullptr;
      std::size_t size = 0;
      if (pthread_attr_getstack(&attributes, &address, &size) == 0)
        stackLow = static_cast<const char*>(address);
      pthread_attr_destroy(&attributes);
    }
  }
  const char* floor = frame - kCallerStackBudgetBytes;
  if (stackLow && floor < stackLow + kCallerStackReserveBytes) floor = stackLow + kCallerStackReserveBytes;
  return floor;
}

bool RunOnLargeStack(void (*function)(void*), void* argument) {
  Job job{function, argument};
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_t thread;
  bool started = pthread_attr_setstacksize(&attributes, kLargeStackBytes) == 0 &&
                 pthread_create(&thread, &attributes, RunJob, &job) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) return false;
  pthread_join(thread, nullptr);
  return true;
}
