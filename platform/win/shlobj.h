// The shell's special folders and item ID lists (shlobj_core.h).
//
// The folders are the [folders] entries of the image's machine.ini, keyed by
// CSIDL name without the prefix (CSIDL_COMMON_PROGRAMS -> COMMON_PROGRAMS).
// A folder the image does not list is not valid on that server
// (E_INVALIDARG), as a CSIDL of a feature the server lacks.
//
// Deviation: an ID list the stand-in hands out holds one item carrying the
// folder's path; only the stand-in's functions (SHGetPathFromIDListW, the
// shell link's SetIDList) read it. Free it with ILFree or CoTaskMemFree.
#pragma once

#include "platform/win/objbase.h"
#include "platform/win/types.h"
#include "platform/win/windef.h"

typedef struct _SHITEMID {
  USHORT cb;  // size of the item including cb; 0 ends the list
  BYTE abID[1];
} SHITEMID;
typedef struct _ITEMIDLIST {
  SHITEMID mkid;
} ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef ITEMIDLIST* PIDLIST_ABSOLUTE;
typedef const ITEMIDLIST* PCIDLIST_ABSOLUTE;
typedef ITEMIDLIST* PIDLIST_RELATIVE;

#define CSIDL_DESKTOP 0x0000
#define CSIDL_PROGRAMS 0x0002
#define CSIDL_PERSONAL 0x0005
#define CSIDL_STARTUP 0x0007
#define CSIDL_STARTMENU 0x000b
#define CSIDL_DESKTOPDIRECTORY 0x0010
#define CSIDL_FONTS 0x0014
#define CSIDL_COMMON_STARTMENU 0x0016
#define CSIDL_COMMON_PROGRAMS 0x0017
#define CSIDL_COMMON_STARTUP 0x0018
#define CSIDL_COMMON_DESKTOPDIRECTORY 0x0019
#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_WINDOWS 0x0024
#define CSIDL_SYSTEM 0x0025
#define CSIDL_PROGRAM_FILES 0x0026
#define CSIDL_PROFILE 0x0028
#define CSIDL_SYSTEMX86 0x0029
#define CSIDL_PROGRAM_FILESX86 0x002a
#define CSIDL_PROGRAM_FILES_COMMON 0x002b
#define CSIDL_PROGRAM_FILES_COMMONX86 0x002c
#define CSIDL_COMMON_DOCUMENTS 0x002e
#define CSIDL_FLAG_DONT_VERIFY 0x4000
#define CSIDL_FLAG_CREATE 0x8000
#define CSIDL_FLAG_MASK 0xFF00

#define SHGFP_TYPE_CURRENT 0
#define SHGFP_TYPE_DEFAULT 1

// S_OK and a new ID list; E_INVALIDARG for a null out pointer or a folder
// the image does not have; E_FAIL when the folder's path does not exist.
HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwnd, int csidl, PIDLIST_ABSOLUTE* ppidl);
// Copies the path (at most MAX_PATH characters with the terminator) into
// pszPath; FALSE, with an empty pszPath, for a list that is not a file
// system path. An empty list is the desktop.
BOOL WINAPI SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath);
// pszPath must hold MAX_PATH characters. S_OK; E_INVALIDARG for an unknown
// folder or flags; E_FAIL when the folder does not exist (unless
// CSIDL_FLAG_CREATE creates it, with its missing parents, or
// CSIDL_FLAG_DONT_VERIFY skips the check). hToken is not looked at.
HRESULT WINAPI SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath);
void WINAPI ILFree(PIDLIST_RELATIVE pidl);
