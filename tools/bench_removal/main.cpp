// BenchRemoval.exe: how much RemoveInstalledFiles costs against a plain loop
// of DeleteFileW and RemoveDirectoryW on the same tree.
//   BenchRemoval.exe [file counts...]   (default: 1000 10000)
// For each count it lays out a realistic installation tree on drive C: (the
// listed files in nested folders, each with its companion ".ii" file), times
// RemoveInstalledFiles on it, lays the same tree out again and times the
// plain loop, three rounds each, and prints the medians and their ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "removal/FileRemoval.h"
#include "removal/RemovalRun.h"
#include "wizard/UninstallRecord.h"

namespace {

const std::wstring BenchRoot = L"C:\\QvBench";

struct Tree {
    std::vector<std::wstring> files;    // the listed files
    std::vector<std::wstring> folders;  // every folder made, parents first
};

std::wstring Companion(const std::wstring& path) {
    std::wstring companion = path;
    std::replace(companion.begin(), companion.end(), L'.', L'_');
    return companion + L".ii";
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

// An installation like the product's: a few top-level areas, two or three
// levels of subfolders (some with dots in their names, so that companions
// land in folders of their own), 5 to 40 files a folder.
Tree LayOutTree(int fileCount) {
    Tree tree;
    const std::wstring install = BenchRoot + L"\\Program Files\\Quorvex\\GlyphSmith";
    MakeFolder(tree, BenchRoot);
    MakeFolder(tree, BenchRoot + L"\\Program Files");
    MakeFolder(tree, BenchRoot + L"\\Program Files\\Quorvex");
    MakeFolder(tree, install);
    const wchar_t* const areas[] = {L"Help", L"Templates", L"Plugins", L"Languages", L"Samples", L"Fonts 2.0"};
    unsigned seed = 12345;
    const auto next = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    int made = 0;
    for (int folderNumber = 0; made < fileCount; ++folderNumber) {
        std::wstring folder = install + L"\\" + areas[folderNumber % 6];
        MakeFolder(tree, folder);
        const unsigned depth = 1 + next(3);
        for (unsigned level = 0; level < depth; ++level) {
            folder += L"\\" + std::wstring(level == 1 ? L"v" : L"Part") + std::to_wstring(next(level == 1 ? 4 : 12)) +
                      (level == 1 ? L".0" : L"");
            MakeFolder(tree, folder);
        }
        const int files = std::min(5 + static_cast<int>(next(36)), fileCount - made);
        for (int i = 0; i < files; ++i, ++made) {
            const std::wstring file = folder + L"\\item" + std::to_wstring(made) + (i % 3 ? L".qvt" : L".dll");
            WriteSmallFile(file);
            const std::wstring companion = Companion(file);
            const size_t slash = companion.rfind(L'\\');
            std::wstring companionFolder = companion.substr(0, slash);
            // The companion's folder differs where a folder name had a dot.
            if (GetFileAttributesW(companionFolder.c_str()) == INVALID_FILE_ATTRIBUTES) {
                std::vector<std::wstring> missing;
                for (std::wstring f = companionFolder; GetFileAttributesW(f.c_str()) == INVALID_FILE_ATTRIBUTES;
                     f = f.substr(0, f.rfind(L'\\')))
                    missing.push_back(f);
                for (auto it = missing.rbegin(); it != missing.rend(); ++it) MakeFolder(tree, *it);
            }
            WriteSmallFile(companion);
            tree.files.push_back(file);
        }
    }
    return tree;
}

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double TimeRemoveInstalledFiles(int fileCount) {
    const Tree tree = LayOutTree(fileCount);
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

double TimePlainLoop(int fileCount) {
    const Tree tree = LayOutTree(fileCount);
    SetCurrentDirectoryW(L"C:\\");
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (const std::wstring& file : tree.files) {
        DeleteFileW(file.c_str());
        DeleteFileW(Companion(file).c_str());
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
    for (int i = 1; i < argc; ++i) counts.push_back(_wtoi(argv[i]));
    if (counts.empty()) counts = {1000, 10000};
    std::wprintf(L"%8ls %22ls %16ls %7ls\n", L"files", L"RemoveInstalledFiles", L"plain loop", L"ratio");
    for (int count : counts) {
        std::vector<double> product, plain;
        for (int round = 0; round < 3; ++round) {
            product.push_back(TimeRemoveInstalledFiles(count));
            plain.push_back(TimePlainLoop(count));
        }
        const double a = Median(product);
        const double b = Median(plain);
        std::wprintf(L"%8d %20.3f s %14.3f s %6.2fx\n", count, a, b, a / b);
    }
    return 0;
}
