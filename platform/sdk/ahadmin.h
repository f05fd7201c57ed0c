// The application-host administration interfaces (ahadmin.h): the IIS 7 and
// later configuration system as COM objects. The method order of each
// interface is the documented one. The SDK's headers of mingw-w64 lack this
// file, so both builds take these declarations, with the published IIDs and
// CLSIDs; platform/win.h includes them after the COM declarations.
//
// Deviations of the simulated server's implementation (platform/apphost/),
// all in what callers may observe; on Windows, IIS answers:
// - Only the configuration file MACHINE/WEBROOT/APPHOST exists (there are no
//   web.config files); commit paths and configuration files elsewhere are
//   refused with ERROR_NOT_SUPPORTED.
// - The schema interfaces (Schema, Methods, Exception, RootSectionGroup) are
//   declared so that the vtables keep their order, but answer E_NOTIMPL.
// - Locks (lockItem, lockAttributes, overrideMode, allowDefinition) are
//   stored and read back but not enforced.
// - A configuration file's GetAdminSection merges the levels of its own file
//   (the server level and the location tags above the path), like the admin
//   manager's; Windows documents the file's section as unmerged.
// - A collection entry removed by Clear or DeleteElement leaves the merged
//   collection at once, so the indexes of the entries after it move down.
#pragma once

#include "platform/win.h"

// Win32 codes the configuration system answers with (winerror.h).
#ifndef ERROR_LOCK_VIOLATION
#define ERROR_LOCK_VIOLATION 33L
#endif
#ifndef ERROR_CHECKOUT_REQUIRED
#define ERROR_CHECKOUT_REQUIRED 221L
#endif
#ifndef ERROR_FILE_INVALID
#define ERROR_FILE_INVALID 1006L
#endif
#ifndef ERROR_NOT_FOUND
#define ERROR_NOT_FOUND 1168L
#endif
#ifndef ERROR_INVALID_INDEX
#define ERROR_INVALID_INDEX 1413L
#endif

struct IAppHostElement;
struct IAppHostElementCollection;
struct IAppHostProperty;
struct IAppHostPropertyCollection;
struct IAppHostChildElementCollection;
struct IAppHostConfigManager;
struct IAppHostConfigFile;
struct IAppHostConfigLocation;
struct IAppHostConfigLocationCollection;
// Declared only so that the vtables keep their documented order.
struct IAppHostElementSchema;
struct IAppHostCollectionSchema;
struct IAppHostPropertySchema;
struct IAppHostPropertyException;
struct IAppHostMethodCollection;
struct IAppHostSectionGroup;

inline constexpr CLSID CLSID_AppHostAdminManager = {
    0x228FB8F7, 0xFB53, 0x4FD5, {0x8C, 0x7B, 0xFF, 0x59, 0xDE, 0x60, 0x6C, 0x5B}};
inline constexpr CLSID CLSID_AppHostWritableAdminManager = {
    0x2B72133B, 0x3F5B, 0x4602, {0x89, 0x52, 0x80, 0x35, 0x46, 0xCE, 0x33, 0x44}};

inline constexpr IID IID_IAppHostAdminManager = {
    0x9BE77978, 0x73ED, 0x4A9A, {0x87, 0xFD, 0x13, 0xF0, 0x9F, 0xEC, 0x1B, 0x13}};
inline constexpr IID IID_IAppHostWritableAdminManager = {
    0xFA7660F6, 0x7B3F, 0x4237, {0xA8, 0xBF, 0xED, 0x0A, 0xD0, 0xDC, 0xBB, 0xD9}};
inline constexpr IID IID_IAppHostConfigManager = {
    0x8F6D760F, 0xF0CB, 0x4D69, {0xB5, 0xF6, 0x84, 0x8B, 0x33, 0xE9, 0xBD, 0xC6}};
inline constexpr IID IID_IAppHostConfigFile = {
    0xADA4E6FB, 0xE025, 0x401E, {0xA5, 0xD0, 0xC3, 0x13, 0x4A, 0x28, 0x1F, 0x07}};
inline constexpr IID IID_IAppHostConfigLocationCollection = {
    0x832A32F7, 0xB3EA, 0x4B8C, {0xB2, 0x60, 0x9A, 0x29, 0x23, 0x00, 0x11, 0x84}};
inline constexpr IID IID_IAppHostConfigLocation = {
    0x370AF178, 0x7758, 0x4DAD, {0x81, 0x46, 0x73, 0x91, 0xF6, 0xE1, 0x85, 0x85}};
inline constexpr IID IID_IAppHostElement = {
    0x64FF8CCC, 0xB287, 0x4DAE, {0xB0, 0x8A, 0xA7, 0x2C, 0xBF, 0x45, 0xF4, 0x53}};
