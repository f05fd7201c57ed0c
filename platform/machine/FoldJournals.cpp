// Folding every journal of an image: the one place that knows which files
// of the image keep journals.
#include <memory>
#include <mutex>

#include "platform/machine.h"
#include "platform/registry/RegistryStore.h"
#include "platform/security/AccessListFile.h"
#include "platform/services/ServiceFile.h"

namespace machine {

void FoldJournals(const std::filesystem::path& root) {
  std::error_code ec;
  const std::filesystem::path canonical = std::filesystem::canonical(root, ec);
  if (ec) throw MachineError("cannot open machine image " + root.string() + ": " + ec.message());
  // The selected image is locked through its own lock, which is recursive
  // within the process; a second lock object on the same file would wait
  // for the first.
  Machine* current = CurrentMachine();
  std::unique_ptr<ImageLock> own;
  ImageLock* lock = nullptr;
  if (current && current->Root() == canonical) {
    lock = &current->Lock();
  } else {
    own = std::make_unique<ImageLock>(canonical / ImageLock::kFileName);
    lock = own.get();
  }
  std::lock_guard<ImageLock> hold(*lock);
  registry::Store::FoldJournals(canonical);
  winsec::AccessListFile::FoldJournal(canonical);
  services::ServiceFile::FoldJournal(canonical);
}

}  // namespace machine
