// Members that Windows would write to the same file: the same path after the name rules
// (makeSafeMemberPath), compared without regard to case as Windows compares names. On
// Windows the later one replaces the earlier one without a word.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/app.h"

// Each pair is the stored paths of an earlier member and of a later one that lands on the
// same file. Walks app's archive from its start and leaves it there.
std::vector<std::pair<std::u16string, std::u16string>> findNameClashes(SfxApp& app);

// The upper-case form Windows compares names by, for the letters of the scripts it folds
// (Latin, Greek, Cyrillic, the full-width forms); other units are their own.
char16_t windowsUpperCase(char16_t c);
