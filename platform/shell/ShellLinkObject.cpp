#include "platform/shell/ShellLinkObject.h"

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files/WholeFiles.h"
#include "platform/paths.h"
#include "platform/shell/ItemIdList.h"
#include "platform/shell/LinkFile.h"
#include "platform/text.h"

namespace shell {
namespace {

HRESULT CopyOut(const std::u16string& text, LPWSTR out, int cch) {
  if (out == nullptr || cch <= 0) return E_INVALIDARG;
  const size_t count = std::min(text.size(), static_cast<size_t>(cch) - 1);
  std::memcpy(out, text.data(), count * sizeof(char16_t));
  out[count] = 0;
  return S_OK;
}

std::vector<std::u16string> Components(std::u16string_view path) {
  std::vector<std::u16string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == u'\\') {
      parts.emplace_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// The target's find data, zeros when it does not exist.
WIN32_FIND_DATAW FindDataOf(const std::u16string& target) {
  WIN32_FIND_DATAW data{};
  HANDLE search = FindFirstFileW(target.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return WIN32_FIND_DATAW{};
  FindClose(search);
  return data;
}

HRESULT FromError(DWORD error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

class ShellLinkObject final : public IShellLinkW, public IPersistFile {
 public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IShellLinkW) {
      *ppv = static_cast<IShellLinkW*>(this);
    } else if (riid == IID_IPersistFile || riid == IID_IPersist) {
      *ppv = static_cast<IPersistFile*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IShellLinkW
  HRESULT STDMETHODCALLTYPE GetPath(LPWSTR pszFile, int cch, WIN32_FIND_DATAW* pfd,
                                    DWORD) override {
    if (pfd != nullptr) *pfd = link_.target.empty() ? WIN32_FIND_DATAW{} : FindDataOf(link_.target);
    const HRESULT hr = CopyOut(link_.target, pszFile, cch);
    if (FAILED(hr)) return hr;
    return link_.target.empty() ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* ppidl) override {
    if (ppidl == nullptr) return E_INVALIDARG;
    *ppidl = nullptr;
    if (link_.target.empty()) return S_FALSE;
    *ppidl = NewItemIdList(link_.target);
    return *ppidl == nullptr ? E_OUTOFMEMORY : S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE pidl) override {
    std::u16string path;
    if (!PathOfItemIdList(pidl, path)) return E_INVALIDARG;
    return Change(link_.target, path);
  }
  HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR pszName, int cch) override {
    return CopyOut(link_.description, pszName, cch);
  }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR pszName) override {
    return Change(link_.description, pszName);
  }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR pszDir, int cch) override {
    return CopyOut(link_.workingDirectory, pszDir, cch);
  }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR pszDir) override {
    return Change(link_.workingDirectory, pszDir);
  }
  HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR pszArgs, int cch) override {
    return CopyOut(link_.arguments, pszArgs, cch);
  }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR pszArgs) override {
    return Change(link_.arguments, pszArgs);
  }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD* pwHotkey) override {
    if (pwHotkey == nullptr) return E_INVALIDARG;
    *pwHotkey = link_.hotkey;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD wHotkey) override {
    link_.hotkey = wHotkey;
    dirty_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int* piShowCmd) override {
    if (piShowCmd == nullptr) return E_INVALIDARG;
    *piShowCmd = link_.showCommand;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int iShowCmd) override {
    link_.showCommand = iShowCmd;
    dirty_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR pszIconPath, int cch, int* piIcon) override {
    if (piIcon == nullptr) return E_INVALIDARG;
    *piIcon = link_.iconIndex;
    return CopyOut(link_.iconLocation, pszIconPath, cch);
  }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR pszIconPath, int iIcon) override {
    const HRESULT hr = Change(link_.iconLocation, pszIconPath);
    if (SUCCEEDED(hr)) link_.iconIndex = iIcon;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR pszPathRel, DWORD) override {
    std::u16string full;
    if (const HRESULT hr = FullName(pszPathRel, full); FAILED(hr)) return hr;
    relativeTo_ = full;
    dirty_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override {
    if (link_.target.empty()) return E_FAIL;
    return GetFileAttributesW(link_.target.c_str()) == INVALID_FILE_ATTRIBUTES
               ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
               : S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR pszFile) override {
    std::u16string full;
    if (const HRESULT hr = FullName(pszFile, full); FAILED(hr)) return hr;
    return Change(link_.target, full);
  }

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override {
    if (pClassID == nullptr) return E_INVALIDARG;
    *pClassID = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, DWORD) override {
    std::u16string full;
    if (const HRESULT hr = FullName(pszFileName, full); FAILED(hr)) return hr;
    std::string bytes;
    if (const DWORD error = machine::files::ReadWindowsFile(full, bytes)) return FromError(error);
    LinkFile loaded;
    if (!DecodeLinkFile(bytes, loaded)) return E_FAIL;
    link_ = loaded;
    currentFile_ = full;
    relativeTo_.clear();
    dirty_ = false;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR pszFileName, BOOL fRemember) override {
    std::u16string full = currentFile_;
    if (pszFileName != nullptr) {
      if (const HRESULT hr = FullName(pszFileName, full); FAILED(hr)) return hr;
    } else if (full.empty()) {
      return E_INVALIDARG;
    }
    LinkFile saved = link_;
    saved.relativePath.clear();
    if (!saved.target.empty()) {
      const WIN32_FIND_DATAW data = FindDataOf(saved.target);
      saved.fileAttributes = data.dwFileAttributes;
      saved.creationTime = data.ftCreationTime;
      saved.accessTime = data.ftLastAccessTime;
      saved.writeTime = data.ftLastWriteTime;
      saved.fileSize = data.nFileSizeLow;
      saved.relativePath = RelativeLinkPath(relativeTo_.empty() ? full : relativeTo_, saved.target);
    }
    if (const DWORD error = machine::files::WriteWindowsFile(full, EncodeLinkFile(saved))) {
      return FromError(error);
    }
    if (fRemember || pszFileName == nullptr) {
      link_ = saved;
      currentFile_ = full;
      dirty_ = false;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* ppszFileName) override {
    if (ppszFileName == nullptr) return E_POINTER;
    // Without a file the answer is the default save prompt.
    const std::u16string name = currentFile_.empty() ? u"*.lnk" : currentFile_;
    const size_t bytes = (name.size() + 1) * sizeof(char16_t);
    *ppszFileName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (*ppszFileName == nullptr) return E_OUTOFMEMORY;
    std::memcpy(*ppszFileName, name.c_str(), bytes);
    return currentFile_.empty() ? S_FALSE : S_OK;
  }

 private:
  ~ShellLinkObject() = default;

  HRESULT Change(std::u16string& field, LPCWSTR value) {
    if (value == nullptr) return E_INVALIDARG;
    field = value;
    dirty_ = true;
    return S_OK;
  }
  HRESULT Change(std::u16string& field, const std::u16string& value) {
    return Change(field, value.c_str());
  }
  static HRESULT FullName(LPCOLESTR name, std::u16string& full) {
    if (name == nullptr || *name == 0) return E_INVALIDARG;
    return FromError(machine::FullWindowsPath(name, full));
  }

  std::atomic<ULONG> references_{1};
  LinkFile link_;
  std::u16string currentFile_;
  std::u16string relativeTo_;
  bool dirty_ = false;
};

}  // namespace

