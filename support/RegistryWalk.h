// Opening registry keys one name at a time, each as the key itself.
//
// A registry link (a key made with REG_OPTION_CREATE_LINK) redirects every
// open that passes through it; REG_OPTION_OPEN_LINK protects only the last
// name of a path. Any program of the user can plant links under
// HKEY_CURRENT_USER, so the elevated removal opens a path name by name,
// each relative to the handle of the key before it and with
// REG_OPTION_OPEN_LINK, and refuses a link wherever it stands. Every open is
// made in the 64-bit view (KEY_WOW64_64KEY).
#pragma once

#include <windows.h>

#include "support/Handles.h"

// The error a refused registry link is reported with
// (ERROR_REPARSE_POINT_ENCOUNTERED, which MinGW's headers do not define).
constexpr DWORD RegistryLinkRefused = 4395;

// Opens the subkey `name` (one name, no "\") of `parent` as itself with
// `access` (KEY_QUERY_VALUE is always added). A link is closed again and
// answered with RegistryLinkRefused.
LONG OpenRegistryKeyName(HKEY parent, const wchar_t* name, REGSAM access, CRegistryKey& key);

// Opens `keyPath` below `root` name by name as above; the keys on the way
// are opened for reading (and for making subkeys when `create` is non-zero),
// the last one with `access`. With `create` a missing key is made, and only a
// key this call made itself is used without the link check. An empty path or
// an empty name in it answers ERROR_INVALID_NAME. The one link on the way
// that is followed is the system's HKCU\Software\Classes, and only to the
// user's own classes hive (HKEY_USERS\<user SID>_Classes), opened there
// name by name again.
LONG OpenRegistryKeyPath(HKEY root, const wchar_t* keyPath, REGSAM access, int create, CRegistryKey& key);

// Deletes the key that `key` was opened on (with DELETE access), through the
// handle and never by name: ntdll's NtDeleteKey. A key that still has
// subkeys is not deleted. Answers a Win32 error code, 0 for success.
DWORD DeleteOpenRegistryKey(HKEY key);
