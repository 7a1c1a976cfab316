#include "tools/hostile_run/OutsideState.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"

namespace hostile {

namespace {

using qvtest::MakeFolders;
using qvtest::ParentOf;
using qvtest::SetRegString;

const wchar_t HostileRoot[] = L"C:\\QvHostile";
const wchar_t RootOneLetterFolder[] = L"C:\\Q";
const wchar_t* const RootFiles[] = {L"C:\\uninstall.ini", L"C:\\MediaFiles.qvd", L"C:\\MediaFiles.qvdn"};
const wchar_t EmptySibling[] = L"\\Empty Sibling";

// Registry keys outside the product's own. The views: 0 is the default for
// the hive, KEY_WOW64_32KEY the 32-bit view of HKLM\SOFTWARE.
struct SentinelKey {
    HKEY root;
    const wchar_t* path;
    REGSAM view;
    const wchar_t* name;
    const wchar_t* value;
};

const SentinelKey SentinelKeys[] = {
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\GlyphSmith Pro", KEY_WOW64_64KEY, L"InstallDir", nullptr},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\GlyphSmith Pro", KEY_WOW64_64KEY, L"Version", L"2.1.0"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\GlyphSmith Pro\\Files", KEY_WOW64_64KEY, L"File0001", nullptr},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\GlyphSmith Pro\\Associations\\.qvp", KEY_WOW64_64KEY, L"quorvex",
     L"GlyphSmithPro.Document"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\GlyphSmith Pro", KEY_WOW64_32KEY, L"Version", L"2.1.0 (32-bit view)"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Other", KEY_WOW64_64KEY, L"Sentinel", L"a key beside the maker's"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlyphSmith Pro (64-bit)",
     KEY_WOW64_64KEY, L"DisplayName", L"Quorvex GlyphSmith Pro 2.1 (64-bit)"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlyphSmith", KEY_WOW64_64KEY,
     L"DisplayName", L"Quorvex GlyphSmith (a key named like the start of the product's)"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\GlyphSmithPro.exe",
     KEY_WOW64_64KEY, L"", L"C:\\Program Files\\Quorvex\\GlyphSmith Pro\\GlyphSmith.exe"},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Quorvex\\GlyphSmith Pro\\Settings", KEY_WOW64_64KEY, L"LastProject",
     L"C:\\Users\\Public\\Pro.qvg"},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Other", KEY_WOW64_64KEY, L"Sentinel", L"a key beside the maker's"},
    {HKEY_CLASSES_ROOT, L"QvSentinel.Document", KEY_WOW64_64KEY, L"", L"Sentinel document"},
    {HKEY_CLASSES_ROOT, L"QvSentinel.Document\\shell\\open\\command", KEY_WOW64_64KEY, L"",
     L"\"C:\\Program Files\\Quorvex\\GlyphSmith Pro\\GlyphSmith.exe\" \"%1\""},
    {HKEY_CLASSES_ROOT, L".qvs", KEY_WOW64_64KEY, L"", L"QvSentinel.Document"},
    // What the planted registry links lead to: keys named like the product's.
    {HKEY_CURRENT_USER, L"Software\\QvHostileTarget", KEY_WOW64_64KEY, L"Sentinel", L"a registry link's target"},
    {HKEY_CURRENT_USER, L"Software\\QvHostileTarget\\Settings", KEY_WOW64_64KEY, L"LastProject",
     L"C:\\Users\\Public\\Target.qvg"},
    {HKEY_CURRENT_USER, L"Software\\QvHostileTarget\\Settings\\Window", KEY_WOW64_64KEY, L"Placement", L"0,0,640,480"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvHostileTarget", KEY_WOW64_64KEY, L"Sentinel", L"a registry link's target"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvHostileTarget\\Files", KEY_WOW64_64KEY, L"File0001",
     L"C:\\QvHostile\\Target\\GlyphSmith.exe"},
};

