// HostileRun.exe: takes the real Uninstall.exe through complete uninstalls of
// a sample installation whose settings file and registry values have been
// replaced by hostile ones, or beside which hostile things were planted, and
// checks that it neither crashes nor hangs, deletes itself when it reached
// its success page, and leaves everything outside the product's own files
// and keys as it was.
// Used by tools/hostile-run, once per build under its own Wine.
//   HostileRun.exe [--seed N] [--cases N] [--first K] [--uninstaller PATH] [--verbose]
//                  [--mutation INPUT:LABEL]... [--list] [--no-removal]
// Case K draws its mutations from std::mt19937 seeded with N + K, so any case
// can be run alone again with --first K --cases 1. --mutation (repeatable)
// gives the mutations of every case instead, by the names the run prints.
// --list only prints each case's mutations.
// Each case first runs "Uninstall.exe /plan", which must change nothing on
// drive C: or in the recorded registry (the product's own files and keys
// included) and open no window, then the wizard with "/log". Once the wizard
// got past start-up, the plan and the log must both exist and the plan's
// "would remove" lines must be the log's "removed" lines, and the run must
// have removed the listed files, the product's HKLM key and its uninstall
// entry. --no-removal runs a second plan in place of the wizard: nothing is
// removed, so every case whose inputs are usable must fail (a check of the
// check). The closing lines count the cases compared, refused at start-up
// (by reason) and checked for their removals.

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/Driver.h"
#include "bench/LogLines.h"
#include "bench/PageDriver.h"
#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "tools/hostile_run/Mutations.h"
#include "tools/hostile_run/OutsideState.h"
#include "tools/hostile_run/Planted.h"

using namespace qvtest;
using hostile::Places;

