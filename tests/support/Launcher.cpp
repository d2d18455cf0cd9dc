// Starts a program the way a caller's own setup would leave it: with SIGCHLD ignored (as many
// daemons and agents set it) and with a file-size limit (as a service manager may set one), both
// of which survive exec. Usage:
//   fchba-test-launcher [--ignore-sigchld] [--file-size-limit BYTES] -- program [args...]
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--ignore-sigchld") == 0) {
      std::signal(SIGCHLD, SIG_IGN);
    } else if (std::strcmp(argv[i], "--file-size-limit") == 0 && i + 1 < argc) {
      const rlim_t bytes = std::strtoull(argv[++i], nullptr, 10);
      const struct rlimit limit = {bytes, bytes};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        std::perror("fchba-test-launcher: setrlimit");
        return 126;
      }
    } else {
      std::fprintf(stderr, "fchba-test-launcher: unknown option %s\n", argv[i]);
      return 126;
    }
  }
  if (i + 1 >= argc) {
    std::fprintf(stderr, "fchba-test-launcher: no program given\n");
    return 126;
  }
  execvp(argv[i + 1], argv + i + 1);
  std::perror("fchba-test-launcher: execvp");
  return 127;
}
