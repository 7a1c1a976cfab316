#include "support/Registry.h"

#include <wchar.h>

#include "framework/String.h"
#include "support/Handles.h"
#include "support/RegistryWalk.h"

namespace {

constexpr REGSAM View = KEY_WOW64_64KEY;

}  // namespace

int ReadRegistryString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer) {
    CRegistryKey key;
    if (RegOpenKeyExW(root, keyPath, 0, KEY_QUERY_VALUE | View, key.Receive()) != ERROR_SUCCESS) {
        buffer[0] = L'\0';
        return 0;
    }
    DWORD bytes = RegistryReadByteLimit;
    if (RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) !=
        ERROR_SUCCESS) {
        buffer[0] = L'\0';
        return 0;
    }
    // Terminate a string stored without its null; 259 bytes end at index 129.
    const DWORD terminator = bytes / 2;
    if (buffer[terminator] != L'\0') buffer[terminator] = L'\0';
    return 1;
}

int WriteRegistryString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text,
                        DWORD* error) {
    CRegistryKey key;
    LONG status = RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS | View, nullptr, key.Receive(), nullptr);
    if (status == ERROR_SUCCESS) {
        const DWORD bytes = static_cast<DWORD>(lstrlenW(text) * 2 + 2);
        status = RegSetValueExW(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    }
    if (error) *error = static_cast<DWORD>(status);
    return status == ERROR_SUCCESS ? 1 : 0;
}

namespace {

const wchar_t* RootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return L"HKLM\\";
    if (root == HKEY_CURRENT_USER) return L"HKCU\\";
    if (root == HKEY_CLASSES_ROOT) return L"HKCR\\";
    return L"";
}

}  // namespace

CString RegistryPathText(HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
    CString text = CString(RootName(root)) + keyPath;
    if (valueName) {
        text += L" : ";
        text += valueName;
    }
    return text;
}

LONG DeleteRegistryValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, int lookOnly) {
    // The key path is opened name by name as itself (support/RegistryWalk.h):
    // a link anywhere on it keeps the value, whatever the link points to.
    CRegistryKey key;
    if (lookOnly) {
        // Only looks: the key is not made when it is missing.
        const LONG opened = OpenRegistryKeyPath(root, keyPath, KEY_QUERY_VALUE, 0, key);
        if (opened != ERROR_SUCCESS) return opened;
        return RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS
                   ? ERROR_SUCCESS
                   : ERROR_FILE_NOT_FOUND;
    }
    const LONG opened = OpenRegistryKeyPath(root, keyPath, KEY_SET_VALUE, 1, key);
    if (opened != ERROR_SUCCESS) return opened == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : opened;
    return RegDeleteValueW(key.Get(), valueName);
}

namespace {

// Registry keys nest at most 512 levels deep.
constexpr int MaximumKeyDepth = 512;
// Enough to enumerate a key's subkeys, tell a link, and delete the key.
constexpr REGSAM TreeAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE;
// A key that keeps a child cannot be deleted: what NtDeleteKey answers then.
constexpr DWORD KeyStillHasChildren = ERROR_ACCESS_DENIED;

// Empties and deletes the key that `key` is open on (or, looking only,
// finds what that would keep); `text` names it. Each child is opened
// relative to its parent's handle as itself, so a child that is a link is
// neither followed nor deleted, and each key is deleted through its own
// handle, never by name. Every child that stays is reported. Answers the
// key's own deletion: 0 for success, else the error.
DWORD DeleteKeyTree(HKEY key, const CString& text, int depth, IKeyTreeReport* report, int lookOnly) {
    // Each child is gone before the next request, so the index of the next
    // remaining child is the number of children kept so far (0 while none
    // was kept): subkeys are enumerated in a fixed order (by name; Windows
    // lists volatile ones after the others), so the kept ones stay before
    // those still to come. Looking only, every child stays, and the index
    // simply moves on. A child that survives a deletion reported as done
    // would come back under the same index forever: stop there.
    DWORD kept = 0;
    DWORD index = 0;
    wchar_t previous[256] = L"";
    while (depth < MaximumKeyDepth) {
        wchar_t child[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, lookOnly ? index : kept, child, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (!lookOnly && previous[0] != L'\0' && wcscmp(previous, child) == 0) break;
        lstrcpynW(previous, child, 256);
        ++index;
        CString childText(text);
        childText += L"\\";
        childText += child;
        CRegistryKey childKey;
        DWORD result = static_cast<DWORD>(OpenRegistryKeyName(key, child, TreeAccess, childKey));
        if (result == ERROR_SUCCESS) result = DeleteKeyTree(childKey.Get(), childText, depth + 1, report, lookOnly);
        if (result != ERROR_SUCCESS) {
            if (report) report->KeyKept(childText, result);
            ++kept;
        }
    }
    if (lookOnly) return kept ? KeyStillHasChildren : ERROR_SUCCESS;
    return DeleteOpenRegistryKey(key);
}

}  // namespace

DWORD DeleteRegistryTree(HKEY root, const wchar_t* keyPath, IKeyTreeReport* report, int lookOnly) {
    // The key is reached name by name as itself: a link on its path or at the
    // key itself keeps everything (support/RegistryWalk.h).
    CRegistryKey key;
    const LONG opened = OpenRegistryKeyPath(root, keyPath, TreeAccess, 0, key);
    if (opened != ERROR_SUCCESS) return static_cast<DWORD>(opened);
    return DeleteKeyTree(key.Get(), RegistryPathText(root, keyPath, nullptr), 0, report, lookOnly);
}
