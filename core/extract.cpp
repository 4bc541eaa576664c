// The extraction run: every member of the archive in turn, into the destination folder.
#include "core/extract.h"

#include "core/app.h"
#include "core/member_decoder.h"
#include "core/member_kind.h"
#include "core/member_walk.h"
#include "core/output_paths.h"
#include "core/settings.h"
#include "core/temporary_name.h"
#include "platform/platform.h"

namespace {

void showWarning(SfxApp& app, const WideString& text) { app.observer().showMessage(text.c_str(), MessageKind::warning); }

// A member that failed, named with the reason (failureText): a run's failure always names
// the member.
void showMemberFailure(SfxApp& app, const char16_t* before, const WideString& path, const char16_t* after,
                       uint32_t error, const char16_t* reason = nullptr) {
  app.errorFlag = 1;
  showWarning(app, failureText(before, path, after, error, reason));
}

// Where a member's path (relative, made safe) is written: below the current directory, or
// below app.outputBase when the destination is too long to be the current directory.
WideString outputPathOf(const SfxApp& app, const WideString& path) {
  WideString target(app.outputBase);
  target.append(path);
  return target;
}

bool extractFolder(SfxApp& app, const WideString& path) {
  const WideString target = outputPathOf(app, path);
  // A folder that exists already is what a directory entry asks for: no warning. A file of
  // that name is in the way, and the entry fails.
  if (!createFolderChain(target.c_str())) {
    showMemberFailure(app, app.texts[Text::folderBefore], path, app.texts[Text::cannotCreateAfter], platform::lastError());
    return false;
  }
  if (!platform::isFolder(target.c_str())) {
    showMemberFailure(app, app.texts[Text::folderBefore], path, app.texts[Text::cannotCreateAfter], 0, app.texts[Text::fileClash]);
    return false;
  }
  app.observer().memberExtracted(path.c_str());
  return true;
}

// A file member: written and verified under a temporary name, then put in the target's
// place. On any failure the temporary file goes and the target keeps what it held.
bool extractFile(SfxApp& app, const LzhHeader& header, const WideString& path, int method) {
  const WideString target = outputPathOf(app, path);
  if (checkFolderClash(app, target, path)) return false;
  WideString temporary;
  if (!temporaryName(target, app.payload.takenSuffixes, temporary)) {
    showMemberFailure(app, app.texts[Text::fileBefore], path, app.texts[Text::cannotCreateAfter], platform::pathTooLongError());
    return false;
  }
  std::unique_ptr<FileObject> output = openOutputFile(temporary.c_str(), platform::GENERIC_WRITE_ACCESS, 0,
                                                      platform::DISPOSITION_CREATE_ALWAYS);
  if (output == nullptr || !output->isOpen()) {
    showMemberFailure(app, app.texts[Text::fileBefore], path, app.texts[Text::cannotCreateAfter], platform::lastError());
    return false;
  }
  const DecodeResult result =
      decodeMember(app.run, *app.archiveFile, *output, header.originalSize, header.packedSize, method);
  output.reset();  // closed before it is renamed, deleted or given its time
  bool done = !app.run.aborted() && acceptDecodedMember(app, header, path, result);
  if (done) {
    // The time first: the rename keeps it, and the target is never seen without it.
    setMemberTime(temporary, header);
    if (!platform::replaceFile(temporary.c_str(), target.c_str())) {
      showMemberFailure(app, app.texts[Text::fileBefore], path, app.texts[Text::cannotCreateAfter], platform::lastError());
      done = false;
    }
  }
  if (!done) platform::deleteFile(temporary.c_str());
  return done;
}

}  // namespace

bool acceptDecodedMember(SfxApp& app, const LzhHeader& header, const WideString& path,
                         const DecodeResult& result) {
  switch (result.status) {
    case DecodeStatus::writeFailed:
      showMemberFailure(app, app.texts[Text::fileBefore], path, app.texts[Text::cannotWriteAfter], result.systemError);
      return false;
    case DecodeStatus::damaged:
      app.errorFlag = 1;
      showWarning(app, corruptedFileText(app.texts, path));
      return false;
    case DecodeStatus::ok:
    case DecodeStatus::aborted:
      break;
  }
  if (header.hasCrc != 0 && result.crc != header.crc) {
    app.errorFlag = 1;
    showWarning(app, corruptedFileText(app.texts, path));
    return false;
  }
  return true;
}

WideString corruptedFileText(const RunTexts& texts, const WideString& path) {
  WideString text(texts[Text::fileBefore]);
  text.append(path);
  text.appendText(texts[Text::corruptedAfter]);
  return text;
}

bool checkFolderClash(SfxApp& app, const WideString& target, const WideString& path) {
  if (!platform::isFolder(target.c_str())) return false;
  WideString text(app.texts[Text::folderClashBefore]);
  text.append(path);
  text.appendText(app.texts[Text::folderClashAfter]);
  app.errorFlag = 1;
  showWarning(app, text);
  return true;
}

void setMemberTime(const WideString& path, const LzhHeader& header) {
  // A file whose time cannot be set is still a good file.
  platform::setFileTimes(path.c_str(), header.time);
}

void notifyShellCreated(SfxApp& app, const WideString& storedPath) {
  WideString item(app.destinationFolder);
  if (item.isEmpty()) item = currentDirectoryPath();
  item.ensureTrailingChar(u'\\');
  item.append(storedPath);
  item.replaceSeparators(u'\\');
  platform::shellNotifyCreated(item.c_str());
}

bool extractMember(SfxApp& app, LzhHeader& header) {
  const MemberClass member = classifyMember(header);
  // A link is skipped (no folder, no file), and so is an unknown method, without a word.
  if (member.kind == MemberKind::link || member.kind == MemberKind::unknownMethod) return true;
  WideString path(header.path);
  makeSafeMemberPath(path);
  if (member.kind == MemberKind::folder) return extractFolder(app, path);
  if (!extractFile(app, header, path, member.method)) return false;
  app.observer().memberExtracted(path.c_str());
  return true;
}

void extractionWorker(SfxApp* app) {
  app->run.begin(app->payload.totalBytes);
  LzhHeader header;
  const WalkEnd end = forEachMember(*app, header, [app](LzhHeader& member) {
    const WideString announced(member.path);
    app->observer().memberAnnounced(announced.c_str());
    if (!extractMember(*app, member)) return false;
    // A skipped link made nothing to announce.
    if (classifyMember(member).kind != MemberKind::link) notifyShellCreated(*app, member.path);
    app->run.memberDone(member.originalSize);
    return true;
  });
  // A failed member, and also a rejected header: a damaged archive is a failed run, not
  // the end of the archive. (An archive without its end mark is refused before the run
  // when it is a self-extracting file's; a plain one may come from an archiver that wrote
  // none.)
  if (end != WalkEnd::endOfArchive && end != WalkEnd::endOfFile) app->errorFlag = 1;
  app->observer().runEnded(app->run.aborted());
}
