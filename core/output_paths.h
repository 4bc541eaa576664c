// Member paths made safe and relative, folder chains, and output files.
#pragma once

#include <cstdint>
#include <memory>

#include "core/file_object.h"
#include "core/wide_string.h"

// Turns a stored member path into a path relative to the destination folder: "/" and "\"
// both separate; climbing components, drive designations, "\\?\" and "\\.\" prefixes and
// roots are removed, a Windows device name (CON, NUL, COM1, ...) gets a "_" in front, and
// every character a Windows name cannot hold (< > : " | ? * and 1-31), and the trailing dots
// and spaces of a component, become "_". Nothing is ever cut short.
void makeSafeMemberPath(WideString& path);
// Replaces path by its parent folder; false when it has none.
bool parentFolder(WideString& path);
// Creates the folder and every missing parent; true when it exists afterwards (or an item of
// that name already existed).
bool createFolderChain(const char16_t* path);
// Creates the missing parent folders of path (the parent ends at the last "/" or "\"),
// then opens the file with FILE_ATTRIBUTE_NORMAL. Null when the parent folders cannot be created; otherwise the
// caller tests isOpen().
std::unique_ptr<FileObject> openOutputFile(const char16_t* path, uint32_t access, uint32_t shareMode,
                                           uint32_t disposition);
