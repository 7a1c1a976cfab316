// BenchRemoval.exe: how much RemoveInstalledFiles costs against a plain loop
// of DeleteFileW and RemoveDirectoryW on the same tree.
//   BenchRemoval.exe [--order grouped|interleaved|random|all] [--rounds N] [--server PID] [file counts...]
//   (default: all three orders, 3 rounds; 1000 10000 files)
// For each order and count it lays out a realistic installation tree on
// drive C: (the listed files in nested folders, each with its companion
// ".ii" file), times RemoveInstalledFiles on it, lays the same tree out again
// and times the plain loop, three rounds or --rounds each (which goes first
// alternates), and prints the medians and their ratio. With --server, the Linux process id
// of the Wine prefix's wineserver, it also prints the processor time that
// each takes, this program's and the wine server's together, read from
// /proc (drive Z:): on a machine shared with other work the time on the
// clock depends on what else runs, the processor time much less. The list's
// order:
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
#include <cstring>
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

// The wine server's /proc/PID/stat; empty without --server.
std::wstring ServerStat;

// The processor time (user and system) of the Linux process whose
// /proc/.../stat is at `path`, in seconds; 0 when it cannot be read.
double ProcessorSeconds(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char text[1024] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    // The fields after the command name in parentheses: state is field 3,
    // utime and stime fields 14 and 15, in clock ticks of 1/100 s.
    const char* at = std::strrchr(text, ')');
    if (!at) return 0;
    unsigned long long user = 0, system = 0;
    if (std::sscanf(at + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system) != 2) return 0;
    return static_cast<double>(user + system) / 100.0;
}

// The processor time of this program and of the wine server, while a side
// runs, and the time on the clock.
struct Measure {
    double clock = 0;
    double processor = 0;
};

class CMeasuring {
public:
    CMeasuring() : processor_(Processor()) { QueryPerformanceCounter(&start_); }
    Measure End() const {
        LARGE_INTEGER end;
        QueryPerformanceCounter(&end);
        return {Seconds(start_, end), Processor() - processor_};
    }

private:
    static double Processor() {
        return ServerStat.empty() ? 0 : ProcessorSeconds(L"Z:\\proc\\self\\stat") + ProcessorSeconds(ServerStat);
    }
    double processor_;
    LARGE_INTEGER start_;
};

Measure TimeRemoveInstalledFiles(int fileCount, Order order, size_t* folders) {
    const Tree tree = LayOutTree(fileCount, order);
    *folders = tree.folders.size();
    UninstallRecord.FilesToRemove.RemoveAll();
    for (const std::wstring& file : tree.files) UninstallRecord.FilesToRemove.Add(CString(file.c_str()));
    SetCurrentDirectoryW(L"C:\\");
    const CMeasuring measuring;
    CRemovalRun run;
    RemoveInstalledFiles(UninstallRecord.FilesToRemove, run);
    const Measure measured = measuring.End();
    if (GetFileAttributesW(BenchRoot.c_str()) != INVALID_FILE_ATTRIBUTES)
        std::fwprintf(stderr, L"RemoveInstalledFiles left %ls behind\n", BenchRoot.c_str());
    return measured;
}

Measure TimePlainLoop(int fileCount, Order order) {
    const Tree tree = LayOutTree(fileCount, order);
    std::vector<std::wstring> companions;
    for (const std::wstring& file : tree.files) companions.push_back(Companion(file));
    SetCurrentDirectoryW(L"C:\\");
    const CMeasuring measuring;
    for (size_t i = 0; i < tree.files.size(); ++i) {
        SetFileAttributesW(tree.files[i].c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(tree.files[i].c_str());
        SetFileAttributesW(companions[i].c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(companions[i].c_str());
    }
    for (auto it = tree.folders.rbegin(); it != tree.folders.rend(); ++it) RemoveDirectoryW(it->c_str());
    const Measure measured = measuring.End();
    if (GetFileAttributesW(BenchRoot.c_str()) != INVALID_FILE_ATTRIBUTES)
        std::fwprintf(stderr, L"the plain loop left %ls behind\n", BenchRoot.c_str());
    return measured;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<int> counts;
    std::vector<OrderName> orders(std::begin(Orders), std::end(Orders));
    int rounds = 3;
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
        } else if (wcscmp(argv[i], L"--rounds") == 0 && i + 1 < argc) {
            rounds = _wtoi(argv[++i]);
            if (rounds < 1) rounds = 1;
        } else if (wcscmp(argv[i], L"--server") == 0 && i + 1 < argc) {
            ServerStat = std::wstring(L"Z:\\proc\\") + argv[++i] + L"\\stat";
        } else {
            counts.push_back(_wtoi(argv[i]));
        }
    }
    if (counts.empty()) counts = {1000, 10000};
    if (!ServerStat.empty() && ProcessorSeconds(ServerStat) <= 0) {
        std::fwprintf(stderr, L"cannot read %ls\n", ServerStat.c_str());
        ServerStat.clear();
    }
    std::wprintf(L"%-12ls %6ls %7ls %22ls %12ls %6ls %14ls %12ls %6ls\n", L"order", L"files", L"folders",
                 L"RemoveInstalledFiles", L"plain loop", L"ratio", L"processor: ours", L"plain", L"ratio");
    for (const OrderName& order : orders) {
        for (int count : counts) {
            std::vector<double> product, plain, productProcessor, plainProcessor;
            size_t folders = 0;
            for (int round = 0; round < rounds; ++round) {
                // Which side goes first alternates, so that neither always
                // follows the other's work.
                Measure ours, loop;
                if (round % 2 == 0) {
                    ours = TimeRemoveInstalledFiles(count, order.order, &folders);
                    loop = TimePlainLoop(count, order.order);
                } else {
                    loop = TimePlainLoop(count, order.order);
                    ours = TimeRemoveInstalledFiles(count, order.order, &folders);
                }
                product.push_back(ours.clock);
                plain.push_back(loop.clock);
                productProcessor.push_back(ours.processor);
                plainProcessor.push_back(loop.processor);
            }
            const double a = Median(product), b = Median(plain);
            std::wprintf(L"%-12ls %6d %7u %20.3f s %10.3f s %5.2fx", order.name, count, static_cast<unsigned>(folders),
                         a, b, a / b);
            if (ServerStat.empty()) {
                std::wprintf(L"\n");
            } else {
                const double c = Median(productProcessor), d = Median(plainProcessor);
                std::wprintf(L" %12.2f s %10.2f s %5.2fx\n", c, d, c / d);
            }
            std::fflush(stdout);
        }
    }
    return 0;
}
