// BenchRemoval.exe: how much RemoveInstalledFiles costs against a plain loop
// of DeleteFileW and RemoveDirectoryW on the same tree.
//   BenchRemoval.exe [--order grouped|interleaved|random|all] [file counts...]
//   (default: all three orders; 1000 10000 files)
// For each order and count it lays out a realistic installation tree on
// drive C: (the listed files in nested folders, each with its companion
// ".ii" file), times RemoveInstalledFiles on it, lays the same tree out again
// and times the plain loop, three rounds each, and prints the medians and
// their ratio. The list's order:
//   grouped      folder by folder, as the tree was laid out;
//   interleaved  one file of each folder in turn, so that the list moves to
//                another folder at every file (a registry walk can give the
//                values in the order the installer wrote them);
//   random       shuffled, the same way on every run.
// The plain loop does what the walks do to a file: it clears the file's
// attributes (SetFileAttributesW to FILE_ATTRIBUTE_NORMAL) and deletes it
// (DeleteFileW), file and companion in list order; then it removes each
// folder once, deepest first (RemoveDirectoryW).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "removal/FileRemoval.h"
#include "removal/RemovalRun.h"
#include "wizard/UninstallRecord.h"

namespace {

const std::wstring BenchRoot = L"C:\\QvBench";

enum class Order { Grouped, Interleaved, Random };

struct OrderName {
    Order order;
    const wchar_t* name;
};
const OrderName Orders[] = {
    {Order::Grouped, L"grouped"},
    {Order::Interleaved, L"interleaved"},
    {Order::Random, L"random"},
};

struct Tree {
    std::vector<std::wstring> files;    // the listed files, in list order
    std::vector<std::wstring> folders;  // every folder made, parents first
};

std::wstring Companion(const std::wstring& path) {
    std::wstring companion = path;
    std::replace(companion.begin(), companion.end(), L'.', L'_');
    return companion + L".ii";
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.rfind(L'\\'));
}

void MakeFolder(Tree& tree, const std::wstring& folder) {
    if (CreateDirectoryW(folder.c_str(), nullptr)) tree.folders.push_back(folder);
}

void WriteSmallFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fwprintf(stderr, L"cannot write %ls\n", path.c_str());
        std::exit(1);
    }
    DWORD written = 0;
    WriteFile(file, "GlyphSmith", 10, &written, nullptr);
    CloseHandle(file);
}

// The same pseudo-random numbers on every run and in both builds.
class Random {
public:
    explicit Random(unsigned seed) : seed_(seed) {}
    unsigned Below(unsigned range) {
        seed_ = seed_ * 1103515245u + 12345u;
        return (seed_ >> 16) % range;
    }

private:
    unsigned seed_;
};

// One file of each folder in turn, the folders in the order the tree first
// listed them.
std::vector<std::wstring> Interleaved(const std::vector<std::wstring>& files) {
    std::vector<std::wstring> folders;
    std::map<std::wstring, std::vector<std::wstring>> byFolder;
    for (const std::wstring& file : files) {
        std::vector<std::wstring>& list = byFolder[FolderOf(file)];
        if (list.empty()) folders.push_back(FolderOf(file));
        list.push_back(file);
    }
    std::vector<std::wstring> result;
    for (size_t round = 0; result.size() < files.size(); ++round)
        for (const std::wstring& folder : folders) {
            const std::vector<std::wstring>& list = byFolder[folder];
            if (round < list.size()) result.push_back(list[round]);
        }
    return result;
}

