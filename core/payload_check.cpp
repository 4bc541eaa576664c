#include "core/payload_check.h"

#include <cstring>
#include <memory>

#include "core/app.h"
#include "core/crc32.h"
#include "core/lzh_format.h"
#include "core/member_walk.h"
#include "core/output_paths.h"
#include "core/temporary_name.h"
#include "platform/platform.h"

namespace {

// Reads [from, to] of the file through a buffer; false when a read falls short.
bool crcOfRange(FileObject& file, int64_t from, int64_t to, uint32_t& crc) {
  constexpr uint32_t kChunk = 256 * 1024;
  const std::unique_ptr<uint8_t[]> buffer(new uint8_t[kChunk]);
  if (!file.seek(from, platform::SEEK_FROM_BEGIN)) return false;
  crc = 0;
  for (int64_t left = to - from + 1; left > 0;) {
    const uint32_t n = left < kChunk ? static_cast<uint32_t>(left) : kChunk;
    if (file.read(n, buffer.get()) != static_cast<int32_t>(n)) return false;
    crc = crc32Update(crc, buffer.get(), n);
    left -= n;
  }
  return true;
}

// The trailer behind the end mark, if it is there: true and its CRC in *stored.
bool readTrailer(FileObject& file, int64_t endMark, uint32_t* stored) {
  uint8_t trailer[PAYLOAD_TRAILER_SIZE];
  if (!file.seek(endMark + 1, platform::SEEK_FROM_BEGIN) ||
      file.read(PAYLOAD_TRAILER_SIZE, trailer) != static_cast<int32_t>(PAYLOAD_TRAILER_SIZE) ||
      std::memcmp(trailer, PAYLOAD_TRAILER_MARK, sizeof PAYLOAD_TRAILER_MARK) != 0) {
    return false;
  }
  *stored = le32(trailer + sizeof PAYLOAD_TRAILER_MARK);
  return true;
}

}  // namespace

void surveyPayload(SfxApp& app, PayloadSurvey& survey) {
  survey = PayloadSurvey();
  FileObject& file = *app.archiveFile;
  const int64_t fileSize = file.size();
  if (fileSize < 0 || !file.seek(app.archiveStart, platform::SEEK_FROM_BEGIN)) {
    survey.problem = PayloadProblem::readFailed;
    return;
  }
  int64_t nextHeader = app.archiveStart;
  LzhHeader header;
  const WalkEnd end = forEachMember(
      app, header,
      [&](const LzhHeader& member) {
        ++survey.members;
        survey.member.assign(member.path);
        const int64_t dataStart = file.tell();
        // The packed data must lie inside the file: the run would otherwise stop half-way.
        if (member.packedSize > static_cast<uint64_t>(fileSize - dataStart)) {
          survey.problem = PayloadProblem::dataPastEnd;
          return false;
        }
        nextHeader = dataStart + static_cast<int64_t>(member.packedSize);
        WideString path(member.path);
        makeSafeMemberPath(path);
        survey.takenSuffixes = static_cast<uint16_t>(survey.takenSuffixes | suffixesEndingPath(path));
        survey.totalBytes += member.originalSize;
        if (member.originalSize > survey.largestMember) survey.largestMember = member.originalSize;
        return true;
      },
      HeaderRejections::quiet);
  switch (end) {
    case WalkEnd::endOfArchive:
      survey.endMark = nextHeader;
      break;
    case WalkEnd::endOfFile:
      survey.problem = PayloadProblem::noEndMark;
      break;
    case WalkEnd::rejected:
      survey.problem = PayloadProblem::damagedHeader;
      break;
    case WalkEnd::stopped:
      break;  // the problem is set
    case WalkEnd::seekFailed:
      survey.problem = PayloadProblem::readFailed;
      break;
  }
  if (survey.problem == PayloadProblem::none) survey.member.clear();

  // Flipped bits in a download of the right length hide in the packed data, where only the
  // member's CRC would find them, after the members before it were written.
  uint32_t stored = 0;
  if (survey.endMark >= 0 && readTrailer(file, survey.endMark, &stored)) {
    survey.hasChecksum = true;
    uint32_t crc = 0;
    if (!crcOfRange(file, app.payloadStart, survey.endMark, crc)) {
      survey.problem = PayloadProblem::readFailed;
    } else if (crc != stored) {
      survey.problem = PayloadProblem::checksumMismatch;
    }
  }
  if (!file.seek(app.archiveStart, platform::SEEK_FROM_BEGIN)) survey.problem = PayloadProblem::readFailed;
}
