// The application host of a new image:
//
//   create DIR --iis 7|7.5|8.5|10 [--php C:\PHP]
//
// writes applicationHost.config as that IIS version ships it, the folders
// its websites point at and, with --php, a PHP installation that IIS runs
// through FastCGI. (The admin managers' COM registrations come from the
// "web-administration" hook.)
#include <string>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tools/quaver-machine/AppHostImage.h"
#include "tools/quaver-machine/Tool.h"

namespace {

std::string gPhpDir;

// A full Windows folder path without a trailing separator.
std::string PhpFolder(const std::string& argument) {
  std::u16string full;
  if (const DWORD error = machine::FullWindowsPath(machine::FromUtf8(argument), full)) {
    quaver_machine::FailWithWindowsError("--php " + argument, error);
  }
  while (full.size() > 3 && full.back() == u'\\') full.pop_back();
  if (full.size() <= 3) throw quaver_machine::CommandError("--php needs a folder, not a drive");
  return machine::ToUtf8(full);
}

void CreateAppHost(const quaver_machine::CreateRequest& request) {
  const bool appHost = !request.iisVersion.empty() && request.iisVersion != "6";
  if (!appHost) {
    if (!gPhpDir.empty()) throw quaver_machine::CommandError("--php needs --iis 7 or later");
    return;
  }
  quaver_machine::AppHostImage image;
  image.iisVersion = request.iisVersion;
  if (!gPhpDir.empty()) image.phpDir = PhpFolder(gPhpDir);
  quaver_machine::InstallAppHost(image);
}

void AddCreateOptions(CLI::App& app) {
  if (CLI::App* create = app.get_subcommand("create")) {
    create->add_option("--php", gPhpDir,
                       "With --iis 7 or later: install PHP into this folder and run it "
                       "through FastCGI");
  }
}

const bool registeredOptions = quaver_machine::RegisterCommands("apphost", AddCreateOptions);
// Runs after "web-administration", which registers the admin managers.
const bool registeredHook = quaver_machine::RegisterCreateHook("web-configuration", CreateAppHost);

}  // namespace
