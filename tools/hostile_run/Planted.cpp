#include "tools/hostile_run/Planted.h"

#include <sddl.h>
#include <windows.h>

#include <algorithm>

#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"

namespace hostile {

const wchar_t AutoRunMarker[] = L"C:\\QvHostile\\AutoRunRan.txt";

namespace {

using qvtest::ReadFileBytes;
using qvtest::SentinelFile;

const wchar_t CommandProcessorKey[] = L"Software\\Microsoft\\Command Processor";
const wchar_t BatchFile[] = L"C:\\QVUninst.bat";
const wchar_t BatchLinkSentinel[] = L"C:\\QvHostile\\BatchLinked.txt";
const char OtherBatchText[] = "@echo a file of another program at the batch's name\r\n";
// Everyone (WD) may do anything (FA) with the file.
const wchar_t EveryoneFullAccess[] = L"D:(A;;FA;;;WD)";

DWORD NameCount(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION information = {};
    const BOOL read = GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    return read ? information.nNumberOfLinks : 0;
}

// Lays a read-only sentinel and makes `link` a second name of it
// (CreateHardLinkW): one file, so its bytes and attributes show through
// either name.
bool PlantHardLink(const std::wstring& link, const std::wstring& sentinel, std::vector<SentinelFile>& sentinels,
                   std::wstring& reason) {
    const std::optional<SentinelFile> written = qvtest::WriteSentinel(sentinel, FILE_ATTRIBUTE_READONLY);
    if (!written) {
        reason = L"cannot write " + sentinel;
        return false;
    }
    SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(link.c_str());
    if (!CreateHardLinkW(link.c_str(), sentinel.c_str(), nullptr)) {
        reason = L"CreateHardLinkW failed with error " + std::to_wstring(GetLastError()) + L" for " + link;
        return false;
    }
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
        ReadFileBytes(link) != written->bytes || NameCount(link) != 2) {
        reason = link + L" is not a read-only second name of " + sentinel;
        return false;
    }
    sentinels.push_back(*written);
    return true;
}

// Another program's file at the batch's name, with a descriptor that lets
// anyone rewrite it (SetFileSecurityW), and `attributes` on top.
bool PlantBatchName(DWORD attributes, std::wstring& reason) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!qvtest::WriteFileBytes(BatchFile, OtherBatchText) ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(EveryoneFullAccess, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        reason = L"cannot write " + std::wstring(BatchFile);
        return false;
    }
    const BOOL secured = SetFileSecurityW(BatchFile, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    if (attributes) SetFileAttributesW(BatchFile, attributes);
    const DWORD present = GetFileAttributesW(BatchFile);
    if (!secured || present == INVALID_FILE_ATTRIBUTES || (present & attributes) != attributes ||
        ReadFileBytes(BatchFile) != OtherBatchText) {
        reason = L"the file, its descriptor or its attributes did not take";
        return false;
    }
    return true;
}

// The NT name of a key, which is what a registry link holds:
// \Registry\User\<SID>\... for HKCU, \Registry\Machine\... for HKLM.
std::wstring NtNameOf(HKEY root, const std::wstring& path) {
    if (root != HKEY_CURRENT_USER) return L"\\Registry\\Machine\\" + path;
    std::wstring sid;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        union {
            TOKEN_USER user;
            BYTE bytes[256];
        } user;
        DWORD size = 0;
        LPWSTR text = nullptr;
        if (GetTokenInformation(token, TokenUser, &user, sizeof(user), &size) &&
            ConvertSidToStringSidW(user.user.User.Sid, &text)) {
            sid = text;
            LocalFree(text);
        }
        CloseHandle(token);
    }
    return L"\\Registry\\User\\" + sid + L"\\" + path;
}

bool IsRegistryLink(HKEY key) {
    DWORD type = REG_NONE;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// RegDeleteKeyW opens the key by its name, which follows the link to its
// target; ntdll's NtDeleteKey deletes the key of a handle opened as the link
// itself (REG_OPTION_OPEN_LINK).
void RemoveRegistryLink(const std::wstring& link) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, link.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return;
    using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
    const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    if (IsRegistryLink(key) && ntDeleteKey) ntDeleteKey(key);
    RegCloseKey(key);
}

