// StartupBench.exe: how long Uninstall.exe takes from process start until its
// first page is visible, against a minimal program that shows one dialog,
// measured in the same run, alternately, and compared by their medians.
//   StartupBench.exe <Uninstall.exe> <MinimalDialog.exe> [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/Driver.h"
#include "tools/sample_install/SampleInstallation.h"

using namespace qvtest;

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Milliseconds from the start of the process to the first visible dialog
// of it; negative when none appeared.
double TimeToFirstDialog(const std::wstring& exe, const std::wstring& folder) {
    ProcessDriver process;
    const double start = Now();
    if (!process.Start(exe, folder)) return -1;
    double shown = -1;
    const double deadline = start + 30000;
    // Dialogs are found by their class, which asks the system far less than
    // walking every top-level window would.
    while (Now() < deadline && shown < 0 && !process.HasExited()) {
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == process.ProcessId() && IsWindowVisible(window)) {
                shown = Now() - start;
                break;
            }
        }
        if (shown < 0) Sleep(1);
    }
    process.Kill();
    return shown;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: StartupBench <Uninstall.exe> <MinimalDialog.exe> [runs]\n");
        return 2;
    }
    const int runs = argc > 3 ? _wtoi(argv[3]) : 15;
    SampleInstallation sample;
    sample.uninstallerSource = argv[1];
    RemoveSampleInstallation(sample);
    if (!LayOutSampleInstallation(sample)) {
        std::fprintf(stderr, "StartupBench: cannot lay out the sample installation\n");
        return 1;
    }
    const std::wstring uninstaller = InstallFolderOf(sample) + L"Uninstall.exe";
    const std::wstring folder = InstallFolderOf(sample);
    // One start of each first, so that both find the system's files cached.
    TimeToFirstDialog(uninstaller, folder);
    TimeToFirstDialog(argv[2], folder);
    std::vector<double> ours, minimal;
    for (int i = 0; i < runs; ++i) {
        const double a = TimeToFirstDialog(uninstaller, folder);
        const double b = TimeToFirstDialog(argv[2], folder);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "StartupBench: a program showed no dialog\n");
            RemoveSampleInstallation(sample);
            return 1;
        }
        ours.push_back(a);
        minimal.push_back(b);
    }
    RemoveSampleInstallation(sample);
    const double u = Median(ours), m = Median(minimal);
    std::printf("start to first visible page, median of %d runs each:\n", runs);
    std::printf("  Uninstall.exe (page 101): %7.1f ms (fastest %.1f, slowest %.1f)\n", u,
                *std::min_element(ours.begin(), ours.end()), *std::max_element(ours.begin(), ours.end()));
    std::printf("  MinimalDialog.exe:        %7.1f ms (fastest %.1f, slowest %.1f)\n", m,
                *std::min_element(minimal.begin(), minimal.end()), *std::max_element(minimal.begin(), minimal.end()));
    std::printf("  ratio: %.2f (target: at most 1.30)\n", u / m);
    return 0;
}
