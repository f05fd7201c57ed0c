// The metabase service and its file: reading the file again when another
// process replaced it, keeping the changes not yet written so that they can
// be laid over what the other process wrote, and writing under the image
// lock.
#include "platform/machine.h"
#include "platform/metabase/AppHostMetabase.h"
#include "platform/metabase/MetabaseService.h"
#include "platform/metabase/MetabaseXml.h"

namespace fs = std::filesystem;

namespace metabase {

// Follows the selected image: a different image starts over without
// handles, a changed file is read again.
HRESULT MetabaseService::Sync() {
  machine::Machine* image = machine::CurrentMachine();
  if (image == nullptr) return MD_ERROR_NOT_INITIALIZED;
  if (root_ == nullptr || boundRoot_ != image->Root()) {
    handles_.clear();
    unsaved_.clear();
    boundRoot_ = image->Root();
    appHost_ = UsesAppHostMetabase();
    return Load();
  }
  if (machine::StampOf(MetabaseHostPath()) != stamp_) return Load();
  return loadResult_;
}

// Reads the file (the stamp first: a file replaced in between is read
// again next time) and lays the unsaved changes over it.
HRESULT MetabaseService::Load() {
  const fs::path file = MetabaseHostPath();
  stamp_ = machine::StampOf(file);
  loadResult_ = S_OK;
  root_ = std::make_unique<Key>(u"");
  if (appHost_) {
    if (FAILED(ReadAppHostMetabase(root_))) {
      root_ = std::make_unique<Key>(u"");
      loadResult_ = MD_ERROR_READ_METABASE_FILE;
      return loadResult_;
    }
  } else if (!file.empty() && machine::FileExists(file)) {
    // A server without a metabase file starts from an empty metabase.
    try {
      root_ = ParseMetabaseXml(machine::ReadWholeFile(file), file.string());
    } catch (const machine::MachineError&) {
      loadResult_ = MD_ERROR_READ_METABASE_FILE;
      return loadResult_;
    }
  }
  for (const Change& change : unsaved_) change(*root_);
  return S_OK;
}

HRESULT MetabaseService::Apply(Change change) {
  change(*root_);
  unsaved_.push_back(std::move(change));
  return S_OK;
}

HRESULT MetabaseService::Flush(bool always) {
  if (unsaved_.empty() && !always) return S_OK;
  const fs::path file = MetabaseHostPath();
  try {
    if (file.empty()) throw machine::MachineError("no drive C:");
    std::lock_guard<machine::ImageLock> hold(machine::RequireMachine().Lock());
    if (machine::StampOf(file) != stamp_ && FAILED(Load())) return loadResult_;
    if (const HRESULT hr = WriteTree(); FAILED(hr)) return hr;
  } catch (const machine::MachineError&) {
    // The changes stay in memory for the next attempt.
    return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
  }
  unsaved_.clear();
  return S_OK;
}

HRESULT MetabaseService::Persist() {
  unsaved_.clear();
  const fs::path file = MetabaseHostPath();
  try {
    if (file.empty()) throw machine::MachineError("no drive C:");
    std::lock_guard<machine::ImageLock> hold(machine::RequireMachine().Lock());
    if (const HRESULT hr = WriteTree(); FAILED(hr)) {
      Load();
      return hr;
    }
  } catch (const machine::MachineError&) {
    Load();
    return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
  }
  return S_OK;
}

// Called with the image lock held.
HRESULT MetabaseService::WriteTree() {
  const fs::path file = MetabaseHostPath();
  if (appHost_) {
    const HRESULT hr = WriteAppHostMetabase(*root_);
    if (FAILED(hr)) return hr;
  } else {
    machine::WriteFileAtomically(file, SerializeMetabaseXml(*root_));
  }
  stamp_ = machine::StampOf(file);
  return S_OK;
}

HRESULT MetabaseService::CopyTree(std::unique_ptr<Key>& copy) {
  std::lock_guard<std::mutex> hold(lock_);
  const HRESULT hr = Sync();
  if (SUCCEEDED(hr)) copy = root_->Clone();
  return hr;
}

void MetabaseService::ReplaceTree(std::unique_ptr<Key> root) {
  root_ = std::move(root);
  handles_.clear();
}

}  // namespace metabase
