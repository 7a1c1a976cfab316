#include "tools/sample_install/SampleInstallation.h"

#include <shlobj.h>

#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"

namespace qvtest {

namespace {

const wchar_t FoldersKey[] = L"SOFTWARE\\Quorvex\\folders";
const wchar_t IconDefaultIconKey[] = L"Software\\Classes\\IcoFile\\DefaultIcon";

bool Fail(std::wstring* error, const std::wstring& what) {
    if (error) *error = what;
    return false;
}

std::wstring LocalAppData() {
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path);
    return path;
}

// Some recognisable content, different for every file.
std::string ContentFor(const std::wstring& path) { return "GlyphSmith sample file: " + Narrow(path) + "\r\n"; }

bool WriteWithFolders(const std::wstring& path, const std::string& bytes) {
    MakeFolders(ParentOf(path));
    return WriteFileBytes(path, bytes);
}

}  // namespace

std::wstring InstallFolderOf(const SampleInstallation& sample) { return sample.installFolder + L"\\"; }

std::wstring PreviewFolderOf(const SampleInstallation& sample) {
    if (!sample.previewFolder.empty()) return sample.previewFolder;
    return LocalAppData() + L"\\Quorvex\\GlyphSmith\\Temporary Preview Files";
}

std::wstring ProductKeyPath(const SampleInstallation& sample) { return L"SOFTWARE\\Quorvex\\" + sample.productKey; }

std::wstring UninstallEntryPath(const SampleInstallation& sample) {
    return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + sample.productKey + L" (64-bit)";
}

std::wstring AppPathsKey(const SampleInstallation& sample) {
    return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + sample.programFileName;
}

std::wstring CompanionOf(const std::wstring& path) {
    std::wstring companion = path;
    for (wchar_t& ch : companion)
        if (ch == L'.') ch = L'_';
    return companion + L".ii";
}

std::vector<std::wstring> ListedFilesOf(const SampleInstallation& sample) {
    std::vector<std::wstring> listed;
    for (const std::wstring& file : sample.files) listed.push_back(InstallFolderOf(sample) + file);
    return listed;
}

