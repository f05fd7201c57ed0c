#include "platform/apphost/ConfigStore.h"

#include <mutex>

#include "platform/env/Environment.h"
#include "platform/machine.h"
#include "platform/paths.h"

namespace apphost {

ConfigStore::ConfigStore(bool writable, std::u16string filePath)
    : writable_(writable),
      filePath_(filePath.empty() ? DefaultFilePath() : std::move(filePath)),
      document_(std::make_unique<ConfigDocument>()) {
  scratch_.append_child("scratch");
}

std::u16string ConfigStore::DefaultFilePath() {
  const auto windir = machine::env::Get(u"windir");
  const std::u16string root = windir && !windir->empty() ? *windir : u"C:\\Windows";
  return root + u"\\System32\\inetsrv\\config\\applicationHost.config";
}

HRESULT ConfigStore::ReadFile(std::string& text) const {
  machine::ResolvedPath resolved;
  const DWORD error = machine::ResolveWindowsPath(filePath_, resolved);
  if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
  if (!resolved.exists) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  // Opening a folder as a file is refused so on Windows too; it is no
  // missing file that could be created afresh.
  if (resolved.isDirectory) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  try {
    text = machine::ReadWholeFile(resolved.host);
  } catch (const machine::MachineError&) {
    return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  }
  return S_OK;
}

HRESULT ConfigStore::Load() {
  if (loaded_) return S_OK;
  std::string text;
  const HRESULT hr = ReadFile(text);
  if (FAILED(hr)) return hr;
  auto document = std::make_unique<ConfigDocument>();
  std::string error;
  if (!document->Parse(text, error)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  document_ = std::move(document);
  readText_ = std::move(text);
  loaded_ = true;
  return S_OK;
}

void ConfigStore::Changed() {
  dirty_ = true;
  ++generation_;
}

HRESULT ConfigStore::Commit() {
  if (!writable_) return E_ACCESSDENIED;
  if (!loaded_ || !dirty_) return S_OK;
  machine::Machine* image = machine::CurrentMachine();
  if (!image) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  std::lock_guard<machine::ImageLock> guard(image->Lock());
  std::string current;
  const HRESULT hr = ReadFile(current);
  if (FAILED(hr)) return hr;
  if (current != readText_) return HRESULT_FROM_WIN32(ERROR_FILE_INVALID);
  machine::ResolvedPath resolved;
  const DWORD error = machine::ResolveWindowsPath(filePath_, resolved);
  if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
  std::string text = document_->Serialize();
  try {
    machine::WriteFileAtomically(resolved.host, text);
  } catch (const machine::MachineError&) {
    return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  }
  readText_ = std::move(text);
  dirty_ = false;
  return S_OK;
}

}  // namespace apphost
