#include "bench/SampleInstallation.h"

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
std::string ContentFor(const std::wstring& path) {
    return "GlyphSmith sample file: " + Narrow(path) + "\r\n";
}

bool WriteWithFolders(const std::wstring& path, const std::string& bytes) {
    MakeFolders(ParentOf(path));
    return WriteFileBytes(path, bytes);
}

void AddAttributes(const std::wstring& path, DWORD attributes) {
    const DWORD present = GetFileAttributesW(path.c_str());
    if (present != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(path.c_str(), present | attributes);
}

const char DesktopIniContent[] = "[.ShellClassInfo]\r\nIconResource=C:\\Windows\\system32\\imageres.dll,-3\r\n";

const wchar_t AddinClassA[] = L"CLSID\\{B7C81D42-2E6F-4A93-8D05-C16E2F3A4B59}";
const wchar_t AddinClassB[] = L"CLSID\\{5A3E9C21-7B4D-4F60-A1C2-3D4E5F607182}";

bool LayOutVisualStudio(const SampleInstallation& sample, const std::wstring& version, std::wstring* error) {
    const std::wstring folder = VisualStudioFolderOf(sample, version);
    if (!MakeFolders(folder.substr(0, folder.size() - 1))) return Fail(error, L"cannot create " + folder);
    if (!sample.devenvSource.empty() &&
        !CopyFileW(sample.devenvSource.c_str(), (folder + L"devenv.exe").c_str(), FALSE))
        return Fail(error, L"cannot copy " + sample.devenvSource);
    SetRegString(HKEY_LOCAL_MACHINE, VisualStudioDetectionKey(version), L"InstallDir", folder);
    SetRegString(HKEY_LOCAL_MACHINE, VisualStudioKey(version), L"InstallDir", folder);
    for (const auto& key : AddinKeysOf(version)) {
        SetRegString(key.first, key.second, L"", L"GlyphSmith add-in");
        SetRegString(key.first, key.second + L"\\Settings", L"Version", L"6.5");
    }
    for (const auto& key : NeighbourAddinKeysOf(version)) SetRegString(key.first, key.second, L"", L"Contoso");
    return true;
}

// Deletes a key that holds neither values nor subkeys.
void DeleteKeyIfEmpty(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 1;
    DWORD values = 1;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0) RegDeleteKeyExW(root, path.c_str(), KEY_WOW64_64KEY, 0);
}

void RemoveVisualStudio(const SampleInstallation& sample, const std::wstring& version) {
    RemoveTree(sample.visualStudioRoot + L" " + version);
    DeleteRegTree(HKEY_LOCAL_MACHINE, VisualStudioDetectionKey(version));
    DeleteRegTree(HKEY_LOCAL_MACHINE, VisualStudioKey(version));
    DeleteRegTree(HKEY_CURRENT_USER, VisualStudioKey(version));
    DeleteRegTree(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\VSA\\" + version);
    DeleteRegTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\VSA\\" + version);
    for (const auto& key : AddinKeysOf(version)) DeleteRegTree(key.first, key.second);
    for (const auto& key : NeighbourAddinKeysOf(version)) DeleteRegTree(key.first, key.second);
}

}  // namespace

std::wstring InstallFolderOf(const SampleInstallation& sample) {
    return sample.installFolder + L"\\";
}

std::wstring PreviewFolderOf(const SampleInstallation& sample) {
    if (!sample.previewFolder.empty()) return sample.previewFolder;
    return LocalAppData() + L"\\Quorvex\\GlyphSmith\\Temporary Preview Files";
}

std::wstring ProductKeyPath(const SampleInstallation& sample) {
    return L"SOFTWARE\\Quorvex\\" + sample.productKey;
}

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

std::wstring VisualStudioFolderOf(const SampleInstallation& sample, const std::wstring& version) {
    return sample.visualStudioRoot + L" " + version + L"\\Common7\\IDE\\";
}

std::wstring VisualStudioDetectionKey(const std::wstring& version) {
    return L"SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\" + version;
}

std::wstring VisualStudioKey(const std::wstring& version) {
    return L"Software\\Microsoft\\VisualStudio\\" + version;
}

std::wstring AddinClassKeyOf(const std::wstring& version) {
    return (version == L"9.0" || version == L"10.0") ? AddinClassB : AddinClassA;
}

