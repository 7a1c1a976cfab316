#include "support/Registry.h"

#include <wchar.h>

#include "framework/String.h"
#include "support/Handles.h"

namespace {

constexpr REGSAM View = KEY_WOW64_64KEY;

// RegDeleteKeyExW exists from Windows Vista and XP x64 on; 32-bit XP only
// has RegDeleteKeyW, which has no view to choose and needs none.
LONG DeleteKeyInView(HKEY root, const wchar_t* keyPath) {
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    static DeleteKeyEx deleteKeyEx = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
        if (HMODULE advapi = GetModuleHandleW(L"advapi32.dll"))
            deleteKeyEx =
                reinterpret_cast<DeleteKeyEx>(reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExW")));
    }
    if (deleteKeyEx) return deleteKeyEx(root, keyPath, View, 0);
    return RegDeleteKeyW(root, keyPath);
}

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

int DeleteRegistryValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, LONG* answer) {
    CRegistryKey key;
    if (!OpenOrCreateKey(root, keyPath, key)) {
        if (answer) *answer = ERROR_ACCESS_DENIED;
        return 0;
    }
    const LONG deleted = RegDeleteValueW(key.Get(), valueName);
    if (answer) *answer = deleted;
    return 1;
}

int RegistryValueExists(HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
    CRegistryKey key;
    return RegOpenKeyExW(root, keyPath, 0, KEY_QUERY_VALUE | View, key.Receive()) == ERROR_SUCCESS &&
                   RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS
               ? 1
               : 0;
}

namespace {

// Registry keys nest at most 512 levels deep.
constexpr int MaximumKeyDepth = 512;

// A registry link (a key made with REG_OPTION_CREATE_LINK) holds its target
// in the value "SymbolicLinkValue" of type REG_LINK.
bool IsRegistryLink(HKEY key) {
    DWORD type = REG_NONE;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

void DeleteKeyTree(HKEY root, const wchar_t* keyPath, int depth) {
    CRegistryKey key;
    // Opened as the link itself, never as what a link points to: following
    // one would empty and delete keys that are not the product's, or recurse
    // without end through a link back to an ancestor. A link is left alone.
    if (RegOpenKeyExW(root, keyPath, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS | View, key.Receive()) == ERROR_SUCCESS) {
        if (IsRegistryLink(key.Get())) return;
        // Each child is gone before the next request, so index 0 always names
        // the next remaining one. A child that survives its deletion (no
        // rights, or a link) would come back at index 0 forever: stop there.
        wchar_t previous[256] = L"";
        while (depth < MaximumKeyDepth) {
            wchar_t child[256];
            DWORD length = 256;
            if (RegEnumKeyExW(key.Get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            if (previous[0] != L'\0' && wcscmp(previous, child) == 0) break;
            lstrcpynW(previous, child, 256);
            CString childPath(keyPath);
            childPath += L"\\";
            childPath += child;
            DeleteKeyTree(root, childPath, depth + 1);
        }
        key.Reset();
    }
    DeleteKeyInView(root, keyPath);
}

}  // namespace

KeyPresence PresenceOfKey(HKEY root, const wchar_t* keyPath) {
    CRegistryKey key;
    if (RegOpenKeyExW(root, keyPath, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | View, key.Receive()) != ERROR_SUCCESS)
        return KeyPresence::Absent;
    return IsRegistryLink(key.Get()) ? KeyPresence::Link : KeyPresence::Key;
}

int DeleteRegistryTree(HKEY root, const wchar_t* keyPath) {
    DeleteKeyTree(root, keyPath, 0);
    return 1;
}
