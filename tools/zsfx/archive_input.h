// Opening the FILE argument of zsfx: a self-extracting file (the payload behind the PE
// image, settings block first) or a plain LZH archive, checked as the stub checks its own
// file before it writes anything.
#pragma once

#include <string>

#include "core/app.h"

enum class ArchiveKind { selfExtracting, plainLzh };

// Opens path into app and surveys it (app.payload), leaving the archive file on the first
// member header. Returns EXIT_OK, or the exit status after the message for the user: the
// file cannot be opened or is not an archive (EXIT_USAGE); a self-extracting file that the
// stub would refuse, or any file whose checksum fails (EXIT_MEMBER_FAILED). A plain archive
// without an end mark gets a warning: some archivers never wrote one. kind is
// selfExtracting for any file that starts with "MZ", also when its payload cannot be read.
int openArchiveInput(const std::u16string& path, SfxApp& app, ArchiveKind& kind);

// Why the stub would refuse a self-extracting file with this survey, for the terminal.
std::string payloadProblemText(const PayloadSurvey& survey);
