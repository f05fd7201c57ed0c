// The application host of a new IIS 7 or later image: the
// applicationHost.config that version writes on a fresh server with the
// web server role (static content, default documents, logging, request
// filtering, compression, ISAPI filters and extensions, CGI and FastCGI),
// and the folders its websites point at. Optionally a PHP installation is
// wired in through FastCGI.
#pragma once

#include <string>

namespace quaver_machine {

struct AppHostImage {
  std::string iisVersion;  // "7", "7.5", "8.5" or "10"
  std::string phpDir;      // a Windows folder such as C:\PHP; empty: no PHP
};

// The file's text, with Windows line ends. Throws CommandError for a version
// without an application host.
std::string AppHostConfigText(const AppHostImage& image);

// Writes applicationHost.config, the websites' folders and the PHP files
// into the selected image.
void InstallAppHost(const AppHostImage& image);

}  // namespace quaver_machine
