// Runs the zsfx program of this build as a user would: on Linux directly, or the Windows
// build (zsfx.exe) under Wine when ZOLT_ZSFX_EXE names it.
#pragma once

#include <string>
#include <vector>

struct ZsfxRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// True when the runs go through Wine.
bool zsfxUnderWine();
// A path as the program under test must be given it (Z:\... under Wine).
std::string zsfxPath(const std::string& hostPath);
// Runs zsfx with args (already converted with zsfxPath where they are paths), with TZ=UTC.
ZsfxRun runZsfx(const std::vector<std::string>& args);

// A file of the test corpus kept in the repository (tests/corpus/), by its path inside it.
std::string corpusPath(const std::string& name);
// A fresh empty folder below the system's temporary folder.
std::string makeTempDir(const std::string& tag);
std::vector<unsigned char> readFileBytes(const std::string& path);