namespace {

constexpr DWORD CaseLimitMs = 60000;    // start to exit; longer is a hang
constexpr DWORD BatchLimitMs = 30000;   // exit to the self-deletion batch's end
constexpr DWORD RepressAfterMs = 5000;  // a press that had no effect is made once more
constexpr DWORD CrashLookEveryMs = 500;
const wchar_t BatchFile[] = L"C:\\QVUninst.bat";
const wchar_t LogFolder[] = L"C:\\QvHostileLogs";
const wchar_t PlanFile[] = L"C:\\QvHostileLogs\\plan.txt";
const wchar_t LogFile[] = L"C:\\QvHostileLogs\\log.txt";
// Without a window manager Wine waits two seconds for every hidden managed
// window to be withdrawn; unmanaged windows are hidden at once.
const wchar_t UninstallerX11Key[] = L"Software\\Wine\\AppDefaults\\Uninstall.exe\\X11 Driver";

const char* const Arch = sizeof(void*) == 4 ? "i686" : "x86_64";

struct Options {
    unsigned seed = 1;
    unsigned cases = 100;
    unsigned first = 0;
    std::wstring uninstaller = UninstallExe();
    bool verbose = false;
    bool list = false;
    bool noRemoval = false;                    // a plan in place of the wizard
    std::vector<hostile::Mutation> mutations;  // given instead of drawn
};

// How a run of the uninstaller ended.
struct RunOutcome {
    bool ended = false;     // on its own, without a crash or a hang
    bool closed = false;    // the wizard was closed at its success page
    bool pageSeen = false;  // a wizard page opened: start-up let it through
    std::string firstBox;   // the text of the first message box
    DWORD exitCode = 0;
};

enum class Startup { NotReached, Refused, Passed };

// What happened to one case.
struct CaseResult {
    std::string mutations;
    std::vector<std::string> failures;
    std::vector<std::string> seen;  // pages and message boxes, in order
    DWORD exitCode = 0;
    DWORD processId = 0;  // of the uninstaller
    ULONGLONG milliseconds = 0;
    Startup startup = Startup::NotReached;
    std::string refusal;    // why start-up refused
    bool compared = false;  // the plan was compared with the log
    bool removalChecked = false;
    std::string notChecked = "the case could not be set up";  // why the removals were not checked
    bool recordCut = false;                                   // a state record reached its bound
};

// What the wizard must have removed in a case whose inputs are usable.
struct Expected {
    std::vector<std::wstring> files;    // listed files and companions
    std::vector<std::wstring> missing;  // listed files the layout lacks
};

struct CaseState {
    SampleInstallation sample;
    Places places;
    std::vector<SentinelFile> sentinels;
    std::vector<std::pair<std::wstring, std::wstring>> links;
    hostile::StateRecord before;
};

// Files of the run itself, left out of the state records.
const std::vector<std::wstring> RunOwnFiles = {PlanFile, LogFile};

void Fail(CaseResult& result, const std::string& what) {
    result.failures.push_back(what);
}

Places PlacesOf(const SampleInstallation& sample) {
    Places places;
    places.install = sample.installFolder;
    places.quorvex = ParentOf(sample.installFolder);
    places.sibling = places.quorvex + L"\\GlyphSmith Pro";
    places.preview = PreviewFolderOf(sample);
    places.previewParent = ParentOf(places.preview);
    places.target = L"C:\\QvHostile\\Target";
    places.repair = InstallFolderOf(sample) + L"Setup\\Repair.exe";
    places.args = L"\"" + sample.productKey + L"\" \"" + sample.programFileName + L"\"";
    places.productKey = ProductKeyPath(sample);
    places.uninstallEntry = UninstallEntryPath(sample);
    places.appPathsEntry = AppPathsKey(sample);
    places.foldersKey = L"SOFTWARE\\Quorvex\\folders";
    return places;
}

// --- step 1: the sample installation and the sentinels around it ------------

// The names the self-deletion batch may take: "C:\QVUninst.bat", or, while
// an entry is there, "C:\QVUninst1.bat" to "...9.bat".
std::vector<std::wstring> BatchNames() {
    std::vector<std::wstring> names{BatchFile};
    for (int n = 1; n <= 9; ++n) names.push_back(L"C:\\QVUninst" + std::to_wstring(n) + L".bat");
    return names;
}

void RemoveEverything(CaseState& state) {
    hostile::RemovePlanted(state.places);
    for (const auto& link : state.links) RemoveLink(link.first);
    state.links.clear();
    RemoveSampleInstallation(state.sample);
    RemoveSentinels(state.sentinels);
    hostile::RemoveOutsideSentinels(state.places);
    for (const std::wstring& name : BatchNames()) {
        SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(name.c_str());
    }
}

bool LayOut(CaseState& state, const Options& options, CaseResult& result) {
    state.sample.uninstallerSource = options.uninstaller;
    state.places = PlacesOf(state.sample);
    std::wstring error;
    if (!LayOutSampleInstallation(state.sample, &error)) {
        Fail(result, "setup: " + Narrow(error));
        return false;
    }
    state.sentinels = LaySentinels(state.sample, L"hostile");
    // Their attributes as laid are checked too.
    for (SentinelFile& sentinel : state.sentinels) sentinel.attributes = GetFileAttributesW(sentinel.path.c_str());
    if (!hostile::LayOutsideSentinels(state.places, &error)) {
        Fail(result, "setup: " + Narrow(error));
        return false;
    }
    return true;
}

// --- step 2: the hostile inputs ----------------------------------------------

// The state is recorded after the links and the Planted mutations are
// planted: they lie outside the product's folders too (one in the preview
// folder's parent) and must stay.
bool Mutate(CaseState& state, const std::vector<hostile::Mutation>& mutations, CaseResult& result) {
    std::wstring error;
    if (!hostile::ApplyMutations(mutations, state.places, &error)) {
        Fail(result, "setup: " + Narrow(error));
        return false;
    }
    for (const auto& link : hostile::LinksOf(mutations, state.places)) {
        if (!PlantLink(link.first, link.second)) {
            Fail(result, "setup: cannot plant the link " + Narrow(link.first));
            return false;
        }
        state.links.push_back(link);
    }
    if (!hostile::PlantAll(mutations, state.places, state.sentinels, &error)) {
        Fail(result, "setup: " + Narrow(error));
        return false;
    }
    return true;
}

// --- step 3: the uninstaller, driven through a complete uninstall ------------

std::vector<PROCESSENTRY32W> Processes() {
    std::vector<PROCESSENTRY32W> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return list;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        list.push_back(entry);
    CloseHandle(snapshot);
    return list;
}

struct CrashDialogSearch {
    bool found = false;
};

BOOL CALLBACK FindCrashDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<CrashDialogSearch*>(parameter);
    if (IsWindowVisible(window) && WindowClass(window) == L"#32770" && WindowText(window) == L"Program Error") {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

// Wine's answer to an unhandled exception: its debugger starts and shows the
// "Program Error" dialog.
bool CrashEvidence() {
    CrashDialogSearch search;
    EnumWindows(FindCrashDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found) return true;
    for (const PROCESSENTRY32W& process : Processes())
        if (_wcsicmp(process.szExeFile, L"winedbg.exe") == 0) return true;
    return false;
}

// Ends the debugger that Wine started for the crashed uninstaller, by id.
void EndDebuggers() {
    for (const PROCESSENTRY32W& process : Processes()) {
        if (_wcsicmp(process.szExeFile, L"winedbg.exe") != 0) continue;
        if (HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.th32ProcessID)) {
            TerminateProcess(handle, 1);
            WaitForSingleObject(handle, DefaultWaitMs);
            CloseHandle(handle);
        }
    }
}

bool IsMessageBox(HWND window) {
    return WindowClass(window) == L"#32770" && PageTemplateOf(window) == 0 && GetDlgItem(window, 0xFFFF);
}

std::string Shortened(const std::wstring& text, size_t limit = 70) {
    std::wstring one;
    for (wchar_t ch : text) one += (ch == L'\r' || ch == L'\n' || ch == L'\t') ? L' ' : ch;
    if (one.size() > limit) one = one.substr(0, limit) + L"...";
    return Narrow(one);
}

// A window as a failure names it: class, title and, for a message box or a
// page, what it says.
std::string WindowDescription(HWND window) {
    std::string text = "class \"" + Narrow(WindowClass(window)) + "\" title \"" + Shortened(WindowText(window)) + "\"";
    if (IsMessageBox(window)) text += " text \"" + Shortened(ControlText(window, 0xFFFF)) + "\"";
    if (const int page = PageTemplateOf(window)) text += " (page " + std::to_string(page) + ")";
    return text;
}

// Answers one window of the wizard; false for a window that needs nothing.
bool Answer(HWND window, CaseResult& result, RunOutcome& outcome) {
    const int page = PageTemplateOf(window);
    if (page) outcome.pageSeen = true;
    switch (page) {
        case 101:
            // Uninstall, not Repair, is the choice Next acts on.
            if (SendDlgItemMessageW(window, 1034, BM_GETCHECK, 0, 0) != BST_CHECKED) {
                SendDlgItemMessageW(window, 1033, BM_SETCHECK, BST_UNCHECKED, 0);
                SendDlgItemMessageW(window, 1034, BM_SETCHECK, BST_CHECKED, 0);
            }
            result.seen.push_back("101");
            return ProcessDriver::PressButton(window, IDOK);
        case 102:
            result.seen.push_back("102");
            return ProcessDriver::PressButton(window, IDOK);
        case 104:
            result.seen.push_back("104");
            outcome.closed = true;
            return ProcessDriver::PressButton(window, IDOK);
        case 105:
            result.seen.push_back("105");
            return ProcessDriver::PressButton(window, IDOK);
        case 106:
            result.seen.push_back("106");
            return ProcessDriver::PressButton(window, IDCANCEL);
        case 0: {
            if (!IsMessageBox(window)) return false;
            const std::wstring text = ControlText(window, 0xFFFF);
            if (outcome.firstBox.empty()) outcome.firstBox = Narrow(text);
            result.seen.push_back("box \"" + Shortened(text) + "\"");
            return ProcessDriver::PressButton(window, GetDlgItem(window, IDOK) ? IDOK : IDCANCEL);
        }
        default:
            return false;  // 103 runs the removal on its own
    }
}

// Closes a window that a plan opened, so that the run can end, always by the
// answer that goes no further: a message box by Cancel, No or OK; a wizard
// page by Cancel, and the exit confirmation then by Yes; the success and
// error pages by their only button; anything else by WM_CLOSE.
bool CloseUnwanted(HWND window) {
    switch (PageTemplateOf(window)) {
        case 104:
        case 105:
        case 106:
            return ProcessDriver::PressButton(window, IDOK);
        case 0:
            break;
        default:
            return ProcessDriver::PressButton(window, IDCANCEL);
    }
    if (IsMessageBox(window))
        for (const int button : {IDCANCEL, IDNO, IDOK})
            if (GetDlgItem(window, button)) return ProcessDriver::PressButton(window, button);
    return PostMessageW(window, WM_CLOSE, 0, 0) != FALSE;
}

// The top-level windows that a watched process showed, told by the system's
// window events, which also catch a window shown too briefly for a look at
// the process's windows; read on this thread while it pumps its messages.
// The WoW64 Wine delivers these events from another process, Debian 12's
// Wine 8 does not: there the look at the process's windows is all.
struct ShownWindow {
    HWND window;
    std::string description;
};
std::vector<ShownWindow> ShownWindows;

void CALLBACK OnWindowShown(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (!window || object != OBJID_WINDOW || child != CHILDID_SELF) return;
    if (!IsWindow(window)) {
        ShownWindows.push_back({window, "a window that closed before it could be read"});
        return;
    }
    if (GetAncestor(window, GA_PARENT) != GetDesktopWindow()) return;
    ShownWindows.push_back({window, WindowDescription(window)});
}

class ShowWatch {
public:
    // No watch for process id 0 (which would watch every process).
    explicit ShowWatch(DWORD processId)
        : hook_(processId ? SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnWindowShown, processId, 0,
                                            WINEVENT_OUTOFCONTEXT)
                          : nullptr) {
        ShownWindows.clear();
    }
    ~ShowWatch() {
        if (hook_) UnhookWinEvent(hook_);
        ShownWindows.clear();
    }
    ShowWatch(const ShowWatch&) = delete;
    ShowWatch& operator=(const ShowWatch&) = delete;

private:
    HWINEVENTHOOK hook_;
};

