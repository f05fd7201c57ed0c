// Servers for the wizard's pages, made as `quaver-machine create` makes
// them: no IIS, IIS 5 (a metabase that is too old), IIS 6 (metabase only),
// IIS 10 (application host only) or IIS 10 with the metabase as well, which
// offers both extensibility modes.
#pragma once

#include <string>

#include "tests/support/TempMachine.h"

namespace wizardtest {

enum class Server { None, Iis5, Iis6, Iis10, Iis10Both };

class WizardTestImage : public quaver::test::TempMachine {
 public:
  explicit WizardTestImage(Server server);

  // Makes "C:\Program Files\Corvane\Quaver\" the product directory of an
  // earlier installation (registry and folder), where the lists are kept.
  void InstallProductDir() const;
  std::string EnableList() const;  // "EnableSites.lst" of that directory
};

const char* ServerName(Server server);

}  // namespace wizardtest
