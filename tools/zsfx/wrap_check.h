// zsfx make checks what it wraps. An archive that the stub would fail on, or whose members
// it would pass over without a word, is refused before it reaches a user's machine.
#pragma once

#include <string>

// Runs the zsfx test walk over the archive at path: a plain LZH archive given to make, or
// (selfExtracting) the file make has just written. Returns EXIT_OK when it passes;
// otherwise says why and returns EXIT_MEMBER_FAILED (a member fails, a header is rejected,
// a member's method is one the stub skips) or EXIT_USAGE (not an LZH archive: a
// self-extracting file where an archive was expected, no member at all, anything else).
// With force every refusal becomes a warning and the result is EXIT_OK.
int checkWrappedArchive(const std::u16string& path, bool selfExtracting, bool force);
