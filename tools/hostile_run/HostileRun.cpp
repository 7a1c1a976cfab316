// HostileRun.exe: takes the real Uninstall.exe through complete uninstalls of
// a sample installation whose settings file and registry values have been
// replaced by hostile ones, or beside which hostile things were planted, and
// checks that it neither crashes nor hangs, deletes itself when it reached
// its success page, and leaves everything outside the product's own files
// and keys as it was.
// Used by tools/hostile-run, once per build under its own Wine.
//   HostileRun.exe [--seed N] [--cases N] [--first K] [--uninstaller PATH] [--verbose]
//                  [--mutation INPUT:LABEL]... [--list]
// Case K draws its mutations from std::mt19937 seeded with N + K, so any case
// can be run alone again with --first K --cases 1. --mutation (repeatable)
// gives the mutations of every case instead, by the names the run prints.
// --list only prints each case's mutations.
// Each case first runs "Uninstall.exe /plan", which must change nothing, then
// the wizard with "/log"; the plan's "would remove" lines must be the log's
// "removed" lines.

#include <windows.h>

#include <tlhelp32.h>

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
    std::vector<hostile::Mutation> mutations;  // given instead of drawn
};

// What happened to one case.
struct CaseResult {
    std::string mutations;
    std::vector<std::string> failures;
    std::vector<std::string> seen;  // pages and message boxes, in order
    DWORD exitCode = 0;
    DWORD processId = 0;  // of the uninstaller
    ULONGLONG milliseconds = 0;
};

struct CaseState {
    SampleInstallation sample;
    Places places;
    std::vector<SentinelFile> sentinels;
    std::vector<std::pair<std::wstring, std::wstring>> links;
    std::vector<std::wstring> before;
};

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
    places.foldersKey = L"SOFTWARE\\Quorvex\\folders";
    return places;
}

// --- step 1: the sample installation and the sentinels around it ------------

// The names the self-deletion batch may take: "C:\QVUninst.bat", or, while
// an entry there may not be replaced, "C:\QVUninst1.bat" to "...9.bat".
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

// --- step 2: the hostile inputs, then the record of the outside --------------

// The record is made after the links and the Planted mutations are planted:
// they lie outside the product's folders too (one in the preview folder's
// parent) and must stay.
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
    state.before = hostile::OutsideSnapshot(state.places);
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

// Answers one window of the wizard; false for a window that needs nothing.
bool Answer(HWND window, CaseResult& result, bool& closed) {
    switch (PageTemplateOf(window)) {
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
            closed = true;
            return ProcessDriver::PressButton(window, IDOK);
        case 105:
            result.seen.push_back("105");
            return ProcessDriver::PressButton(window, IDOK);
        case 106:
            result.seen.push_back("106");
            return ProcessDriver::PressButton(window, IDCANCEL);
        case 0:
            if (!IsMessageBox(window)) return false;
            result.seen.push_back("box \"" + Shortened(ControlText(window, 0xFFFF)) + "\"");
            return ProcessDriver::PressButton(window, GetDlgItem(window, IDOK) ? IDOK : IDCANCEL);
        default:
            return false;  // 103 runs the removal on its own
    }
}

