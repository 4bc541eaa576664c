// writeFolderArchive: the members of a planned folder, one after the other.
#include <fstream>

#include "pack/pack.h"
#include "platform/utf8.h"

namespace fs = std::filesystem;

namespace {

std::string inQuotes(const std::u16string& text) {
  std::string out = "\"";
  out += utf16ToUtf8(text.c_str());
  out += '"';
  return out;
}
std::string describe(const fs::path& path) { return inQuotes(path.u16string()); }

bool readWholeFile(const FolderEntry& entry, std::vector<uint8_t>& bytes, std::string& error) {
  std::ifstream in(entry.source, std::ios::binary);
  if (!in) {
    error = "cannot open " + describe(entry.source);
    return false;
  }
  bytes.resize(static_cast<size_t>(entry.size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(entry.size));
  if (static_cast<uint64_t>(in.gcount()) != entry.size) {
    error = "cannot read " + describe(entry.source) + " (it changed or could not be read)";
    return false;
  }
  return true;
}

}  // namespace

bool writeFolderArchive(const FolderPlan& plan, const PackOptions& options, std::FILE* out, std::string& error) {
  LzhArchiveWriter writer(out, options.nameCodePage);
  std::vector<uint8_t> bytes;
  for (const FolderEntry& entry : plan.entries) {
    std::string memberError;
    bool ok;
    if (entry.isDirectory) {
      ok = writer.addDirectory(entry.memberPath, entry.modificationTime, memberError);
    } else {
      ok = readWholeFile(entry, bytes, memberError) &&
           writer.addFile(entry.memberPath, bytes.data(), bytes.size(), entry.modificationTime, options,
                          memberError);
    }
    if (!ok) {
      error = memberError.find(describe(entry.source)) == std::string::npos
                  ? describe(entry.source) + ": " + memberError
                  : memberError;
      return false;
    }
  }
  return writer.finish(error);
}
