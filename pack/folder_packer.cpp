// planFolder: what a folder archive holds, listed and checked before anything is written.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include "pack/code_page.h"
#include "pack/pack.h"
#include "pack/quoted_path.h"
#include "platform/utf8.h"

namespace fs = std::filesystem;

namespace {

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

const char* kindOf(fs::file_type type) {
  switch (type) {
    case fs::file_type::fifo: return "a fifo";
    case fs::file_type::socket: return "a socket";
    case fs::file_type::block: return "a block device";
    case fs::file_type::character: return "a character device";
    default: return "not a file or folder";
  }
}

class FolderLister {
 public:
  FolderLister(const PackOptions& options, FolderPlan& plan) : options_(options), plan_(plan) {}

  // Depth first; within a folder, names in UTF-16 code unit order, so the archive does not
  // depend on the order the file system lists them in. `ancestors` holds the canonical
  // paths of the folders from the root down to this one: a link back to one of them would
  // never end.
  PlanStatus collect(const fs::path& folder, const std::u16string& prefix, std::vector<fs::path>& ancestors,
                     std::string& error) {
    std::vector<std::pair<std::u16string, fs::path>> children;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      children.emplace_back(it->path().filename().u16string(), it->path());
    if (ec) {
      error = "cannot list " + describe(folder) + ": " + ec.message();
      return PlanStatus::failed;
    }
    std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [name, path] : children) {
      FolderEntry item{path, prefix + name, false, 0, 0};
      const bool isLink = fs::is_symlink(fs::symlink_status(path, ec));
      const fs::file_status target = fs::status(path, ec);  // what a link points to
      if (ec || !fs::exists(target)) {
        if (!isLink) {
          error = "cannot read " + describe(path) + ": " + ec.message();
          return PlanStatus::failed;
        }
        skip(path, ec.value() == ELOOP ? "a link loop" : "a dangling link");
        continue;
      }
      if (fs::is_directory(target)) {
        const fs::path canonical = fs::canonical(path, ec);
        if (ec || std::find(ancestors.begin(), ancestors.end(), canonical) != ancestors.end()) {
          skip(path, "a link loop");
          continue;
        }
        item.isDirectory = true;
        if (const PlanStatus status = add(item, error); status != PlanStatus::ok) return status;
        ancestors.push_back(canonical);
        const PlanStatus status = collect(path, item.memberPath + u"/", ancestors, error);
        ancestors.pop_back();
        if (status != PlanStatus::ok) return status;
      } else if (fs::is_regular_file(target)) {
        item.size = fs::file_size(path, ec);
        if (ec) {
          error = "cannot read " + describe(path) + ": " + ec.message();
          return PlanStatus::failed;
        }
        if (const PlanStatus status = add(item, error); status != PlanStatus::ok) return status;
      } else {
        skip(path, kindOf(target.type()));
      }
    }
    return PlanStatus::ok;
  }

 private:
  // Checks the entry's name, takes its time and adds it to the plan.
  PlanStatus add(FolderEntry& item, std::string& error) {
    std::string encoded;
    if (!encodeInCodePage(item.memberPath, options_.nameCodePage, encoded)) {
      error = inQuotes(item.memberPath) + " has no code in code page " +
              std::to_string(options_.nameCodePage) + "; rename it or write UTF-8 names";
      return PlanStatus::unencodableName;
    }
    if (!modificationTimeOf(item.source, item.modificationTime, error)) return PlanStatus::failed;
    if (options_.latestTime && item.modificationTime > *options_.latestTime)
      item.modificationTime = *options_.latestTime;
    plan_.entries.push_back(item);
    return PlanStatus::ok;
  }

  void skip(const fs::path& path, const char* why) {
    plan_.skipped.push_back("skipped " + describe(path) + ": " + why);
  }

  const PackOptions& options_;
  FolderPlan& plan_;
};

}  // namespace

PlanStatus planFolder(const fs::path& folder, const PackOptions& options, FolderPlan& plan, std::string& error) {
  plan = FolderPlan();
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    error = describe(folder) + " is not a folder";
    return PlanStatus::failed;
  }
  FolderLister lister(options, plan);
  std::vector<fs::path> ancestors{fs::canonical(folder, ec)};
  try {
    return lister.collect(folder, u"", ancestors, error);
  } catch (const std::exception& e) {  // a name that is not valid in the system's encoding
    error = "cannot list " + describe(folder) + ": " + e.what();
    return PlanStatus::failed;
  }
}

bool packFolder(const fs::path& folder, const PackOptions& options, std::FILE* out, std::string& error) {
  FolderPlan plan;
  return planFolder(folder, options, plan, error) == PlanStatus::ok && writeFolderArchive(plan, options, out, error);
}
