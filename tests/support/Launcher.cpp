// Starts a program the way a caller's own setup would leave it: with SIGCHLD ignored (as many
// daemons and agents set it) and with a file-size limit (as a service manager may set one), both
// of which survive exec. It can also catch the program at a given step: with --signal-at-open,
// the program's first open of a plain file in FOLDER waits (held through fanotify) while the
// launcher sends it SIGNAL, and the launcher then ends as the program did. Usage:
//   fchba-test-launcher [--ignore-sigchld] [--file-size-limit BYTES] [--signal-at-open SIGNAL FOLDER]
//                       -- program [args...]
#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// Answers the held open of one event: lets it go on. Sends the signal first when it is the
// program's own first open of a plain file; true once the signal was sent.
bool AnswerOpen(int watch, const fanotify_event_metadata& event, pid_t program, int signal, bool sent) {
  struct stat opened;
  if (!sent && event.pid == program && fstat(event.fd, &opened) == 0 && S_ISREG(opened.st_mode)) {
    sent = kill(program, signal) == 0;
  }
  const fanotify_response allow = {event.fd, FAN_ALLOW};
  if (write(watch, &allow, sizeof allow) != static_cast<ssize_t>(sizeof allow))
    std::perror("fchba-test-launcher: fanotify");
  close(event.fd);
  return sent;
}

// Starts the program with its opens in the folder held for the launcher, signals it at the first,
// and ends as the program ended: with its exit code, or by the signal that ended it.
int RunSignalledAtOpen(int signal, const char* folder, char** command) {
  const int watch = fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_CLOEXEC);
  if (watch < 0 || fanotify_mark(watch, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_EVENT_ON_CHILD, AT_FDCWD, folder) != 0) {
    std::perror("fchba-test-launcher: fanotify");
    return 126;
  }
  const pid_t program = fork();
  if (program < 0) return 126;
  if (program == 0) {
    execvp(command[0], command);
    std::perror("fchba-test-launcher: execvp");
    _exit(127);
  }
  const int ended = static_cast<int>(syscall(SYS_pidfd_open, program, 0));
  if (ended < 0) std::perror("fchba-test-launcher: pidfd_open");
  bool sent = false;
  for (;;) {
    pollfd waits[] = {{watch, POLLIN, 0}, {ended, POLLIN, 0}};
    if (poll(waits, 2, -1) < 0 && errno != EINTR) break;
    if (waits[1].revents != 0) break;
    if ((waits[0].revents & POLLIN) == 0) continue;
    alignas(fanotify_event_metadata) char events[4096];
    const ssize_t length = read(watch, events, sizeof events);
    if (length <= 0) continue;
    const fanotify_event_metadata* event = reinterpret_cast<const fanotify_event_metadata*>(events);
    for (ssize_t left = length; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left))
      if (event->fd >= 0) sent = AnswerOpen(watch, *event, program, signal, sent);
  }
  close(watch);
  int status = 0;
  while (waitpid(program, &status, 0) < 0 && errno == EINTR) {
  }
  if (!sent) std::fprintf(stderr, "fchba-test-launcher: the program opened no file in %s\n", folder);
  if (WIFSIGNALED(status)) {
    std::signal(WTERMSIG(status), SIG_DFL);
    raise(WTERMSIG(status));
  }
  return WEXITSTATUS(status);
}
}  // namespace

int main(int argc, char** argv) {
  int signalAtOpen = 0;
  const char* openedIn = nullptr;
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
    } else if (std::strcmp(argv[i], "--signal-at-open") == 0 && i + 2 < argc) {
      signalAtOpen = std::atoi(argv[++i]);
      openedIn = argv[++i];
    } else {
      std::fprintf(stderr, "fchba-test-launcher: unknown option %s\n", argv[i]);
      return 126;
    }
  }
  if (i + 1 >= argc) {
    std::fprintf(stderr, "fchba-test-launcher: no program given\n");
    return 126;
  }
  if (openedIn != nullptr) return RunSignalledAtOpen(signalAtOpen, openedIn, argv + i + 1);
  execvp(argv[i + 1], argv + i + 1);
  std::perror("fchba-test-launcher: execvp");
  return 127;
}
