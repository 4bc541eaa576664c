// What the run does with a member, decided in one place for the run, zsfx test and zsfx list.
#pragma once

#include "core/lzh_header.h"

enum class MemberKind : uint8_t {
  link,           // a Unix link entry: passed over, never made
  unknownMethod,  // passed over without a word
  folder,         // a directory entry: the folder is created
  file,           // decoded into a file
};

struct MemberClass {
  MemberKind kind;
  int method;  // the method number; -1 for an unknown method
};

MemberClass classifyMember(const LzhHeader& header);
