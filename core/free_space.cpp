#include "core/free_space.h"

#include "core/app.h"
#include "core/member_kind.h"
#include "core/member_walk.h"
#include "core/output_paths.h"
#include "core/payload_check.h"
#include "platform/platform.h"

namespace {

bool isSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

// The folder itself, or the nearest parent that exists (a relative name with none: the
// current directory): GetDiskFreeSpaceExW and statvfs need an existing folder.
bool freeSpaceNear(const WideString& destination, uint64_t* bytes) {
  WideString folder(destination.isEmpty() ? u"." : destination.c_str());
  for (;;) {
    if (platform::isFolder(folder.c_str())) return platform::freeDiskSpace(folder.c_str(), bytes);
    // Drop the last part. A root ("C:\", "/") keeps its separator; a drive that is not there
    // ends the search.
    const char16_t* text = folder.c_str();
    uint32_t end = folder.length();
    while (end > 0 && isSeparator(text[end - 1])) --end;
    if (end > 0 && text[end - 1] == u':') return false;
    while (end > 0 && !isSeparator(text[end - 1])) --end;
    if (end == 0) {
      if (folder.equals(u".")) return false;
      folder.assign(u".");
      continue;
    }
    uint32_t keep = end - 1;  // without the separator
    while (keep > 0 && isSeparator(text[keep - 1])) --keep;
    if (keep == 0 || text[keep - 1] == u':') keep = end;
    WideString parent;
    parent.resizeZeroed(keep + 1);
    for (uint32_t i = 0; i < keep; ++i) *parent.charAt(i) = text[i];
    folder = parent;
  }
}

// A size in MB with one decimal, rounded up or down.
void appendMegabytes(WideString& text, uint64_t bytes, bool roundUp) {
  constexpr uint64_t kTenth = 1000 * 1000 / 10;
  const uint64_t tenths = roundUp ? (bytes + kTenth - 1) / kTenth : bytes / kTenth;
  text.appendNumber(tenths / 10);
  text.appendChar(u'.');
  text.appendChar(static_cast<char16_t>(u'0' + tenths % 10));
  text.appendText(u" MB");
}

}  // namespace

SpaceNeed measureSpaceNeed(SfxApp& app, const PayloadSurvey& survey, const WideString& destination) {
  SpaceNeed need;
  uint64_t replaced = 0;
  if (app.archiveFile->seek(app.archiveStart, platform::SEEK_FROM_BEGIN)) {
    LzhHeader header;
    forEachMember(
        app, header,
        [&](const LzhHeader& member) {
          if (classifyMember(member).kind != MemberKind::file) return true;
          WideString target(destination);
          target.ensureTrailingChar(u'/');
          WideString path(member.path);
          makeSafeMemberPath(path);
          target.append(path);
          uint64_t size = 0;
          if (platform::fileSizeAt(target.c_str(), &size)) replaced += size;
          return true;
        },
        HeaderRejections::quiet);
    app.archiveFile->seek(app.archiveStart, platform::SEEK_FROM_BEGIN);
  }
  const uint64_t written = survey.totalBytes > replaced ? survey.totalBytes - replaced : 0;
  need.needed = written + survey.largestMember;
  need.known = freeSpaceNear(destination, &need.available);
  return need;
}

WideString diskSpaceText(const RunTexts& texts, const SpaceNeed& need) {
  WideString text(texts[Text::notEnoughSpace]);
  text.appendText(texts[Text::spaceNeeded]);
  appendMegabytes(text, need.needed, true);
  text.appendText(texts[Text::spaceFree]);
  appendMegabytes(text, need.available, false);
  return text;
}