// An installation like the product's: a few top-level areas, two or three
// levels of subfolders (some with dots in their names, so that companions
// land in folders of their own), 5 to 40 files a folder, listed in `order`.
Tree LayOutTree(int fileCount, Order order) {
    Tree tree;
    const std::wstring install = BenchRoot + L"\\Program Files\\Quorvex\\GlyphSmith";
    MakeFolder(tree, BenchRoot);
    MakeFolder(tree, BenchRoot + L"\\Program Files");
    MakeFolder(tree, BenchRoot + L"\\Program Files\\Quorvex");
    MakeFolder(tree, install);
    const wchar_t* const areas[] = {L"Help", L"Templates", L"Plugins", L"Languages", L"Samples", L"Fonts 2.0"};
    Random random(12345);
    int made = 0;
    for (int folderNumber = 0; made < fileCount; ++folderNumber) {
        std::wstring folder = install + L"\\" + areas[folderNumber % 6];
        MakeFolder(tree, folder);
        const unsigned depth = 1 + random.Below(3);
        for (unsigned level = 0; level < depth; ++level) {
            folder += L"\\" + std::wstring(level == 1 ? L"v" : L"Part") +
                      std::to_wstring(random.Below(level == 1 ? 4 : 12)) + (level == 1 ? L".0" : L"");
            MakeFolder(tree, folder);
        }
        const int files = std::min(5 + static_cast<int>(random.Below(36)), fileCount - made);
        for (int i = 0; i < files; ++i, ++made) {
            const std::wstring file = folder + L"\\item" + std::to_wstring(made) + (i % 3 ? L".qvt" : L".dll");
            WriteSmallFile(file);
            const std::wstring companion = Companion(file);
            std::wstring companionFolder = FolderOf(companion);
            // The companion's folder differs where a folder name had a dot.
            if (GetFileAttributesW(companionFolder.c_str()) == INVALID_FILE_ATTRIBUTES) {
                std::vector<std::wstring> missing;
                for (std::wstring f = companionFolder; GetFileAttributesW(f.c_str()) == INVALID_FILE_ATTRIBUTES;
                     f = FolderOf(f))
                    missing.push_back(f);
                for (auto it = missing.rbegin(); it != missing.rend(); ++it) MakeFolder(tree, *it);
            }
            WriteSmallFile(companion);
            tree.files.push_back(file);
        }
    }
    if (order == Order::Interleaved) tree.files = Interleaved(tree.files);
    if (order == Order::Random) {
        Random shuffle(2024);
        for (size_t i = tree.files.size(); i > 1; --i)
            std::swap(tree.files[i - 1], tree.files[shuffle.Below(static_cast<unsigned>(i))]);
    }
    return tree;
}

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double TimeRemoveInstalledFiles(int fileCount, Order order, size_t* folders) {
    const Tree tree = LayOutTree(fileCount, order);
    *folders = tree.folders.size();
    UninstallRecord.FilesToRemove.RemoveAll();
    for (const std::wstring& file : tree.files) UninstallRecord.FilesToRemove.Add(CString(file.c_str()));
    SetCurrentDirectoryW(L"C:\\");
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    CRemovalRun run;
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, run);
    QueryPerformanceCounter(&end);
    if (GetFileAttributesW(BenchRoot.c_str()) != INVALID_FILE_ATTRIBUTES)
        std::fwprintf(stderr, L"RemoveInstalledFiles left %ls behind\n", BenchRoot.c_str());
    return Seconds(start, end);
}

double TimePlainLoop(int fileCount, Order order) {
    const Tree tree = LayOutTree(fileCount, order);
    std::vector<std::wstring> companions;
    for (const std::wstring& file : tree.files) companions.push_back(Companion(file));
    SetCurrentDirectoryW(L"C:\\");
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (size_t i = 0; i < tree.files.size(); ++i) {
        SetFileAttributesW(tree.files[i].c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(tree.files[i].c_str());
        SetFileAttributesW(companions[i].c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(companions[i].c_str());
    }
    for (auto it = tree.folders.rbegin(); it != tree.folders.rend(); ++it) RemoveDirectoryW(it->c_str());
    QueryPerformanceCounter(&end);
    if (GetFileAttributesW(BenchRoot.c_str()) != INVALID_FILE_ATTRIBUTES)
        std::fwprintf(stderr, L"the plain loop left %ls behind\n", BenchRoot.c_str());
    return Seconds(start, end);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<int> counts;
    std::vector<OrderName> orders(std::begin(Orders), std::end(Orders));
    for (int i = 1; i < argc; ++i) {
        if (wcscmp(argv[i], L"--order") == 0 && i + 1 < argc) {
            const std::wstring name = argv[++i];
            if (name == L"all") continue;
            orders.clear();
            for (const OrderName& known : Orders)
                if (name == known.name) orders.push_back(known);
            if (orders.empty()) {
                std::fwprintf(stderr, L"unknown order %ls (grouped, interleaved, random or all)\n", name.c_str());
                return 2;
            }
        } else {
            counts.push_back(_wtoi(argv[i]));
        }
    }
    if (counts.empty()) counts = {1000, 10000};
    std::wprintf(L"%-12ls %8ls %8ls %22ls %16ls %7ls\n", L"order", L"files", L"folders", L"RemoveInstalledFiles",
                 L"plain loop", L"ratio");
    for (const OrderName& order : orders) {
        for (int count : counts) {
            std::vector<double> product, plain;
            size_t folders = 0;
            for (int round = 0; round < 3; ++round) {
                product.push_back(TimeRemoveInstalledFiles(count, order.order, &folders));
                plain.push_back(TimePlainLoop(count, order.order));
            }
            const double a = Median(product);
            const double b = Median(plain);
            std::wprintf(L"%-12ls %8d %8u %20.3f s %14.3f s %6.2fx\n", order.name, count,
                         static_cast<unsigned>(folders), a, b, a / b);
            std::fflush(stdout);
        }
    }
    return 0;
}
