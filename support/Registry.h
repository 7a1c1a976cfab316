// Single-value registry access, always in the 64-bit registry view.
//
// The program is a 32-bit process; on 64-bit Windows every open, create and
// delete passes KEY_WOW64_64KEY so that paths reach the native keys. A key of
// the 32-bit view is named through "SOFTWARE\Wow6432Node\" explicitly.
// Each operation returns non-zero for success and zero for failure.
#pragma once

#include <windows.h>

#include "framework/String.h"

// The smallest buffer ReadRegistryString may be given, in characters: it
// accepts at most 259 bytes of data and may write a terminator at index 129.
constexpr int RegistryReadBufferChars = 130;
constexpr DWORD RegistryReadByteLimit = 259;

// The HKLM parents of the keys that the program reads and removes, each
// with its "\": the maker's branch, the list of installed programs and the
// App Paths entries. Inline, so that the program holds one copy of each.
inline constexpr wchar_t MakerKeyRoot[] = L"SOFTWARE\\Quorvex\\";
inline constexpr wchar_t UninstallKeyRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr wchar_t AppPathsKeyRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// Reads a value's data (whatever its type) into buffer, terminated. Fails for
// a missing key or value and for data longer than 259 bytes; the buffer then
// holds the empty text.
int ReadRegistryString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer);

// Stores text as REG_SZ with its terminator, creating the key path as needed.
// `error`, when given, receives the system's answer (ERROR_SUCCESS or why not).
int WriteRegistryString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text,
                        DWORD* error = nullptr);

// Deletes one value. The key path is opened name by name as itself
// (support/RegistryWalk.h), and a missing key is created and left empty; a
// registry link anywhere on the path keeps the value. Answers the deletion:
// ERROR_SUCCESS, ERROR_FILE_NOT_FOUND for a value that was not there, or
// the error that kept it. With `lookOnly` nothing is made or deleted, and
// the answer says what a deletion would find.
LONG DeleteRegistryValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, int lookOnly = 0);

// Told of every key that a tree deletion leaves in place.
class IKeyTreeReport {
public:
    // `keyText` names the key as RegistryPathText does; `error` is why it
    // stays (a link: 4395; a key that keeps a child: ERROR_ACCESS_DENIED).
    virtual void KeyKept(const wchar_t* keyText, DWORD error) = 0;

protected:
    ~IKeyTreeReport() = default;
};

// Deletes a key with all its subkeys, deepest first, each opened relative to
// its parent as itself and deleted through its own handle, never by name. A
// registry link on the key's path or at the key keeps all of it; a link
// inside the tree is left alone, neither followed nor deleted, and so are
// its ancestors. Each subkey that stays is told to `report` (when given).
// Answers the top key's fate: ERROR_SUCCESS when it went,
// ERROR_FILE_NOT_FOUND when it was not there, else why it stays. With
// `lookOnly` nothing is deleted, and the answers are what a deletion would
// give.
DWORD DeleteRegistryTree(HKEY root, const wchar_t* keyPath, IKeyTreeReport* report = nullptr, int lookOnly = 0);

// "HKLM\<key path>", with " : <value name>" when one is given: how the
// removal log names a key or a value.
CString RegistryPathText(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);
