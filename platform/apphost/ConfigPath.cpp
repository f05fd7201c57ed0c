#include "platform/apphost/ConfigPath.h"

#include "platform/text.h"

namespace apphost {

namespace {

std::vector<std::u16string_view> SplitWide(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t slash = path.find(u'/', start);
    const size_t end = slash == std::u16string_view::npos ? path.size() : slash;
    if (end > start) parts.push_back(path.substr(start, end - start));
    if (slash == std::u16string_view::npos) break;
    start = slash + 1;
  }
  return parts;
}

}  // namespace

ConfigPathKind ParseConfigPath(std::u16string_view configPath, std::string& location) {
  static constexpr std::u16string_view kRoots[] = {u"MACHINE", u"WEBROOT", u"APPHOST"};
  if (configPath.empty() || configPath.front() == u'/') {
    return ConfigPathKind::Invalid;
  }
  const auto parts = SplitWide(configPath);
  size_t matched = 0;
  while (matched < parts.size() && matched < 3 &&
         machine::EqualNoCase(parts[matched], kRoots[matched])) {
    ++matched;
  }
  if (matched == 0) return ConfigPathKind::Invalid;
  if (matched < 3) {
    return matched == parts.size() ? ConfigPathKind::ElsewhereOk : ConfigPathKind::Invalid;
  }
  std::u16string rest;
  for (size_t i = 3; i < parts.size(); ++i) {
    if (!rest.empty()) rest += u'/';
    rest += parts[i];
  }
  location = NormalizeLocation(machine::ToUtf8(rest));
  return ConfigPathKind::AppHost;
}

std::string NormalizeLocation(std::string_view path) {
  std::string joined;
  for (const auto& segment : PathSegments(path)) {
    if (segment == ".") continue;
    if (!joined.empty()) joined += '/';
    joined += segment;
  }
  return joined;
}

std::vector<std::string> PathSegments(std::string_view location) {
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= location.size()) {
    const size_t slash = location.find('/', start);
    const size_t end = slash == std::string_view::npos ? location.size() : slash;
    if (end > start) segments.emplace_back(location.substr(start, end - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return segments;
}

bool EqualNoCaseUtf8(std::string_view a, std::string_view b) {
  return machine::EqualNoCase(machine::FromUtf8(a), machine::FromUtf8(b));
}

std::u16string LocationKey(std::string_view path) {
  return machine::UpperCase(machine::FromUtf8(NormalizeLocation(path)));
}

bool SameLocation(std::string_view a, std::string_view b) {
  return EqualNoCaseUtf8(NormalizeLocation(a), NormalizeLocation(b));
}

bool AppliesTo(std::string_view ancestor, std::string_view location) {
  const auto above = PathSegments(NormalizeLocation(ancestor));
  const auto below = PathSegments(NormalizeLocation(location));
  if (above.size() > below.size()) return false;
  for (size_t i = 0; i < above.size(); ++i) {
    if (!EqualNoCaseUtf8(above[i], below[i])) return false;
  }
  return true;
}

size_t LocationDepth(std::string_view location) {
  return PathSegments(NormalizeLocation(location)).size();
}

}  // namespace apphost
