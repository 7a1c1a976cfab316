// Registry helpers for tests, talking to the prefix's real registry in the
// 64-bit view unless told otherwise.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qvtest {

// The process's own registry view: what a program of this build's bitness
// reaches without a view flag.
constexpr REGSAM OwnView = 0;

// True in a 32-bit process on 64-bit Windows: its own view of
// HKLM\SOFTWARE is the Wow6432Node branch, apart from the 64-bit view. In
// a 64-bit process the two views are one.
bool HasSeparate32BitView();

bool SetRegString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                  REGSAM view = KEY_WOW64_64KEY);
// Stores raw bytes with the given type (for values without terminators,
// over-long data, non-string types).
bool SetRegValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                 DWORD bytes, REGSAM view = KEY_WOW64_64KEY);
std::optional<std::wstring> GetRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                                         REGSAM view = KEY_WOW64_64KEY);
bool RegKeyExists(HKEY root, const std::wstring& key, REGSAM view = KEY_WOW64_64KEY);
bool RegValueExists(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view = KEY_WOW64_64KEY);
void DeleteRegTree(HKEY root, const std::wstring& key, REGSAM view = KEY_WOW64_64KEY);
std::vector<std::wstring> RegSubkeys(HKEY root, const std::wstring& key, REGSAM view = KEY_WOW64_64KEY);

// Deletes the listed keys when it is built and again when it goes away, so a
// test starts clean and leaves nothing behind.
class RegistryScope {
public:
    RegistryScope(std::vector<std::pair<HKEY, std::wstring>> keys);
    ~RegistryScope();

private:
    std::vector<std::pair<HKEY, std::wstring>> keys_;
};

}  // namespace qvtest