// A link key (REG_OPTION_CREATE_LINK, volatile so that no link outlives the
// prefix's server) whose "SymbolicLinkValue" names the target; the sample's
// key at that place, if any, gives way to it.
bool PlantRegistryLink(const std::wstring& link, HKEY targetRoot, const std::wstring& targetPath,
                       std::wstring& reason) {
    RemoveRegistryLink(link);
    qvtest::DeleteRegTree(HKEY_CURRENT_USER, link);
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG made =
        RegCreateKeyExW(HKEY_CURRENT_USER, link.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (made != ERROR_SUCCESS || disposition != REG_CREATED_NEW_KEY) {
        if (made == ERROR_SUCCESS) RegCloseKey(key);
        reason = L"RegCreateKeyExW with REG_OPTION_CREATE_LINK answered " + std::to_wstring(made) +
                 (made == ERROR_SUCCESS ? L", not with a new key" : L"");
        return false;
    }
    const std::wstring target = NtNameOf(targetRoot, targetPath);
    const LONG set =
        RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                       static_cast<DWORD>(target.size() * sizeof(wchar_t)));
    RegCloseKey(key);
    // Read through the link, the target's subkeys show.
    const std::vector<std::wstring> seen = qvtest::RegSubkeys(HKEY_CURRENT_USER, link);
    if (set != ERROR_SUCCESS || seen.empty() || seen != qvtest::RegSubkeys(targetRoot, targetPath)) {
        reason = L"the link " + link + L" does not lead to " + target;
        return false;
    }
    return true;
}

// The names of a ListedFileHardLinks row, relative to the install folder.
std::vector<std::wstring> ListedNames(const PlantedRow& row) {
    std::vector<std::wstring> names;
    const std::wstring text = row.text;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find(L'|', start), text.size());
        names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

bool PlantOne(const PlantedRow& row, const Places& places, std::vector<SentinelFile>& sentinels, std::wstring& reason) {
    switch (row.plant) {
        case Plant::AutoRun: {
            const std::wstring command = row.text;
            if (!qvtest::SetRegValue(HKEY_CURRENT_USER, CommandProcessorKey, L"AutoRun", row.type, command.c_str(),
                                     static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) ||
                !qvtest::RegValueExists(HKEY_CURRENT_USER, CommandProcessorKey, L"AutoRun")) {
                reason = L"cannot write the AutoRun value";
                return false;
            }
            return true;
        }
        case Plant::BatchName:
            return PlantBatchName(row.type, reason);
        case Plant::BatchNameHardLink:
            return PlantHardLink(BatchFile, BatchLinkSentinel, sentinels, reason);
        case Plant::RegistryLink:
            return PlantRegistryLink(places.productKey + row.text, row.targetRoot, row.targetPath, reason);
        case Plant::ListedFileHardLinks:
            for (const std::wstring& name : ListedNames(row)) {
                const std::wstring sentinel = places.target + L"\\HardLinked\\" + name.substr(name.rfind(L'\\') + 1);
                if (!PlantHardLink(places.install + L"\\" + name, sentinel, sentinels, reason)) return false;
            }
            return true;
    }
    return false;
}

}  // namespace

bool PlantAll(const std::vector<Mutation>& mutations, const Places& places, std::vector<SentinelFile>& sentinels,
              std::wstring* error) {
    for (const Mutation& mutation : mutations) {
        const PlantedRow* row = PlantedRowOf(mutation);
        std::wstring reason;
        if (row && !PlantOne(*row, places, sentinels, reason)) {
            if (error) *error = L"could not plant " + qvtest::Widen(row->label) + L": " + reason;
            return false;
        }
    }
    return true;
}

std::vector<std::wstring> PlantedListedFiles(const std::vector<Mutation>& mutations, const Places& places) {
    std::vector<std::wstring> files;
    for (const Mutation& mutation : mutations) {
        const PlantedRow* row = PlantedRowOf(mutation);
        if (row && row->plant == Plant::ListedFileHardLinks)
            for (const std::wstring& name : ListedNames(*row)) files.push_back(places.install + L"\\" + name);
    }
    return files;
}

void RemovePlanted(const Places& places) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, CommandProcessorKey, L"AutoRun");
    DeleteFileW(AutoRunMarker);
    for (const Mutation& mutation : EveryPlantedMutation()) {
        const PlantedRow* row = PlantedRowOf(mutation);
        if (row->plant == Plant::RegistryLink) RemoveRegistryLink(places.productKey + row->text);
    }
    // The file at the batch's name and the hard links' sentinels go with the
    // batch and the sentinels.
}

}  // namespace hostile
