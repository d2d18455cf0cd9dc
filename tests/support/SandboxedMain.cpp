// The main of the test binaries that write /etc, /var, /usr or /sys: they run only inside the
// sandbox (sandbox.sh --usr --sys, as ctest starts them), whose /sys is an empty tmpfs, and
// everywhere else refuse in one line rather than touch the machine's own files.
#include <gtest/gtest.h>
#include <sys/vfs.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  struct statfs sys;
  const long kTmpfsMagic = 0x01021994;
  if (!::testing::GTEST_FLAG(list_tests) &&
      (statfs("/sys", &sys) != 0 || static_cast<long>(sys.f_type) != kTmpfsMagic)) {
    const char* name = std::strrchr(argv[0], '/');
    std::fprintf(stderr,
                 "%s: runs only in its sandbox: run it through ctest, or one case as "
                 "tests/support/sandbox.sh --usr --sys -- %s --gtest_filter=SUITE.CASE\n",
                 name != nullptr ? name + 1 : argv[0], argv[0]);
    return 1;
  }
  return RUN_ALL_TESTS();
}
