// Round trips through the project's own decoders: members packed by the encoder are decoded
// by the decoder frame, and whole folders packed by `zsfx pack` / `zsfx make --from` are
// tested and extracted by zsfx.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/extraction_run.h"
#include "core/member_decoder.h"
#include "pack/pack.h"
#include "support/hashes.h"
#include "support/member_locator.h"
#include "support/zsfx_runner.h"

namespace fs = std::filesystem;

namespace {

const PackMethod kMethods[] = {PackMethod::lh5, PackMethod::lh6, PackMethod::lh7};
const PackLevel kLevels[] = {PackLevel::fast, PackLevel::normal, PackLevel::best};
const char* const kMethodNames[] = {"lh0", "lh5", "lh6", "lh7"};
int windowBits(PackMethod m) { return m == PackMethod::lh5 ? 13 : m == PackMethod::lh6 ? 15 : 16; }

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> readBytes(const fs::path& path) {
  std::vector<unsigned char> b = readFileBytes(path.string());
  return std::vector<uint8_t>(b.begin(), b.end());
}

class DecoderRoundTrip : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = makeTempDir("packrt");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Packs input and decodes it with the decoder frame; the bytes and the CRC must match.
  void verify(const std::vector<uint8_t>& input, PackMethod method, PackLevel level, const std::string& what) {
    SCOPED_TRACE(what + " " + kMethodNames[methodNumberOf(method) - 4] + " level " + std::to_string(int(level)));
    const std::vector<uint8_t> packed = encodeStaticHuffman(method, level, input);
    const fs::path packedPath = fs::path(dir_) / "member.bin";
    const fs::path outPath = fs::path(dir_) / "member.out";
    writeFile(packedPath, packed);
    FileObject in, out;
    in.open(packedPath.u16string().c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ,
            platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
    out.open(outPath.u16string().c_str(), platform::GENERIC_WRITE_ACCESS, 0, platform::DISPOSITION_CREATE_ALWAYS,
             platform::ATTRIBUTE_NORMAL);
    ASSERT_TRUE(in.isOpen() && out.isOpen());
    ExtractionRun run;
    const DecodeResult result = decodeMember(run, in, out, input.size(), packed.size(), methodNumberOf(method));
    out.close();  // written out before it is read back
    ASSERT_EQ(result.status, DecodeStatus::ok);
    EXPECT_EQ(result.crc, crc16ArcBitwise(input.data(), input.size()));
    const std::vector<uint8_t> back = readBytes(outPath);
    ASSERT_EQ(back.size(), input.size());
    EXPECT_TRUE(back == input) << "decoded bytes differ";
  }

  void verifyAll(const std::vector<uint8_t>& input, const std::string& what) {
    for (PackMethod m : kMethods)
      for (PackLevel l : kLevels) {
        verify(input, m, l, what);
        if (HasFatalFailure()) return;
      }
  }

  std::string dir_;
};

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(size);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

std::vector<uint8_t> textLike(size_t size, uint32_t seed) {
  static const char* words[] = {"install ", "folder ", "shortcut ", "the ", "a ", "window\n", "setup ",
                                "ファイル ", "zolt ", "progress ", "extract ", "member "};
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < size) {
    std::string w = words[rng() % 12];
    if (rng() % 7 == 0) w += std::to_string(rng() % 1000);
    v.insert(v.end(), w.begin(), w.end());
  }
  v.resize(size);
  return v;
}

}  // namespace

TEST_F(DecoderRoundTrip, EdgeSizes) {
  verifyAll({}, "empty");
  verifyAll({0xA5}, "one byte");
  verifyAll({1, 2, 3}, "three bytes");
  for (size_t k : {12, 13, 15, 16, 17}) verifyAll(textLike(size_t(1) << k, static_cast<uint32_t>(k)), "2^k");
}

TEST_F(DecoderRoundTrip, RunsAndRepeats) {
  verifyAll(std::vector<uint8_t>(300000, 'z'), "long run");
  std::vector<uint8_t> runs;
  for (int i = 0; i < 300; ++i) runs.insert(runs.end(), 200 + (i * 37) % 400, static_cast<uint8_t>(i * 11));
  verifyAll(runs, "runs around the longest match");
}

TEST_F(DecoderRoundTrip, MatchesAtTheLargestDistance) {
  for (PackMethod m : kMethods) {
    // A random block repeated after exactly one window: every match has the largest distance
    // the method's window allows.
    const size_t window = size_t(1) << windowBits(m);
    std::vector<uint8_t> data = randomBytes(window, 99);
    std::vector<uint8_t> repeated = data;
    repeated.insert(repeated.end(), data.begin(), data.end());
    repeated.insert(repeated.end(), data.begin(), data.end());
    for (PackLevel l : kLevels) {
      verify(repeated, m, l, "window repeat");
      if (HasFatalFailure()) return;
    }
    EXPECT_LT(encodeStaticHuffman(m, PackLevel::normal, repeated).size(), window + window / 4);
  }
}

TEST_F(DecoderRoundTrip, IncompressibleAndMixed) {
  verifyAll(randomBytes(100000, 1), "random");
  std::vector<uint8_t> mixed = textLike(200000, 2);
  auto noise = randomBytes(50000, 3);
  mixed.insert(mixed.begin() + 100000, noise.begin(), noise.end());
  verifyAll(mixed, "text with noise inside");
}

class FolderRoundTrip : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = makeTempDir("packfolderrt");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  std::string dir_;
};

