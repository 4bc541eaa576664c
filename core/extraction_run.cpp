#include "core/extraction_run.h"

void ExtractionRun::begin(uint64_t totalBytes) {
  totalBytes_ = totalBytes;
  doneBytes_ = 0;
  lastPercent_ = 0;
}

void ExtractionRun::progress(uint64_t memberBytesDone) {
  const uint64_t total = totalBytes_;
  if (total == 0) return;
  const uint64_t done = doneBytes_ + memberBytesDone;
  // Small totals are scaled first so that each byte still moves the bar; large ones are
  // divided first so that done * 100 cannot overflow, whatever the total.
  const auto percent = static_cast<uint32_t>(total <= 1000 ? (done * 100) / total : done / (total / 100));
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  observer_->progressPercent(percent);
}