std::vector<std::pair<HKEY, std::wstring>> AddinKeysOf(const std::wstring& version) {
    const std::wstring editor = VisualStudioKey(version) + L"\\Default Editors\\ico\\Quorvex GlyphSmith";
    const std::wstring vsa = L"Software\\Microsoft\\VSA\\" + version + L"\\AddIns\\GlyphSmithAddin.Connect";
    const std::wstring addin = VisualStudioKey(version) + L"\\AddIns\\GlyphSmithAddin.Connect";
    return {{HKEY_LOCAL_MACHINE, editor},
            {HKEY_CURRENT_USER, editor},
            {HKEY_CLASSES_ROOT, L"GlyphSmithAddin.Connect.1"},
            {HKEY_CLASSES_ROOT, L"GlyphSmithAddin.Connect"},
            {HKEY_CLASSES_ROOT, AddinClassKeyOf(version)},
            {HKEY_LOCAL_MACHINE, vsa},
            {HKEY_CURRENT_USER, vsa},
            {HKEY_LOCAL_MACHINE, addin},
            {HKEY_CURRENT_USER, addin}};
}

std::vector<std::pair<HKEY, std::wstring>> NeighbourAddinKeysOf(const std::wstring& version) {
    return {{HKEY_LOCAL_MACHINE, VisualStudioKey(version) + L"\\Default Editors\\ico\\Contoso Icons"},
            {HKEY_CURRENT_USER, VisualStudioKey(version) + L"\\AddIns\\Contoso.Connect"},
            {HKEY_LOCAL_MACHINE, VisualStudioKey(version) + L"\\AddIns\\Contoso.Connect"},
            {HKEY_CLASSES_ROOT, L"Contoso.Connect"}};
}

std::optional<SentinelFile> WriteSentinel(const std::wstring& path, DWORD attributes) {
    SentinelFile sentinel{path, std::string()};
    for (int value = 0; value < 256; ++value) sentinel.bytes += static_cast<char>(value);
    sentinel.bytes += Narrow(path);
    if (!WriteWithFolders(path, sentinel.bytes)) return std::nullopt;
    if (attributes) {
        if (!SetFileAttributesW(path.c_str(), attributes)) return std::nullopt;
        sentinel.attributes = GetFileAttributesW(path.c_str());
    }
    return sentinel;
}

std::vector<SentinelFile> LaySentinels(const SampleInstallation& sample, const std::wstring& tag) {
    const std::wstring parent = ParentOf(sample.installFolder);
    const std::wstring preview = PreviewFolderOf(sample);
    std::vector<std::wstring> paths = {
        parent + L"\\beside-install.dat",
        ParentOf(parent) + L"\\in-parent.dat",
        L"C:\\QvSentinel-" + tag + L".dat",
        parent + L"\\GlyphSmith Pro\\GlyphSmith.exe",
        parent + L"\\GlyphSmith Pro\\GlyphSmith_exe.ii",
        parent + L"\\GlyphSmith Pro\\uninstall.ini",
        ParentOf(preview) + L"\\beside-preview.dat",
        preview + L"\\A\\Cache\\thumbnail.png",
    };
    if (!sample.desktopIniFolder.empty()) {
        const std::wstring customised = InstallFolderOf(sample) + sample.desktopIniFolder;
        paths.push_back(customised + L"\\desktop.ini");
    }
    std::vector<SentinelFile> sentinels;
    for (const std::wstring& path : paths) {
        if (path.size() < 11 || path.compare(path.size() - 11, 11, L"desktop.ini") != 0) {
            // One that could not be written is listed all the same, as damaged.
            const std::optional<SentinelFile> sentinel = WriteSentinel(path);
            sentinels.push_back(sentinel ? *sentinel : SentinelFile{path, "(could not be written)"});
            continue;
        }
        // The layout may have made that desktop.ini already (hidden, system).
        if (!(PathExists(path) && ReadFileBytes(path) == DesktopIniContent)) WriteWithFolders(path, DesktopIniContent);
        sentinels.push_back({path, DesktopIniContent});
    }
    return sentinels;
}

std::vector<std::wstring> DamagedSentinels(const std::vector<SentinelFile>& sentinels) {
    std::vector<std::wstring> damaged;
    for (const SentinelFile& sentinel : sentinels)
        if (!PathExists(sentinel.path) || ReadFileBytes(sentinel.path) != sentinel.bytes ||
            (sentinel.attributes && GetFileAttributesW(sentinel.path.c_str()) != sentinel.attributes))
            damaged.push_back(sentinel.path);
    return damaged;
}

