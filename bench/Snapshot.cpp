#include "bench/Snapshot.h"

#include <windows.h>

#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"

namespace qvtest {

namespace {

void DumpKey(HKEY root, const std::wstring& path, const std::wstring& label, std::vector<std::wstring>& lines) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
    lines.push_back(label + L"\\" + path);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameChars = 256;
        BYTE data[2048];
        DWORD bytes = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, index, name, &nameChars, nullptr, &type, data, &bytes) != ERROR_SUCCESS) break;
        std::wstring value(reinterpret_cast<wchar_t*>(data), bytes / sizeof(wchar_t));
        lines.push_back(label + L"\\" + path + L" [" + name + L"] = " + value);
    }
    RegCloseKey(key);
    for (const std::wstring& sub : RegSubkeys(root, path)) DumpKey(root, path + L"\\" + sub, label, lines);
}

}  // namespace

std::vector<std::wstring> SnapshotOf(const SampleInstallation& sample) {
    std::vector<std::wstring> lines;
    for (const std::wstring& entry : ListTree(sample.installFolder)) lines.push_back(L"install: " + entry);
    for (const std::wstring& entry : ListTree(PreviewFolderOf(sample))) lines.push_back(L"preview: " + entry);
    DumpKey(HKEY_LOCAL_MACHINE, ProductKeyPath(sample), L"HKLM", lines);
    DumpKey(HKEY_CURRENT_USER, ProductKeyPath(sample), L"HKCU", lines);
    DumpKey(HKEY_CURRENT_USER, L"SOFTWARE\\Quorvex\\folders", L"HKCU", lines);
    DumpKey(HKEY_LOCAL_MACHINE, UninstallEntryPath(sample), L"HKLM", lines);
    DumpKey(HKEY_LOCAL_MACHINE, AppPathsKey(sample), L"HKLM", lines);
    for (const SampleAssociation& association : sample.associations)
        DumpKey(HKEY_CLASSES_ROOT, association.name, L"HKCR", lines);
    return lines;
}

}  // namespace qvtest
