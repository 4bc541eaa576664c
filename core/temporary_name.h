// Each file member is written under a temporary name beside its target, and takes the
// target's place in one step only when it is whole and verified: a run that fails, or is
// stopped, never leaves a broken file where a good one was. A process killed outright may
// leave a temporary file, never a half-written target; the next run of the same file
// writes over it and puts it in place.
#pragma once

#include <cstdint>

#include "core/wide_string.h"

// The suffixes of the temporary names, in the order they are tried: ".zsfx-part", then
// ".zsfx-part1" to ".zsfx-part9".
inline constexpr int TEMPORARY_SUFFIX_COUNT = 10;

// Bit i is set when path (a member's path made safe) ends with suffix i, compared without
// regard to ASCII case as Windows compares names: such a suffix is not used in that run.
uint16_t suffixesEndingPath(const WideString& path);

// target with the first suffix not in taken under which no folder stands; false when every
// suffix is taken.
bool temporaryName(const WideString& target, uint16_t taken, WideString& name);
