// Lays out a realistic GlyphSmith installation in the running (Wine) system:
// the installed files with their companion ".ii" files in nested folders,
// "uninstall.ini" beside Uninstall.exe, the product's registry keys with
// "InstallDir" and the "Files" list, the uninstall entry, "App Paths", the
// preview folder with "PreviewTempDir", and a saved "Associations" record with
// the live file-type values that the product took over; on request also
// read-only files and folders, a folder customised by a "desktop.ini", Visual
// Studio install folders with a devenv.exe and the product's add-in keys, and
// sentinel files outside the listed set that no removal may touch.
// Used by the tests and by tools/demo (through SampleInstall.exe).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qvtest {

struct SampleAssociation {
    std::wstring name;                             // ".ext" or a file type
    std::wstring previous;                         // default value saved in the record
    std::wstring product;                          // "quorvex" value saved in the record
    std::wstring previousCommand, productCommand;  // file types only
    std::wstring previousIcon, productIcon;        // file types only
    // The live values under the classes root; unset: the product's value.
    std::optional<std::wstring> live, liveCommand, liveIcon;
    bool productValueMissing = false;  // the record lacks the "quorvex" values
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
    // Listed files marked read-only and hidden, and folders marked read-only.
    std::vector<std::wstring> readOnlyFiles = {L"GlyphSmith.chm", L"Languages\\de-DE\\strings.qvl"};
    std::vector<std::wstring> readOnlyFolders = {L"Plugins\\Export", L"Templates"};
    // A folder (relative to the install folder) that gets a "desktop.ini"
    // which is not listed, and read-only and system marks; empty: none.
    std::wstring desktopIniFolder;
    // Preview subfolders (one character each) and the files put in each.
    std::vector<std::wstring> previewSubfolders = {L"0", L"7", L"@", L"A", L"Q", L"Z"};
    int previewFilesPerSubfolder = 3;
    // A preview subfolder that also gets a file named ".keep"; empty: none.
    std::wstring previewDotFileSubfolder;
    // Visual Studio versions ("8.0" ... "11.0") laid out as installed: a
    // folder <visualStudioRoot> <version>\Common7\IDE\ with a copy of
    // devenvSource, "InstallDir" under both the Wow6432Node and the plain
    // key, and the product's add-in keys beside those of another vendor.
    std::vector<std::wstring> visualStudioVersions;
    std::wstring visualStudioRoot = L"C:\\Program Files (x86)\\Microsoft Visual Studio";
    std::wstring devenvSource;
    std::vector<SampleAssociation> associations = {
        {L".qvg", L"", L"GlyphSmith.Document", L"", L"", L"", L""},
        {L".ico", L"icofile", L"GlyphSmith.Icon", L"", L"", L"", L""},
        {L"icofile", L"Icon", L"GlyphSmith Icon", L"\"C:\\windows\\system32\\mspaint.exe\" \"%1\"",
         L"\"C:\\Program Files\\Quorvex\\GlyphSmith\\GlyphSmith.exe\" \"%1\"", L"%1",
         L"C:\\Program Files\\Quorvex\\GlyphSmith\\GlyphSmith.exe,1"},
    };
};

// Writes one entry of the saved "Associations" record under the product's
// key (SOFTWARE\Quorvex\<key>) and the live values under the classes root.
void LayOutSampleAssociation(const std::wstring& productKeyPath, const SampleAssociation& association);

// Creates everything; false with a reason when a step fails.
bool LayOutSampleInstallation(const SampleInstallation& sample, std::wstring* error = nullptr);
// Removes every file, folder and key that the layout may have created.
void RemoveSampleInstallation(const SampleInstallation& sample);
// The sample's Visual Studio versions alone, laid out as
// LayOutSampleInstallation lays them out, and removed again.
bool LayOutSampleVisualStudio(const SampleInstallation& sample, std::wstring* error = nullptr);
void RemoveSampleVisualStudio(const SampleInstallation& sample);

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

// Visual Studio: the install folder of a version (with trailing "\"), its
// detection key and plain key under HKLM, and the product's add-in keys
// (root and path) that the removal deletes.
std::wstring VisualStudioFolderOf(const SampleInstallation& sample, const std::wstring& version);
std::wstring VisualStudioDetectionKey(const std::wstring& version);
std::wstring VisualStudioKey(const std::wstring& version);
std::vector<std::pair<HKEY, std::wstring>> AddinKeysOf(const std::wstring& version);
// Keys of another vendor beside the add-in keys, which must stay.
std::vector<std::pair<HKEY, std::wstring>> NeighbourAddinKeysOf(const std::wstring& version);
// The add-in's class key under HKEY_CLASSES_ROOT for a version.
std::wstring AddinClassKeyOf(const std::wstring& version);

// A file that no removal may touch, with its exact content and, where
// `attributes` is not zero, its exact attributes.
struct SentinelFile {
    std::wstring path;
    std::string bytes;
    DWORD attributes = 0;
};
// Writes a sentinel at `path`, making its folders: every byte value once,
// then the path, so that any change in any byte shows. With `attributes`
// they are set, and the record holds the attributes the file then has. No
// record when the file cannot be written or marked.
std::optional<SentinelFile> WriteSentinel(const std::wstring& path, DWORD attributes = 0);
// Lays sentinel files around the installation: beside the install folder,
// in its parent, in the drive root (named after `tag`), in a sibling
// product's folder (with the same file names as the listed ones), in the
// desktop.ini folder, beside the preview folder and in a sub-subfolder of a
// preview subfolder.
std::vector<SentinelFile> LaySentinels(const SampleInstallation& sample, const std::wstring& tag);
// The sentinels that are missing or differ in any byte or in their given
// attributes; empty when all are intact.
std::vector<std::wstring> DamagedSentinels(const std::vector<SentinelFile>& sentinels);
void RemoveSentinels(const std::vector<SentinelFile>& sentinels);

}  // namespace qvtest
