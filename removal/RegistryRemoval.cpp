#include "removal/RegistryRemoval.h"

#include "framework/String.h"
#include "removal/RemovalRun.h"
#include "support/Registry.h"

namespace {

// Windows' code for a reparse point where none may be: how a link left
// alone is logged.
constexpr DWORD LinkLeftAlone = 4395;

}  // namespace

void RemoveRegistryTree(CRemovalRun& run, HKEY root, const wchar_t* keyPath) {
    if (!run.IsLogged() && !run.IsPlan()) {
        DeleteRegistryTree(root, keyPath);
        return;
    }
    const KeyPresence before = PresenceOfKey(root, keyPath);
    const CString text = RegistryPathText(root, keyPath, nullptr);
    if (before == KeyPresence::Absent) {
        run.Log(L"key", text, LogOutcome::Absent, 0);
        return;
    }
    const bool plan = run.IsPlan() != 0;
    if (before == KeyPresence::Link) {
        run.Log(L"key", text, plan ? LogOutcome::WouldKeep : LogOutcome::Kept, LinkLeftAlone);
        return;
    }
    if (plan) {
        run.Log(L"key", text, LogOutcome::WouldRemove, 0);
        return;
    }
    DeleteRegistryTree(root, keyPath);
    const bool gone = PresenceOfKey(root, keyPath) == KeyPresence::Absent;
    run.Log(L"key", text, gone ? LogOutcome::Removed : LogOutcome::Kept, gone ? 0 : ERROR_ACCESS_DENIED);
}

void RemoveRegistryValue(CRemovalRun& run, HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
    const CString text = RegistryPathText(root, keyPath, valueName);
    if (run.IsPlan()) {
        // A plan reads only: the key is not made when it is missing.
        run.Log(L"value", text,
                RegistryValueExists(root, keyPath, valueName) ? LogOutcome::WouldRemove : LogOutcome::Absent, 0);
        return;
    }
    LONG answer = ERROR_SUCCESS;
    if (!DeleteRegistryValue(root, keyPath, valueName, &answer)) {
        run.Log(L"value", text, LogOutcome::Kept, ERROR_ACCESS_DENIED);
        return;
    }
    const LogOutcome outcome = answer == ERROR_SUCCESS          ? LogOutcome::Removed
                               : answer == ERROR_FILE_NOT_FOUND ? LogOutcome::Absent
                                                                : LogOutcome::Kept;
    run.Log(L"value", text, outcome, outcome == LogOutcome::Kept ? static_cast<DWORD>(answer) : 0);
}
