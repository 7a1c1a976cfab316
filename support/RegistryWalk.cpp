#include "support/RegistryWalk.h"

#include <sddl.h>

#include "framework/String.h"

namespace {

constexpr REGSAM View = KEY_WOW64_64KEY;

// Registry key names are at most 255 characters long.
constexpr int MaximumNameChars = 255;

// A registry link holds its target in the value "SymbolicLinkValue" of type
// REG_LINK. A key whose value cannot be asked for is taken for a link.
bool IsRegistryLink(HKEY key) {
    DWORD type = REG_NONE;
    const LONG answer = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    if (answer == ERROR_FILE_NOT_FOUND) return false;
    return answer != ERROR_SUCCESS || type == REG_LINK;
}

LONG OpenAsItself(HKEY parent, const wchar_t* name, REGSAM access, CRegistryKey& key) {
    return RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, access | KEY_QUERY_VALUE | View, key.Receive());
}

// Makes the subkey `name` of `parent`. The name is first opened as itself;
// RegCreateKeyExW, which would follow a link, is then used only when it is
// missing, and its key only when the call reports that it made it. A name
// that appeared in between is opened as itself again.
LONG CreateRegistryKeyName(HKEY parent, const wchar_t* name, REGSAM access, CRegistryKey& key) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        LONG answer = OpenRegistryKeyName(parent, name, access, key);
        if (answer != ERROR_FILE_NOT_FOUND) return answer;
        DWORD disposition = 0;
        answer = RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access | KEY_QUERY_VALUE | View,
                                 nullptr, key.Receive(), &disposition);
        if (answer != ERROR_SUCCESS) return answer;
        if (disposition == REG_CREATED_NEW_KEY) return ERROR_SUCCESS;
        key.Reset();
    }
    return ERROR_BUSY;
}

// The text form ("S-1-5-21-...") of the process's user SID: the name of
// the user's hive under HKEY_USERS.
bool UserSidText(CString& text) {
    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } buffer;
    DWORD bytes = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, &buffer, sizeof(buffer), &bytes)) return false;
    wchar_t* sid = nullptr;
    if (!ConvertSidToStringSidW(buffer.user.User.Sid, &sid)) return false;
    text = sid;
    LocalFree(sid);
    return true;
}

// Windows makes HKCU\Software\Classes a link to the user's classes hive,
// HKEY_USERS\<SID>_Classes. When the link `classes` (opened as itself)
// names exactly that hive, the hive's root is opened in its place.
LONG OpenUserClassesHive(HKEY classes, REGSAM access, CRegistryKey& key) {
    CString hive;
    if (!UserSidText(hive)) return RegistryLinkRefused;
    hive += L"_Classes";
    const CString expected = CString(L"\\REGISTRY\\USER\\") + hive;
    wchar_t target[320];
    DWORD type = REG_NONE;
    DWORD bytes = sizeof(target) - sizeof(wchar_t);
    if (RegQueryValueExW(classes, L"SymbolicLinkValue", nullptr, &type, reinterpret_cast<BYTE*>(target), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_LINK)
        return RegistryLinkRefused;
    target[bytes / sizeof(wchar_t)] = L'\0';
    if (lstrcmpiW(target, expected) != 0) return RegistryLinkRefused;
    return OpenRegistryKeyName(HKEY_USERS, hive, access, key);
}

bool IsUserClassesPath(HKEY root, const wchar_t* first, const wchar_t* second) {
    return root == HKEY_CURRENT_USER && lstrcmpiW(first, L"Software") == 0 && lstrcmpiW(second, L"Classes") == 0;
}

}  // namespace

LONG OpenRegistryKeyName(HKEY parent, const wchar_t* name, REGSAM access, CRegistryKey& key) {
    const LONG answer = OpenAsItself(parent, name, access, key);
    if (answer != ERROR_SUCCESS) return answer;
    if (!IsRegistryLink(key.Get())) return ERROR_SUCCESS;
    key.Reset();
    return RegistryLinkRefused;
}

LONG OpenRegistryKeyPath(HKEY root, const wchar_t* keyPath, REGSAM access, int create, CRegistryKey& key) {
    key.Reset();
    CRegistryKey parent;
    wchar_t first[MaximumNameChars + 1] = L"";
    const wchar_t* rest = keyPath;
    for (int index = 0;; ++index) {
        int length = 0;
        while (rest[length] != L'\0' && rest[length] != L'\\') ++length;
        if (length == 0 || length > MaximumNameChars) return ERROR_INVALID_NAME;
        wchar_t name[MaximumNameChars + 1];
        lstrcpynW(name, rest, length + 1);
        const bool last = rest[length] == L'\0';
        const REGSAM wanted = last ? access : (create ? KEY_CREATE_SUB_KEY : 0);
        const HKEY base = parent ? parent.Get() : root;

        LONG answer =
            create ? CreateRegistryKeyName(base, name, wanted, key) : OpenRegistryKeyName(base, name, wanted, key);
        if (answer == RegistryLinkRefused && index == 1 && IsUserClassesPath(root, first, name)) {
            CRegistryKey classes;
            answer = OpenAsItself(base, name, 0, classes);
            if (answer == ERROR_SUCCESS) answer = OpenUserClassesHive(classes.Get(), wanted, key);
        }
        if (answer != ERROR_SUCCESS) {
            key.Reset();
            return answer;
        }
        if (last) return ERROR_SUCCESS;
        if (index == 0) lstrcpynW(first, name, MaximumNameChars + 1);
        parent.Reset(key.Detach());
        rest += length + 1;
    }
}

DWORD DeleteOpenRegistryKey(HKEY key) {
    // NtDeleteKey exists in every ntdll from Windows XP on; resolved at run
    // time because MinGW links no import library for it.
    using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE);
    using StatusToErrorFunction = ULONG(NTAPI*)(LONG);
    static NtDeleteKeyFunction ntDeleteKey = nullptr;
    static StatusToErrorFunction statusToError = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
        if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
            ntDeleteKey =
                reinterpret_cast<NtDeleteKeyFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtDeleteKey")));
            statusToError = reinterpret_cast<StatusToErrorFunction>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
        }
    }
    if (!ntDeleteKey) return ERROR_PROC_NOT_FOUND;
    const LONG status = ntDeleteKey(key);
    if (status == 0) return ERROR_SUCCESS;
    return statusToError ? statusToError(status) : ERROR_ACCESS_DENIED;
}