HRESULT CreateShellLink(REFIID riid, void** ppv) {
  auto* link = new ShellLinkObject();
  const HRESULT hr = link->QueryInterface(riid, ppv);
  link->Release();
  return hr;
}

std::u16string RelativeLinkPath(std::u16string_view linkFile, std::u16string_view target) {
  const auto from = Components(linkFile);
  const auto to = Components(target);
  // Drive paths share their first component (C:), UNC paths the first four.
  const size_t root = from.size() >= 2 && from[0].empty() && from[1].empty() ? 4 : 1;
  if (from.size() <= root || to.size() <= root) return std::u16string();
  for (size_t i = 0; i < root; ++i) {
    if (!machine::EqualNoCase(from[i], to[i])) return std::u16string();
  }
  size_t common = root;
  const size_t folderDepth = from.size() - 1;  // the link's own name is no folder
  while (common < folderDepth && common < to.size() - 1 &&
         machine::EqualNoCase(from[common], to[common])) {
    ++common;
  }
  std::u16string relative = common == folderDepth ? u".\\" : u"";
  for (size_t i = common; i < folderDepth; ++i) relative += u"..\\";
  for (size_t i = common; i < to.size(); ++i) {
    relative += to[i];
    if (i + 1 < to.size()) relative += u'\\';
  }
  return relative;
}

}  // namespace shell
