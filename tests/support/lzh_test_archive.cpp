#include "support/lzh_test_archive.h"

#include <fstream>
#include <random>
#include <stdexcept>

#include "decode/crc16.h"
#include "platform/utf8.h"

namespace lzhtest {
namespace {

void put16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(Bytes& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

void set16(Bytes& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

Bytes utf16le(const std::u16string& text) {
  Bytes out;
  for (char16_t c : text) put16(out, c);
  return out;
}

// The extended headers in their chain: each is type, data, then the next length.
void putExtChain(Bytes& out, const std::vector<ExtHeader>& ext) {
  for (const ExtHeader& e : ext) {
    out.push_back(e.type);
    out.insert(out.end(), e.data.begin(), e.data.end());
    // The length field of the next header (patched into place below by its predecessor).
    put16(out, 0);
  }
}

Bytes extBytes(const std::vector<ExtHeader>& ext) {
  // First length field, then the chain with each header's trailing length set to the size
  // of the one after it.
  Bytes out;
  put16(out, ext.empty() ? 0 : static_cast<uint32_t>(ext[0].data.size() + 3));
  putExtChain(out, ext);
  size_t at = 2;
  for (size_t i = 0; i < ext.size(); ++i) {
    at += 1 + ext[i].data.size();
    set16(out, at, i + 1 < ext.size() ? static_cast<uint32_t>(ext[i + 1].data.size() + 3) : 0);
    at += 2;
  }
  return out;
}

// Level 3: the same chain with 4-byte length fields.
Bytes extBytes32(const std::vector<ExtHeader>& ext) {
  Bytes out;
  put32(out, ext.empty() ? 0 : static_cast<uint32_t>(ext[0].data.size() + 5));
  for (size_t i = 0; i < ext.size(); ++i) {
    out.push_back(ext[i].type);
    out.insert(out.end(), ext[i].data.begin(), ext[i].data.end());
    put32(out, i + 1 < ext.size() ? static_cast<uint32_t>(ext[i + 1].data.size() + 5) : 0);
  }
  return out;
}

uint16_t crcOf(const Bytes& data) { return crc16Update(0, data.data(), data.size()); }

}  // namespace

ExtHeader nameExt(const std::string& ansiName) { return {0x01, bytesOf(ansiName)}; }
ExtHeader directoryExt(const std::string& ansiDir) { return {0x02, bytesOf(ansiDir)}; }
ExtHeader attributeExt(uint8_t attribute) { return {0x40, {attribute, 0}}; }
ExtHeader unicodeNameExt(const std::u16string& name) { return {0x44, utf16le(name)}; }
ExtHeader unicodeDirectoryExt(const std::u16string& dir) { return {0x45, utf16le(dir)}; }

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes patternBytes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(random());
  return out;
}

Bytes encodeMember(const Member& m) {
  if (m.method.size() != 5) throw std::invalid_argument("method identifiers have 5 bytes");
  const uint32_t originalSize = m.originalSize.value_or(static_cast<uint32_t>(m.data.size()));
  const uint16_t crc = m.crc.value_or(crcOf(m.data));
  Bytes out;
  if (m.level == 2 || m.level == 3) {
    std::vector<ExtHeader> ext;
    if (!m.name.empty()) ext.push_back(nameExt(m.name));
    ext.insert(ext.end(), m.ext.begin(), m.ext.end());
    put16(out, m.level == 3 ? 4 : 0);  // level 3: word size; level 2: total length, patched below
    for (char c : m.method) out.push_back(static_cast<uint8_t>(c));
    put32(out, static_cast<uint32_t>(m.data.size()));
    put32(out, originalSize);
    put32(out, m.rawTime);
    out.push_back(0x20);
    out.push_back(static_cast<uint8_t>(m.level));
    put16(out, crc);
    out.push_back(m.osId);
    if (m.level == 3) put32(out, 0);  // total length, patched below
    const Bytes chain = m.level == 3 ? extBytes32(ext) : extBytes(ext);
    out.insert(out.end(), chain.begin(), chain.end());
    while (out.size() < m.padLevel2To) out.push_back(0);
    if (m.level == 3) {
      set16(out, 24, static_cast<uint32_t>(out.size()) & 0xFFFF);
      set16(out, 26, static_cast<uint32_t>(out.size()) >> 16);
    } else {
      set16(out, 0, static_cast<uint32_t>(out.size()));
    }
  } else {
    out.push_back(0);  // L, patched below
    out.push_back(0);  // checksum, never checked
    for (char c : m.method) out.push_back(static_cast<uint8_t>(c));
    const Bytes chain = m.level == 1 ? extBytes(m.ext) : Bytes{};
    const uint32_t extendedBytes = m.level == 1 ? static_cast<uint32_t>(chain.size() - 2) : 0;
    put32(out, static_cast<uint32_t>(m.data.size()) + extendedBytes);
    put32(out, originalSize);
    put32(out, m.rawTime);
    out.push_back(m.attribute);
    out.push_back(static_cast<uint8_t>(m.level));
    out.push_back(static_cast<uint8_t>(m.name.size()));
    out.insert(out.end(), m.name.begin(), m.name.end());
    if (m.level == 0) {
      if (m.withCrc) put16(out, crc);
      out[0] = static_cast<uint8_t>(out.size() - 2);
    } else {
      put16(out, crc);
      out.push_back(m.osId);
      out[0] = static_cast<uint8_t>(out.size());  // the first length field sits at L
      out.insert(out.end(), chain.begin(), chain.end());
    }
  }
  out.insert(out.end(), m.data.begin(), m.data.end());
  return out;
}

Bytes encodeArchive(const std::vector<Member>& members, bool endMark) {
  Bytes out;
  for (const Member& m : members) {
    const Bytes one = encodeMember(m);
    out.insert(out.end(), one.begin(), one.end());
  }
  if (endMark) out.push_back(0);
  return out;
}

Bytes fakeStub() {
  Bytes image(0x600, 0);
  const auto put = [&image](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) image[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  image[0] = 'M', image[1] = 'Z';
  put(0x3C, 0x80, 4);
  image[0x80] = 'P', image[0x81] = 'E';
  put(0x84 + 2, 2, 2);   // sections
  put(0x84 + 16, 0, 2);  // optional header size
  const size_t sections = 0x84 + 20;
  put(sections + 16, 0x200, 4), put(sections + 20, 0x400, 4);            // .b: 0x400..0x600
  put(sections + 40 + 16, 0x200, 4), put(sections + 40 + 20, 0x200, 4);  // .a: 0x200..0x400
  return image;
}

Bytes emptySettingsBlock() { return Bytes{0}; }

void writeFileBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

Bytes readFileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zolt-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ignored);
  std::filesystem::remove_all(path_, ignored);
}

CurrentDirectory::CurrentDirectory(const std::filesystem::path& folder)
    : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(folder);
}

CurrentDirectory::~CurrentDirectory() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

std::u16string utf16(const std::string& utf8) { return utf8ToUtf16(utf8.data(), utf8.size()); }

std::unique_ptr<FileObject> openForReading(const std::filesystem::path& path) {
  auto file = std::make_unique<FileObject>();
  file->open(path.u16string().c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ,
             platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
  return file;
}

std::unique_ptr<FileObject> openBytes(const ScratchFolder& folder, const std::string& name, const Bytes& bytes) {
  writeFileBytes(folder.path() / name, bytes);
  return openForReading(folder.path() / name);
}

}  // namespace lzhtest
