#include "tools/zsfx/archive_input.h"

#include <cstdint>
#include <memory>

#include "core/payload_offset.h"
#include "pack/quoted_path.h"
#include "platform/platform.h"
#include "tools/zsfx/commands.h"
#include "tools/zsfx/text.h"

namespace {

std::string systemText(uint32_t code) {
  char16_t text[512];
  if (platform::systemErrorText(code, text, 512) > 0) return toUtf8(text);
  return "error " + std::to_string(code);
}

// A plain archive starts with a member header ("-xxx-" at offset 2) or is just the
// end-of-archive byte.
bool looksLikeLzh(const uint8_t* head, int32_t length) {
  if (length >= 1 && head[0] == 0) return true;
  return length >= 22 && head[2] == '-' && head[6] == '-';
}

int fail(const std::u16string& path, const std::string& reason, int status) {
  printErr("zsfx: " + inQuotes(path) + ": " + reason + "\n");
  return status;
}

// Opens the file and finds where its archive starts.
int openFile(const std::u16string& path, SfxApp& app, ArchiveKind& kind) {
  auto file = std::make_unique<FileObject>();
  file->open(path.c_str(), platform::GENERIC_READ_ACCESS, platform::SHARE_READ, platform::DISPOSITION_OPEN_EXISTING,
             platform::ATTRIBUTE_NORMAL);
  if (!file->isOpen()) return fail(path, systemText(platform::lastError()), EXIT_USAGE);
  uint8_t head[22] = {};
  const int32_t got = file->read(sizeof head, head);
  if (got >= 2 && head[0] == 'M' && head[1] == 'Z') {
    kind = ArchiveKind::selfExtracting;
    uint64_t offset = 0;
    if (!findPayloadOffset(*file, &offset)) return fail(path, "not a self-extracting file (damaged PE headers)", EXIT_USAGE);
    file.reset();
    switch (openPayloadFrom(app, path.c_str())) {
      case PayloadOpen::ok: return EXIT_OK;
      case PayloadOpen::cutSettings:
        return fail(path, "the settings block is cut short: the file is damaged or incomplete", EXIT_MEMBER_FAILED);
      case PayloadOpen::failed:
      case PayloadOpen::noPayload: break;
    }
    return fail(path, "no settings block and archive after the stub image", EXIT_USAGE);
  }
  if (!looksLikeLzh(head, got)) return fail(path, "not an LZH archive or self-extracting file", EXIT_USAGE);
  if (!file->seek(0, platform::SEEK_FROM_BEGIN)) return fail(path, systemText(platform::lastError()), EXIT_USAGE);
  kind = ArchiveKind::plainLzh;
  app.archiveFile = std::move(file);
  return EXIT_OK;
}

}  // namespace

std::string payloadProblemText(const PayloadSurvey& survey) {
  switch (survey.problem) {
    case PayloadProblem::none: break;
    case PayloadProblem::damagedHeader:
      return survey.member.hasText() ? "the header after member " + inQuotes(survey.member.c_str()) + " is damaged or cut short"
                                     : "the first member header is damaged or cut short";
    case PayloadProblem::dataPastEnd:
      return "the archive ends inside the packed data of " + inQuotes(survey.member.c_str());
    case PayloadProblem::noEndMark: return "the archive ends without an end mark: the file is cut short";
    case PayloadProblem::checksumMismatch: return "the file's checksum does not match: it is damaged";
    case PayloadProblem::readFailed: return "the file cannot be read";
  }
  return {};
}

int openArchiveInput(const std::u16string& path, SfxApp& app, ArchiveKind& kind) {
  if (const int status = openFile(path, app, kind); status != EXIT_OK) return status;
  surveyPayload(app, app.payload);
  const PayloadProblem problem = app.payload.problem;
  if (problem == PayloadProblem::none) return EXIT_OK;
  if (kind == ArchiveKind::selfExtracting || problem == PayloadProblem::checksumMismatch ||
      problem == PayloadProblem::readFailed) {
    return fail(path, payloadProblemText(app.payload), EXIT_MEMBER_FAILED);
  }
  // A plain archive: what a member walk finds (a damaged header, data past the end) each
  // command reports as it gets there; only the missing end mark needs a word here.
  if (problem == PayloadProblem::noEndMark) {
    printErr("zsfx: warning: " + inQuotes(path) + " ends without an end mark; it may be cut short\n");
  }
  return EXIT_OK;
}
