// StartupBench.exe: how long a program takes from CreateProcess until its
// first dialog is on the screen and painted, for Uninstall.exe (page 101), a
// minimal program that shows one dialog and the floor program (the same
// dialog owned by a main window out of sight, COM initialised: the least the
// uninstaller must do), started alternately and compared by their medians.
//   StartupBench.exe [--runs N] [--pause MS] [--each] [--phases]
//                    <MinimalDialog.exe> <FloorProgram.exe> <Uninstall.exe> [<Uninstall.exe of another build>]
// An uninstaller is copied into the sample installation as its Uninstall.exe
// before each of its starts; the other programs run where they are.
//
// "Painted" is read off the screen: once the dialog is visible, its window
// area is captured from the screen DC again and again, each capture stamped
// with the middle of its BitBlt, until the pixels have not changed for
// SettledMs. The time of a start is the stamp of the first capture that
// equals that settled final frame: the banner, both pictures and the footer
// of page 101 (or the minimal dialog's text and buttons) all on the screen.
// Between captures the bench sleeps --pause milliseconds (default 1: a
// capture every 2 to 3 ms here); --each prints the figures of every start.
// With --phases the screen is not captured: each start waits PhasesWaitMs
// after its dialog is visible and is ended, and "phases-start <label>" goes to
// standard error (and into a wine server trace, as an atom look-up) before
// it, for tools/bench_startup/phases.py to read the start-up marks of a
// marked build (tools/bench-startup --phases).
// Output, one line per program: "result <label> <painted> <visible> <fastest> <slowest>" (ms);
// with two uninstallers also "final-frames identical" or "final-frames differ":
// whether every start of both ended on the same pixels.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "bench/Driver.h"
#include "bench/SampleInstallation.h"
#include "bench/ScreenCapture.h"

using namespace qvtest;

namespace {

// How long the pixels must stay the same before a frame counts as final.
constexpr double SettledMs = 500;
constexpr double GiveUpMs = 30000;
constexpr DWORD PhasesWaitMs = 1000;

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

// A reusable 32-bit capture surface; the screen DC is held for the run.
class ScreenGrabber {
public:
    ScreenGrabber() : screen_(GetDC(nullptr)) {}
    ~ScreenGrabber() { ReleaseDC(nullptr, screen_); }
    ScreenGrabber(const ScreenGrabber&) = delete;
    ScreenGrabber& operator=(const ScreenGrabber&) = delete;

    // Captures the area and returns a hash of its size and pixels; *when is
    // the middle of the transfer.
    unsigned long long Grab(const RECT& area, double* when) {
        const int w = area.right - area.left, h = area.bottom - area.top;
        if (w <= 0 || h <= 0) return 0;
        if (!surface_ || w != surface_->Width() || h != surface_->Height()) {
            surface_.reset();
            surface_.reset(new TopDownSurface(w, h));
        }
        if (!surface_->IsValid()) return 0;
        const double before = Now();
        BitBlt(surface_->Dc(), 0, 0, w, h, screen_, area.left, area.top, SRCCOPY);
        const DWORD* pixel = surface_->Pixels();
        *when = (before + Now()) / 2;
        // FNV-1a over the size and the colour bytes.
        unsigned long long hash = 1469598103934665603ULL;
        auto mix = [&hash](unsigned value) {
            hash ^= value;
            hash *= 1099511628211ULL;
        };
        mix(static_cast<unsigned>(area.left));
        mix(static_cast<unsigned>(area.top));
        mix(static_cast<unsigned>(w));
        mix(static_cast<unsigned>(h));
        for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i) mix(pixel[i] & 0xFFFFFF);
        return hash;
    }

private:
    HDC screen_;
    std::unique_ptr<TopDownSurface> surface_;
};

struct Start {
    double visible = -1;           // ms from CreateProcess until the dialog was visible
    double painted = -1;           // ms until the screen first showed the final frame
    unsigned long long final = 0;  // hash of the final frame
};

