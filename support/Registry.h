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

// Deletes one value. The key is opened with create semantics, so a missing
// key is created and left empty; succeeds whenever the key could be opened.
// `answer`, when given, receives the deletion's own result (ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND for a value that was not there, ...).
int DeleteRegistryValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, LONG* answer = nullptr);

// Non-zero when the key exists and holds the value; changes nothing.
int RegistryValueExists(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);

// What is at a key path, looked at without following a registry link there:
// nothing, a key, or a link.
enum class KeyPresence { Absent, Key, Link };
KeyPresence PresenceOfKey(HKEY root, const wchar_t* keyPath);

// Deletes a key with all its subkeys, deepest first. Always succeeds; a key
// that cannot be deleted simply stays.
int DeleteRegistryTree(HKEY root, const wchar_t* keyPath);

// "HKLM\<key path>", with " : <value name>" when one is given: how the
// removal log names a key or a value.
CString RegistryPathText(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);