// Many small files, Unicode names, an empty folder, a large compressible file and a random
// one: packed with each method, then tested and extracted by zsfx, byte for byte and with
// their times.
TEST_F(FolderRoundTrip, PackTestAndExtractWithEveryMethod) {
  const fs::path src = fs::path(dir_) / "src";
  fs::create_directories(src / "docs" / "日本語フォルダ");
  fs::create_directories(src / "empty");
  fs::create_directories(src / "many");
  for (int i = 0; i < 120; ++i)
    writeFile(src / "many" / ("f" + std::to_string(i) + ".txt"), textLike(size_t(i) * 13, static_cast<uint32_t>(i)));
  writeFile(src / "docs" / "日本語フォルダ" / "説明書.txt", textLike(70000, 7));
  writeFile(src / "docs" / "Ünïcödé ✓.bin", randomBytes(5000, 8));
  writeFile(src / "big.txt", textLike(600000, 9));
  const auto stamp = std::chrono::file_clock::from_sys(std::chrono::system_clock::time_point(std::chrono::seconds(1600000000)));
  fs::last_write_time(src / "big.txt", stamp);

  for (const char* method : kMethodNames) {
    SCOPED_TRACE(method);
    const std::string archive = dir_ + "/" + method + ".lzh";
    ZsfxRun run = runZsfx({"pack", zsfxPath(archive), zsfxPath(src.string()), "--method", method});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = runZsfx({"test", zsfxPath(archive)});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    const fs::path out = fs::path(dir_) / (std::string("out-") + method);
    fs::create_directories(out);
    run = runZsfx({"extract", zsfxPath(archive), "-C", zsfxPath(out.string())});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    size_t files = 0;
    for (auto it = fs::recursive_directory_iterator(src); it != fs::recursive_directory_iterator(); ++it) {
      const fs::path rel = fs::relative(it->path(), src);
      ASSERT_TRUE(fs::exists(out / rel)) << rel;
      if (it->is_regular_file()) {
        ++files;
        EXPECT_TRUE(readBytes(it->path()) == readBytes(out / rel)) << rel;
      }
    }
    EXPECT_EQ(files, 123u);
    EXPECT_TRUE(fs::last_write_time(out / "big.txt") == stamp);
  }
}

// Members longer than one segment: the same archive for 1, 2 and 3 threads, and the same
// member bytes as packing the whole file in memory. A random file that does not shrink is
// stored after all, and the members behind it stay intact.
TEST_F(FolderRoundTrip, SegmentedMembersAreTheSameForAnyThreadCount) {
  const fs::path src = fs::path(dir_) / "src";
  fs::create_directories(src);
  std::vector<uint8_t> text = textLike((4u << 20) + 600000, 11);
  const std::vector<uint8_t> noise = randomBytes((4u << 20) + 5000, 12);
  // Random bytes across the first cut at 4 MiB, and a repeat of text that lies behind it.
  std::copy(noise.begin(), noise.begin() + 300000, text.begin() + (4u << 20) - 150000);
  std::copy(text.begin() + (4u << 20) - 20000, text.begin() + (4u << 20), text.begin() + (4u << 20) + 5000);
  writeFile(src / "a-text.txt", text);
  writeFile(src / "b-noise.bin", noise);
  writeFile(src / "c-after.txt", textLike(100000, 13));

  struct Setting {
    const char* method;
    const char* level;
    PackMethod packMethod;
  } settings[] = {{"lh7", "normal", PackMethod::lh7}, {"lh5", "best", PackMethod::lh5}, {"lh0", "fast", PackMethod::lh0}};
  for (const Setting& s : settings) {
    SCOPED_TRACE(std::string(s.method) + " " + s.level);
    std::vector<uint8_t> first;
    for (const char* threads : {"1", "2", "3"}) {
      const std::string archive = dir_ + "/" + s.method + "-" + threads + ".lzh";
      const ZsfxRun run =
          runZsfx({"pack", zsfxPath(archive), zsfxPath(src.string()), "--method", s.method, "--level", s.level,
                   "--threads", threads});
      ASSERT_EQ(run.exitCode, 0) << run.err;
      const std::vector<uint8_t> bytes = readBytes(archive);
      if (first.empty()) first = bytes;
      else EXPECT_TRUE(bytes == first) << threads << " threads give other bytes";
    }
    std::string error;
    const std::vector<LocatedMember> members = locateMembers(first, error);
    ASSERT_EQ(members.size(), 3u) << error;
    EXPECT_EQ(members[1].method, "-lh0-") << "random bytes are stored";
    EXPECT_EQ(members[1].packedSize, noise.size());
    if (s.packMethod != PackMethod::lh0) {
      const PackLevel level = std::string(s.level) == "best" ? PackLevel::best : PackLevel::normal;
      const std::vector<uint8_t> whole = encodeStaticHuffman(s.packMethod, level, text);
      ASSERT_EQ(members[0].packedSize, whole.size());
      EXPECT_TRUE(std::equal(whole.begin(), whole.end(), first.begin() + members[0].dataOffset));
    }

    const std::string archive = dir_ + "/" + s.method + "-1.lzh";
    const fs::path out = fs::path(dir_) / (std::string("out-") + s.method);
    fs::create_directories(out);
    const ZsfxRun run = runZsfx({"extract", zsfxPath(archive), "-C", zsfxPath(out.string())});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    for (const char* name : {"a-text.txt", "b-noise.bin", "c-after.txt"})
      EXPECT_TRUE(readBytes(out / name) == readBytes(src / name)) << name;
    EXPECT_EQ(first.back(), 0) << "the archive ends at its end byte";
  }
}
