// The quaver-setup command line: the installation without the wizard's
// window. Kept apart from main() so that tests can run it in-process.
//
//   quaver-setup --unattended --machine DIR --dir 'C:\...' --mode isapi|pipeline
//                [--sites 1,3|all] [--media DIR] [--no-backup] [--no-webroot-access]
//                [--no-script-execution] [--desktop-icon] [--log FILE]
//
// The setup media (the folder holding "Quaver_Pro_v4.0.9.cvsp" and
// "license.txt": the host's current directory, or --media) is mounted into
// the server as the first free drive from D: on and made the current
// directory for the run; the drive is taken away again afterwards.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quaver_setup {

// Exit statuses.
constexpr int kInstalled = 0;
constexpr int kInstalledWithOmissions = 1;
constexpr int kFailed = 2;
constexpr int kUsageError = 64;

// Selects the image --machine names. When it cannot, says why on `err` and
// returns the exit status: kUsageError (after `usage`) for a folder that is
// no image, kFailed for an image whose own files are damaged. 0 when
// selected.
int SelectImage(const std::string& machineDir, std::ostream& err, const char* usage);

// Runs one command line (without the program name). The report goes to
// `out`; message boxes, the progress bar and errors go to `err`.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool drawProgress = true);

}  // namespace quaver_setup
