// Packs files the way `zsfx make` does and reports the packed bytes and the CPU time spent.
//   encode_bench lh5|lh6|lh7 fast|normal|best FILE... [-o OUT]
// With -o the packed data of each file is written to OUT, one after the other (for checks).
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "pack/pack.h"

namespace {

bool readFile(const char* path, std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  bytes.clear();
  uint8_t buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: encode_bench lh5|lh6|lh7 fast|normal|best FILE... [-o OUT]\n");
    return 2;
  }
  const std::string m = argv[1], l = argv[2];
  const PackMethod method = m == "lh5" ? PackMethod::lh5 : m == "lh6" ? PackMethod::lh6 : PackMethod::lh7;
  const PackLevel level = l == "fast" ? PackLevel::fast : l == "best" ? PackLevel::best : PackLevel::normal;
  std::FILE* out = nullptr;
  uint64_t original = 0, packed = 0;
  double seconds = 0;
  std::vector<uint8_t> data;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      out = std::fopen(argv[++i], "wb");
      continue;
    }
    if (!readFile(argv[i], data)) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 1;
    }
    const std::clock_t start = std::clock();
    const std::vector<uint8_t> result = encodeStaticHuffman(method, level, data);
    seconds += double(std::clock() - start) / CLOCKS_PER_SEC;
    original += data.size();
    packed += result.size();
    if (out) std::fwrite(result.data(), 1, result.size(), out);
  }
  if (out) std::fclose(out);
  std::printf("%s %s: %llu -> %llu bytes (%.2f%%), %.2f s CPU\n", m.c_str(), l.c_str(),
              (unsigned long long)original, (unsigned long long)packed, 100.0 * packed / (original ? original : 1),
              seconds);
  return 0;
}
