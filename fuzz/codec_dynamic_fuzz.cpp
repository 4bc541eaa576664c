// Fuzz target for the adaptive-Huffman methods -lh1- and -lh2-.
#include "codec_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr int kMethods[] = {1, 2};
  // Below 128 KiB: the adaptive trees decode far slower than the table-driven codecs, and
  // 32768 matches (a rebuild of the position tree) still fit.
  return codec_fuzz::run(data, size, kMethods, sizeof kMethods / sizeof kMethods[0], 17);
}
