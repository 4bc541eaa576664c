// The extraction run: every member of the archive in turn, into the current directory.
#include "core/extract.h"

#include "core/app.h"
#include "core/member_decoder.h"
#include "core/member_kind.h"
#include "core/member_walk.h"
#include "core/output_paths.h"
#include "core/settings.h"
#include "platform/platform.h"

namespace {

constexpr char16_t kCorruptedBefore[] = u"ファイル ";
constexpr char16_t kCorruptedAfter[] = u" が壊れています。";
constexpr char16_t kFolderClashText[] = u"を解凍できません。同名のフォルダが存在します。";

void showWarning(SfxApp& app, const WideString& text) { app.observer().showMessage(text.c_str(), MessageKind::warning); }

}  // namespace

bool acceptDecodedMember(SfxApp& app, const LzhHeader& header, const WideString& path,
                         const DecodeResult& result) {
  switch (result.status) {
    case DecodeStatus::writeFailed:
      app.observer().showSystemError(result.systemError, BOX_WARNING);
      return false;
    case DecodeStatus::damaged:
      app.errorFlag = 1;
      showWarning(app, corruptedFileText(path));
      return false;
    case DecodeStatus::ok:
    case DecodeStatus::aborted:
      break;
  }
  if (header.hasCrc != 0 && result.crc != header.crc) {
    app.errorFlag = 1;
    showWarning(app, corruptedFileText(path));
    return false;
  }
  return true;
}

WideString corruptedFileText(const WideString& path) {
  WideString text(kCorruptedBefore);
  text.append(path);
  text.appendText(kCorruptedAfter);
  return text;
}

bool checkFolderClash(SfxApp& app, const WideString& path) {
  const uint32_t attributes = platform::getFileAttributes(path.c_str());
  if (attributes == platform::INVALID_ATTRIBUTES || (attributes & platform::ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  WideString text(path);
  text.appendChar(u' ');
  text.appendText(kFolderClashText);
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

  if (member.kind == MemberKind::folder) {
    // A folder that exists already is what a directory entry asks for: no warning.
    platform::deleteFile(path.c_str());
    if (createFolderChain(path.c_str())) {
      app.observer().memberExtracted(path.c_str());
      return true;
    }
    app.observer().showLastError();
    return false;
  }

  // A folder in the way: warn, then the file cannot be created over it and the member fails
  // with the system's own words.
  checkFolderClash(app, path);
  platform::deleteFile(path.c_str());
  std::unique_ptr<FileObject> output = openOutputFile(path.c_str(), platform::GENERIC_WRITE_ACCESS, 0,
                                                      platform::DISPOSITION_CREATE_ALWAYS);
  if (output == nullptr || !output->isOpen()) {
    app.observer().showLastError();
    return false;
  }
  // Recorded first, so that an abort can remove the partial file.
  app.currentOutputPath.assign(path);
  const DecodeResult result =
      decodeMember(app.run, *app.archiveFile, *output, header.originalSize, header.packedSize, member.method);
  output.reset();  // closed before the file is deleted or its time set

  if (app.run.aborted()) {
    platform::deleteFile(path.c_str());
    return false;
  }
  if (!acceptDecodedMember(app, header, path, result)) return false;
  setMemberTime(path, header);
  // Complete: a later abort must not take this file for the partial one.
  app.currentOutputPath.clear();
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
