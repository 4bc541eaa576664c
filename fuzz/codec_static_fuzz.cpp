// Fuzz target for the static-Huffman methods -lh3- to -lh7-.
#include "codec_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr int kMethods[] = {3, 4, 5, 6, 7};
  // Below 1 MiB of output.
  return codec_fuzz::run(data, size, kMethods, sizeof kMethods / sizeof kMethods[0], 20);
}
