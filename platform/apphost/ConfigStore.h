// One admin manager's view of applicationHost.config: the file read on
// first use, the changes made since, and the commit that writes them back.
// Every object handed out by the manager (configuration file, sections,
// elements, properties) shares the store, so their changes wait together
// for CommitChanges.
#pragma once

#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <string>

#include "platform/apphost/ConfigDocument.h"
#include "platform/apphost/NodeTokens.h"
#include "platform/win.h"

namespace apphost {

class ConfigStore {
 public:
  // `filePath` is the Windows path of the file; empty means the server's
  // %windir%\System32\inetsrv\config\applicationHost.config.
  ConfigStore(bool writable, std::u16string filePath = {});

  static std::u16string DefaultFilePath();
  const std::u16string& FilePath() const { return filePath_; }
  bool Writable() const { return writable_; }

  // Reads the file unless it has been read: S_OK, or the HRESULT of
  // ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND for a missing file and of
  // ERROR_INVALID_DATA for one that is not a configuration file, of
  // ERROR_ACCESS_DENIED for a folder or anything else that cannot be read.
  HRESULT Load();
  bool Loaded() const { return loaded_; }

  ConfigDocument& Document() { return *document_; }
  NodeTokens& Tokens() { return tokens_; }
  // Holds the entries made by CreateNewElement until they are added.
  pugi::xml_node Scratch() { return scratch_.document_element(); }

  // Called by every change; the generation lets views cache their merges.
  void Changed();
  bool Dirty() const { return dirty_; }
  uint64_t Generation() const { return generation_; }

  // Writes the changes atomically. Nothing to write: S_OK and the file is
  // left alone. The file changed by someone else since it was read: the
  // HRESULT of ERROR_FILE_INVALID and nothing is written, so that neither
  // change is silently lost (a stand-in rule).
  HRESULT Commit();

 private:
  HRESULT ReadFile(std::string& text) const;

  bool writable_;
  std::u16string filePath_;
  bool loaded_ = false;
  bool dirty_ = false;
  uint64_t generation_ = 0;
  std::string readText_;  // the file as read or last written
  std::unique_ptr<ConfigDocument> document_;
  NodeTokens tokens_;
  pugi::xml_document scratch_;
};

}  // namespace apphost
