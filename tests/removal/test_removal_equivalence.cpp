// The file removal against its step-by-step definition: trees generated
// from fixed seeds are laid out twice, one copy is removed by the plain
// sequence of calls below (the definition, written once), the other by
// RemoveInstalledFiles, and the results must agree entry by entry:
// what remains, its attributes, and the current directory at the end.
// Small trees with lists mostly grouped by folder and lists in random
// order, and trees of more than 1,000 folders, whose lists move between
// far more folders than a removal could keep open at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "RemovalBench.h"
#include "bench/TestFiles.h"
#include "removal/FileRemoval.h"
#include "wizard/UninstallRecord.h"

using namespace qvtest;

namespace {

// ---- The definition ------------------------------------------------------

// The path cut at its last "\" after the first character; empty when there
// is none.
std::wstring CutAtLastBackslash(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos || slash == 0 ? std::wstring() : path.substr(0, slash);
}

bool FileExistsByAttributes(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void DefinedDeleteFileAndEmptyFolders(const std::wstring& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    for (std::wstring folder = CutAtLastBackslash(path); folder.size() >= 4;) {
        SetCurrentDirectoryW(CutAtLastBackslash(folder).c_str());
        const bool removed = RemoveDirectoryW(folder.c_str()) != 0;
        folder = CutAtLastBackslash(folder);
        if (!removed) break;
    }
}

void DefinedDeleteCompanionAndEmptyFolders(const std::wstring& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    for (std::wstring folder = CutAtLastBackslash(path); folder.size() >= 4;) {
        SetCurrentDirectoryW(CutAtLastBackslash(folder).c_str());
        if (!FileExistsByAttributes(folder + L"\\desktop.ini"))
            SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        const bool removed = RemoveDirectoryW(folder.c_str()) != 0;
        folder = CutAtLastBackslash(folder);
        if (!removed) break;
    }
}

std::wstring DefinedCompanionName(std::wstring path) {
    std::replace(path.begin(), path.end(), L'.', L'_');
    return path + L".ii";
}

void DefinedRemoveInstalledFiles(const std::vector<std::wstring>& files) {
    for (const std::wstring& entry : files) {
        if (entry.empty()) return;
        DefinedDeleteFileAndEmptyFolders(entry);
        DefinedDeleteCompanionAndEmptyFolders(DefinedCompanionName(entry));
    }
}

// ---- Generated trees -----------------------------------------------------

// A small linear congruential generator: the same seed gives the same tree
// on every machine.
class Random {
public:
    explicit Random(unsigned seed) : state_(seed * 2654435761u + 1u) {}
    unsigned Below(unsigned range) {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 16) % range;
    }
    bool Chance(unsigned percent) { return Below(100) < percent; }

private:
    unsigned state_;
};

// One entry of a generated tree, relative to the copy's root.
struct Entry {
    std::wstring path;
    bool folder = false;
    DWORD attributes = 0;  // set after the contents are made
};

struct GeneratedTree {
    std::vector<Entry> entries;          // parents before children
    std::vector<std::wstring> listed;    // relative listed paths, in list order
    std::vector<std::wstring> heldOpen;  // relative files held open without delete sharing
    std::wstring startFolder;            // relative current directory at the start
};

// How a tree grows: at each of three levels below its top folder, a folder
// holds minimumSubfolders plus Below(topSubfolders) subfolders at the top,
// Below(subfolders) further down, and Below(files) files.
struct Shape {
    unsigned minimumSubfolders;
    unsigned topSubfolders;
    unsigned subfolders;
    unsigned files;
};
// Up to about 40 folders.
constexpr Shape SmallTree = {0, 4, 3, 6};
// 9 to 11 subfolders at every level: over 1,000 folders.
constexpr Shape LargeTree = {9, 3, 3, 3};

// The order of the list.
enum class ListOrder {
    // As a registry walk gives it: mostly folder by folder, with some
    // entries moved elsewhere.
    MostlyGrouped,
    // Shuffled: the list moves to another folder at nearly every entry.
    Random,
};

const wchar_t* const FolderNames[] = {L"Bin", L"Data", L"Help 2.0", L"Lang", L"v1.5", L"Res", L"Fonts"};
const wchar_t* const Extensions[] = {L".dll", L".qvt", L".chm", L""};

void AddFolderContents(Random& random, const Shape& shape, GeneratedTree& tree, const std::wstring& folder, int depth,
                       std::vector<std::wstring>& folders) {
    folders.push_back(folder);
    DWORD folderAttributes = 0;
    if (random.Chance(15)) {
        // A customised folder: its "desktop.ini", hidden and system, and the
        // folder's read-only mark; now and then the list names the ini too.
        const std::wstring ini = folder + L"\\desktop.ini";
        tree.entries.push_back({ini, false, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
        if (random.Chance(30)) tree.listed.push_back(ini);
        folderAttributes = FILE_ATTRIBUTE_READONLY;
    } else if (random.Chance(10)) {
        folderAttributes = random.Chance(50) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_HIDDEN;
    }
    const int files = static_cast<int>(random.Below(shape.files));
    for (int i = 0; i < files; ++i) {
        const std::wstring file = folder + L"\\f" + std::to_wstring(tree.entries.size()) + Extensions[random.Below(4)];
        const unsigned kind = random.Below(100);
        DWORD attributes = random.Chance(15) ? FILE_ATTRIBUTE_READONLY : 0;
        if (random.Chance(5)) attributes |= FILE_ATTRIBUTE_HIDDEN;
        if (kind < 10) {  // listed but already gone
            tree.listed.push_back(file);
            continue;
        }
        tree.entries.push_back({file, false, attributes});
        if (kind >= 80) continue;  // unlisted, beside listed ones
        tree.listed.push_back(file);
        if (random.Chance(5)) tree.heldOpen.push_back(file);
        if (random.Chance(50)) {
            // A dot in a folder name puts the companion in a folder of its own.
            const std::wstring companion = DefinedCompanionName(file);
            std::vector<std::wstring> missing;
            for (std::wstring up = CutAtLastBackslash(companion); !up.empty(); up = CutAtLastBackslash(up))
                if (std::none_of(tree.entries.begin(), tree.entries.end(),
                                 [&](const Entry& e) { return e.path == up; }))
                    missing.push_back(up);
            for (auto up = missing.rbegin(); up != missing.rend(); ++up) tree.entries.push_back({*up, true, 0});
            tree.entries.push_back({companion, false, random.Chance(20) ? FILE_ATTRIBUTE_READONLY : 0u});
        }
    }
    if (depth < 3) {
        const int subfolders = static_cast<int>(shape.minimumSubfolders +
                                                random.Below(depth == 0 ? shape.topSubfolders : shape.subfolders));
        for (int i = 0; i < subfolders; ++i) {
            const std::wstring sub = folder + L"\\" + FolderNames[random.Below(7)] + std::to_wstring(i);
            tree.entries.push_back({sub, true, 0});
            AddFolderContents(random, shape, tree, sub, depth + 1, folders);
        }
    }
    for (Entry& entry : tree.entries)
        if (entry.path == folder) entry.attributes = folderAttributes;
}

GeneratedTree Generate(unsigned seed, const Shape& shape, ListOrder order) {
    Random random(seed);
    GeneratedTree tree;
    std::vector<std::wstring> folders;
    tree.entries.push_back({L"keep.txt", false, 0});  // the walks stop at the copy's root
    // With a dot in the top folder every companion lies in a tree of its
    // own; without one, companions share the listed files' folders.
    const std::wstring top = seed % 2 ? L"Inst 6.5" : L"Install";
    tree.entries.push_back({top, true, 0});
    AddFolderContents(random, shape, tree, top, 0, folders);
    if (order == ListOrder::MostlyGrouped) {
        for (size_t i = 0; i < tree.listed.size(); ++i)
            if (random.Chance(25))
                std::swap(tree.listed[i], tree.listed[random.Below(static_cast<unsigned>(tree.listed.size()))]);
    } else {
        for (size_t i = tree.listed.size(); i > 1; --i)
            std::swap(tree.listed[i - 1], tree.listed[random.Below(static_cast<unsigned>(i))]);
    }
    tree.startFolder = folders[random.Below(static_cast<unsigned>(folders.size()))];
    return tree;
}

// ---- Running both on identical copies ------------------------------------

struct Outcome {
    std::map<std::wstring, DWORD> remaining;  // relative path -> attributes
    std::wstring currentFolder;               // relative to the copy's root
};

class Copy {
public:
    Copy(const std::wstring& root, const GeneratedTree& tree) : root_(root) {
        MakeFolders(root);
        for (const Entry& entry : tree.entries) {
            const std::wstring path = Full(entry.path);
            if (entry.folder)
                CreateDirectoryW(path.c_str(), nullptr);
            else
                WriteFileBytes(path, "content of " + Narrow(entry.path));
        }
        // Attributes last, children before parents, so read-only folders
        // were still writable while they were filled.
        for (auto it = tree.entries.rbegin(); it != tree.entries.rend(); ++it)
            if (it->attributes) SetFileAttributesW(Full(it->path).c_str(), it->attributes);
        for (const std::wstring& file : tree.heldOpen)
            held_.push_back(CreateFileW(Full(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        for (const std::wstring& file : tree.listed) listed_.push_back(Full(file));
        SetCurrentDirectoryW(Full(tree.startFolder).c_str());
    }
    ~Copy() {
        for (HANDLE handle : held_) CloseHandle(handle);
    }
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;

    const std::vector<std::wstring>& Listed() const { return listed_; }
    std::wstring Full(const std::wstring& relative) const { return root_ + L"\\" + relative; }

    Outcome Result() const {
        Outcome outcome;
        for (const std::wstring& relative : ListTree(root_))
            outcome.remaining[relative] = GetFileAttributesW(Full(relative).c_str());
        outcome.currentFolder = CurrentDirectory();
        if (outcome.currentFolder.compare(0, root_.size(), root_) == 0)
            outcome.currentFolder = L"<copy>" + outcome.currentFolder.substr(root_.size());
        return outcome;
    }

private:
    std::wstring root_;
    std::vector<HANDLE> held_;
    std::vector<std::wstring> listed_;
};

std::string Describe(const Outcome& outcome) {
    std::string text = "current folder " + Narrow(outcome.currentFolder) + "\n";
    for (const auto& [path, attributes] : outcome.remaining)
        text += "  " + Narrow(path) + " " + std::to_string(attributes) + "\n";
    return text;
}

size_t FolderCount(const GeneratedTree& tree) {
    return static_cast<size_t>(
        std::count_if(tree.entries.begin(), tree.entries.end(), [](const Entry& entry) { return entry.folder; }));
}

struct EquivalenceCase {
    const char* name;
    unsigned firstSeed, lastSeed;
    Shape shape;
    ListOrder order;
    size_t minimumFolders;  // in the largest tree of the case
    size_t minimumRemoved;  // entries removed, all trees of the case together
};

// Odd seeds put the top folder's dot in every companion's path, so that the
// companions lie in a tree of their own; even seeds mix them with the
// listed files.
const EquivalenceCase EquivalenceCases[] = {
    {"SmallTreesMostlyGrouped", 1, 40, SmallTree, ListOrder::MostlyGrouped, 20, 200},
    {"SmallTreesRandomOrder", 41, 70, SmallTree, ListOrder::Random, 20, 150},
    {"LargeTreeRandomOrderCompanionsApart", 101, 101, LargeTree, ListOrder::Random, 1000, 1000},
    {"LargeTreeMostlyGroupedCompanionsMixed", 102, 102, LargeTree, ListOrder::MostlyGrouped, 1000, 1000},
};

// Printed by its name in the test's description.
void PrintTo(const EquivalenceCase& c, std::ostream* out) {
    *out << c.name;
}

class RemovalEquivalenceTest : public testing::TestWithParam<EquivalenceCase> {};

TEST_P(RemovalEquivalenceTest, GeneratedTreesEndAsTheStepByStepRemovalLeavesThem) {
    const EquivalenceCase& c = GetParam();
    RecordScope record;
    const std::wstring root = FreshTestFolder(L"Equivalence");
    // Same-length copy names keep every path, and so every companion name,
    // the same length in both copies.
    const std::wstring definedRoot = root + L"\\D";
    const std::wstring productRoot = root + L"\\P";
    size_t removedSomewhere = 0, keptListed = 0, mostFolders = 0;
    for (unsigned seed = c.firstSeed; seed <= c.lastSeed; ++seed) {
        const GeneratedTree tree = Generate(seed, c.shape, c.order);
        mostFolders = std::max(mostFolders, FolderCount(tree));
        Outcome defined, product;
        size_t before = 0;
        {
            Copy copy(definedRoot, tree);
            before = ListTree(definedRoot).size();
            DefinedRemoveInstalledFiles(copy.Listed());
            defined = copy.Result();
        }
        {
            Copy copy(productRoot, tree);
            RecordScope::SetFiles(copy.Listed());
            RemoveInstalledFiles(UninstallRecord.FilesToRemove, TestRun());
            product = copy.Result();
        }
        SetCurrentDirectoryW(L"C:\\");
        RemoveTree(definedRoot);
        RemoveTree(productRoot);
        ASSERT_EQ(Describe(defined), Describe(product)) << "seed " << seed;
        removedSomewhere += before - defined.remaining.size();
        for (const std::wstring& listed : tree.listed) keptListed += defined.remaining.count(listed);
    }
    EXPECT_GE(mostFolders, c.minimumFolders) << "the trees are as large as the case means them";
    // The seeds must exercise both outcomes: removals, and listed files that
    // stay (held open).
    EXPECT_GT(removedSomewhere, c.minimumRemoved);
    EXPECT_GT(keptListed, 0u);
    RemoveTree(root);
}

INSTANTIATE_TEST_SUITE_P(Trees, RemovalEquivalenceTest, testing::ValuesIn(EquivalenceCases),
                         [](const testing::TestParamInfo<EquivalenceCase>& info) { return info.param.name; });

}  // namespace
