// quaver-machine: creates machine images and looks into them.
#include <iostream>

#include "platform/machine.h"
#include "tools/quaver-machine/ToolInternals.h"

namespace fs = std::filesystem;

namespace {

// Removes what a failed create left, but only inside a directory that was
// empty or missing before: nothing of the user's is ever deleted.
void UndoCreate(const fs::path& root, bool existedBefore) {
  machine::DeselectMachine();
  std::error_code ec;
  if (!existedBefore) {
    fs::remove_all(root, ec);
    return;
  }
  for (const auto& entry : fs::directory_iterator(root, ec)) fs::remove_all(entry.path(), ec);
}

void Create(const quaver_machine::CreateRequest& request) {
  if (!request.iisVersion.empty() && !quaver_machine::HasCreateHooks()) {
    throw quaver_machine::CommandError("this build cannot install IIS into an image yet");
  }
  std::error_code ec;
  const bool existedBefore = fs::exists(request.root, ec);
  machine::CreateImage(request.root);
  try {
    machine::SelectMachine(request.root);
    quaver_machine::RunCreateHooks(request);
    // A fresh image is its files alone, without journals.
    machine::FoldJournals(request.root);
  } catch (...) {
    UndoCreate(request.root, existedBefore);
    throw;
  }
  quaver_machine::PrintCreateSummary(request, std::cout);
}

void AddCreateCommand(CLI::App& app, quaver_machine::CreateRequest& request) {
  auto* create = app.add_subcommand("create", "Create a new machine image in DIR");
  create->add_option("DIR", request.root, "Directory of the new image (missing or empty)")
      ->required();
  create->add_option("--iis", request.iisVersion, "Install this IIS version into the image")
      ->check(CLI::IsMember({"6", "7", "7.5", "8.5", "10"}));
  create->callback([&request] { Create(request); });
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Creates and inspects machine images: the simulated Windows servers the setup runs on."};
  app.require_subcommand(1);
  app.footer("Exit status: 0 done, 1 failed, 2 usage error (for every command).");
  app.fallthrough();
  app.add_option("--machine", quaver_machine::MachineOption(), "Machine image directory")
      ->envname("QUAVER_MACHINE");
  quaver_machine::CreateRequest request;
  AddCreateCommand(app, request);
  quaver_machine::AddRegisteredCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  } catch (const quaver_machine::ToolFailure& e) {
    std::cout.flush();
    if (*e.what() != '\0') std::cerr << e.what() << "\n";
    return e.Status();
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "quaver-machine: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
