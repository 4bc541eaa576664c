// Level-2 LZH member headers and the archive writer.
//
// A level-2 header is one length-prefixed record: a 26-byte base (total header length,
// method, packed and original size, Unix time, attribute, level 2, CRC-16 of the data,
// OS id, length of the first extended header) followed by extended headers, each a type
// byte, its data and the length of the next one (0 ends the chain).
#include <algorithm>
#include <cstring>

#include "pack/pack.h"

#include "core/lzh_format.h"
#include "decode/crc16.h"
#include "pack/code_page.h"
#include "pack/file_access.h"

namespace {

void putLe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void putLe32(std::vector<uint8_t>& out, uint32_t v) {
  putLe16(out, v & 0xFFFF);
  putLe16(out, v >> 16);
}
void patchLe16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Appends one extended header. The length field in front of it already sits at the end of
// `out` (in the base header or the previous extended header); it is patched here.
void appendExtended(std::vector<uint8_t>& out, uint8_t type, const std::vector<uint8_t>& data) {
  patchLe16(out, out.size() - 2, static_cast<uint32_t>(data.size() + 3));
  out.push_back(type);
  out.insert(out.end(), data.begin(), data.end());
  putLe16(out, 0);  // the next length: none yet
}

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> utf16le(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) putLe16(bytes, c);
  return bytes;
}

}  // namespace

// The archive carries the same CRC-16 that the decoders check: one implementation for both.

bool encodeMemberHeader(const MemberHeaderFields& fields, std::vector<uint8_t>& out, std::string& error) {
  // Split "a/b/c" into the folder part "a/b/" and the name "c"; a directory entry carries
  // its whole path as folder and no name.
  std::u16string folder, name;
  if (fields.isDirectory) {
    folder = fields.path + u"/";
  } else {
    const size_t slash = fields.path.rfind(u'/');
    if (slash != std::u16string::npos) folder = fields.path.substr(0, slash + 1);
    name = fields.path.substr(slash == std::u16string::npos ? 0 : slash + 1);
  }

  std::vector<uint8_t> h;
  putLe16(h, 0);  // total length, patched below
  h.insert(h.end(), fields.method, fields.method + 5);
  // The base fields hold the low 32 bits of each size; 0x42 below holds them whole.
  putLe32(h, static_cast<uint32_t>(fields.packedSize));
  putLe32(h, static_cast<uint32_t>(fields.originalSize));
  // The time field is read back as a signed 32-bit Unix time.
  const int64_t time = std::clamp<int64_t>(fields.modificationTime, INT32_MIN, INT32_MAX);
  putLe32(h, static_cast<uint32_t>(time));
  h.push_back(fields.isDirectory ? lzh::ATTRIBUTE_DIRECTORY : lzh::ATTRIBUTE_ARCHIVE);
  h.push_back(lzh::LEVEL_2);
  putLe16(h, fields.crc);
  h.push_back(lzh::OS_MSDOS);
  putLe16(h, 0);  // first extended header length

  // The byte-string names (0x01/0x02) are what most LZH tools read: UTF-8 unless an older
  // code page was asked for. Separators in 0x02 are 0xFF, a byte that neither UTF-8 nor
  // Shift_JIS uses, so a trail byte 0x5C stays part of its character. The UTF-16 headers
  // (0x44/0x45) keep the exact text for the readers that know them; those take precedence.
  std::string nameBytes, folderBytes;
  if (!encodeInCodePage(name, fields.nameCodePage, nameBytes) ||
      !encodeInCodePage(folder, fields.nameCodePage, folderBytes)) {
    error = "the name has no code in code page " + std::to_string(fields.nameCodePage);
    return false;
  }
  std::replace(folderBytes.begin(), folderBytes.end(), '/', '\xFF');

  const size_t commonAt = h.size();
  appendExtended(h, lzh::EXT_COMMON, {0, 0});  // header CRC, filled in last
  // Whether 0x42 is written depends on the original size alone, which is known before the
  // data: a member's header keeps its length when it is filled in after its data. (A
  // packed size of 4 GiB or more comes only with an original size at least as large.)
  if (fields.originalSize > 0xFFFFFFFFu) {
    std::vector<uint8_t> sizes;
    putLe32(sizes, static_cast<uint32_t>(fields.packedSize));
    putLe32(sizes, static_cast<uint32_t>(fields.packedSize >> 32));
    putLe32(sizes, static_cast<uint32_t>(fields.originalSize));
    putLe32(sizes, static_cast<uint32_t>(fields.originalSize >> 32));
    static_assert(lzh::EXT_SIZES_64_DATA == 16);
    appendExtended(h, lzh::EXT_SIZES_64, sizes);
  }
  appendExtended(h, lzh::EXT_FILE_NAME, bytesOf(nameBytes));
  if (!folder.empty()) appendExtended(h, lzh::EXT_DIRECTORY, bytesOf(folderBytes));
  if (!name.empty()) appendExtended(h, lzh::EXT_UNICODE_NAME, utf16le(name));
  if (!folder.empty()) appendExtended(h, lzh::EXT_UNICODE_DIRECTORY, utf16le(folder));

  // The first byte of a header is never 0: a reader takes 0 there for the end of the archive.
  if ((h.size() & 0xFF) == 0) h.push_back(0);
  if (h.size() > HEADER_BUFFER_SIZE) {
    error = "path too long for an archive header (" + std::to_string(fields.path.size()) +
            " UTF-16 units; the header would take " + std::to_string(h.size()) + " of at most " +
            std::to_string(HEADER_BUFFER_SIZE) + " bytes)";
    return false;
  }
  patchLe16(h, 0, static_cast<uint32_t>(h.size()));
  const uint16_t headerCrc = crc16Update(0, h.data(), h.size());
  patchLe16(h, commonAt + 1, headerCrc);
  out = std::move(h);
  return true;
}

