// writeFolderArchive: the members of a planned folder, read in segments and packed on
// worker threads, written in order.
//
// This thread reads every file once, segment by segment, computes its CRC-16 and queues the
// segments; the workers pack them; this thread writes the results in the order they were
// queued. At most a few segments per worker are in memory at a time, whatever the size of
// the files. A member of one segment is written whole; a longer one is written as its
// segments come, and its header is filled in at the end.
#include <algorithm>
#include <cstring>
#include <memory>

#include "decode/crc16.h"
#include "pack/file_access.h"
#include "pack/job_pipeline.h"
#include "pack/lzh_encoder.h"
#include "pack/pack.h"
#include "pack/quoted_path.h"
#include "pack/stdio_file.h"
#include "pack/threads.h"
#include "platform/utf8.h"

namespace fs = std::filesystem;

namespace {

// One piece of one member: the segment's bytes behind the history that its matches may
// reach back into.
struct SegmentJob {
  const FolderEntry* entry = nullptr;
  bool first = true;
  bool last = true;
  size_t history = 0;
  std::vector<uint8_t> input;  // history, then the segment
  uint16_t crc = 0;            // of the whole member, on its last segment
  lzhpack::PackedBits packed;
};

class FolderWriter {
 public:
  FolderWriter(const PackOptions& options, std::FILE* out)
      : options_(options),
        shape_(lzhpack::methodShape(options.method)),
        window_(options.method == PackMethod::lh0 ? 0 : size_t(1) << shape_.dictionaryBits),
        writer_(out, options.nameCodePage),
        threads_(options.threads != 0 ? options.threads : lzhpack::processorCount()),
        pipeline_(threads_, [this](SegmentJob& job) { pack(job); }) {}

  bool write(const FolderPlan& plan, std::string& error) {
    for (const FolderEntry& entry : plan.entries) {
      if (!queueMember(entry, error)) return false;
    }
    while (pipeline_.queued() != 0) {
      if (!writeOldest(error)) return false;
    }
    return writer_.finish(error);
  }

 private:
  // Two segments per thread keep every worker busy while this thread writes and reads.
  size_t queueLimit() const { return 2 * size_t(threads_); }

  void pack(SegmentJob& job) const {
    if (options_.method == PackMethod::lh0) return;
    lzhpack::encodeSegment(shape_, options_.level, job.input.data(), job.history, job.input.size(), job.packed);
  }

  bool queue(std::unique_ptr<SegmentJob> job, bool needsWork, std::string& error) {
    while (pipeline_.queued() >= queueLimit() || (pipeline_.queued() != 0 && pipeline_.oldestIsDone())) {
      if (!writeOldest(error)) return false;
    }
    pipeline_.submit(std::move(job), !needsWork);
    return true;
  }

  // Jobs written are kept for reuse: their buffers stay mapped, which spares the page
  // faults of fresh 4 MiB buffers (they doubled the system time of a threaded run).
  bool writeOldest(std::string& error) {
    std::unique_ptr<SegmentJob> job = pipeline_.takeOldest();
    if (!writeResult(*job, error)) return false;
    spareJobs_.push_back(std::move(job));
    return true;
  }

  std::unique_ptr<SegmentJob> newJob(const FolderEntry& entry) {
    std::unique_ptr<SegmentJob> job;
    if (spareJobs_.empty()) {
      job = std::make_unique<SegmentJob>();
    } else {
      job = std::move(spareJobs_.back());
      spareJobs_.pop_back();
    }
    job->entry = &entry;
    job->first = job->last = true;
    job->history = 0;
    job->input.clear();
    job->crc = 0;
    job->packed.bytes.clear();
    job->packed.bitCount = 0;
    return job;
  }

  bool queueMember(const FolderEntry& entry, std::string& error) {
    if (entry.isDirectory || entry.size == 0) {
      return queue(newJob(entry), false, error);
    }
    const StdioFile in(openForReading(entry.source));
    if (!in) {
      error = "cannot open " + describe(entry.source) + ": " + std::strerror(errno);
      return false;
    }
    bool ok = true;
    uint16_t crc = 0;
    std::vector<uint8_t> history;  // the last window of bytes read
    for (uint64_t offset = 0; ok && offset < entry.size;) {
      const size_t count = static_cast<size_t>(std::min<uint64_t>(lzhpack::kSegmentBytes, entry.size - offset));
      std::unique_ptr<SegmentJob> job = newJob(entry);
      job->first = offset == 0;
      job->last = offset + count == entry.size;
      job->history = history.size();
      job->input.resize(history.size() + count);
      std::copy(history.begin(), history.end(), job->input.begin());
      uint8_t* segment = job->input.data() + history.size();
      if (std::fread(segment, 1, count, in.get()) != count) {
        error = "cannot read " + describe(entry.source) + " (it became shorter, or a read failed)";
        ok = false;
        break;
      }
      crc = crc16Update(crc, segment, count);
      job->crc = crc;
      const size_t keep = std::min(window_, job->input.size());
      history.assign(job->input.end() - static_cast<std::ptrdiff_t>(keep), job->input.end());
      offset += count;
      ok = queue(std::move(job), options_.method != PackMethod::lh0, error);
    }
    return ok;
  }

