#include "tools/zsfx/name_clash.h"

#include <map>

#include "core/member_kind.h"
#include "core/member_walk.h"
#include "core/output_paths.h"
#include "platform/platform.h"

char16_t windowsUpperCase(char16_t c) {
  const auto minus = [c](int d) { return static_cast<char16_t>(c - d); };
  if (c >= u'a' && c <= u'z') return minus(32);
  if (c < 0xB5) return c;
  if (c == 0xB5) return 0x39C;  // micro sign: Greek capital mu
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return minus(32);
  if (c == 0xFF) return 0x178;
  // Latin Extended-A: capital and small letters alternate, capital first, except from 0x138
  // to 0x148 and from 0x179 to 0x17E, where the small letter comes first.
  if (c >= 0x100 && c <= 0x137 && c != 0x131) return (c & 1) ? minus(1) : c;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : minus(1);
  if (c >= 0x14A && c <= 0x177) return (c & 1) ? minus(1) : c;
  if (c == 0x17F) return u'S';
  if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : minus(32);  // final sigma: sigma
  if (c >= 0x3AC && c <= 0x3AF) return c == 0x3AC ? 0x386 : minus(37);
  if (c >= 0x430 && c <= 0x44F) return minus(32);
  if (c >= 0x450 && c <= 0x45F) return minus(80);
  if (c >= 0xFF41 && c <= 0xFF5A) return minus(32);  // full-width a to z
  return c;
}

std::vector<std::pair<std::u16string, std::u16string>> findNameClashes(SfxApp& app) {
  std::vector<std::pair<std::u16string, std::u16string>> clashes;
  // The folded target of every file member, with the stored path that first wrote it. A
  // directory entry merges with a folder of any case and clashes with nothing.
  std::map<std::u16string, std::u16string> written;
  if (!app.archiveFile->seek(app.archiveStart, platform::SEEK_FROM_BEGIN)) return clashes;
  LzhHeader header;
  forEachMember(
      app, header,
      [&](const LzhHeader& member) {
        if (classifyMember(member).kind != MemberKind::file) return true;
        WideString path(member.path);
        makeSafeMemberPath(path);
        std::u16string key(path.c_str());
        for (char16_t& c : key) c = c == u'\\' ? u'/' : windowsUpperCase(c);
        const auto [at, first] = written.emplace(key, member.path.c_str());
        if (!first) clashes.emplace_back(at->second, member.path.c_str());
        return true;
      },
      HeaderRejections::quiet);
  app.archiveFile->seek(app.archiveStart, platform::SEEK_FROM_BEGIN);
  return clashes;
}
