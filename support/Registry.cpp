#include "support/Registry.h"

#include <wchar.h>

#include "framework/String.h"
#include "removal/RemovalLog.h"
#include "support/Handles.h"
#include "support/RegistryWalk.h"

namespace {

constexpr REGSAM View = KEY_WOW64_64KEY;

bool OpenOrCreateKey(HKEY root, const wchar_t* keyPath, CRegistryKey& key) {
    return RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS | View, nullptr, key.Receive(), nullptr) ==
           ERROR_SUCCESS;
}

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

int WriteRegistryString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text) {
    CRegistryKey key;
    if (!OpenOrCreateKey(root, keyPath, key)) return 0;
    const DWORD bytes = static_cast<DWORD>(lstrlenW(text) * 2 + 2);
    return RegSetValueExW(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) == ERROR_SUCCESS
               ? 1
               : 0;
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

int DeleteRegistryValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
    // The key path is opened name by name as itself (support/RegistryWalk.h):
    // a link anywhere on it keeps the value, whatever the link points to.
    CRegistryKey key;
    if (IsPlanRun()) {
        // A plan reads only: the key is not made when it is missing.
        const LONG opened = OpenRegistryKeyPath(root, keyPath, KEY_QUERY_VALUE, 0, key);
        const bool present = opened == ERROR_SUCCESS && RegQueryValueExW(key.Get(), valueName, nullptr, nullptr,
                                                                         nullptr, nullptr) == ERROR_SUCCESS;
        const bool refused = opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND;
        LogRemovalAction(L"value", RegistryPathText(root, keyPath, valueName),
                         present   ? LogOutcome::WouldRemove
                         : refused ? LogOutcome::WouldKeep
                                   : LogOutcome::Absent,
                         refused ? static_cast<DWORD>(opened) : 0);
        return 1;
    }
    const LONG opened = OpenRegistryKeyPath(root, keyPath, KEY_SET_VALUE, 1, key);
    if (opened != ERROR_SUCCESS) {
        LogRemovalAction(L"value", RegistryPathText(root, keyPath, valueName), LogOutcome::Kept,
                         static_cast<DWORD>(opened));
        return 0;
    }
    const LONG answer = RegDeleteValueW(key.Get(), valueName);
    if (RemovalLogIsOpen()) {
        const LogOutcome outcome = answer == ERROR_SUCCESS          ? LogOutcome::Removed
                                   : answer == ERROR_FILE_NOT_FOUND ? LogOutcome::Absent
                                                                    : LogOutcome::Kept;
        LogRemovalAction(L"value", RegistryPathText(root, keyPath, valueName), outcome,
                         outcome == LogOutcome::Kept ? static_cast<DWORD>(answer) : 0);
    }
    return 1;
}

namespace {

// Registry keys nest at most 512 levels deep.
constexpr int MaximumKeyDepth = 512;

// Enough to enumerate a key's subkeys, tell a link, and delete the key.
constexpr REGSAM TreeAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE;

// Empties and deletes the key that `key` is open on; `text` names it in the
// log. Each child is opened relative to its parent's handle as itself, so a
// child that is a link is neither followed nor deleted, and each key is
// deleted through its own handle, never by name. A child that cannot be
// opened or deleted is logged as kept. Answers the key's own deletion: 0
// for success, else the error.
DWORD DeleteKeyTree(HKEY key, const CString& text, int depth) {
    // Each child is gone before the next request, so the index of the next
    // remaining child is the number of children kept so far (0 while none
    // was kept): subkeys are enumerated in a fixed order (by name; Windows
    // lists volatile ones after the others), so the kept ones stay before
    // those still to come. A child that survives a deletion reported
    // as done would come back under the same index forever: stop there.
    DWORD kept = 0;
    wchar_t previous[256] = L"";
    while (depth < MaximumKeyDepth) {
        wchar_t child[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, kept, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (previous[0] != L'\0' && wcscmp(previous, child) == 0) break;
        lstrcpynW(previous, child, 256);
        CString childText(text);
        childText += L"\\";
        childText += child;
        CRegistryKey childKey;
        DWORD result = static_cast<DWORD>(OpenRegistryKeyName(key, child, TreeAccess, childKey));
        if (result == ERROR_SUCCESS) result = DeleteKeyTree(childKey.Get(), childText, depth + 1);
        if (result != ERROR_SUCCESS) {
            LogRemovalAction(L"key", childText, LogOutcome::Kept, result);
            ++kept;
        }
    }
    return DeleteOpenRegistryKey(key);
}

}  // namespace

int DeleteRegistryTree(HKEY root, const wchar_t* keyPath) {
    // The key is reached name by name as itself: a link on its path or at the
    // key itself keeps everything (support/RegistryWalk.h).
    const CString text = RegistryPathText(root, keyPath, nullptr);
    CRegistryKey key;
    const LONG opened = OpenRegistryKeyPath(root, keyPath, TreeAccess, 0, key);
    if (opened == ERROR_FILE_NOT_FOUND) {
        LogRemovalAction(L"key", text, LogOutcome::Absent, 0);
        return 1;
    }
    const bool plan = IsPlanRun() != 0;
    if (opened != ERROR_SUCCESS) {
        LogRemovalAction(L"key", text, plan ? LogOutcome::WouldKeep : LogOutcome::Kept, static_cast<DWORD>(opened));
        return 1;
    }
    if (plan) {
        LogRemovalAction(L"key", text, LogOutcome::WouldRemove, 0);
        return 1;
    }
    const DWORD result = DeleteKeyTree(key.Get(), text, 0);
    LogRemovalAction(L"key", text, result == ERROR_SUCCESS ? LogOutcome::Removed : LogOutcome::Kept, result);
    return 1;
}
