// Preloaded into the program by run_cost --split: as the program exits, writes the cpu in ms of
// the process itself and of the children it waited for, "SELF CHILDREN", to the descriptor named
// by FCHBA_RUSAGE_FD. Its children start without it: it takes itself out of their environment.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {
int g_reportTo = -1;

double Milliseconds(const struct rusage& usage) {
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

__attribute__((constructor)) void Start() {
  const char* fd = std::getenv("FCHBA_RUSAGE_FD");
  if (fd != nullptr) g_reportTo = std::atoi(fd);
  unsetenv("FCHBA_RUSAGE_FD");
  unsetenv("LD_PRELOAD");
}

__attribute__((destructor)) void Report() {
  if (g_reportTo < 0) return;
  struct rusage self {}, children {};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);
  dprintf(g_reportTo, "%.3f %.3f\n", Milliseconds(self), Milliseconds(children));
}
}  // namespace
