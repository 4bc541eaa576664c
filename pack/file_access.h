// Files as the packer reads and writes them: sources opened by their path, and an output
// whose member headers are filled in after their data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>

std::FILE* openForReading(const std::filesystem::path& path);

// 64-bit positions, for outputs past 2 GiB.
bool tellOutput(std::FILE* file, uint64_t& position);
bool seekOutput(std::FILE* file, uint64_t position);
// Cuts the file at size (after writing out what is buffered).
bool truncateOutput(std::FILE* file, uint64_t size);
