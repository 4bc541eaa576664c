// Where the SFX payload starts: right behind the stub's PE image.
#pragma once

#include <cstdint>

#include "core/file_object.h"

// The end of the image described by the file's DOS and PE headers: the largest end of a
// section's raw data. False when the file is not a PE image (no "MZ", no "PE\0\0", damaged
// headers). Restores nothing: the caller seeks afterwards.
bool findPayloadOffset(FileObject& file, uint64_t* offset);
