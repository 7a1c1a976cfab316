#include "removal/RegistryCleanup.h"

#include <windows.h>

#include "framework/String.h"
#include "removal/RegistryRemoval.h"
#include "removal/Removal.h"
#include "removal/RemovalRun.h"
#include "removal/VisualStudioAddin.h"
#include "removal/VisualStudioAutomation.h"
#include "support/Registry.h"

namespace {

// The keys are formed by appending a record field to a shared parent such as
// the maker's branch or the list of installed programs. An empty field, or
// one that begins or ends with "\" or holds an empty component, would name
// that shared parent itself (the registry ignores a trailing "\"), so such a
// field deletes nothing.
bool IsKeyName(const CString& name) {
    const int length = name.GetLength();
    if (length == 0) return false;
    if (name.GetAt(0) == L'\\' || name.GetAt(length - 1) == L'\\') return false;
    return name.Find(L"\\\\") < 0;
}

// The App Paths entry is named after the program's file name alone. A field
// with a "\" would name a key below another program's entry, "/" has no
// place in a file name, and "." or ".." are no file names.
bool IsBareFileName(const CString& name) {
    if (name.IsEmpty() || name == L"." || name == L"..") return false;
    return name.Find(L"\\") < 0 && name.Find(L"/") < 0;
}

void DeleteAppPathsEntry(const CString& programFileName, CRemovalRun& run) {
    const CString entry = CString(AppPathsKeyRoot) + programFileName;
    if (IsBareFileName(programFileName)) {
        RemoveRegistryTree(run, HKEY_LOCAL_MACHINE, entry);
        return;
    }
    run.Log(L"key", RegistryPathText(HKEY_LOCAL_MACHINE, entry, nullptr),
            run.IsPlan() ? LogOutcome::WouldKeep : LogOutcome::Kept, ERROR_INVALID_NAME);
}

void DeleteProductKeys(const CString& productKey, CRemovalRun& run) {
    const CString productPath = CString(MakerKeyRoot) + productKey;
    RemoveRegistryTree(run, HKEY_LOCAL_MACHINE, productPath);
    RemoveRegistryTree(run, HKEY_CURRENT_USER, productPath);
}

// The installed-programs entry exists in one of three forms: the plain key,
// with " (64-bit)", and with " (64-bit) " (a trailing blank).
void DeleteUninstallEntries(const CString& productKey, CRemovalRun& run) {
    CString entry = CString(UninstallKeyRoot) + productKey;
    RemoveRegistryTree(run, HKEY_LOCAL_MACHINE, entry);
    entry += L" (64-bit)";
    RemoveRegistryTree(run, HKEY_LOCAL_MACHINE, entry);
    entry += L" ";
    RemoveRegistryTree(run, HKEY_LOCAL_MACHINE, entry);
}

void RemoveVisualStudioAddins(const CRemovalInput& input, CRemovalRun& run) {
    static const wchar_t* const newestFirst[] = {L"11.0", L"10.0", L"9.0", L"8.0"};
    CAutomationBound bound(input.MayStartVisualStudio, input.AutomationBoundMs);
    for (const wchar_t* version : newestFirst)
        if (IsVisualStudioInstalled(version, input.Is64BitWindows)) RemoveVisualStudioAddin(version, bound, run);
}

}  // namespace

void CleanRegistry(const CRemovalInput& input, CRemovalRun& run) {
    const bool productKeyUsable = IsKeyName(input.ProductKey);
    // The Add/Remove entries go first: should the run end here, the
    // product's key still holds the install folder a rerun needs, or nothing
    // lists the product any more.
    if (productKeyUsable) DeleteUninstallEntries(input.ProductKey, run);
    if (RemovalPointHook) RemovalPointHook(RemovalPoint::UninstallEntriesDone, 0);
    if (productKeyUsable) DeleteProductKeys(input.ProductKey, run);
    DeleteAppPathsEntry(input.ProgramFileName, run);
    RemoveRegistryValue(run, HKEY_CURRENT_USER, L"Software\\Classes\\IcoFile\\DefaultIcon", L"PictureIndex");

    // Whether Visual Studio was there when the wizard started decides whether
    // to look at all; each version is then tested afresh.
    if (!input.VisualStudioPresent) return;
    RemoveVisualStudioAddins(input, run);
}
