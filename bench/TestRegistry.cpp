#include "bench/TestRegistry.h"

#include <sddl.h>

namespace qvtest {

bool HasSeparate32BitView() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool SetRegValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                 DWORD bytes, REGSAM view) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExW(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

bool SetRegString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                  REGSAM view) {
    return SetRegValue(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2), view);
}

std::optional<std::wstring> GetRegString(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) != ERROR_SUCCESS) return std::nullopt;
    DWORD bytes = 0;
    DWORD type = 0;
    std::optional<std::wstring> result;
    if (RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
        std::wstring text(bytes / 2 + 1, L'\0');
        if (RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &bytes) ==
            ERROR_SUCCESS) {
            text.resize(bytes / 2);
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            result = text;
        }
    }
    RegCloseKey(handle);
    return result;
}

bool RegKeyExists(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

bool RegValueExists(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) != ERROR_SUCCESS) return false;
    const bool exists = RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return exists;
}

std::vector<std::wstring> RegSubkeys(HKEY root, const std::wstring& key, REGSAM view) {
    std::vector<std::wstring> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(handle, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(handle);
    return names;
}

void DeleteRegTree(HKEY root, const std::wstring& key, REGSAM view) {
    for (const std::wstring& child : RegSubkeys(root, key, view)) DeleteRegTree(root, key + L"\\" + child, view);
    RegDeleteKeyExW(root, key.c_str(), view, 0);
}

std::wstring RegNtPath(HKEY root, const std::wstring& key) {
    if (root == HKEY_LOCAL_MACHINE) return L"\\Registry\\Machine\\" + key;
    std::wstring user;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        BYTE buffer[256];
        DWORD bytes = 0;
        wchar_t* sid = nullptr;
        if (GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &bytes) &&
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
            user = sid;
            LocalFree(sid);
        }
        CloseHandle(token);
    }
    return L"\\Registry\\User\\" + user + L"\\" + key;
}

bool MakeRegLink(HKEY root, const std::wstring& key, const std::wstring& target) {
    // The keys above are made first as ordinary keys: those that the volatile
    // link's own call made would be volatile, and refuse ordinary subkeys
    // (ERROR_CHILD_MUST_BE_VOLATILE) for the rest of the prefix's life.
    const size_t parentEnd = key.rfind(L'\\');
    if (parentEnd != std::wstring::npos) {
        HKEY parent = nullptr;
        if (RegCreateKeyExW(root, key.substr(0, parentEnd).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &parent, nullptr) != ERROR_SUCCESS)
            return false;
        RegCloseKey(parent);
    }
    HKEY link = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &link, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG set =
        RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                       static_cast<DWORD>(target.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    return set == ERROR_SUCCESS;
}

bool IsRegLink(HKEY root, const std::wstring& key) {
    HKEY link = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &link) !=
        ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    const bool isLink =
        RegQueryValueExW(link, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type == REG_LINK;
    RegCloseKey(link);
    return isLink;
}

bool DeleteRegLink(HKEY root, const std::wstring& key) {
    if (!IsRegLink(root, key)) return true;
    HKEY link = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE | KEY_WOW64_64KEY, &link) ==
        ERROR_SUCCESS) {
        using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE);
        auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFunction>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
        if (ntDeleteKey) ntDeleteKey(link);
        RegCloseKey(link);
    }
    return !IsRegLink(root, key);
}

namespace {

void SnapshotInto(HKEY root, const std::wstring& key, const std::wstring& relative,
                  std::map<std::wstring, std::wstring>& snapshot) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS) return;
    snapshot[relative] = L"";
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD length = 16384;
        BYTE data[4096];
        DWORD bytes = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(handle, index, name, &length, nullptr, &type, data, &bytes) != ERROR_SUCCESS) break;
        std::wstring text = std::to_wstring(type) + L":";
        for (DWORD i = 0; i < bytes; ++i) {
            text += L"0123456789abcdef"[data[i] / 16];
            text += L"0123456789abcdef"[data[i] % 16];
        }
        snapshot[relative + L" : " + name] = text;
    }
    RegCloseKey(handle);
    for (const std::wstring& child : RegSubkeys(root, key))
        SnapshotInto(root, key + L"\\" + child, relative.empty() ? child : relative + L"\\" + child, snapshot);
}

void StoredKeysInto(HKEY root, const std::wstring& key, const std::wstring& relative, std::set<std::wstring>& keys) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS)
        return;
    keys.insert(relative);
    DWORD type = REG_NONE;
    const bool isLink =
        RegQueryValueExW(handle, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type == REG_LINK;
    std::vector<std::wstring> children;
    for (DWORD index = 0; !isLink; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(handle, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.push_back(name);
    }
    RegCloseKey(handle);
    for (const std::wstring& child : children)
        StoredKeysInto(root, key + L"\\" + child, relative.empty() ? child : relative + L"\\" + child, keys);
}

}  // namespace

std::map<std::wstring, std::wstring> RegTreeSnapshot(HKEY root, const std::wstring& key) {
    std::map<std::wstring, std::wstring> snapshot;
    SnapshotInto(root, key, L"", snapshot);
    return snapshot;
}

std::set<std::wstring> RegKeysAsStored(HKEY root, const std::wstring& key) {
    std::set<std::wstring> keys;
    StoredKeysInto(root, key, L"", keys);
    return keys;
}

RegistryScope::RegistryScope(std::vector<std::pair<HKEY, std::wstring>> keys) : keys_(std::move(keys)) {
    for (const auto& key : keys_) DeleteRegTree(key.first, key.second);
}

RegistryScope::~RegistryScope() {
    for (const auto& key : keys_) DeleteRegTree(key.first, key.second);
}

}  // namespace qvtest