// The key roots the sentinels above live under, deleted again at the end.
const SentinelKey SentinelRoots[] = {
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\GlyphSmith Pro", KEY_WOW64_64KEY, nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex\\GlyphSmith Pro", KEY_WOW64_32KEY, nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Other", KEY_WOW64_64KEY, nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlyphSmith Pro (64-bit)",
     KEY_WOW64_64KEY, nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlyphSmith", KEY_WOW64_64KEY,
     nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\GlyphSmithPro.exe",
     KEY_WOW64_64KEY, nullptr, nullptr},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Quorvex\\GlyphSmith Pro", KEY_WOW64_64KEY, nullptr, nullptr},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Other", KEY_WOW64_64KEY, nullptr, nullptr},
    {HKEY_CLASSES_ROOT, L"QvSentinel.Document", KEY_WOW64_64KEY, nullptr, nullptr},
    {HKEY_CLASSES_ROOT, L".qvs", KEY_WOW64_64KEY, nullptr, nullptr},
    {HKEY_CURRENT_USER, L"Software\\QvHostileTarget", KEY_WOW64_64KEY, nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvHostileTarget", KEY_WOW64_64KEY, nullptr, nullptr},
};

// Values put into keys that are not the product's but that it works beside:
// the maker's key itself (an "InstallDir" there would serve a product key
// that names the maker's key) and the per-user icon file type.
const SentinelKey SharedKeyValues[] = {
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex", KEY_WOW64_64KEY, L"InstallDir", L"C:\\QvHostile\\Nowhere\\"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex", KEY_WOW64_64KEY, L"Maker", L"Quorvex"},
    {HKEY_CURRENT_USER, L"Software\\Classes\\IcoFile\\DefaultIcon", KEY_WOW64_64KEY, L"QvSentinel", L"stays"},
};

// Key lists that must keep their members, but for the product's own entries
// (compared without regard to case). Some keys are shared by both views
// (App Paths), so the product's entries are left out of both.
struct KeyList {
    HKEY root;
    const wchar_t* label;
    const wchar_t* path;
    REGSAM view;
    std::vector<std::wstring> productEntries;
};

const KeyList KeyLists[] = {
    {HKEY_LOCAL_MACHINE, L"HKLM64", L"SOFTWARE", KEY_WOW64_64KEY, {}},
    {HKEY_LOCAL_MACHINE, L"HKLM32", L"SOFTWARE", KEY_WOW64_32KEY, {}},
    {HKEY_CURRENT_USER, L"HKCU", L"Software", KEY_WOW64_64KEY, {}},
    {HKEY_LOCAL_MACHINE, L"HKLM64", L"SOFTWARE\\Quorvex", KEY_WOW64_64KEY, {L"glyphsmith 6"}},
    {HKEY_LOCAL_MACHINE, L"HKLM32", L"SOFTWARE\\Quorvex", KEY_WOW64_32KEY, {L"glyphsmith 6"}},
    {HKEY_CURRENT_USER, L"HKCU", L"SOFTWARE\\Quorvex", KEY_WOW64_64KEY, {L"glyphsmith 6", L"folders"}},
    {HKEY_LOCAL_MACHINE, L"HKLM64", L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", KEY_WOW64_64KEY,
     {L"glyphsmith 6", L"glyphsmith 6 (64-bit)", L"glyphsmith 6 (64-bit) "}},
    {HKEY_LOCAL_MACHINE, L"HKLM32", L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", KEY_WOW64_32KEY,
     {L"glyphsmith 6", L"glyphsmith 6 (64-bit)", L"glyphsmith 6 (64-bit) "}},
    {HKEY_LOCAL_MACHINE, L"HKLM64", L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", KEY_WOW64_64KEY,
     {L"glyphsmith.exe"}},
    {HKEY_LOCAL_MACHINE, L"HKLM32", L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", KEY_WOW64_32KEY,
     {L"glyphsmith.exe"}},
    {HKEY_CLASSES_ROOT, L"HKCR", L"", KEY_WOW64_64KEY, {L".qvg", L".ico", L"icofile"}},
};

std::wstring Lower(std::wstring text) {
    for (wchar_t& ch : text) ch = static_cast<wchar_t>(std::towlower(ch));
    return text;
}

// 64-bit FNV-1a of the bytes, as 16 hexadecimal digits.
std::wstring HashOf(const void* data, size_t size) {
    unsigned long long hash = 14695981039346656037ull;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    wchar_t text[20];
    wsprintfW(text, L"%08lx%08lx", static_cast<unsigned long>(hash >> 32), static_cast<unsigned long>(hash));
    return text;
}

std::wstring Hex(DWORD value) {
    wchar_t text[12];
    wsprintfW(text, L"%lx", value);
    return text;
}

bool WriteSentinel(const std::wstring& path, DWORD attributes, std::wstring* error) {
    if (qvtest::WriteSentinel(path, attributes)) return true;
    if (error) *error = L"cannot write " + path;
    return false;
}

