#include "LargeStackRunner.h"

#include <pthread.h>

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
