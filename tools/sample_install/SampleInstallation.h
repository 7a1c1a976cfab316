// Lays out a realistic GlyphSmith installation in the running (Wine) system:
// the installed files with their companion ".ii" files in nested folders,
// "uninstall.ini" beside Uninstall.exe, the product's registry keys with
// "InstallDir" and the "Files" list, the uninstall entry, "App Paths", the
// preview folder with "PreviewTempDir", and a saved "Associations" record with
// the live file-type values that the product took over.
// Used by the tests and by tools/demo (through SampleInstall.exe).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qvtest {

struct SampleAssociation {
    std::wstring name;      // ".ext" or a file type
    std::wstring previous;  // default value saved in the record
    std::wstring product;   // "quorvex" value saved in the record
    std::wstring previousCommand, productCommand;  // file types only
    std::wstring previousIcon, productIcon;        // file types only
};

struct SampleInstallation {
    std::wstring installFolder = L"C:\\Program Files\\Quorvex\\GlyphSmith";  // without trailing "\"
    std::wstring productKey = L"GlyphSmith 6";
    std::wstring programFileName = L"GlyphSmith.exe";
    std::wstring displayName = L"Quorvex GlyphSmith 6.5 (64-bit)";
    // Empty: <local application data>\Quorvex\GlyphSmith\Temporary Preview Files.
    std::wstring previewFolder;
    std::wstring uninstallerSource;  // Uninstall.exe to copy in; empty: none
    std::wstring repairProgram;      // "repair" of uninstall.ini; empty: <install>\Setup\Repair.exe
    // Installed files, relative to the install folder; each gets a companion.
    std::vector<std::wstring> files = {
        L"GlyphSmith.exe",
        L"GlyphSmith.chm",
        L"QvCore.dll",
        L"Languages\\en-US\\strings.qvl",
        L"Languages\\de-DE\\strings.qvl",
        L"Plugins\\Export\\svg.dll",
        L"Plugins\\Export\\pdf.dll",
        L"Templates\\Fonts 2.0\\basic.qvt",
        L"Templates\\Fonts 2.0\\serif.qvt",
        L"Help\\Tutorials\\Getting Started\\intro.htm",
    };
    // Preview subfolders (one character each) and the files put in each.
    std::vector<std::wstring> previewSubfolders = {L"0", L"7", L"A", L"Q"};
    int previewFilesPerSubfolder = 3;
    std::vector<SampleAssociation> associations = {
        {L".qvg", L"", L"GlyphSmith.Document", L"", L"", L"", L""},
        {L".ico", L"icofile", L"GlyphSmith.Icon", L"", L"", L"", L""},
        {L"icofile", L"Icon", L"GlyphSmith Icon", L"\"C:\\windows\\system32\\mspaint.exe\" \"%1\"",
         L"\"C:\\Program Files\\Quorvex\\GlyphSmith\\GlyphSmith.exe\" \"%1\"", L"%1",
         L"C:\\Program Files\\Quorvex\\GlyphSmith\\GlyphSmith.exe,1"},
    };
};

// Creates everything; false with a reason when a step fails.
bool LayOutSampleInstallation(const SampleInstallation& sample, std::wstring* error = nullptr);
// Removes every file, folder and key that the layout may have created.
void RemoveSampleInstallation(const SampleInstallation& sample);

// Paths the layout creates.
std::wstring InstallFolderOf(const SampleInstallation& sample);  // with trailing "\"
std::wstring PreviewFolderOf(const SampleInstallation& sample);
std::wstring ProductKeyPath(const SampleInstallation& sample);  // SOFTWARE\Quorvex\<key>
std::wstring UninstallEntryPath(const SampleInstallation& sample);
std::wstring AppPathsKey(const SampleInstallation& sample);
// The companion name of a listed file: every "." becomes "_", then ".ii".
std::wstring CompanionOf(const std::wstring& path);
// Full paths of the listed files, in listing order.
std::vector<std::wstring> ListedFilesOf(const SampleInstallation& sample);

}  // namespace qvtest