// Runs the uninstaller to its end; true when it reached the success page and
// was closed there (its self-deletion batch is then on its way).
bool Drive(const CaseState& state, CaseResult& result, const std::wstring& arguments) {
    ProcessDriver process;
    if (!process.Start(InstallFolderOf(state.sample) + L"Uninstall.exe", InstallFolderOf(state.sample), arguments)) {
        Fail(result, "setup: cannot start Uninstall.exe");
        return false;
    }
    result.processId = process.ProcessId();
    std::map<HWND, ULONGLONG> answeredAt;
    bool closed = false, crashed = false;
    ULONGLONG lastCrashLook = 0;
    const bool ended = WaitUntil(
        [&] {
            const ULONGLONG now = GetTickCount64();
            if (now - lastCrashLook >= CrashLookEveryMs) {
                lastCrashLook = now;
                if (CrashEvidence()) return crashed = true;
            }
            if (process.HasExited()) return true;
            for (HWND window : process.TopLevelWindows()) {
                const auto earlier = answeredAt.find(window);
                if (earlier != answeredAt.end() && now - earlier->second < RepressAfterMs) continue;
                if (Answer(window, result, closed)) answeredAt[window] = now;
            }
            return false;
        },
        CaseLimitMs);
    if (!crashed && process.HasExited() && CrashEvidence()) crashed = true;
    if (crashed) {
        Fail(result, "crash: Wine's crash dialog or debugger appeared");
        EndDebuggers();
        process.Kill();
        return false;
    }
    if (!ended) {
        Fail(result, "hang: still running after " + std::to_string(CaseLimitMs / 1000) + " s");
        process.Kill();
        return false;
    }
    process.WaitForExit(result.exitCode, DefaultWaitMs);
    // The wizard ends with 0 or 1; a plan with a system error code. An
    // exception's status (0xC0000005 and the like) is a crash either way.
    const bool wizard = arguments.compare(0, 5, L"/plan") != 0;
    if (wizard ? (result.exitCode != 0 && result.exitCode != 1) : result.exitCode >= 0x80000000u) {
        char code[64];
        std::snprintf(code, sizeof(code), "crash: exit code 0x%08lX", static_cast<unsigned long>(result.exitCode));
        Fail(result, code);
    }
    return closed;
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

void CheckPlanAgainstLog(CaseResult& result) {
    if (!PathExists(PlanFile) || !PathExists(LogFile)) return;  // refused at start: both say so
    const std::string differences = LogLineDifferences(LogLinesWithOutcome(PlanFile, "would remove"), "planned",
                                                       LogLinesWithOutcome(LogFile, "removed"), "removed");
    if (!differences.empty()) Fail(result, "plan and log differ: " + differences);
}

void CheckOutside(const CaseState& state, CaseResult& result) {
    for (const std::wstring& path : DamagedSentinels(state.sentinels))
        Fail(result, "sentinel touched: " + Narrow(path));
    if (PathExists(hostile::AutoRunMarker)) Fail(result, "the command interpreter ran the planted AutoRun command");
    const std::vector<std::wstring> after = hostile::OutsideSnapshot(state.places);
    const std::vector<std::wstring> changes = hostile::SnapshotDifferences(state.before, after);
    if (changes.empty()) return;
    std::string text = "outside the product changed:";
    for (const std::wstring& change : changes) text += " {" + Narrow(change) + "}";
    Fail(result, text);
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
        const std::vector<std::wstring> product = ListTree(state.places.install);
        // A Planted mutation may have put another file at the batch's name.
        const std::vector<FileState> batches = BatchStates();
        Drive(state, result, L"/plan " + std::wstring(PlanFile));
        if (ListTree(state.places.install) != product) Fail(result, "the plan changed the product's files");
        if (BatchStates() != batches) Fail(result, "the plan wrote a self-deletion batch");
        CheckOutside(state, result);
        const bool closed = Drive(state, result, L"/log " + std::wstring(LogFile));
        WaitForSelfDeletion(result, batches);
        // Closed at the success page, it has started its self-deletion.
        if (closed && PathExists(InstallFolderOf(state.sample) + L"Uninstall.exe"))
            Fail(result, "the uninstaller did not delete itself");
        CheckOutside(state, result);
        CheckPlanAgainstLog(result);
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
            std::printf("hostile-run %s: case %u [%s]: %s, exit code %lu, %.1f s\n", Arch, index,
                        result.mutations.c_str(), Joined(result.seen, " ").c_str(),
                        static_cast<unsigned long>(result.exitCode), result.milliseconds / 1000.0);
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
                     "                  [--mutation INPUT:LABEL]... [--list]\n");
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
    unsigned passed = 0, failed = 0;
    for (unsigned index = options.first; index < options.first + options.cases; ++index) {
        const CaseResult result = RunCase(options, index);
        Report(options, index, result);
        (result.failures.empty() ? passed : failed) += 1;
        if ((index - options.first + 1) % 20 == 0 && index + 1 < options.first + options.cases)
            std::fprintf(stderr, "hostile-run %s: %u of %u cases done\n", Arch, index - options.first + 1,
                         options.cases);
    }
    RemoveTree(LogFolder);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, UninstallerX11Key, L"Managed");
    std::printf("hostile-run %s: %u cases, %u passed, %u failed\n", Arch, options.cases, passed, failed);
    std::fflush(stdout);
    return failed ? 1 : 0;
}