// --- the file record --------------------------------------------------------

struct TreeArea {
    std::wstring root;
    bool recurse;
    std::vector<std::wstring> skipped;  // full paths left out, with what lies below them
};

bool IsSkipped(const std::wstring& path, const TreeArea& area) {
    const std::wstring lower = Lower(path);
    for (const std::wstring& skip : area.skipped) {
        const std::wstring s = Lower(skip);
        if (lower == s || (lower.size() > s.size() && lower.compare(0, s.size(), s) == 0 && lower[s.size()] == L'\\'))
            return true;
    }
    return false;
}

void RecordTree(const std::wstring& folder, const TreeArea& area, std::vector<std::wstring>& lines) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (IsSkipped(path, area)) continue;
        const DWORD attributes = GetFileAttributesW(path.c_str());
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (isFolder) {
            lines.push_back(L"folder " + path + L" attributes " + Hex(attributes));
            if (area.recurse && !isLink) RecordTree(path, area, lines);
        } else {
            const std::string bytes = isLink ? std::string() : qvtest::ReadFileBytes(path);
            lines.push_back(L"file " + path + L" attributes " + Hex(attributes) + L" bytes " +
                            std::to_wstring(bytes.size()) + L" hash " + HashOf(bytes.data(), bytes.size()));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::wstring LocalAppDataQuorvex(const Places& places) { return ParentOf(places.previewParent); }

// --- the registry record ----------------------------------------------------

std::wstring RootLabel(HKEY root, REGSAM view) {
    if (root == HKEY_CLASSES_ROOT) return L"HKCR";
    if (root == HKEY_CURRENT_USER) return L"HKCU";
    return view == KEY_WOW64_32KEY ? L"HKLM32" : L"HKLM64";
}

// The key's values (and with `recurse` its subkeys), one line each; values
// named in `skippedValues` are left out.
void RecordKey(HKEY root, const std::wstring& path, REGSAM view, bool recurse,
               const std::vector<std::wstring>& skippedValues, std::vector<std::wstring>& lines) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    const std::wstring label = RootLabel(root, view) + L"\\" + path;
    lines.push_back(L"key " + label);
    DWORD longestName = 0, longestData = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName, &longestData,
                     nullptr, nullptr);
    std::vector<wchar_t> name(longestName + 2);
    std::vector<BYTE> data(longestData + 2);
    for (DWORD index = 0;; ++index) {
        DWORD nameChars = static_cast<DWORD>(name.size());
        DWORD bytes = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, index, name.data(), &nameChars, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS)
            break;
        const std::wstring valueName(name.data(), nameChars);
        if (std::find(skippedValues.begin(), skippedValues.end(), valueName) != skippedValues.end()) continue;
        lines.push_back(L"value " + label + L" [" + valueName + L"] type " + Hex(type) + L" bytes " +
                        std::to_wstring(bytes) + L" hash " + HashOf(data.data(), bytes));
    }
    RegCloseKey(key);
    if (recurse)
        for (const std::wstring& sub : qvtest::RegSubkeys(root, path, view))
            RecordKey(root, path + L"\\" + sub, view, true, skippedValues, lines);
}

void RecordKeyList(const KeyList& list, std::vector<std::wstring>& lines) {
    for (const std::wstring& sub : qvtest::RegSubkeys(list.root, list.path, list.view)) {
        const std::wstring lower = Lower(sub);
        if (std::find(list.productEntries.begin(), list.productEntries.end(), lower) != list.productEntries.end())
            continue;
        lines.push_back(L"subkey " + std::wstring(list.label) + L"\\" + list.path + L"\\" + sub);
    }
}

}  // namespace

