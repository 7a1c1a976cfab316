#include "tools/hostile_run/OutsideState.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
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
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\GlyphSmithPro.exe", KEY_WOW64_64KEY,
     L"", L"C:\\Program Files\\Quorvex\\GlyphSmith Pro\\GlyphSmith.exe"},
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
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\GlyphSmithPro.exe", KEY_WOW64_64KEY,
     nullptr, nullptr},
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

// The same hash of a file's bytes, read in large pieces; `read` is how many
// bytes were read (fewer than its size when reading fails).
std::wstring HashOfFile(const std::wstring& path, unsigned long long& read) {
    unsigned long long hash = 14695981039346656037ull;
    read = 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        std::vector<unsigned char> chunk(1 << 20);
        DWORD got = 0;
        while (ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0) {
            for (DWORD i = 0; i < got; ++i) hash = (hash ^ chunk[i]) * 1099511628211ull;
            read += got;
        }
        CloseHandle(file);
    }
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

// --- the record ------------------------------------------------------------

constexpr unsigned long long HashLimitBytes = 16ull << 20;

// What the record leaves out below its roots, with the reason; lower case,
// as recorded ("hklm64\\..." is the 64-bit view).
struct Exclusion {
    const wchar_t* path;
    const char* reason;
};
// Folders recorded by their own line only, never entered.
const Exclusion FolderExclusions[] = {
    {L"c:\\windows", "Wine's own Windows folder: some 1.2 GB, written by Wine itself"},
};
const Exclusion KeyExclusions[] = {
    {L"hklm64\\software\\classes",
     "the classes root: Wine's COM registrations, some 15,000 keys; recorded through HKCR instead (the file types "
     "the run plants or the product restores, and the names of all top-level keys)"},
    {L"hklm64\\software\\wow6432node\\classes", "the 32-bit classes root (a link to the above in Wine)"},
    {L"hkcu\\software\\wine\\temporary system parameters",
     "Wine's session-only system parameters (a volatile key), made by Wine when a program first changes one, "
     "as a cancelled dialog does with the mouse settings"},
};

bool AtOrBelow(const std::wstring& lower, const std::wstring& prefix) {
    return lower.size() >= prefix.size() && lower.compare(0, prefix.size(), prefix) == 0 &&
           (lower.size() == prefix.size() || lower[prefix.size()] == L'\\' || prefix.back() == L'\\');
}

bool AtOrBelowAny(const std::wstring& lower, const std::vector<std::wstring>& prefixes) {
    for (const std::wstring& prefix : prefixes)
        if (AtOrBelow(lower, prefix)) return true;
    return false;
}

// The 64-bit view's path and the 32-bit view's (below Wow6432Node) of a key
// under HKLM\SOFTWARE, labelled and in lower case.
std::vector<std::wstring> BothViews(const std::wstring& softwarePath) {
    const std::wstring lower = Lower(softwarePath);
    const std::wstring software = L"software\\";
    if (lower.compare(0, software.size(), software) != 0) return {L"hklm64\\" + lower};
    return {L"hklm64\\" + lower, L"hklm64\\software\\wow6432node\\" + lower.substr(software.size())};
}

class Recorder {
public:
    Recorder(const Places& places, const std::vector<std::wstring>& runOwnFiles) {
        productFolders_ = {Lower(places.install), Lower(places.preview)};
        productFiles_ = {L"c:\\qvuninst.bat"};
        for (const std::wstring& file : runOwnFiles) skippedFiles_.push_back(Lower(file));
        for (const Exclusion& folder : FolderExclusions) notEnteredFolders_.push_back(folder.path);
        const std::wstring product = Lower(places.productKey);
        const std::wstring entry = Lower(places.uninstallEntry);
        const std::wstring entryBase = entry.substr(0, entry.rfind(L" (64-bit)"));
        for (const std::wstring& path :
             {product, entryBase, entryBase + L" (64-bit)", entryBase + L" (64-bit) ", Lower(places.appPathsEntry)})
            for (const std::wstring& label : BothViews(path)) productKeys_.push_back(label);
        productKeys_.push_back(L"hkcu\\" + product);
        productKeys_.push_back(L"hkcu\\" + Lower(places.foldersKey));
        productKeys_.push_back(L"hkcr\\.qvg");
        productKeys_.push_back(L"hkcr\\.ico");
        productKeys_.push_back(L"hkcr\\icofile");
        for (const Exclusion& key : KeyExclusions) skippedKeys_.push_back(key.path);
    }

