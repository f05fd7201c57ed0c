// Configuration paths: "MACHINE/WEBROOT/APPHOST" names the application-host
// file, "MACHINE/WEBROOT/APPHOST/Default Web Site/app" a place inside it,
// which the file addresses with <location path="Default Web Site/app">.
// Location paths compare without regard to case, segment by segment.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace apphost {

inline constexpr char16_t kAppHostConfigPath[] = u"MACHINE/WEBROOT/APPHOST";

enum class ConfigPathKind {
  AppHost,      // MACHINE/WEBROOT/APPHOST or a path below it
  ElsewhereOk,  // MACHINE or MACHINE/WEBROOT: real files this stand-in lacks
  Invalid,
};

// Classifies a configuration path; for AppHost, `location` receives the
// normalised location path below MACHINE/WEBROOT/APPHOST ("" for the file
// itself).
ConfigPathKind ParseConfigPath(std::u16string_view configPath, std::string& location);

// Trims separators at both ends and treats "." as the server level, so that
// <location path="."> and <location path="/Site/"> mean what IIS makes of them.
std::string NormalizeLocation(std::string_view path);

std::vector<std::string> PathSegments(std::string_view location);
bool SameLocation(std::string_view a, std::string_view b);
// Two paths are the same location exactly when their keys are equal.
std::u16string LocationKey(std::string_view path);
// Whether settings at `ancestor` apply at `location` (the server level
// applies everywhere; "Site" applies to "Site/app" but not to "Site2").
bool AppliesTo(std::string_view ancestor, std::string_view location);
size_t LocationDepth(std::string_view location);

bool EqualNoCaseUtf8(std::string_view a, std::string_view b);

}  // namespace apphost
