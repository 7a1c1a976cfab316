#include "removal/VisualStudioAddin.h"

#include <windows.h>

#include <shellapi.h>
#include <wchar.h>

#include "framework/String.h"
#include "removal/RegistryRemoval.h"
#include "removal/RemovalRun.h"
#include "removal/VisualStudioAutomation.h"
#include "support/Files.h"
#include "support/LibrarySearch.h"
#include "support/Registry.h"

namespace {

const wchar_t* const KnownVersions[] = {L"8.0", L"9.0", L"10.0", L"11.0"};

// The add-in's class identifiers: one for 9.0 and 10.0, one for the others.
const wchar_t AddinClassKeyA[] = L"CLSID\\{B7C81D42-2E6F-4A93-8D05-C16E2F3A4B59}";
const wchar_t AddinClassKeyB[] = L"CLSID\\{5A3E9C21-7B4D-4F60-A1C2-3D4E5F607182}";

const wchar_t* AutomationProgIdOf(const wchar_t* version) {
    if (wcscmp(version, L"11.0") == 0) return L"VisualStudio.DTE.11.0";
    if (wcscmp(version, L"10.0") == 0) return L"VisualStudio.DTE.10.0";
    if (wcscmp(version, L"9.0") == 0) return L"VisualStudio.DTE.9.0";
    return L"VisualStudio.DTE.8.0";
}

const wchar_t* AddinClassKeyOf(const wchar_t* version) {
    if (wcscmp(version, L"9.0") == 0 || wcscmp(version, L"10.0") == 0) return AddinClassKeyB;
    return AddinClassKeyA;
}

// The "devenv.exe" path in a folder read from the registry, with a "\"
// between them unless the folder already ends with one.
CString DevenvPathIn(const wchar_t* folder) {
    CString path(folder);
    if (path.IsEmpty() || path.GetAt(path.GetLength() - 1) != L'\\') path += L'\\';
    path += L"devenv.exe";
    return path;
}

void DeleteAddinKeys(const wchar_t* version, CRemovalRun& run) {
    // The add-in's key has the same name below both products' keys.
    const wchar_t* const addinKey = L"\\AddIns\\GlyphSmithAddin.Connect";
    CString studio;
    studio.Format(L"Software\\Microsoft\\VisualStudio\\%s", version);
    const CString editor = studio + L"\\Default Editors\\ico\\Quorvex GlyphSmith";
    const CString addin = studio + addinKey;
    CString vsaAddin;
    vsaAddin.Format(L"Software\\Microsoft\\VSA\\%s", version);
    vsaAddin += addinKey;

    RemoveRegistryTree(run, HKEY_LOCAL_MACHINE, editor);
    RemoveRegistryTree(run, HKEY_CURRENT_USER, editor);
    RemoveRegistryTree(run, HKEY_CLASSES_ROOT, L"GlyphSmithAddin.Connect.1");
    RemoveRegistryTree(run, HKEY_CLASSES_ROOT, L"GlyphSmithAddin.Connect");
    RemoveRegistryTree(run, HKEY_CLASSES_ROOT, AddinClassKeyOf(version));
    RemoveRegistryTree(run, HKEY_LOCAL_MACHINE, vsaAddin);
    RemoveRegistryTree(run, HKEY_CURRENT_USER, vsaAddin);
    RemoveRegistryTree(run, HKEY_LOCAL_MACHINE, addin);
    RemoveRegistryTree(run, HKEY_CURRENT_USER, addin);
}

// Starts the version's "devenv.exe /setup" so that it rebuilds its menus
// without the add-in; does not wait for it.
void StartSetupRun(const wchar_t* version) {
    CString key;
    key.Format(L"Software\\Microsoft\\VisualStudio\\%s", version);
    wchar_t folder[MAX_PATH];
    folder[0] = L'\0';
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, key, L"InstallDir", folder) || folder[0] == L'\0') return;
    const CString program = DevenvPathIn(folder);
    if (!FileExists(program)) return;

    SHELLEXECUTEINFOW run = {};
    run.cbSize = sizeof(run);
    run.lpVerb = L"open";
    run.lpFile = program;
    run.lpParameters = L"/setup";
    run.lpDirectory = folder;
    run.nShow = SW_SHOW;
    if (const auto execute = SystemFunction<BOOL(WINAPI*)(SHELLEXECUTEINFOW*)>(L"shell32.dll", "ShellExecuteExW"))
        execute(&run);
}

}  // namespace

int IsVisualStudioInstalled(const wchar_t* version, int is64BitWindows) {
    CString key;
    key.Format(is64BitWindows ? L"SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\%s"
                              : L"Software\\Microsoft\\VisualStudio\\%s",
               version);
    wchar_t folder[MAX_PATH];
    folder[0] = L'\0';
    ReadRegistryString(HKEY_LOCAL_MACHINE, key, L"InstallDir", folder);
    if (lstrlenW(folder) < 4) return 0;
    return FileExists(DevenvPathIn(folder));
}

int IsAnyVisualStudioInstalled(int is64BitWindows) {
    for (const wchar_t* version : KnownVersions)
        if (IsVisualStudioInstalled(version, is64BitWindows)) return 1;
    return 0;
}

void RemoveVisualStudioAddin(const wchar_t* version, const CAutomationBound& bound, CRemovalRun& run) {
    // In a plan the key deletions only name their keys.
    DeleteAddinKeys(version, run);
    CString subject;
    subject.Format(L"Visual Studio %s add-in", version);
    // A plan starts nothing: the automation would ask Visual Studio to quit,
    // and its setup run rebuilds the menus.
    if (run.IsPlan()) {
        run.Log(L"visual studio", subject, LogOutcome::WouldRemove, 0);
        return;
    }
    const wchar_t* const progId = AutomationProgIdOf(version);
    DWORD outcome = 0;
    if (!bound.MayStart()) {
        run.Note(L"Visual Studio is not started here: nobody could close it.");
    } else if (!bound.BoundMs()) {
        RemoveAddinThroughAutomation(progId);
    } else {
        // Its keys are gone already, and its setup run below rebuilds the
        // menus without the add-in.
        const DWORD remainingMs = bound.RemainingMs();
        outcome = RemoveAddinThroughAutomationWithin(progId, remainingMs);
        if (outcome == ERROR_TIMEOUT) {
            bound.RunOut();
            CString note;
            note.Format(remainingMs ? L"Visual Studio %s did not finish removing the add-in's menus within %u s: "
                                      L"the run goes on."
                                    : L"Visual Studio %s is not asked to remove the add-in's menus: the %u s for "
                                      L"Visual Studio have passed.",
                        version, bound.BoundMs() / 1000);
            run.Note(note);
        }
    }
    StartSetupRun(version);
    run.Log(L"visual studio", subject, outcome ? LogOutcome::Kept : LogOutcome::Removed, outcome);
}
