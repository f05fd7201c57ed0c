#include "tools/quaver-setup/WindowMode.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>

#include "platform/machine.h"
#include "tools/quaver-setup/MediaDrive.h"
#include "tools/quaver-setup/QuaverSetup.h"
#include "wizard/qt/SetupWindow.h"

namespace quaver_setup {

bool WantsWindow(const std::vector<std::string>& args) {
  auto asks = [&args](const char* flag) {
    return std::find(args.begin(), args.end(), flag) != args.end();
  };
  return !asks("--unattended") && !asks("--help") && !asks("-h") && HasWindowDisplay();
}

int RunWindow(int argc, char** argv, const std::vector<std::string>& args, std::ostream& err) {
  CLI::App app{"Installs IIS Quaver Pro with the setup wizard.", "quaver-setup"};
  std::string machineDir;
  std::string media;
  app.add_option("--machine", machineDir, "The simulated server (machine image)")->required();
  app.add_option("--media", media, "The folder with the package and license.txt");
  const char usage[] = "usage: quaver-setup --machine DIR [--media DIR]";
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    err << "quaver-setup: " << e.what() << "\n" << usage << "\n";
    return kUsageError;
  }
  if (const int status = SelectImage(machineDir, err, usage)) return status;
  MediaDrive drive;
  std::string error;
  if (!drive.Mount(machine::RequireMachine().Root(),
                   media.empty() ? std::filesystem::current_path() : std::filesystem::path(media),
                   error)) {
    err << "quaver-setup: " << error << "\n";
    return kFailed;
  }
  return RunSetupWindow(argc, argv);
}

}  // namespace quaver_setup