HWND VisibleDialogOf(DWORD processId) {
    // Dialogs are found by their class, which asks the system far less than
    // walking every top-level window would.
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

Start TimeStart(ScreenGrabber& grabber, const std::wstring& exe, const std::wstring& folder, bool phases,
                DWORD capturePause) {
    Start result;
    ProcessDriver process;
    const double start = Now();
    if (!process.Start(exe, folder)) return result;
    const double deadline = start + GiveUpMs;
    HWND dialog = nullptr;
    while (Now() < deadline && !process.HasExited() && !(dialog = VisibleDialogOf(process.ProcessId()))) Sleep(1);
    if (!dialog) return result;
    result.visible = Now() - start;
    if (phases) {
        Sleep(PhasesWaitMs);
        process.Kill();
        result.painted = result.visible;
        return result;
    }

    struct Frame {
        double when;
        unsigned long long hash;
    };
    std::vector<Frame> frames;
    double sameSince = 0;
    while (Now() < deadline && !process.HasExited()) {
        RECT area;
        if (!GetWindowRect(dialog, &area)) break;
        Frame frame = {0, 0};
        frame.hash = grabber.Grab(area, &frame.when);
        if (frames.empty() || frames.back().hash != frame.hash) sameSince = frame.when;
        frames.push_back(frame);
        if (frame.when - sameSince >= SettledMs) break;
        Sleep(capturePause);
    }
    process.Kill();
    if (frames.empty() || frames.back().when - sameSince < SettledMs) return result;
    const unsigned long long final = frames.back().hash;
    result.final = final;
    for (const Frame& frame : frames) {
        if (frame.hash == final) {
            result.painted = frame.when - start;
            break;
        }
    }
    return result;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Program {
    std::string label;
    std::wstring source;  // an uninstaller to copy in, or the program to run
    bool isUninstaller;
    std::vector<Start> starts;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 15;
    bool phases = false, each = false;
    DWORD capturePause = 1;
    std::vector<std::wstring> paths;
    for (int i = 1; i < argc; ++i) {
        if (wcscmp(argv[i], L"--runs") == 0 && i + 1 < argc)
            runs = _wtoi(argv[++i]);
        else if (wcscmp(argv[i], L"--phases") == 0)
            phases = true;
        else if (wcscmp(argv[i], L"--each") == 0)
            each = true;
        else if (wcscmp(argv[i], L"--pause") == 0 && i + 1 < argc)
            capturePause = static_cast<DWORD>(_wtoi(argv[++i]));
        else
            paths.push_back(argv[i]);
    }
    if (paths.size() < 3 || paths.size() > 4 || runs < 1) {
        std::fprintf(stderr,
                     "usage: StartupBench [--runs N] [--pause MS] [--each] [--phases] <MinimalDialog.exe> "
                     "<FloorProgram.exe> <Uninstall.exe> [<another Uninstall.exe>]\n");
        return 2;
    }
    std::vector<Program> programs = {
        {"minimal", paths[0], false, {}}, {"floor", paths[1], false, {}}, {"uninstaller", paths[2], true, {}}};
    if (paths.size() == 4) programs.push_back({"other", paths[3], true, {}});
    // The uninstallers, whose final frames are compared.
    const size_t firstUninstaller = 2;

    SampleInstallation sample;
    sample.uninstallerSource = paths[2];
    RemoveSampleInstallation(sample);
    if (!LayOutSampleInstallation(sample)) {
        std::fprintf(stderr, "StartupBench: cannot lay out the sample installation\n");
        return 1;
    }
    const std::wstring folder = InstallFolderOf(sample);
    const std::wstring installed = folder + L"Uninstall.exe";
    ScreenGrabber grabber;
    auto startOnce = [&](const Program& program) {
        if (program.isUninstaller && !CopyFileW(program.source.c_str(), installed.c_str(), FALSE)) return Start();
        if (phases) {
            const std::string mark = "phases-start " + program.label;
            std::fprintf(stderr, "%s\n", mark.c_str());
            GlobalFindAtomA(mark.c_str());
        }
        const Start measured =
            TimeStart(grabber, program.isUninstaller ? installed : program.source, folder, phases, capturePause);
        // Let the desktop repaint where the window was before the next start.
        Sleep(200);
        return measured;
    };

    // One start of each first, so that all find the system's files cached.
    for (const Program& program : programs) startOnce(program);
    int failures = 0;
    for (int i = 0; i < runs && failures == 0; ++i) {
        for (Program& program : programs) {
            const Start measured = startOnce(program);
            if (measured.painted < 0) {
                std::fprintf(stderr, "StartupBench: %s showed no settled dialog\n", program.label.c_str());
                ++failures;
                break;
            }
            program.starts.push_back(measured);
            if (each)
                std::fprintf(stderr, "start %s visible %.1f painted %.1f\n", program.label.c_str(), measured.visible,
                             measured.painted);
        }
    }
    RemoveSampleInstallation(sample);
    if (failures) return 1;

    if (programs.size() == firstUninstaller + 2) {
        bool identical = true;
        for (size_t p = firstUninstaller; p < programs.size(); ++p)
            for (const Start& start : programs[p].starts)
                identical = identical && start.final == programs[firstUninstaller].starts[0].final;
        std::printf("final-frames %s\n", identical ? "identical" : "differ");
    }
    for (const Program& program : programs) {
        std::vector<double> painted, visible;
        for (const Start& start : program.starts) {
            painted.push_back(start.painted);
            visible.push_back(start.visible);
        }
        std::printf("result %s %.1f %.1f %.1f %.1f\n", program.label.c_str(), Median(painted), Median(visible),
                    *std::min_element(painted.begin(), painted.end()),
                    *std::max_element(painted.begin(), painted.end()));
    }
    return 0;
}
