// Writers used by `zsfx make` and `zsfx pack`: the settings block and LZH archives of a folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "decode/method_list.h"

// What `zsfx make` puts into the settings block. Strings are UTF-16, at most 255 units each.
struct SettingsBlockSpec {
  bool present = true;  // false writes the 1-byte block with marker 0
  std::u16string title;
  bool programFilesBase = false;
  std::u16string destination;
  std::u16string shortcutTarget;
  uint8_t startMenuOption = 0;
  uint8_t desktopOption = 0;
  uint8_t sendToOption = 0;
  std::u16string programToRun;
  std::u16string shortcutName;
};

// The block's bytes; false with a message when a string is longer than 255 units.
bool encodeSettingsBlock(const SettingsBlockSpec& settings, std::vector<uint8_t>& out, std::string& error);

enum class PackMethod { lh0, lh5, lh6, lh7 };

// The number of a packing method in the method list that the decoders read (METHODS), where
// its identifier and window size are kept.
constexpr int methodNumberOf(PackMethod method) {
  switch (method) {
    case PackMethod::lh5: return METHOD_LH5;
    case PackMethod::lh6: return METHOD_LH6;
    case PackMethod::lh7: return METHOD_LH7;
    case PackMethod::lh0: break;
  }
  return METHOD_LH0;
}
constexpr MethodId methodIdOf(PackMethod method) { return methodIdOf(methodNumberOf(method)); }
enum class PackLevel { fast, normal, best };

struct PackOptions {
  PackMethod method = PackMethod::lh0;
  PackLevel level = PackLevel::normal;
  // Code page of the byte-string names that tools without UTF-16 support read: UTF-8
  // (65001), or 932 for old Japanese tools.
  uint32_t nameCodePage = 65001;
  // Compressing threads; 0: one per processor. The output does not depend on it.
  unsigned threads = 0;
  // When set, no member time is later than this Unix time (SOURCE_DATE_EPOCH).
  std::optional<int64_t> latestTime;
};

// What a folder archive will hold, listed before anything is written.
struct FolderEntry {
  std::filesystem::path source;
  std::u16string memberPath;  // relative, "/" between parts
  bool isDirectory = false;
  int64_t modificationTime = 0;
  uint64_t size = 0;
};
struct FolderPlan {
  std::vector<FolderEntry> entries;
  // One line per thing left out (dangling link, link loop, fifo, socket, device), naming it.
  std::vector<std::string> skipped;
};

// Lists everything inside folder (not the folder itself) depth first, names in UTF-16 order,
// each folder before its content. Links are followed. Not ok, with a message naming the
// path, when a name has no code in options.nameCodePage (unencodableName), or a folder
// cannot be read or a file is too large for an LZH member (failed).
enum class PlanStatus { ok, unencodableName, failed };
PlanStatus planFolder(const std::filesystem::path& folder, const PackOptions& options, FolderPlan& plan,
                std::string& error);

// Writes an LZH archive (level-2 headers, names, directory entries, modification times,
// CRC-16, end-of-archive byte) of a planned folder to out. False with a message naming the
// file on failure.
bool writeFolderArchive(const FolderPlan& plan, const PackOptions& options, std::FILE* out, std::string& error);

// planFolder and writeFolderArchive in one; what was skipped is not reported.
bool packFolder(const std::filesystem::path& folder, const PackOptions& options, std::FILE* out,
                std::string& error);

// --- Lower level: one member's packed data, and an archive written member by member ---

// Packs data with -lh5-, -lh6- or -lh7- (any decoder of the method reads it back); for lh0 the
// bytes themselves. The same bytes as a member of a folder archive gets.
std::vector<uint8_t> encodeStaticHuffman(PackMethod method, PackLevel level, const uint8_t* data,
                                         size_t size);
inline std::vector<uint8_t> encodeStaticHuffman(PackMethod method, PackLevel level,
                                                const std::vector<uint8_t>& data) {
  return encodeStaticHuffman(method, level, data.data(), data.size());
}

struct MemberHeaderFields;

// Writes level-2 member headers and packed data to a file, then the end-of-archive byte.
// Paths are relative, UTF-16, with "/" between parts.
class LzhArchiveWriter {
 public:
  // nameCodePage: of the byte-string names (see PackOptions).
  explicit LzhArchiveWriter(std::FILE* out, uint32_t nameCodePage = 65001) : out_(out), nameCodePage_(nameCodePage) {}

  // A "-lhd-" entry, so that the folder exists after extraction even when it is empty.
  bool addDirectory(const std::u16string& path, int64_t modificationTime, std::string& error);
  // One file member: packed with options.method, or stored (-lh0-) when that is not smaller.
  bool addFile(const std::u16string& path, const uint8_t* data, size_t size, int64_t modificationTime,
               const PackOptions& options, std::string& error);
  // A member written before its sizes and CRC are known: beginMember writes the header as
  // given and notes where it starts, writeData appends packed data, and finishMember puts
  // the final header in place (the path is the same, so the header has the same length).
  // restartMember goes back to the member's start to write it again, header first (a member
  // that did not shrink is stored instead); finish cuts off what the first try left behind.
  bool beginMember(const MemberHeaderFields& fields, std::string& error);
  bool writeData(const uint8_t* bytes, size_t count, std::string& error) { return put(bytes, count, error); }
  bool finishMember(const MemberHeaderFields& fields, std::string& error);
  bool restartMember(const MemberHeaderFields& fields, std::string& error);

  // The end-of-archive byte; call once after the last member.
  bool finish(std::string& error);

  uint64_t bytesWritten() const { return written_; }

 private:
  bool writeMember(const std::u16string& path, bool isDirectory, const char* method, uint32_t originalSize,
                   uint16_t crc, int64_t modificationTime, const uint8_t* packed, size_t packedSize,
                   std::string& error);
  bool writeHeader(const MemberHeaderFields& fields, std::string& error);
  bool put(const uint8_t* bytes, size_t count, std::string& error);
  bool seekFailed(std::string& error);

  std::FILE* out_;
  uint32_t nameCodePage_;
  uint64_t written_ = 0;
  // Of the member begun last: its file position and written_ at its start, its header length.
  uint64_t memberFileStart_ = 0;
  uint64_t memberStart_ = 0;
  size_t memberHeaderLength_ = 0;
  uint64_t longest_ = 0;  // the most bytes written so far, before any restart
};

// The level-2 header of one member (exposed for tests). False with a message when the path
// does not fit in the 4096 bytes a header may take.
struct MemberHeaderFields {
  std::u16string path;  // relative, "/" between parts; for a directory the folder itself
  bool isDirectory = false;
  char method[6] = "-lh0-";
  uint64_t packedSize = 0;    // sizes of 4 GiB and more also go into extended header 0x42
  uint64_t originalSize = 0;
  uint16_t crc = 0;
  int64_t modificationTime = 0;
  uint32_t nameCodePage = 65001;  // of the byte-string names: UTF-8, or a legacy code page such as 932
};
bool encodeMemberHeader(const MemberHeaderFields& fields, std::vector<uint8_t>& out, std::string& error);
