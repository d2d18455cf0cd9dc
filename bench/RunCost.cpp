// The cpu that a command costs, for scripts/bench-run-cost.sh: user plus system time of the
// command and of every descendant that it waited for (what wait4 reports), median of several runs
// after one that is not counted. Each run is one command, or one after the other a list of
// commands each run through "/bin/sh -c" as the C library's system() and popen() run them.
//
//   run_cost [--runs N] [--prepare SHELL-LINE] [--sleepers N] [--split LIBRARY] -- program [args...]
//   run_cost [--runs N] [--prepare SHELL-LINE] [--sleepers N] --each COMMAND...
//
// --prepare runs before every run and is not counted; --sleepers keeps N extra sleeping processes
// on the machine meanwhile (its own children, ended when it ends). Prints the median in ms; with
// --split (LIBRARY built from RusageAtExit.cpp, preloaded into the program), also the medians of
// the program's own cpu and of the children it waited for: "TOTAL SELF CHILDREN".
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
double CpuMilliseconds(const struct rusage& usage) {
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Runs the program with its standard output dropped and returns its cpu; -1 when it failed. With
// a library to preload, the program's own cpu and its children's go into `split`.
double Run(const std::vector<const char*>& argv, const std::string& preload = std::string(),
           double* split = nullptr) {
  int report[2] = {-1, -1};
  if (!preload.empty() && pipe(report) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
    if (!preload.empty()) {
      close(report[0]);
      setenv("LD_PRELOAD", preload.c_str(), 1);
      setenv("FCHBA_RUSAGE_FD", std::to_string(report[1]).c_str(), 1);
    }
    execvp(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (!preload.empty()) {
    close(report[1]);
    char text[128] = {};
    ssize_t got = 0;
    for (ssize_t n; (n = read(report[0], text + got, sizeof text - 1 - got)) > 0;) got += n;
    close(report[0]);
    if (std::sscanf(text, "%lf %lf", &split[0], &split[1]) != 2) split[0] = split[1] = -1;
  }
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  return CpuMilliseconds(usage);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double RunShellLine(const std::string& line) {
  return Run({"/bin/sh", "-c", line.c_str(), nullptr});
}

std::vector<pid_t> StartSleepers(int count) {
  std::vector<pid_t> sleepers;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      for (;;) pause();
    }
    if (pid < 0) break;
    sleepers.push_back(pid);
  }
  return sleepers;
}
}  // namespace

int main(int argc, char** argv) {
  int runs = 15;
  int sleeperCount = 0;
  std::string prepare;
  std::string preload;
  std::vector<const char*> program;
  std::vector<std::string> each;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (arg == "--prepare" && i + 1 < argc) {
      prepare = argv[++i];
    } else if (arg == "--split" && i + 1 < argc) {
      preload = argv[++i];
    } else if (arg == "--sleepers" && i + 1 < argc) {
      sleeperCount = std::atoi(argv[++i]);
    } else if (arg == "--") {
      for (++i; i < argc; ++i) program.push_back(argv[i]);
    } else if (arg == "--each") {
      for (++i; i < argc; ++i) each.push_back(argv[i]);
    } else {
      std::fprintf(stderr, "run_cost: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (program.empty() == each.empty() || runs < 1) {
    std::fprintf(stderr, "run_cost: give a program after -- or commands after --each\n");
    return 2;
  }
  program.push_back(nullptr);
  const std::vector<pid_t> sleepers = StartSleepers(sleeperCount);
  std::vector<double> costs, selves, children;
  for (int run = 0; run <= runs; ++run) {
    if (!prepare.empty()) (void)RunShellLine(prepare);
    double cost = 0;
    double split[2] = {0, 0};
    if (!each.empty()) {
      for (const std::string& command : each) cost += RunShellLine(command);
    } else {
      cost = Run(program, preload, split);
    }
    if (run == 0) continue;  // the first warms the caches
    costs.push_back(cost);
    selves.push_back(split[0]);
    children.push_back(split[1]);
  }
  for (const pid_t pid : sleepers) kill(pid, SIGKILL);
  for (const pid_t pid : sleepers) waitpid(pid, nullptr, 0);
  if (preload.empty())
    std::printf("%.2f\n", Median(costs));
  else
    std::printf("%.2f %.2f %.2f\n", Median(costs), Median(selves), Median(children));
  return 0;
}
