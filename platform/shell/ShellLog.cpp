#include "platform/shell/ShellLog.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>

#include "platform/machine.h"
#include "platform/text.h"

namespace shell {
namespace {

constexpr const char* kLogFile = "shell.log";

std::string Escape(std::u16string_view value) {
  std::string out;
  for (const char c : machine::ToUtf8(value)) {
    switch (c) {
      case '%':
        out += "%25";
        break;
      case '\t':
        out += "%09";
        break;
      case '\r':
        out += "%0D";
        break;
      case '\n':
        out += "%0A";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::u16string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out +=
          static_cast<char>(std::strtol(std::string(text.substr(i + 1, 2)).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return machine::FromUtf8(out);
}

// "name=value" fields of one line, in order.
std::vector<std::pair<std::string, std::string>> Fields(const std::string& line) {
  std::vector<std::pair<std::string, std::string>> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) {
    const size_t equals = field.find('=');
    if (equals == std::string::npos) return {};
    fields.emplace_back(field.substr(0, equals), field.substr(equals + 1));
  }
  return fields;
}

ShellRequest ParseLine(const std::string& line, size_t number) {
  const auto fields = Fields(line);
  static const char* const kNames[] = {"verb", "file", "parameters", "directory", "show", "result"};
  bool wellFormed = fields.size() == std::size(kNames);
  for (size_t i = 0; wellFormed && i < fields.size(); ++i)
    wellFormed = fields[i].first == kNames[i];
  if (!wellFormed) {
    throw machine::MachineError(std::string(kLogFile) + " line " + std::to_string(number) +
                                ": not a shell request");
  }
  ShellRequest request;
  request.verb = Unescape(fields[0].second);
  request.file = Unescape(fields[1].second);
  request.parameters = Unescape(fields[2].second);
  request.directory = Unescape(fields[3].second);
  request.showCommand = std::atoi(fields[4].second.c_str());
  request.result = std::atol(fields[5].second.c_str());
  return request;
}

}  // namespace

void AppendShellRequest(const ShellRequest& request) {
  machine::Machine& image = machine::RequireMachine();
  std::lock_guard<machine::ImageLock> hold(image.Lock());
  const std::filesystem::path path = image.File(kLogFile);
  std::string log = machine::FileExists(path) ? machine::ReadWholeFile(path) : "";
  log += "verb=" + Escape(request.verb) + "\tfile=" + Escape(request.file) +
         "\tparameters=" + Escape(request.parameters) + "\tdirectory=" + Escape(request.directory) +
         "\tshow=" + std::to_string(request.showCommand) +
         "\tresult=" + std::to_string(request.result) + "\n";
  machine::WriteFileAtomically(path, log);
}

std::vector<ShellRequest> ReadShellLog() {
  machine::Machine& image = machine::RequireMachine();
  std::lock_guard<machine::ImageLock> hold(image.Lock());
  const std::filesystem::path path = image.File(kLogFile);
  std::vector<ShellRequest> requests;
  if (!machine::FileExists(path)) return requests;
  std::istringstream in(machine::ReadWholeFile(path));
  size_t number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty()) requests.push_back(ParseLine(line, number));
  }
  return requests;
}

}  // namespace shell