// Runs the uninstaller to its end. A wizard is answered page by page; a plan
// must open no window at all: each one it opens fails the case and is closed.
RunOutcome Drive(const CaseState& state, CaseResult& result, const std::wstring& arguments, bool plan) {
    RunOutcome outcome;
    ProcessDriver process;
    if (!process.Start(InstallFolderOf(state.sample) + L"Uninstall.exe", InstallFolderOf(state.sample), arguments)) {
        Fail(result, "setup: cannot start Uninstall.exe");
        return outcome;
    }
    result.processId = process.ProcessId();
    ShowWatch watch(plan ? process.ProcessId() : 0);
    std::map<HWND, ULONGLONG> answeredAt;
    std::map<HWND, bool> reported;
    const auto report = [&](HWND window, const std::string& description) {
        if (reported[window]) return;
        reported[window] = true;
        Fail(result, "the plan opened a window: " + description);
    };
    bool crashed = false;
    ULONGLONG lastCrashLook = 0;
    const bool ended = WaitUntil(
        [&] {
            const ULONGLONG now = GetTickCount64();
            if (now - lastCrashLook >= CrashLookEveryMs) {
                lastCrashLook = now;
                if (CrashEvidence()) return crashed = true;
            }
            if (plan)
                for (const ShownWindow& shown : ShownWindows) report(shown.window, shown.description);
            if (process.HasExited()) return true;
            const std::vector<HWND> windows = process.TopLevelWindows();
            if (plan) {
                // Each window fails the case; the foremost dialog (or, with
                // none, the foremost window) is closed, as one would by hand.
                HWND foremost = nullptr;
                for (HWND window : windows) {
                    report(window, WindowDescription(window));
                    if (!foremost || (WindowClass(foremost) != L"#32770" && WindowClass(window) == L"#32770"))
                        foremost = window;
                }
                const auto earlier = answeredAt.find(foremost);
                if (foremost && (earlier == answeredAt.end() || now - earlier->second >= RepressAfterMs) &&
                    CloseUnwanted(foremost))
                    answeredAt[foremost] = now;
                return false;
            }
            for (HWND window : windows) {
                const auto earlier = answeredAt.find(window);
                if (earlier != answeredAt.end() && now - earlier->second < RepressAfterMs) continue;
                if (Answer(window, result, outcome)) answeredAt[window] = now;
            }
            return false;
        },
        CaseLimitMs);
    // Window events still queued when the process ended.
    if (plan) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        for (const ShownWindow& shown : ShownWindows) report(shown.window, shown.description);
    }
    if (!crashed && process.HasExited() && CrashEvidence()) crashed = true;
    if (crashed) {
        Fail(result, "crash: Wine's crash dialog or debugger appeared");
        EndDebuggers();
        process.Kill();
        return outcome;
    }
    if (!ended) {
        Fail(result, "hang: still running after " + std::to_string(CaseLimitMs / 1000) + " s");
        process.Kill();
        return outcome;
    }
    process.WaitForExit(outcome.exitCode, DefaultWaitMs);
    outcome.ended = true;
    if (!plan) result.exitCode = outcome.exitCode;
    // The wizard ends with 0 or 1, or 87 for a log file it refuses; a plan
    // with a system error code. An exception's status (0xC0000005 and the
    // like) is a crash either way.
    if (plan ? outcome.exitCode >= 0x80000000u
             : (outcome.exitCode != 0 && outcome.exitCode != 1 && outcome.exitCode != 87)) {
        char code[64];
        std::snprintf(code, sizeof(code), "crash: exit code 0x%08lX", static_cast<unsigned long>(outcome.exitCode));
        Fail(result, code);
    }
    return outcome;
}

