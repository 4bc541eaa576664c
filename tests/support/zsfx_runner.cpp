#include "support/zsfx_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* wineExe() {
  const char* exe = std::getenv("ZOLT_ZSFX_EXE");
  return (exe && *exe) ? exe : nullptr;
}

}  // namespace

bool zsfxUnderWine() { return wineExe() != nullptr; }

std::string zsfxPath(const std::string& hostPath) {
  if (!zsfxUnderWine()) return hostPath;
  std::string path = std::filesystem::absolute(hostPath).string();
  for (char& c : path) c = (c == '/') ? '\\' : c;
  return "Z:" + path;
}

ZsfxRun runZsfx(const std::vector<std::string>& args) {
  static int counter = 0;
  const std::string base = std::filesystem::temp_directory_path().string() + "/zsfx-run-" +
                           std::to_string(getpid()) + "-" + std::to_string(counter++);
  std::string command = "TZ=UTC ";
  if (const char* exe = wineExe()) {
    command += "wine " + quote(exe);
  } else {
    command += quote(ZOLT_ZSFX_PATH);
  }
  for (const std::string& arg : args) command += " " + quote(arg);
  command += " >" + quote(base + ".out") + " 2>" + quote(base + ".err") + " </dev/null";
  ZsfxRun run;
  // zsfx never fails without a word. Under Wine a run that ends unsuccessfully having printed
  // nothing at all did not get to start zsfx.exe (seen now and then when processes follow each
  // other quickly); it is started again, twice at most.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = slurp(base + ".out");
    run.err = slurp(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    const bool silentFailure = run.exitCode != 0 && run.out.empty() && run.err.empty();
    if (wineExe() == nullptr || !silentFailure) break;
  }
  return run;
}

std::string corpusPath(const std::string& name) { return std::string(ZOLT_CORPUS_DIR) + "/" + name; }

std::string makeTempDir(const std::string& tag) {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/zolt-" + tag + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return "";
  return pattern;
}

std::vector<unsigned char> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
