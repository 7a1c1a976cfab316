// The hostile inputs of tools/hostile-run: tables of values for
// "uninstall.ini" and for the registry values the uninstaller reads, the
// choice of a few of them per case, and their application to a freshly laid
// sample installation.
#pragma once

#include <windows.h>

#include <random>
#include <string>
#include <vector>

namespace hostile {

// The paths a case works with. The texts of the tables name them in braces:
// {install} {quorvex} {sibling} {preview} {previewparent} {target} {repair}
// {args}; also {pad:N} (N letters "a"), {quotes:N} (N quotation marks),
// {junk:N} (about N bytes of settings lines), {allbytes} (every value from
// 1 to 255) and {lone} (a lone UTF-16 surrogate, U+D800).
struct Places {
    std::wstring install;        // the install folder, without trailing "\"
    std::wstring quorvex;        // its parent, the maker's folder
    std::wstring sibling;        // a sibling product's folder (sentinels)
    std::wstring preview;        // the product's preview folder
    std::wstring previewParent;  // the folder above it
    std::wstring target;         // a folder of sentinels that the links lead to
    std::wstring repair;         // the repair program of the sample's settings
    std::wstring args;           // the sample's "args" value
    // Registry keys under HKLM (64-bit view), and the per-user folders key.
    std::wstring productKey;      // SOFTWARE\Quorvex\<product key>
    std::wstring uninstallEntry;  // the uninstall entry the program reads "DisplayName" from
    std::wstring appPathsEntry;   // the product program's App Paths entry
    std::wstring foldersKey;      // HKCU SOFTWARE\Quorvex\folders ("PreviewTempDir")
};

// Links a mutation needs, planted from the Linux side before the run. All
// are links to folders: Wine shows a link to a file as a plain file, so no
// program could tell one from a listed file there.
enum class LinkPlan {
    None,
    InstallFolderLink,     // {install}\Linked -> {target}
    InstallDirIsLink,      // {quorvex}\LinkedInstall -> {target}
    PreviewParentLink,     // {previewparent}\Linked -> {target}
    PreviewIsLink,         // {previewparent}\LinkedPreview -> {target}\Temporary Preview Files
    PreviewSubfolderLink,  // {preview}\B -> {target}\A
};

// How a registry row's text becomes the value's data.
enum class Shape {
    Text,          // the text and its terminator
    NoTerminator,  // the text without terminator
    OddLength,     // the text without terminator, cut by one byte
    FillTo,        // the text, then letters "a", exactly `bytes` bytes, no terminator
    Multi,         // "|" separates strings, double terminator (REG_MULTI_SZ layout)
    FirstChars,    // the first `bytes` bytes of the text (DWORD or QWORD data that spells characters)
    Empty,         // no data at all
    Absent,        // the value is deleted
    ManyValues,    // `bytes` REG_DWORD values named after the text plus a number
};

struct ValueRow {
    const char* label;
    DWORD type;
    Shape shape;
    const wchar_t* text;
    DWORD bytes = 0;
    LinkPlan link = LinkPlan::None;
    const wchar_t* valueName = nullptr;  // Files rows: the value's name; default "Hostile<n>"
};

enum class Encoding {
    Bytes,         // the text's characters as single bytes ({lone} as CESU-8 ED A0 80)
    Utf16,         // UTF-16LE with a byte order mark
    Utf16OddByte,  // the same, cut by one byte
    Folder,        // no file: a folder named "uninstall.ini"
};

struct IniRow {
    const char* label;
    Encoding encoding;
    std::string text;
};

// Things planted around the installation (tools/hostile_run/Planted.cpp).
enum class Plant {
    AutoRun,              // HKCU ...\Command Processor "AutoRun" = `text`, of type `type`
    BatchName,            // C:\QVUninst.bat with other text, open to Everyone, plus the attributes `type`
    BatchNameHardLink,    // C:\QVUninst.bat a hard link to a read-only sentinel
    RegistryLink,         // a registry link at the HKCU product key + `text`, to `targetRoot`\`targetPath`
    ListedFileHardLinks,  // the listed files of `text` ("|" between) hard links to read-only sentinels
};

struct PlantedRow {
    const char* label;
    Plant plant;
    const wchar_t* text = L"";
    DWORD type = 0;
    HKEY targetRoot = nullptr;
    const wchar_t* targetPath = nullptr;
};

// What a mutation changes.
enum class Input { Ini, InstallDir, Files, DisplayName, PreviewDir, Planted };

struct Mutation {
    Input input;
    size_t row;
};

// The row of a Planted mutation; nullptr for the other inputs.
const PlantedRow* PlantedRowOf(const Mutation& mutation);
// Every Planted row, for the clean-up of whatever a case may have left.
std::vector<Mutation> EveryPlantedMutation();

// One to three mutations, at most one per input except the Files list.
std::vector<Mutation> ChooseMutations(std::mt19937& random);
// "InstallDir:dots-to-sibling, Files:parent-is-link"
std::string Describe(const std::vector<Mutation>& mutations);
// The mutation a description part names ("Files:parent-is-link"); false when
// no row has that name.
bool FindMutation(const std::string& name, Mutation& mutation);

// The links the mutations need: (link, target) pairs.
std::vector<std::pair<std::wstring, std::wstring>> LinksOf(const std::vector<Mutation>& mutations,
                                                           const Places& places);

// One mutation for every row that plants a link: with LinksOf, every link
// place a case may have left.
std::vector<Mutation> EveryLinkMutation();

// Writes the mutated inputs over the laid-out sample; false with a reason
// when a write fails. Links are planted by the caller before this.
bool ApplyMutations(const std::vector<Mutation>& mutations, const Places& places, std::wstring* error);

// The table text with the places and generated pieces put in.
std::wstring Expand(const std::wstring& text, const Places& places);

}  // namespace hostile