bool LzhArchiveWriter::put(const uint8_t* bytes, size_t count, std::string& error) {
  if (count != 0 && std::fwrite(bytes, 1, count, out_) != count) {
    error = std::string("cannot write the archive: ") + std::strerror(errno);
    return false;
  }
  written_ += count;
  longest_ = std::max(longest_, written_);
  return true;
}

bool LzhArchiveWriter::seekFailed(std::string& error) {
  error = std::string("cannot go back in the archive to fill in a header (is it a pipe?): ") + std::strerror(errno);
  return false;
}

bool LzhArchiveWriter::writeHeader(const MemberHeaderFields& fields, std::string& error) {
  MemberHeaderFields named = fields;
  named.nameCodePage = nameCodePage_;
  std::vector<uint8_t> header;
  if (!encodeMemberHeader(named, header, error)) return false;
  memberHeaderLength_ = header.size();
  return put(header.data(), header.size(), error);
}

bool LzhArchiveWriter::beginMember(const MemberHeaderFields& fields, std::string& error) {
  if (!tellOutput(out_, memberFileStart_)) return seekFailed(error);
  memberStart_ = written_;
  return writeHeader(fields, error);
}

bool LzhArchiveWriter::finishMember(const MemberHeaderFields& fields, std::string& error) {
  const size_t firstLength = memberHeaderLength_;
  const uint64_t end = written_;
  uint64_t fileEnd = 0;
  if (!tellOutput(out_, fileEnd) || !seekOutput(out_, memberFileStart_)) return seekFailed(error);
  written_ = memberStart_;
  if (!writeHeader(fields, error)) return false;
  if (memberHeaderLength_ != firstLength) {
    error = "internal error: a member header changed its length";
    return false;
  }
  written_ = end;
  return seekOutput(out_, fileEnd) || seekFailed(error);
}

bool LzhArchiveWriter::restartMember(const MemberHeaderFields& fields, std::string& error) {
  if (!seekOutput(out_, memberFileStart_)) return seekFailed(error);
  written_ = memberStart_;
  return writeHeader(fields, error);
}

bool LzhArchiveWriter::writeMember(const std::u16string& path, bool isDirectory, const char* method,
                                   uint32_t originalSize, uint16_t crc, int64_t modificationTime,
                                   const uint8_t* packed, size_t packedSize, std::string& error) {
  MemberHeaderFields fields;
  fields.path = path;
  fields.isDirectory = isDirectory;
  std::memcpy(fields.method, method, 5);
  fields.packedSize = packedSize;
  fields.originalSize = originalSize;
  fields.crc = crc;
  fields.modificationTime = modificationTime;
  fields.nameCodePage = nameCodePage_;
  std::vector<uint8_t> header;
  if (!encodeMemberHeader(fields, header, error)) return false;
  return put(header.data(), header.size(), error) && put(packed, packedSize, error);
}

bool LzhArchiveWriter::addDirectory(const std::u16string& path, int64_t modificationTime, std::string& error) {
  return writeMember(path, true, methodIdOf(METHOD_DIRECTORY).text, 0, 0, modificationTime, nullptr, 0, error);
}

bool LzhArchiveWriter::addFile(const std::u16string& path, const uint8_t* data, size_t size,
                               int64_t modificationTime, const PackOptions& options, std::string& error) {
  constexpr size_t kMaxMemberBytes = 0xFFFFFFFFu;  // the size fields are 32 bits
  if (size > kMaxMemberBytes) {
    error = "file too large for an LZH member (" + std::to_string(size) + " bytes; at most " +
            std::to_string(kMaxMemberBytes) + ")";
    return false;
  }
  const uint16_t crc = crc16Update(0, data, size);
  if (options.method != PackMethod::lh0 && size != 0) {
    std::vector<uint8_t> packed = encodeStaticHuffman(options.method, options.level, data, size);
    if (packed.size() < size) {
      return writeMember(path, false, methodIdOf(options.method).text, static_cast<uint32_t>(size), crc, modificationTime, packed.data(),
                         packed.size(), error);
    }
  }
  return writeMember(path, false, methodIdOf(METHOD_LH0).text, static_cast<uint32_t>(size), crc, modificationTime, data, size, error);
}

bool LzhArchiveWriter::finish(std::string& error) {
  const uint8_t end = 0;
  if (!put(&end, 1, error)) return false;
  if (std::fflush(out_) != 0) {
    error = std::string("cannot write the archive: ") + std::strerror(errno);
    return false;
  }
  // A restarted member may have left bytes of its first try behind the end.
  uint64_t fileEnd = 0;
  if (longest_ > written_ && (!tellOutput(out_, fileEnd) || !truncateOutput(out_, fileEnd))) {
    error = std::string("cannot cut the archive to its length: ") + std::strerror(errno);
    return false;
  }
  return true;
}
