// The payload of a self-extracting file starts where the stub's PE image ends.
#include "core/payload_offset.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/app.h"
#include "support/lzh_test_archive.h"

using namespace lzhtest;

namespace {

struct Section {
  uint32_t rawPointer;
  uint32_t rawSize;
};

void put32At(Bytes& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A PE image: DOS header, e_lfanew, "PE\0\0", COFF header, optional header, section table,
// then zero bytes up to the end of the sections' raw data.
Bytes peImage(const std::vector<Section>& sections, uint32_t peOffset = 0x80, uint16_t optionalSize = 0xF0) {
  size_t end = peOffset + 24 + optionalSize + 40 * sections.size();
  for (const Section& s : sections) end = std::max<size_t>(end, size_t{s.rawPointer} + s.rawSize);
  Bytes image(end, 0);
  image[0] = 'M';
  image[1] = 'Z';
  put32At(image, 0x3C, peOffset);
  image[peOffset] = 'P';
  image[peOffset + 1] = 'E';
  image[peOffset + 4] = 0x64;
  image[peOffset + 5] = 0x86;
  image[peOffset + 6] = static_cast<uint8_t>(sections.size());
  image[peOffset + 7] = static_cast<uint8_t>(sections.size() >> 8);
  image[peOffset + 20] = static_cast<uint8_t>(optionalSize);
  image[peOffset + 21] = static_cast<uint8_t>(optionalSize >> 8);
  const size_t table = peOffset + 24 + optionalSize;
  for (size_t i = 0; i < sections.size(); ++i) {
    put32At(image, table + 40 * i + 16, sections[i].rawSize);
    put32At(image, table + 40 * i + 20, sections[i].rawPointer);
  }
  return image;
}

class PayloadOffset : public ::testing::Test {
 protected:
  bool find(const Bytes& file, uint64_t* offset) {
    auto f = openBytes(scratch, "stub.exe", file);
    return findPayloadOffset(*f, offset);
  }
  ScratchFolder scratch;
};

}  // namespace

TEST_F(PayloadOffset, EndOfTheFurthestSectionData) {
  uint64_t offset = 0;
  // Sections out of order, and a .bss-like section without raw data pointing far away.
  ASSERT_TRUE(find(peImage({{0x400, 0x200}, {0x1000, 0x1600}, {0x600, 0xA00}, {0x900000, 0}}), &offset));
  EXPECT_EQ(offset, 0x2600u);
}

TEST_F(PayloadOffset, PayloadBehindTheImageIsNotCounted) {
  Bytes file = peImage({{0x200, 0x400}});
  file.resize(file.size() + 5000, 0x77);
  uint64_t offset = 0;
  ASSERT_TRUE(find(file, &offset));
  EXPECT_EQ(offset, 0x600u);
}

TEST_F(PayloadOffset, DamagedHeadersAreRefused) {
  uint64_t offset = 0;
  EXPECT_FALSE(find({}, &offset));
  EXPECT_FALSE(find(bytesOf("MZ"), &offset));
  Bytes noMz = peImage({{0x200, 0x200}});
  noMz[0] = 'Z';
  EXPECT_FALSE(find(noMz, &offset));
  Bytes noPe = peImage({{0x200, 0x200}});
  noPe[0x81] = 'X';
  EXPECT_FALSE(find(noPe, &offset));
  Bytes farPe = peImage({{0x200, 0x200}});
  put32At(farPe, 0x3C, 0xFFFFFFF0u);
  EXPECT_FALSE(find(farPe, &offset));
  EXPECT_FALSE(find(peImage({}), &offset));
  // A section table that runs past the end of the file.
  Bytes cut = peImage({{0x100, 0x10}, {0x110, 0x10}}, 0x80, 0x20);
  cut.resize(0x80 + 24 + 0x20 + 50);
  EXPECT_FALSE(find(cut, &offset));
  // More sections than the loader accepts.
  Bytes many = peImage({{0x200, 0x200}});
  many[0x86] = 0xFF;
  many[0x87] = 0xFF;
  EXPECT_FALSE(find(many, &offset));
}

TEST_F(PayloadOffset, OpenPayloadFromReadsTheSettingsBehindTheImage) {
  Bytes file = peImage({{0x200, 0x300}});
  const size_t imageEnd = file.size();
  file.push_back(0);  // settings block with marker 0
  file.push_back(0);  // empty archive
  writeFileBytes(scratch.path() / "sfx.exe", file);
  SfxApp app;
  ASSERT_EQ(openPayloadFrom(app, (scratch.path() / "sfx.exe").u16string().c_str()), PayloadOpen::ok);
  EXPECT_EQ(app.archiveFile->tell(), static_cast<int64_t>(imageEnd + 1));
  EXPECT_EQ(app.payloadStart, static_cast<int64_t>(imageEnd));
  EXPECT_EQ(app.archiveStart, static_cast<int64_t>(imageEnd + 1));
  EXPECT_EQ(app.settings.complete, 0);
  EXPECT_TRUE(app.destinationFolder.equals(app.settings.destination.c_str()));
  EXPECT_TRUE(app.destinationFolder.hasText());
}

// A bare stub has no payload and says nothing; any byte behind the image starts a settings
// block, and one that ends early is a download cut short.
TEST_F(PayloadOffset, WhatLiesBehindTheImageDecidesHowOpeningFails) {
  const struct {
    Bytes behind;
    PayloadOpen expected;
  } cases[] = {
      {{}, PayloadOpen::noPayload},
      {{1}, PayloadOpen::cutSettings},
      {{1, 3, 'T', 0}, PayloadOpen::cutSettings},  // a title of 3 units, cut in the first
  };
  for (const auto& c : cases) {
    Bytes file = peImage({{0x200, 0x300}});
    file.insert(file.end(), c.behind.begin(), c.behind.end());
    writeFileBytes(scratch.path() / "cut.exe", file);
    SfxApp app;
    EXPECT_EQ(openPayloadFrom(app, (scratch.path() / "cut.exe").u16string().c_str()), c.expected) << c.behind.size();
    EXPECT_EQ(app.settings.complete, 0);
  }
  SfxApp missing;
  EXPECT_EQ(openPayloadFrom(missing, (scratch.path() / "missing.exe").u16string().c_str()), PayloadOpen::failed);
}