    StateRecord Take() {
        RecordFolder(L"C:", 1);
        RecordKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE", KEY_WOW64_64KEY, L"HKLM64\\SOFTWARE");
        RecordKeyTree(HKEY_CURRENT_USER, L"Software", KEY_WOW64_64KEY, L"HKCU\\Software");
        // The classes root: the sentinel file types, the product's, and the
        // names of every top-level key.
        for (const wchar_t* name : {L"QvSentinel.Document", L".qvs", L".qvg", L".ico", L"icofile"})
            RecordKeyTree(HKEY_CLASSES_ROOT, name, KEY_WOW64_64KEY, std::wstring(L"HKCR\\") + name);
        for (const std::wstring& sub : qvtest::RegSubkeys(HKEY_CLASSES_ROOT, L"")) {
            const std::wstring label = L"HKCR\\" + sub;
            Add(IsProductKey(Lower(label)), L"subkey " + label);
        }
        std::sort(record_.outside.begin(), record_.outside.end());
        std::sort(record_.product.begin(), record_.product.end());
        return std::move(record_);
    }

private:
    void Add(bool product, std::wstring line) {
        if (record_.cut) return;
        if (++lines_ > RecordLineLimit) {
            Cut(L"record cut: more than " + std::to_wstring(RecordLineLimit) + L" lines");
            return;
        }
        (product ? record_.product : record_.outside).push_back(std::move(line));
    }

    void Cut(const std::wstring& line) {
        if (record_.cut) return;
        record_.cut = true;
        record_.outside.push_back(line);
    }

    bool IsProductFile(const std::wstring& lower) const {
        return AtOrBelowAny(lower, productFolders_) ||
               std::find(productFiles_.begin(), productFiles_.end(), lower) != productFiles_.end();
    }

    bool IsProductKey(const std::wstring& lower) const { return AtOrBelowAny(lower, productKeys_); }

    // The removal deletes the icon file type's "PictureIndex" value.
    static bool IsProductValue(const std::wstring& lowerKey, const std::wstring& name) {
        return lowerKey == L"hkcu\\software\\classes\\icofile\\defaulticon" && Lower(name) == L"pictureindex";
    }

