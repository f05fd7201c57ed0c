// Runs the quaver-machine executable itself, as a person would from a
// shell, and keeps its exit status, standard output and standard error.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quaver::test {

struct ToolResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// `scratch` holds the captured streams; standard input is empty.
inline ToolResult RunToolProcess(const std::vector<std::string>& args,
                                 const std::filesystem::path& scratch) {
  std::string command = ShellQuoted(QUAVER_MACHINE_TOOL);
  for (const std::string& arg : args) command += " " + ShellQuoted(arg);
  const std::filesystem::path out = scratch / "tool.out", err = scratch / "tool.err";
  command += " </dev/null >" + ShellQuoted(out.string()) + " 2>" + ShellQuoted(err.string());
  const int raw = std::system(command.c_str());
  ToolResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadWhole(out);
  result.err = ReadWhole(err);
  return result;
}

}  // namespace quaver::test
