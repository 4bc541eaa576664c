#include "core/member_kind.h"

#include "decode/method_list.h"

MemberClass classifyMember(const LzhHeader& header) {
  const int method = findMethodNumber(header.method);
  if (findUnixLinkBar(header) >= 0) return {MemberKind::link, method};
  if (method < 0) return {MemberKind::unknownMethod, method};
  if (method == METHOD_DIRECTORY) return {MemberKind::folder, method};
  return {MemberKind::file, method};
}