// What stands at each batch name before a run.
std::vector<FileState> BatchStates() {
    std::vector<FileState> states;
    for (const std::wstring& name : BatchNames()) states.push_back(StateOf(name));
    return states;
}

// The batch file deletes the uninstaller once it has ended, then itself: a
// batch name whose entry the run made or changed must be gone in time. One
// that never ends is reported, and its interpreter, which the uninstaller
// started, is ended by id.
void WaitForSelfDeletion(CaseResult& result, const std::vector<FileState>& before) {
    const std::vector<std::wstring> names = BatchNames();
    const auto batchesLeft = [&] {
        for (size_t i = 0; i < names.size(); ++i)
            if (PathExists(names[i]) && !(StateOf(names[i]) == before[i])) return true;
        return false;
    };
    if (!batchesLeft() || WaitUntil([&] { return !batchesLeft(); }, BatchLimitMs)) return;
    Fail(result, "hang: a self-deletion batch still runs " + std::to_string(BatchLimitMs / 1000) +
                     " s after the uninstaller ended");
    for (const PROCESSENTRY32W& process : Processes()) {
        if (_wcsicmp(process.szExeFile, L"cmd.exe") != 0 || process.th32ParentProcessID != result.processId) continue;
        if (HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.th32ProcessID)) {
            TerminateProcess(handle, 1);
            WaitForSingleObject(handle, DefaultWaitMs);
            CloseHandle(handle);
        }
    }
}