    // Every entry of the folder, sorted by name, so that a record cut at its
    // bound is cut at the same place each time.
    void RecordFolder(const std::wstring& folder, int depth) {
        std::vector<WIN32_FIND_DATAW> entries;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return;
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") entries.push_back(found);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        std::sort(entries.begin(), entries.end(), [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
            return std::wcscmp(a.cFileName, b.cFileName) < 0;
        });
        for (const WIN32_FIND_DATAW& entry : entries) {
            const std::wstring path = folder + L"\\" + entry.cFileName;
            const std::wstring lower = Lower(path);
            if (std::find(skippedFiles_.begin(), skippedFiles_.end(), lower) != skippedFiles_.end()) continue;
            const bool product = IsProductFile(lower);
            const DWORD attributes = GetFileAttributesW(path.c_str());
            const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (isFolder) {
                Add(product, L"folder " + path + L" attributes " + Hex(attributes));
                if (isLink ||
                    std::find(notEnteredFolders_.begin(), notEnteredFolders_.end(), lower) != notEnteredFolders_.end())
                    continue;
                if (depth >= RecordDepthLimit)
                    Cut(L"record cut: " + path + L" lies deeper than " + std::to_wstring(RecordDepthLimit) +
                        L" folders");
                else
                    RecordFolder(path, depth + 1);
                continue;
            }
            const unsigned long long size =
                (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
            std::wstring line =
                L"file " + path + L" attributes " + Hex(attributes) + L" bytes " + std::to_wstring(size);
            if (!isLink && size <= HashLimitBytes) {
                unsigned long long read = 0;
                const std::wstring hash = HashOfFile(path, read);
                line += L" read " + std::to_wstring(read) + L" hash " + hash;
            }
            Add(product, line);
        }
    }

    void RecordKeyTree(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& label) {
        HKEY key = nullptr;
        const LONG opened = RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | view, &key);
        if (opened == ERROR_FILE_NOT_FOUND) return;
        if (opened != ERROR_SUCCESS) {
            Add(IsProductKey(Lower(label)), L"key " + label + L" cannot be opened: error " + std::to_wstring(opened));
            return;
        }
        RecordOpenKey(key, view, label, 1);
        RegCloseKey(key);
    }

    // The key opened as itself: a link (a key whose "SymbolicLinkValue" is
    // of type REG_LINK) is recorded with its target and not entered; any
    // other key with its values and subkeys.
    void RecordOpenKey(HKEY key, REGSAM view, const std::wstring& label, int depth) {
        const std::wstring lower = Lower(label);
        const bool product = IsProductKey(lower);
        DWORD subkeyCount = 0, valueCount = 0, longestName = 0, longestData = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeyCount, nullptr, nullptr, &valueCount, &longestName,
                         &longestData, nullptr, nullptr);
        std::vector<std::pair<bool, std::wstring>> values;
        std::vector<wchar_t> name(longestName + 2);
        std::vector<BYTE> data(longestData + 2);
        for (DWORD index = 0; index < valueCount; ++index) {
            DWORD nameChars = static_cast<DWORD>(name.size());
            DWORD dataBytes = static_cast<DWORD>(data.size());
            DWORD type = REG_NONE;
            const LONG read =
                RegEnumValueW(key, index, name.data(), &nameChars, nullptr, &type, data.data(), &dataBytes);
            if (read == ERROR_NO_MORE_ITEMS) break;
            if (read != ERROR_SUCCESS) {
                values.emplace_back(product, L"value " + label + L" #" + std::to_wstring(index) +
                                                 L" unreadable: error " + std::to_wstring(read));
                break;
            }
            const std::wstring valueName(name.data(), nameChars);
            if (type == REG_LINK && valueName == L"SymbolicLinkValue") {
                Add(product,
                    L"link " + label + L" to " +
                        std::wstring(reinterpret_cast<const wchar_t*>(data.data()), dataBytes / sizeof(wchar_t)));
                return;
            }
            values.emplace_back(product || IsProductValue(lower, valueName),
                                L"value " + label + L" [" + valueName + L"] type " + Hex(type) + L" bytes " +
                                    std::to_wstring(dataBytes) + L" hash " + HashOf(data.data(), dataBytes));
        }
        Add(product, L"key " + label);
        for (auto& value : values) Add(value.first, std::move(value.second));
        if (subkeyCount == 0) return;
        std::vector<std::wstring> subkeys;
        for (DWORD index = 0;; ++index) {
            wchar_t sub[256];
            DWORD length = 256;
            if (RegEnumKeyExW(key, index, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            subkeys.emplace_back(sub, length);
        }
        std::sort(subkeys.begin(), subkeys.end());
        for (const std::wstring& sub : subkeys) {
            const std::wstring subLabel = label + L"\\" + sub;
            if (AtOrBelowAny(Lower(subLabel), skippedKeys_)) continue;
            if (depth >= RecordDepthLimit) {
                Cut(L"record cut: " + subLabel + L" lies deeper than " + std::to_wstring(RecordDepthLimit) + L" keys");
                return;
            }
            HKEY child = nullptr;
            const LONG opened = RegOpenKeyExW(key, sub.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | view, &child);
            if (opened != ERROR_SUCCESS) {
                Add(IsProductKey(Lower(subLabel)),
                    L"key " + subLabel + L" cannot be opened: error " + std::to_wstring(opened));
                continue;
            }
            RecordOpenKey(child, view, subLabel, depth + 1);
            RegCloseKey(child);
        }
    }

    StateRecord record_;
    size_t lines_ = 0;
    std::vector<std::wstring> productFolders_, productFiles_, skippedFiles_, notEnteredFolders_;
    std::vector<std::wstring> productKeys_, skippedKeys_;
};

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
            value =
                std::wstring(key.name) == L"InstallDir" ? places.sibling + L"\\" : places.sibling + L"\\GlyphSmith.exe";
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

std::vector<std::string> RecordExclusions() {
    std::vector<std::string> lines;
    for (const Exclusion& folder : FolderExclusions)
        lines.push_back(qvtest::Narrow(folder.path) + " (not entered): " + folder.reason);
    for (const Exclusion& key : KeyExclusions) lines.push_back(qvtest::Narrow(key.path) + ": " + key.reason);
    return lines;
}

StateRecord RecordState(const Places& places, const std::vector<std::wstring>& runOwnFiles) {
    return Recorder(places, runOwnFiles).Take();
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