  MemberHeaderFields fieldsOf(const FolderEntry& entry, const char* method) const {
    MemberHeaderFields fields;
    fields.path = entry.memberPath;
    fields.isDirectory = entry.isDirectory;
    std::memcpy(fields.method, method, 5);
    fields.originalSize = entry.size;
    fields.modificationTime = entry.modificationTime;
    return fields;
  }

  bool writeResult(SegmentJob& job, std::string& error) {
    const FolderEntry& entry = *job.entry;
    if (!writeSegment(job, error)) {
      if (error.find(describe(entry.source)) == std::string::npos) error = describe(entry.source) + ": " + error;
      return false;
    }
    return true;
  }

  bool writeSegment(SegmentJob& job, std::string& error) {
    const FolderEntry& entry = *job.entry;
    if (entry.isDirectory) return writer_.addDirectory(entry.memberPath, entry.modificationTime, error);
    const uint8_t* raw = job.input.data() + job.history;
    const size_t rawSize = job.input.size() - job.history;
    const bool stored = options_.method == PackMethod::lh0;

    if (job.first && job.last) {  // the whole member is here
      const bool packs = !stored && job.packed.bytes.size() < rawSize;
      MemberHeaderFields fields = fieldsOf(entry, methodIdOf(packs ? options_.method : PackMethod::lh0).text);
      fields.crc = job.crc;
      fields.packedSize = packs ? job.packed.bytes.size() : rawSize;
      const uint8_t* data = packs ? job.packed.bytes.data() : raw;
      return writer_.beginMember(fields, error) && writer_.writeData(data, fields.packedSize, error);
    }

    if (job.first) {
      if (!writer_.beginMember(fieldsOf(entry, methodIdOf(options_.method).text), error)) return false;
      packedBytes_ = 0;
    }
    if (stored) {
      if (!writer_.writeData(raw, rawSize, error)) return false;
      packedBytes_ += rawSize;
    } else {
      joiner_.append(job.packed.bytes.data(), job.packed.bitCount);
      if (job.last) joiner_.finish();
      std::vector<uint8_t>& bytes = joiner_.bytes();
      if (!writer_.writeData(bytes.data(), bytes.size(), error)) return false;
      packedBytes_ += bytes.size();
      bytes.clear();
    }
    if (!job.last) return true;

    if (stored || packedBytes_ < entry.size) {
      MemberHeaderFields fields = fieldsOf(entry, methodIdOf(options_.method).text);
      fields.crc = job.crc;
      fields.packedSize = packedBytes_;
      return writer_.finishMember(fields, error);
    }
    return storeAgain(entry, job.crc, error);
  }

  // A member that did not shrink is written again, stored, from a second reading of its file.
  bool storeAgain(const FolderEntry& entry, uint16_t crc, std::string& error) {
    MemberHeaderFields fields = fieldsOf(entry, methodIdOf(PackMethod::lh0).text);
    fields.crc = crc;
    fields.packedSize = entry.size;
    if (!writer_.restartMember(fields, error)) return false;
    const StdioFile in(openForReading(entry.source));
    if (!in) {
      error = "cannot open " + describe(entry.source) + " again: " + std::strerror(errno);
      return false;
    }
    std::vector<uint8_t> chunk(1u << 20);
    uint16_t again = 0;
    bool ok = true;
    for (uint64_t left = entry.size; ok && left > 0;) {
      const size_t count = static_cast<size_t>(std::min<uint64_t>(chunk.size(), left));
      ok = std::fread(chunk.data(), 1, count, in.get()) == count;
      if (!ok) break;
      again = crc16Update(again, chunk.data(), count);
      ok = writer_.writeData(chunk.data(), count, error);
      left -= count;
    }
    if (ok && again != crc) {
      error = describe(entry.source) + " changed while it was being packed";
      return false;
    }
    if (!ok && error.empty()) error = "cannot read " + describe(entry.source) + " again";
    return ok;
  }

  const PackOptions& options_;
  lzhpack::MethodShape shape_;
  size_t window_;  // history a segment carries: the method's window
  LzhArchiveWriter writer_;
  unsigned threads_;
  // The member being written: its packed stream so far.
  lzhpack::BitJoiner joiner_;
  uint64_t packedBytes_ = 0;
  std::vector<std::unique_ptr<SegmentJob>> spareJobs_;
  // Last: its destructor stops the workers before the members above go away.
  lzhpack::JobPipeline<SegmentJob> pipeline_;
};

}  // namespace

bool writeFolderArchive(const FolderPlan& plan, const PackOptions& options, std::FILE* out, std::string& error) {
  FolderWriter writer(options, out);
  return writer.write(plan, error);
}
