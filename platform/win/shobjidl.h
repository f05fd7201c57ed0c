// The shell link object (shobjidl.h, objidl.h): CLSID_ShellLink with
// IShellLinkW and IPersistFile. A link saved through IPersistFile::Save is a
// real shortcut file in the documented binary format (a header, the link
// information with the target's local path, the description, relative path,
// working directory, arguments and icon location as Unicode strings).
//
// Deviations: the target is kept as a path, never as a shell namespace
// item; %VARIABLE% references are stored as written; the hot key is kept
// but does nothing; Resolve only checks that the target exists.
#pragma once

#include "platform/win/fileapi.h"
#include "platform/win/objbase.h"
#include "platform/win/shlobj.h"
#include "platform/win/types.h"
#include "platform/win/windef.h"

inline constexpr CLSID CLSID_ShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IShellLinkW = {
    0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersist = {
    0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// GetPath flags.
#define SLGP_SHORTPATH 0x1
#define SLGP_UNCPRIORITY 0x2
#define SLGP_RAWPATH 0x4
// Resolve flags.
#define SLR_NO_UI 0x1
#define SLR_UPDATE 0x4

// Storage modes of IPersistFile::Load.
#define STGM_READ 0x00000000L
#define STGM_WRITE 0x00000001L
#define STGM_READWRITE 0x00000002L

// INFOTIPSIZE: the description buffer callers of GetDescription use.
#define INFOTIPSIZE 1024

struct IPersist : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) = 0;

 protected:
  ~IPersist() = default;
};

struct IPersistFile : public IPersist {
  virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
  virtual HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, DWORD dwMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE Save(LPCOLESTR pszFileName, BOOL fRemember) = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR pszFileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* ppszFileName) = 0;

 protected:
  ~IPersistFile() = default;
};

// Text getters copy at most cch - 1 characters and a terminator.
struct IShellLinkW : public IUnknown {
  // S_FALSE and an empty string when the link has no path yet. pfd, when
  // given, receives the target's find data (zeros for a missing target).
  virtual HRESULT STDMETHODCALLTYPE GetPath(LPWSTR pszFile, int cch, WIN32_FIND_DATAW* pfd,
                                            DWORD fFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* ppidl) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE pidl) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR pszName, int cch) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR pszName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR pszDir, int cch) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR pszDir) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR pszArgs, int cch) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR pszArgs) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHotkey(WORD* pwHotkey) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHotkey(WORD wHotkey) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetShowCmd(int* piShowCmd) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetShowCmd(int iShowCmd) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR pszIconPath, int cch, int* piIcon) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR pszIconPath, int iIcon) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR pszPathRel, DWORD dwReserved) = 0;
  virtual HRESULT STDMETHODCALLTYPE Resolve(HWND hwnd, DWORD fFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR pszFile) = 0;

 protected:
  ~IShellLinkW() = default;
};