inline constexpr IID IID_IAppHostElementCollection = {
    0xC8550BFF, 0x5281, 0x4B1E, {0xAC, 0x34, 0x99, 0xB6, 0xFA, 0x38, 0x46, 0x4D}};
inline constexpr IID IID_IAppHostProperty = {
    0xED35F7A1, 0x5024, 0x4E7B, {0xA4, 0x4D, 0x07, 0xDD, 0xAF, 0x4B, 0x52, 0x4D}};
inline constexpr IID IID_IAppHostPropertyCollection = {
    0x0191775E, 0xBCFF, 0x445A, {0xB4, 0xF4, 0x3B, 0xDD, 0xA5, 0x4E, 0x28, 0x16}};
inline constexpr IID IID_IAppHostChildElementCollection = {
    0x08A90F5F, 0x0702, 0x48D6, {0xB4, 0x5F, 0x02, 0xA9, 0x88, 0x5A, 0x97, 0x68}};

struct IAppHostAdminManager : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR bstrSectionName, BSTR bstrPath,
                                                    IAppHostElement** ppAdminSection) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConfigManager(IAppHostConfigManager** ppConfigManager) = 0;

 protected:
  ~IAppHostAdminManager() = default;
};

struct IAppHostWritableAdminManager : public IAppHostAdminManager {
  virtual HRESULT STDMETHODCALLTYPE CommitChanges() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CommitPath(BSTR* pbstrCommitPath) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CommitPath(BSTR bstrCommitPath) = 0;

 protected:
  ~IAppHostWritableAdminManager() = default;
};

struct IAppHostConfigManager : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetConfigFile(BSTR bstrConfigPath,
                                                  IAppHostConfigFile** ppConfigFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetUniqueConfigPath(BSTR bstrConfigPath,
                                                        BSTR* pbstrUniquePath) = 0;

 protected:
  ~IAppHostConfigManager() = default;
};

struct IAppHostConfigFile : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_ConfigPath(BSTR* pbstrConfigPath) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FilePath(BSTR* pbstrFilePath) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_Locations(IAppHostConfigLocationCollection** ppLocations) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR bstrSectionName, BSTR bstrPath,
                                                    IAppHostElement** ppAdminSection) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearInvalidSections() = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_RootSectionGroup(IAppHostSectionGroup** ppSectionGroups) = 0;

 protected:
  ~IAppHostConfigFile() = default;
};

struct IAppHostConfigLocationCollection : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT varIndex,
                                             IAppHostConfigLocation** ppLocation) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddLocation(BSTR bstrLocationPath,
                                                IAppHostConfigLocation** ppNewLocation) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteLocation(VARIANT cIndex) = 0;

 protected:
  ~IAppHostConfigLocationCollection() = default;
};

struct IAppHostConfigLocation : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Path(BSTR* pbstrLocationPath) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppSection) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddConfigSection(BSTR bstrSectionName,
                                                     IAppHostElement** ppAdminElement) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteConfigSection(VARIANT cIndex) = 0;

 protected:
  ~IAppHostConfigLocation() = default;
};

struct IAppHostElement : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Collection(IAppHostElementCollection** ppCollection) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Properties(IAppHostPropertyCollection** ppProperties) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_ChildElements(IAppHostChildElementCollection** ppElements) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostElementSchema** ppSchema) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetElementByName(BSTR bstrSubName,
                                                     IAppHostElement** ppElement) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropertyByName(BSTR bstrSubName,
                                                      IAppHostProperty** ppProperty) = 0;
  virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Methods(IAppHostMethodCollection** ppMethods) = 0;

 protected:
  ~IAppHostElement() = default;
};

struct IAppHostElementCollection : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcElementCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppElement) = 0;
  // cPosition -1 appends.
  virtual HRESULT STDMETHODCALLTYPE AddElement(IAppHostElement* pElement, INT cPosition) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteElement(VARIANT cIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
  // An empty name creates the collection's default add element.
  virtual HRESULT STDMETHODCALLTYPE CreateNewElement(BSTR bstrElementName,
                                                     IAppHostElement** ppElement) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostCollectionSchema** ppSchema) = 0;

 protected:
  ~IAppHostElementCollection() = default;
};

struct IAppHostProperty : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT* pVariant) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_StringValue(BSTR* pbstrValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Exception(IAppHostPropertyException** ppException) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostPropertySchema** ppSchema) = 0;

 protected:
  ~IAppHostProperty() = default;
};

struct IAppHostPropertyCollection : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostProperty** ppProperty) = 0;

 protected:
  ~IAppHostPropertyCollection() = default;
};

struct IAppHostChildElementCollection : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppElement) = 0;

 protected:
  ~IAppHostChildElementCollection() = default;
};
