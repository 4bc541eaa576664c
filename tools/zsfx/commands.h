// The zsfx commands. Each returns the process exit status:
// 0 all good; 1 a member failed; 2 bad usage or a file that is not an archive.
#pragma once

#include <string>
#include <vector>

inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_MEMBER_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

using Arguments = std::vector<std::u16string>;

int runList(const Arguments& args);
int runTest(const Arguments& args);
int runExtract(const Arguments& args);
int runSettings(const Arguments& args);
int runMake(const Arguments& args);
int runPack(const Arguments& args);

// Prints "zsfx: message" and the usage hint; returns EXIT_USAGE.
int usageError(const std::string& message);