// --- step 4: the checks (step 5, the report, follows the case) ---------------

// The text after `prefix` on the first line of the log or plan that starts
// with it; empty when there is none.
std::string LogLineAfter(const std::wstring& path, const std::string& prefix) {
    const std::string text = ReadFileBytes(path);
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
        start = end + 1;
    }
    return std::string();
}

void ReportDifferences(CaseResult& result, const std::string& what, const std::vector<std::wstring>& before,
                       const std::vector<std::wstring>& after) {
    const std::vector<std::wstring> changes = hostile::SnapshotDifferences(before, after);
    if (changes.empty()) return;
    std::string text = what;
    for (const std::wstring& change : changes) text += " {" + Narrow(change) + "}";
    Fail(result, text);
}

void CheckSentinels(const CaseState& state, CaseResult& result) {
    for (const std::wstring& path : DamagedSentinels(state.sentinels))
        Fail(result, "sentinel touched: " + Narrow(path));
    if (PathExists(hostile::AutoRunMarker)) Fail(result, "the command interpreter ran the planted AutoRun command");
}

// The plan changes nothing: neither the outside nor the product's own files
// and keys.
void CheckPlanChangedNothing(const CaseState& state, CaseResult& result) {
    CheckSentinels(state, result);
    const hostile::StateRecord after = hostile::RecordState(state.places, RunOwnFiles);
    result.recordCut = result.recordCut || after.cut;
    ReportDifferences(result, "the plan changed the product's files or keys:", state.before.product, after.product);
    ReportDifferences(result, "the plan changed something outside the product:", state.before.outside, after.outside);
}

void CheckOutside(const CaseState& state, CaseResult& result) {
    CheckSentinels(state, result);
    const hostile::StateRecord after = hostile::RecordState(state.places, RunOwnFiles);
    result.recordCut = result.recordCut || after.cut;
    ReportDifferences(result, "outside the product changed:", state.before.outside, after.outside);
}

