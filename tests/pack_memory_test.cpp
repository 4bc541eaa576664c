// Memory of `zsfx pack` does not grow with the file: a 1 GiB file (sparse, so the test needs
// no disk space) packs within a bounded peak resident size, measured on the child process.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/zsfx_runner.h"

namespace fs = std::filesystem;

namespace {

// Runs the native zsfx with args; its exit status and its own peak resident size in KiB.
int runMeasured(const std::vector<std::string>& args, long& peakKiB) {
  const pid_t child = fork();
  if (child == 0) {
    std::vector<char*> argv{const_cast<char*>(ZOLT_ZSFX_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(ZOLT_ZSFX_PATH, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return -1;
  peakKiB = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(PackMemory, OneGibibyteFileStaysWithinTheBoundPerThread) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer's shadow memory says nothing about the packer's";
#endif
  const std::string dir = makeTempDir("memory");
  ASSERT_FALSE(dir.empty());
  fs::create_directories(dir + "/src");
  {
    std::ofstream(dir + "/src/zeros.bin") << "start";
  }
  fs::resize_file(dir + "/src/zeros.bin", uint64_t(1) << 30);

  long peakKiB = 0;
  const int status = runMeasured({"pack", dir + "/a.lzh", dir + "/src", "--threads", "2"}, peakKiB);
  EXPECT_EQ(status, 0);
  // 64 MiB per compressing thread and a few MiB for the program; reading the file whole
  // would take more than a gibibyte.
  EXPECT_LT(peakKiB, 2 * 64 * 1024 + 8 * 1024) << "peak resident KiB";
  std::printf("peak resident memory packing 1 GiB with 2 threads: %ld KiB\n", peakKiB);
  const ZsfxRun check = runZsfx({"test", dir + "/a.lzh"});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  fs::remove_all(dir);
}

