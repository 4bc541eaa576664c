// packFolder: every file and folder below a folder, in a fixed order, as one LZH archive.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <system_error>

#include "pack/pack.h"

namespace fs = std::filesystem;

namespace {

struct FolderEntry {
  fs::path source;
  std::u16string memberPath;  // relative, "/" between parts
  bool isDirectory;
  int64_t modificationTime;
};

std::string describe(const fs::path& path) { return "\"" + path.string() + "\""; }

bool modificationTimeOf(const fs::path& path, int64_t& seconds, std::string& error) {
  std::error_code ec;
  const fs::file_time_type stamp = fs::last_write_time(path, ec);
  if (ec) {
    error = "cannot read the time of " + describe(path) + ": " + ec.message();
    return false;
  }
  const auto system = std::chrono::file_clock::to_sys(stamp);
  seconds = std::chrono::floor<std::chrono::seconds>(system).time_since_epoch().count();
  return true;
}

// Depth first; within a folder, names in UTF-16 code unit order, so the archive does not
// depend on the order the file system lists them in. Each folder's entry precedes its content.
bool collect(const fs::path& folder, const std::u16string& prefix, std::vector<FolderEntry>& entries,
             std::string& error) {
  std::vector<std::pair<std::u16string, fs::directory_entry>> children;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    children.emplace_back(it->path().filename().u16string(), *it);
  if (ec) {
    error = "cannot list " + describe(folder) + ": " + ec.message();
    return false;
  }
  std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [name, entry] : children) {
    const std::u16string memberPath = prefix + name;
    // Linked folders are not followed: a link to an ancestor would never end.
    const bool isLink = entry.is_symlink(ec);
    const bool isDirectory = !isLink && entry.is_directory(ec);
    const bool isFile = entry.is_regular_file(ec);
    if (!isDirectory && !isFile) continue;  // sockets, devices, links to folders
    FolderEntry item{entry.path(), memberPath, isDirectory, 0};
    if (!modificationTimeOf(entry.path(), item.modificationTime, error)) return false;
    entries.push_back(item);
    if (isDirectory && !collect(entry.path(), memberPath + u"/", entries, error)) return false;
  }
  return true;
}

bool readWholeFile(const fs::path& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  std::error_code ec;
  const uintmax_t size = fs::file_size(path, ec);
  if (!in || ec) {
    error = "cannot open " + describe(path) + (ec ? ": " + ec.message() : std::string());
    return false;
  }
  if (size > 0xFFFFFFFFu) {
    error = describe(path) + " is larger than the 4 GiB an LZH member can hold";
    return false;
  }
  bytes.resize(static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  if (static_cast<uintmax_t>(in.gcount()) != size) {
    error = "cannot read " + describe(path) + " (it changed or could not be read)";
    return false;
  }
  return true;
}

}  // namespace

bool packFolder(const fs::path& folder, const PackOptions& options, std::FILE* out, std::string& error) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    error = describe(folder) + " is not a folder";
    return false;
  }
  std::vector<FolderEntry> entries;
  try {
    if (!collect(folder, u"", entries, error)) return false;
  } catch (const std::exception& e) {  // a name that is not valid in the system's encoding
    error = "cannot list " + describe(folder) + ": " + e.what();
    return false;
  }
  LzhArchiveWriter writer(out);
  std::vector<uint8_t> bytes;
  for (const FolderEntry& entry : entries) {
    std::string memberError;
    bool ok;
    if (entry.isDirectory) {
      ok = writer.addDirectory(entry.memberPath, entry.modificationTime, memberError);
    } else {
      ok = readWholeFile(entry.source, bytes, memberError) &&
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