// Whether start-up let the runs through; once it did, the plan and the log
// must both exist and agree. `second` is the wizard, or with --no-removal a
// second plan.
void CheckPlanAgainstLog(const RunOutcome& plan, const RunOutcome& second, bool secondIsPlan, CaseResult& result) {
    if (!plan.ended || !second.ended) return;  // a crash or hang, reported already
    const bool planPassed = plan.exitCode == 0;
    const bool secondPassed = secondIsPlan ? second.exitCode == 0 : second.pageSeen;
    if (!secondPassed) {
        result.startup = Startup::Refused;
        const std::string why = secondIsPlan ? LogLineAfter(LogFile, "note: ") : second.firstBox;
        result.refusal = "exit code " + std::to_string(plan.exitCode) + ", \"" +
                         Shortened(Widen(why.empty() ? "no message" : why), 100) + "\"";
        if (planPassed) Fail(result, "the plan got past start-up (exit code 0), the wizard did not: " + result.refusal);
        return;
    }
    result.startup = Startup::Passed;
    if (!planPassed)
        Fail(result,
             "the wizard got past start-up, the plan did not (exit code " + std::to_string(plan.exitCode) + ")");
    const bool planThere = PathExists(PlanFile), logThere = PathExists(LogFile);
    if (!planThere) Fail(result, "past start-up, but the plan run wrote no plan");
    if (!logThere) Fail(result, "past start-up, but the run wrote no log");
    if (!planThere || !logThere) return;
    result.compared = true;
    const std::string differences =
        LogLineDifferences(LogLinesWithOutcome(PlanFile, "would remove"), "planned",
                           LogLinesWithOutcome(LogFile, secondIsPlan ? "would remove" : "removed"), "removed");
    if (!differences.empty()) Fail(result, "plan and log differ: " + differences);
}

// The listed files (and their companions) that the run must remove: all of
// those in the install folder, but for the ones a Planted mutation turned
// into second names of read-only files outside the product, which stay.
Expected ExpectedRemovals(const CaseState& state, const std::vector<hostile::Mutation>& mutations) {
    Expected expected;
    const std::vector<std::wstring> planted = hostile::PlantedListedFiles(mutations, state.places);
    const std::wstring install = InstallFolderOf(state.sample);
    for (const std::wstring& path : ListedFilesOf(state.sample)) {
        if (path.compare(0, install.size(), install) != 0) continue;
        if (!PathExists(path) || IsFolder(path)) {
            expected.missing.push_back(path);
            continue;
        }
        if (std::find(planted.begin(), planted.end(), path) == planted.end()) expected.files.push_back(path);
        if (PathExists(CompanionOf(path))) expected.files.push_back(CompanionOf(path));
    }
    return expected;
}

bool IniMutated(const std::vector<hostile::Mutation>& mutations) {
    for (const hostile::Mutation& mutation : mutations)
        if (mutation.input == hostile::Input::Ini) return true;
    return false;
}

// The positive check: where the inputs are usable (start-up let the wizard
// through, the listed files were laid out, the run worked on the sample's
// product key) the listed files, the product's HKLM key and its uninstall
// entry must be gone.
void CheckRemoval(const CaseState& state, const Expected& expected, const RunOutcome& second, bool iniMutated,
                  CaseResult& result) {
    if (result.startup != Startup::Passed || !second.ended) {
        result.notChecked = result.startup == Startup::Refused ? "refused at start-up" : "the runs failed";
        return;
    }
    if (!expected.missing.empty()) {
        result.notChecked = "listed files missing from the layout";
        return;
    }
    // Settings that name another product key point the run at other keys
    // and another file list (and a key with a leading or trailing backslash
    // is never deleted); the sample's keys are then not its to remove.
    const std::string key = LogLineAfter(LogFile, "product key: ");
    if (key != Narrow(state.sample.productKey)) {
        if (!iniMutated)
            Fail(result, "the log names the product key \"" + key + "\", the settings \"" +
                             Narrow(state.sample.productKey) + "\"");
        result.notChecked = "the settings name another product key";
        return;
    }
    result.removalChecked = true;
    std::vector<std::string> kept;
    for (const std::wstring& path : expected.files)
        if (PathExists(path)) kept.push_back(Narrow(path));
    if (!kept.empty()) {
        std::string text = "the run did not remove " + std::to_string(kept.size()) + " of " +
                           std::to_string(expected.files.size()) + " listed files and companions:";
        for (size_t i = 0; i < kept.size() && i < 3; ++i) text += " " + kept[i];
        if (kept.size() > 3) text += " ...";
        Fail(result, text);
    }
    if (RegKeyExists(HKEY_LOCAL_MACHINE, state.places.productKey))
        Fail(result, "the run did not remove HKLM\\" + Narrow(state.places.productKey));
    if (RegKeyExists(HKEY_LOCAL_MACHINE, state.places.uninstallEntry))
        Fail(result, "the run did not remove HKLM\\" + Narrow(state.places.uninstallEntry));
}

