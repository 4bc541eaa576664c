// The whole extraction run on a fuzzed archive, looked at from the file system: the run
// extracts into a scratch destination nested a few folders deep inside a sandbox, and
// afterwards nothing may exist in the sandbox outside the destination, whatever the code
// thought its paths were. The run must also have ended through the observer, once.
//
// Inputs whose members claim more than 64 MiB in all are skipped, so that one input cannot
// fill the disk; the destination is emptied after every input.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/app.h"
#include "core/extract.h"
#include "core/lzh_header.h"
#include "core/member_walk.h"
#include "core/payload_check.h"
#include "core/run_observer.h"
#include "fuzz/fuzz_file.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMaxClaimedBytes = uint64_t{64} << 20;

struct EndObserver : RunObserver {
  int ended = 0;
  void memberAnnounced(const char16_t*) override {}
  void progressPercent(uint32_t) override {}
  void showMessage(const char16_t*, MessageKind) override {}
  void showSystemError(uint32_t, uint32_t) override {}
  void runEnded(bool) override { ++ended; }
};

// sandbox/a/b/c/destination, made once per process.
struct Sandbox {
  Sandbox() {
    char pattern[] = "/tmp/zolt-extract-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    root = pattern;
    chain = {root / "a", root / "a" / "b", root / "a" / "b" / "c"};
    destination = chain.back() / "destination";
    fs::create_directories(destination);
  }
  ~Sandbox() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  fs::path root;
  std::vector<fs::path> chain;
  fs::path destination;
};

[[noreturn]] void escaped(const fs::path& item) {
  std::fprintf(stderr, "extraction left the destination: %s\n", item.c_str());
  std::abort();
}

// Walks the whole sandbox: only the folder chain and what lies inside the destination may
// be there, and the run makes plain files and folders only.
void checkSandbox(const Sandbox& sandbox) {
  const std::string inside = sandbox.destination.string() + "/";
  for (auto it = fs::recursive_directory_iterator(sandbox.root); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& item = it->path();
    const fs::file_status status = it->symlink_status();
    if (item.string().rfind(inside, 0) == 0) {
      if (!fs::is_regular_file(status) && !fs::is_directory(status)) escaped(item);
      continue;
    }
    bool onChain = item == sandbox.destination;
    for (const fs::path& folder : sandbox.chain) onChain = onChain || item == folder;
    if (!onChain || !fs::is_directory(status)) escaped(item);
  }
}

// The original sizes of the members the run would reach, counted by the run's own walk
// without a word about a rejected header; the file is put back at its start.
uint64_t claimedBytes(SfxApp& app) {
  uint64_t total = 0;
  LzhHeader header;
  forEachMember(
      app, header,
      [&total](const LzhHeader& member) {
        total += member.originalSize;
        return total <= kMaxClaimedBytes;
      },
      HeaderRejections::quiet);
  app.archiveFile->seek(0, platform::SEEK_FROM_BEGIN);
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzFile scratch;
  static Sandbox sandbox;
  EndObserver observer;
  SfxApp app(observer);
  app.archiveFile = std::make_unique<FileObject>();
  scratch.load(data, size, *app.archiveFile);

  if (claimedBytes(app) > kMaxClaimedBytes) return 0;
  // The run goes ahead whatever the survey found: it must be safe on any input, also one
  // that zsfx extract or the stub would have refused before starting.
  surveyPayload(app, app.payload);

  const fs::path previous = fs::current_path();
  fs::current_path(sandbox.destination);
  app.destinationFolder.assign(sandbox.destination.u16string().c_str());
  extractionWorker(&app);
  fs::current_path(previous);

  if (observer.ended != 1) {
    std::fprintf(stderr, "the run ended through the observer %d times\n", observer.ended);
    std::abort();
  }
  checkSandbox(sandbox);
  for (const auto& entry : fs::directory_iterator(sandbox.destination)) fs::remove_all(entry.path());
  return 0;
}
