// Opening the FILE argument of zsfx: a self-extracting file (the payload behind the PE
// image, settings block first) or a plain LZH archive.
#pragma once

#include <string>

#include "core/app.h"

enum class ArchiveKind { selfExtracting, plainLzh };

// Opens path into app, leaving the archive file on the first member header. False with a
// message for the user when the file cannot be opened or is not an archive. kind is
// selfExtracting for any file that starts with "MZ", also when its payload cannot be read.
bool openArchiveInput(const std::u16string& path, SfxApp& app, ArchiveKind& kind, std::string& error);