// --- one case, from layout to clean-up ---------------------------------------

std::vector<hostile::Mutation> MutationsOf(const Options& options, unsigned index) {
    if (!options.mutations.empty()) return options.mutations;
    std::mt19937 random(options.seed + index);
    return hostile::ChooseMutations(random);
}

CaseResult RunCase(const Options& options, unsigned index) {
    const std::vector<hostile::Mutation> mutations = MutationsOf(options, index);
    CaseResult result;
    result.mutations = hostile::Describe(mutations);
    const ULONGLONG start = GetTickCount64();

    CaseState state;
    state.places = PlacesOf(state.sample);
    RemoveEverything(state);
    if (LayOut(state, options, result) && Mutate(state, mutations, result)) {
        DeleteFileW(PlanFile);
        DeleteFileW(LogFile);
        const Expected expected = ExpectedRemovals(state, mutations);
        state.before = hostile::RecordState(state.places, RunOwnFiles);
        result.recordCut = state.before.cut;
        // A Planted mutation may have put another file at the batch's name.
        const std::vector<FileState> batches = BatchStates();
        const RunOutcome plan = Drive(state, result, L"/plan " + std::wstring(PlanFile), true);
        CheckPlanChangedNothing(state, result);
        if (BatchStates() != batches) Fail(result, "the plan wrote a self-deletion batch");
        const RunOutcome second = options.noRemoval ? Drive(state, result, L"/plan " + std::wstring(LogFile), true)
                                                    : Drive(state, result, L"/log " + std::wstring(LogFile), false);
        WaitForSelfDeletion(result, batches);
        // Closed at the success page, it has started its self-deletion.
        if (second.closed && PathExists(InstallFolderOf(state.sample) + L"Uninstall.exe"))
            Fail(result, "the uninstaller did not delete itself");
        CheckOutside(state, result);
        CheckPlanAgainstLog(plan, second, options.noRemoval, result);
        CheckRemoval(state, expected, second, IniMutated(mutations), result);
    }
    RemoveEverything(state);
    result.milliseconds = GetTickCount64() - start;
    return result;
}

std::string Joined(const std::vector<std::string>& pieces, const char* separator) {
    std::string text;
    for (const std::string& piece : pieces) text += (text.empty() ? "" : separator) + piece;
    return text;
}

