// Fuzz target for the LArc methods -lzs- and -lz5-.
#include "codec_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr int kMethods[] = {8, 9};
  // Below 1 MiB of output.
  return codec_fuzz::run(data, size, kMethods, sizeof kMethods / sizeof kMethods[0], 20);
}
