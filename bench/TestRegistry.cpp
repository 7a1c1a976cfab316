#include "bench/TestRegistry.h"

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

RegistryScope::RegistryScope(std::vector<std::pair<HKEY, std::wstring>> keys) : keys_(std::move(keys)) {
    for (const auto& key : keys_) DeleteRegTree(key.first, key.second);
}

RegistryScope::~RegistryScope() {
    for (const auto& key : keys_) DeleteRegTree(key.first, key.second);
}

}  // namespace qvtest