bool LayOutSampleInstallation(const SampleInstallation& sample, std::wstring* error) {
    const std::wstring folder = InstallFolderOf(sample);
    if (!MakeFolders(sample.installFolder)) return Fail(error, L"cannot create " + sample.installFolder);

    // Installed files and their companions.
    const std::wstring filesKey = ProductKeyPath(sample) + L"\\Files";
    int number = 0;
    for (const std::wstring& path : ListedFilesOf(sample)) {
        if (!WriteWithFolders(path, ContentFor(path))) return Fail(error, L"cannot write " + path);
        const std::wstring companion = CompanionOf(path);
        if (!WriteWithFolders(companion, ContentFor(companion))) return Fail(error, L"cannot write " + companion);
        wchar_t name[32];
        wsprintfW(name, L"File%04d", ++number);
        if (!SetRegString(HKEY_LOCAL_MACHINE, filesKey, name, path)) return Fail(error, L"cannot write " + filesKey);
    }
    for (const wchar_t* media : {L"MediaFiles.qvd", L"MediaFiles.qvdn"})
        WriteFileBytes(folder + media, ContentFor(folder + media));

    // The settings file and the uninstaller beside it.
    const std::wstring repair =
        sample.repairProgram.empty() ? folder + L"Setup\\Repair.exe" : sample.repairProgram;
    const std::string ini = "[uninstall]\r\nargs=\"" + Narrow(sample.productKey) + "\" \"" +
                            Narrow(sample.programFileName) + "\"\r\nrepair=" + Narrow(repair) + "\r\n";
    if (!WriteFileBytes(folder + L"uninstall.ini", ini)) return Fail(error, L"cannot write uninstall.ini");
    if (!sample.uninstallerSource.empty() &&
        !CopyFileW(sample.uninstallerSource.c_str(), (folder + L"Uninstall.exe").c_str(), FALSE))
        return Fail(error, L"cannot copy " + sample.uninstallerSource);

    // The product's keys.
    const std::wstring productKey = ProductKeyPath(sample);
    SetRegString(HKEY_LOCAL_MACHINE, productKey, L"InstallDir", folder);
    SetRegString(HKEY_LOCAL_MACHINE, productKey, L"Version", L"6.5.0");
    SetRegString(HKEY_CURRENT_USER, productKey + L"\\Settings", L"LastProject", L"C:\\Users\\Public\\Logo.qvg");
    SetRegString(HKEY_CURRENT_USER, productKey + L"\\Settings\\Window", L"Placement", L"0,0,800,600");

    const std::wstring entry = UninstallEntryPath(sample);
    SetRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayName", sample.displayName);
    SetRegString(HKEY_LOCAL_MACHINE, entry, L"UninstallString", L"\"" + folder + L"Uninstall.exe\"");
    SetRegString(HKEY_LOCAL_MACHINE, entry, L"Publisher", L"Quorvex");

    SetRegString(HKEY_LOCAL_MACHINE, AppPathsKey(sample), L"", folder + sample.programFileName);
    SetRegString(HKEY_LOCAL_MACHINE, AppPathsKey(sample), L"Path", sample.installFolder);

    SetRegString(HKEY_CURRENT_USER, IconDefaultIconKey, L"PictureIndex", L"1");

    // The preview folder with files in some of its one-letter subfolders.
    const std::wstring preview = PreviewFolderOf(sample);
    SetRegString(HKEY_CURRENT_USER, FoldersKey, L"PreviewTempDir", preview);
    for (const std::wstring& sub : sample.previewSubfolders) {
        for (int i = 1; i <= sample.previewFilesPerSubfolder; ++i) {
            const std::wstring file = preview + L"\\" + sub + L"\\preview" + std::to_wstring(i) + L".png";
            if (!WriteWithFolders(file, ContentFor(file))) return Fail(error, L"cannot write " + file);
        }
    }

    // The saved associations and the live values the product set.
    const std::wstring record = productKey + L"\\Associations";
    for (const SampleAssociation& a : sample.associations) {
        const std::wstring saved = record + L"\\" + a.name;
        SetRegString(HKEY_LOCAL_MACHINE, saved, L"", a.previous);
        SetRegString(HKEY_LOCAL_MACHINE, saved, L"quorvex", a.product);
        SetRegString(HKEY_CLASSES_ROOT, a.name, L"", a.product);
        if (a.name[0] == L'.') continue;
        SetRegString(HKEY_LOCAL_MACHINE, saved + L"\\shell\\open\\command", L"", a.previousCommand);
        SetRegString(HKEY_LOCAL_MACHINE, saved + L"\\shell\\open\\command", L"quorvex", a.productCommand);
        SetRegString(HKEY_CLASSES_ROOT, a.name + L"\\shell\\open\\command", L"", a.productCommand);
        SetRegString(HKEY_LOCAL_MACHINE, saved + L"\\DefaultIcon", L"", a.previousIcon);
        SetRegString(HKEY_LOCAL_MACHINE, saved + L"\\DefaultIcon", L"quorvex", a.productIcon);
        SetRegString(HKEY_CLASSES_ROOT, a.name + L"\\DefaultIcon", L"", a.productIcon);
    }
    return true;
}

void RemoveSampleInstallation(const SampleInstallation& sample) {
    RemoveTree(sample.installFolder);
    RemoveTree(PreviewFolderOf(sample));
    DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKeyPath(sample));
    DeleteRegTree(HKEY_CURRENT_USER, ProductKeyPath(sample));
    DeleteRegTree(HKEY_LOCAL_MACHINE, UninstallEntryPath(sample));
    DeleteRegTree(HKEY_LOCAL_MACHINE, AppPathsKey(sample));
    DeleteRegTree(HKEY_CURRENT_USER, FoldersKey);
    for (const SampleAssociation& a : sample.associations) DeleteRegTree(HKEY_CLASSES_ROOT, a.name);
}

}  // namespace qvtest
