// Registry helpers for tests, talking to the prefix's real registry in the
// 64-bit view unless told otherwise.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <set>
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

// Registry links: a key made with REG_OPTION_CREATE_LINK whose value
// "SymbolicLinkValue" (REG_LINK) holds the target's NT path.
// The NT path of a key: "\Registry\Machine\..." or "\Registry\User\<SID>\...".
std::wstring RegNtPath(HKEY root, const std::wstring& key);
// Makes `key` a link to `target` (an NT path); false when it cannot.
bool MakeRegLink(HKEY root, const std::wstring& key, const std::wstring& target);
// True when `key`, opened as itself (REG_OPTION_OPEN_LINK), is a link.
bool IsRegLink(HKEY root, const std::wstring& key);
// Deletes the link itself (opened as itself, deleted through its handle with
// NtDeleteKey), never its target. True when no link is left there.
bool DeleteRegLink(HKEY root, const std::wstring& key);
// Every key and value below `key` (itself included), read through links
// like any program does: "sub\path" for a key, "sub\path : name" mapped
// to the value's type and data for a value.
std::map<std::wstring, std::wstring> RegTreeSnapshot(HKEY root, const std::wstring& key);
// The keys below `key` (itself as ""), each opened as itself: a link is
// listed but not entered.
std::set<std::wstring> RegKeysAsStored(HKEY root, const std::wstring& key);

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