void Report(const Options& options, unsigned index, const CaseResult& result) {
    if (result.failures.empty()) {
        if (options.verbose)
            std::printf(
                "hostile-run %s: case %u [%s]: %s, exit code %lu, %s, %s, %.1f s\n", Arch, index,
                result.mutations.c_str(), Joined(result.seen, " ").c_str(), static_cast<unsigned long>(result.exitCode),
                result.startup == Startup::Refused ? ("refused at start-up: " + result.refusal).c_str()
                : result.compared                  ? "plan compared with log"
                                                   : "plan not compared",
                result.removalChecked ? "removal checked" : ("removal not checked: " + result.notChecked).c_str(),
                result.milliseconds / 1000.0);
    } else {
        std::printf("hostile-run %s: FAILED seed %u case %u [%s] (seen: %s): %s\n", Arch, options.seed, index,
                    result.mutations.c_str(), result.seen.empty() ? "nothing" : Joined(result.seen, " ").c_str(),
                    Joined(result.failures, "; ").c_str());
        std::string again = "--seed " + std::to_string(options.seed) + " --first " + std::to_string(index);
        for (const hostile::Mutation& mutation : options.mutations)
            again += " --mutation '" + hostile::Describe({mutation}) + "'";
        std::printf("hostile-run %s:   again alone: tools/hostile-run --arch %s %s --cases 1\n", Arch, Arch,
                    again.c_str());
    }
    std::fflush(stdout);
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring name = argv[i];
        const bool hasValue = i + 1 < argc;
        if (name == L"--verbose") {
            options.verbose = true;
        } else if (name == L"--list") {
            options.list = true;
        } else if (name == L"--no-removal") {
            options.noRemoval = true;
        } else if (name == L"--seed" && hasValue) {
            options.seed = static_cast<unsigned>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (name == L"--cases" && hasValue) {
            options.cases = static_cast<unsigned>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (name == L"--first" && hasValue) {
            options.first = static_cast<unsigned>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (name == L"--uninstaller" && hasValue) {
            options.uninstaller = argv[++i];
        } else if (name == L"--mutation" && hasValue) {
            hostile::Mutation mutation;
            if (!hostile::FindMutation(Narrow(argv[++i]), mutation)) return false;
            options.mutations.push_back(mutation);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: HostileRun [--seed N] [--cases N] [--first K] [--uninstaller PATH] [--verbose]\n"
                     "                  [--mutation INPUT:LABEL]... [--list] [--no-removal]\n");
        return 2;
    }
    if (options.list) {
        for (unsigned index = options.first; index < options.first + options.cases; ++index)
            std::printf("hostile-run %s: case %u [%s]\n", Arch, index,
                        hostile::Describe(MutationsOf(options, index)).c_str());
        return 0;
    }
    // The uninstaller runs with its current directory on C:, as everywhere
    // under Wine (drive Z: is the Linux root); its batch goes to C:\ anyway,
    // the root of the Windows folder's drive.
    SetCurrentDirectoryW(L"C:\\");
    SetRegString(HKEY_CURRENT_USER, UninstallerX11Key, L"Managed", L"N");

    // Links an interrupted earlier run may have left (RemoveEverything also
    // takes what the Planted mutations plant).
    CaseState leftovers;
    leftovers.places = PlacesOf(leftovers.sample);
    leftovers.links = hostile::LinksOf(hostile::EveryLinkMutation(), leftovers.places);
    RemoveEverything(leftovers);

    // The folder of the plans and logs stays for the whole run, so that the
    // cases' snapshots of drive C: see it before and after.
    MakeFolders(LogFolder);
    unsigned passed = 0, failed = 0, compared = 0, refused = 0, checked = 0;
    std::map<std::string, unsigned> refusals, notChecked;
    bool cutReported = false;
    if (options.verbose)
        for (const std::string& exclusion : hostile::RecordExclusions())
            std::printf("hostile-run %s: left out of the state record: %s\n", Arch, exclusion.c_str());
    if (options.noRemoval)
        std::printf("hostile-run %s: --no-removal: a plan runs in place of the wizard, so nothing is removed\n", Arch);
    for (unsigned index = options.first; index < options.first + options.cases; ++index) {
        const CaseResult result = RunCase(options, index);
        Report(options, index, result);
        (result.failures.empty() ? passed : failed) += 1;
        compared += result.compared;
        checked += result.removalChecked;
        if (result.startup == Startup::Refused) {
            ++refused;
            ++refusals[result.refusal];
        }
        if (!result.removalChecked && result.startup != Startup::Refused) ++notChecked[result.notChecked];
        if (result.recordCut && !cutReported) {
            cutReported = true;
            std::printf("hostile-run %s: case %u: a state record reached its bound (%zu lines, %d levels)\n", Arch,
                        index, hostile::RecordLineLimit, hostile::RecordDepthLimit);
        }
        if ((index - options.first + 1) % 20 == 0 && index + 1 < options.first + options.cases)
            std::fprintf(stderr, "hostile-run %s: %u of %u cases done\n", Arch, index - options.first + 1,
                         options.cases);
    }
    RemoveTree(LogFolder);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, UninstallerX11Key, L"Managed");
    std::printf("hostile-run %s: plan compared with log in %u of %u cases\n", Arch, compared, options.cases);
    std::printf("hostile-run %s: refused at start-up in %u cases%s\n", Arch, refused, refused ? ":" : "");
    for (const auto& reason : refusals)
        std::printf("hostile-run %s:   %u x %s\n", Arch, reason.second, reason.first.c_str());
    std::printf("hostile-run %s: removal checked in %u cases\n", Arch, checked);
    for (const auto& reason : notChecked)
        std::printf("hostile-run %s:   not checked in %u: %s\n", Arch, reason.second, reason.first.c_str());
    std::printf("hostile-run %s: %u cases, %u passed, %u failed\n", Arch, options.cases, passed, failed);
    std::fflush(stdout);
    return failed ? 1 : 0;
}