bool LayOutsideSentinels(const Places& places, std::wstring* error) {
    const std::wstring& t = places.target;
    // The folder the links lead to: the names a listed file, the fixed
    // entries and the preview step would act on, some read-only or hidden.
    const std::pair<std::wstring, DWORD> targetFiles[] = {
        {t + L"\\GlyphSmith.exe", FILE_ATTRIBUTE_READONLY},
        {t + L"\\GlyphSmith_exe.ii", 0},
        {t + L"\\uninstall.ini", 0},
        {t + L"\\MediaFiles.qvd", 0},
        {t + L"\\MediaFiles.qvdn", FILE_ATTRIBUTE_HIDDEN},
        {t + L"\\A\\preview1.png", 0},
        {t + L"\\A\\preview2.png", FILE_ATTRIBUTE_HIDDEN},
        {t + L"\\Temporary Preview Files\\A\\preview1.png", 0},
        {t + L"\\Temporary Preview Files\\Q\\preview1.png", FILE_ATTRIBUTE_READONLY},
        {t + L"\\Temporary Preview Files\\Q\\Cache\\deep.png", 0},
    };
    for (const auto& file : targetFiles)
        if (!WriteSentinel(file.first, file.second, error)) return false;
    MakeFolders(t + L"\\Empty");
    SetFileAttributesW((t + L"\\A").c_str(), FILE_ATTRIBUTE_READONLY);

    // What a drive root taken for the install or preview folder would lose.
    for (const wchar_t* file : RootFiles)
        if (!WriteSentinel(file, 0, error)) return false;
    if (!WriteSentinel(std::wstring(RootOneLetterFolder) + L"\\root-preview.png", 0, error)) return false;
    MakeFolders(places.quorvex + EmptySibling);

    for (const SentinelKey& key : SentinelKeys) {
        std::wstring value = key.value ? key.value : L"";
        if (!key.value)
            value = std::wstring(key.name) == L"InstallDir" ? places.sibling + L"\\" : places.sibling + L"\\GlyphSmith.exe";
        if (!SetRegString(key.root, key.path, key.name, value, key.view)) {
            if (error) *error = std::wstring(L"cannot write the registry key ") + key.path;
            return false;
        }
    }
    for (const SentinelKey& key : SharedKeyValues)
        if (!SetRegString(key.root, key.path, key.name, key.value, key.view)) {
            if (error) *error = std::wstring(L"cannot write the registry key ") + key.path;
            return false;
        }
    return true;
}

void RemoveOutsideSentinels(const Places& places) {
    qvtest::RemoveTree(HostileRoot);
    qvtest::RemoveTree(RootOneLetterFolder);
    for (const wchar_t* file : RootFiles) {
        SetFileAttributesW(file, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file);
    }
    RemoveDirectoryW((places.quorvex + EmptySibling).c_str());
    for (const SentinelKey& key : SentinelRoots) qvtest::DeleteRegTree(key.root, key.path, key.view);
    for (const SentinelKey& key : SharedKeyValues) {
        HKEY handle = nullptr;
        if (RegOpenKeyExW(key.root, key.path, 0, KEY_SET_VALUE | key.view, &handle) == ERROR_SUCCESS) {
            RegDeleteValueW(handle, key.name);
            RegCloseKey(handle);
        }
    }
}

std::vector<std::wstring> OutsideSnapshot(const Places& places) {
    std::vector<std::wstring> lines;
    const std::wstring localQuorvex = LocalAppDataQuorvex(places);
    const TreeArea areas[] = {
        {places.quorvex, true, {places.install}},
        {HostileRoot, true, {}},
        {RootOneLetterFolder, true, {}},
        {localQuorvex, true, {places.preview}},
        {L"C:", false, {L"C:\\QVUninst.bat"}},
        {L"C:\\Program Files", false, {}},
        {ParentOf(localQuorvex), false, {}},
    };
    for (const TreeArea& area : areas) RecordTree(area.root, area, lines);

    for (const SentinelKey& key : SentinelRoots) RecordKey(key.root, key.path, key.view, true, {}, lines);
    RecordKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvex", KEY_WOW64_64KEY, false, {}, lines);
    RecordKey(HKEY_CURRENT_USER, L"Software\\Classes\\IcoFile\\DefaultIcon", KEY_WOW64_64KEY, false,
              {L"PictureIndex"}, lines);
    for (const KeyList& list : KeyLists) RecordKeyList(list, lines);

    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::wstring> SnapshotDifferences(const std::vector<std::wstring>& before,
                                              const std::vector<std::wstring>& after, size_t limit) {
    std::vector<std::wstring> gone, added;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    std::vector<std::wstring> out;
    for (size_t i = 0; i < gone.size() && i < limit; ++i) out.push_back(L"gone or changed: " + gone[i]);
    if (gone.size() > limit) out.push_back(L"(" + std::to_wstring(gone.size() - limit) + L" more gone or changed)");
    for (size_t i = 0; i < added.size() && i < limit; ++i) out.push_back(L"new: " + added[i]);
    if (added.size() > limit) out.push_back(L"(" + std::to_wstring(added.size() - limit) + L" more new)");
    return out;
}

}  // namespace hostile
