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

// Reads a value's data (whatever its type) into buffer, terminated. Fails for
// a missing key or value and for data longer than 259 bytes; the buffer then
// holds the empty text.
int ReadRegistryString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer);

// Stores text as REG_SZ with its terminator, creating the key path as needed.
int WriteRegistryString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text);

// Deletes one value. The key path is opened name by name as itself, and a
// missing key is created and left empty; a registry link anywhere on the
// path keeps the value (logged as kept). Succeeds whenever the key could be
// opened.
int DeleteRegistryValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);

// Deletes a key with all its subkeys, deepest first, each through its own
// handle. A registry link on the key's path or at the key keeps all of it;
// a link inside the tree is left alone, not followed. Always succeeds; a key
// that cannot be opened or deleted stays and is logged as kept.
int DeleteRegistryTree(HKEY root, const wchar_t* keyPath);

// "HKLM\<key path>", with " : <value name>" when one is given: how the
// removal log names a key or a value.
CString RegistryPathText(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);
