#include "wizard/WizardRun.h"

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

bool CopyWithReplacedResource(const std::wstring& source, const std::wstring& target, const wchar_t* type, int id,
                              const std::vector<BYTE>& data) {
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) return false;
    HANDLE update = BeginUpdateResourceW(target.c_str(), FALSE);
    if (!update) return false;
    const BOOL replaced = UpdateResourceW(update, type, MAKEINTRESOURCEW(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                          const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    return EndUpdateResourceW(update, FALSE) && replaced;
}

namespace {

void PutWord(std::vector<BYTE>& out, WORD value) {
    out.push_back(static_cast<BYTE>(value & 0xFF));
    out.push_back(static_cast<BYTE>(value >> 8));
}

void PutDword(std::vector<BYTE>& out, DWORD value) {
    PutWord(out, static_cast<WORD>(value & 0xFFFF));
    PutWord(out, static_cast<WORD>(value >> 16));
}

void PutText(std::vector<BYTE>& out, const wchar_t* text) {
    do PutWord(out, static_cast<WORD>(*text)); while (*text++);
}

}  // namespace

std::vector<BYTE> UncreatableDialogTemplate() {
    std::vector<BYTE> out;
    PutDword(out, WS_POPUP | WS_CAPTION);  // style
    PutDword(out, 0);                      // extended style
    PutWord(out, 1);                       // one control
    for (WORD value : {0, 0, 200, 100}) PutWord(out, value);
    PutWord(out, 0);  // no menu
    PutWord(out, 0);  // standard class
    PutText(out, L"Uninstalling");
    while (out.size() % 4) out.push_back(0);
    PutDword(out, WS_CHILD | WS_VISIBLE);
    PutDword(out, 0);
    for (WORD value : {10, 10, 100, 20}) PutWord(out, value);
    PutWord(out, 1016);
    PutText(out, L"QvTestNoSuchControlClass");
    PutText(out, L"");
    PutWord(out, 0);  // no creation data
    return out;
}

std::vector<BYTE> UnloadableMenuTemplate() {
    std::vector<BYTE> out;
    PutWord(out, 0x7777);  // version: neither 0 (standard) nor 1 (extended)
    PutWord(out, 0);
    PutDword(out, 0);
    return out;
}

void WizardRun::SetUp() {
    sample.uninstallerSource = UninstallExe();
    RemoveSampleInstallation(sample);
    DeleteFileW(L"C:\\QVUninst.bat");
}

void WizardRun::TearDown() {
    uninstaller.Kill();
    RemoveSampleInstallation(sample);
    // The self-deletion batch may still be on its way out.
    WaitUntil([] { return !PathExists(L"C:\\QVUninst.bat"); }, 10000);
    DeleteFileW(L"C:\\QVUninst.bat");
}

void WizardRun::StartUninstaller() {
    std::wstring error;
    ASSERT_TRUE(LayOutSampleInstallation(sample, &error)) << Narrow(error);
    ASSERT_TRUE(uninstaller.Start(InstalledUninstaller(), InstallFolderOf(sample)));
}

void WizardRun::PressAndWaitGone(HWND page, int controlId) {
    ASSERT_TRUE(ProcessDriver::PressButton(page, controlId));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(page) || !IsWindowVisible(page); }));
}

DWORD WizardRun::WaitForExitCode() {
    DWORD code = 0xDEADBEEF;
    EXPECT_TRUE(uninstaller.WaitForExit(code));
    return code;
}

}  // namespace qvtest