void RemoveSentinels(const std::vector<SentinelFile>& sentinels) {
    for (const SentinelFile& sentinel : sentinels) {
        SetFileAttributesW(sentinel.path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(sentinel.path.c_str());
    }
}

std::vector<std::wstring> ListedFilesOf(const SampleInstallation& sample) {
    std::vector<std::wstring> listed;
    for (const std::wstring& file : sample.files) listed.push_back(InstallFolderOf(sample) + file);
    return listed;
}

void LayOutSampleAssociation(const std::wstring& productKeyPath, const SampleAssociation& a) {
    const std::wstring saved = productKeyPath + L"\\Associations\\" + a.name;
    const auto place = [&](const std::wstring& savedKey, const std::wstring& liveKey, const std::wstring& previous,
                           const std::wstring& product, const std::optional<std::wstring>& live) {
        SetRegString(HKEY_LOCAL_MACHINE, savedKey, L"", previous);
        if (!a.productValueMissing) SetRegString(HKEY_LOCAL_MACHINE, savedKey, L"quorvex", product);
        SetRegString(HKEY_CLASSES_ROOT, liveKey, L"", live ? *live : product);
    };
    place(saved, a.name, a.previous, a.product, a.live);
    // The removal walks the record in the process's own registry view and
    // reads the values in the 64-bit view. A 32-bit process on 64-bit
    // Windows walks the Wow6432Node branch, so the entry is named there too.
    if (HasSeparate32BitView()) SetRegString(HKEY_LOCAL_MACHINE, saved, L"", a.previous, OwnView);
    if (a.name[0] == L'.') return;
    place(saved + L"\\shell\\open\\command", a.name + L"\\shell\\open\\command", a.previousCommand, a.productCommand,
          a.liveCommand);
    place(saved + L"\\DefaultIcon", a.name + L"\\DefaultIcon", a.previousIcon, a.productIcon, a.liveIcon);
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
    for (const std::wstring& file : sample.readOnlyFiles)
        AddAttributes(folder + file, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    for (const std::wstring& sub : sample.readOnlyFolders) AddAttributes(folder + sub, FILE_ATTRIBUTE_READONLY);
    if (!sample.desktopIniFolder.empty()) {
        const std::wstring customised = folder + sample.desktopIniFolder;
        MakeFolders(customised);
        const std::wstring ini = customised + L"\\desktop.ini";
        if (!PathExists(ini)) WriteFileBytes(ini, DesktopIniContent);
        AddAttributes(ini, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        AddAttributes(customised, FILE_ATTRIBUTE_READONLY);
    }

    // The settings file and the uninstaller beside it.
    const std::wstring repair = sample.repairProgram.empty() ? folder + L"Setup\\Repair.exe" : sample.repairProgram;
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
    if (!sample.previewDotFileSubfolder.empty()) {
        const std::wstring file = preview + L"\\" + sample.previewDotFileSubfolder + L"\\.keep";
        if (!WriteWithFolders(file, ContentFor(file))) return Fail(error, L"cannot write " + file);
    }

    // The saved associations and the live values the product set.
    for (const SampleAssociation& a : sample.associations) LayOutSampleAssociation(productKey, a);

    return LayOutSampleVisualStudio(sample, error);
}

bool LayOutSampleVisualStudio(const SampleInstallation& sample, std::wstring* error) {
    for (const std::wstring& version : sample.visualStudioVersions)
        if (!LayOutVisualStudio(sample, version, error)) return false;
    return true;
}

void RemoveSampleVisualStudio(const SampleInstallation& sample) {
    for (const std::wstring& version : sample.visualStudioVersions) RemoveVisualStudio(sample, version);
}

void RemoveSampleInstallation(const SampleInstallation& sample) {
    RemoveTree(sample.installFolder);
    RemoveSampleVisualStudio(sample);
    RemoveTree(PreviewFolderOf(sample));
    DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKeyPath(sample));
    DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKeyPath(sample), OwnView);
    DeleteRegTree(HKEY_CURRENT_USER, ProductKeyPath(sample));
    DeleteRegTree(HKEY_LOCAL_MACHINE, UninstallEntryPath(sample));
    DeleteRegTree(HKEY_LOCAL_MACHINE, AppPathsKey(sample));
    DeleteRegTree(HKEY_CURRENT_USER, FoldersKey);
    // The icon file type's value, and its keys when nothing else is in them.
    HKEY icon = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, IconDefaultIconKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &icon) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(icon, L"PictureIndex");
        RegCloseKey(icon);
    }
    DeleteKeyIfEmpty(HKEY_CURRENT_USER, IconDefaultIconKey);
    DeleteKeyIfEmpty(HKEY_CURRENT_USER, L"Software\\Classes\\IcoFile");
    for (const SampleAssociation& a : sample.associations) DeleteRegTree(HKEY_CLASSES_ROOT, a.name);
}

}  // namespace qvtest
