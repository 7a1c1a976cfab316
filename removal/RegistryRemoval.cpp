#include "removal/RegistryRemoval.h"

#include "framework/String.h"
#include "removal/RemovalRun.h"
#include "support/Registry.h"

namespace {

// Logs each key that a tree deletion leaves, as kept (or, in a plan, as it
// would be kept).
class CKeptKeysLog : public IKeyTreeReport {
public:
    explicit CKeptKeysLog(const CRemovalRun& run) : run_(run) {}
    void KeyKept(const wchar_t* keyText, DWORD error) override {
        run_.Log(L"key", keyText, run_.IsPlan() ? LogOutcome::WouldKeep : LogOutcome::Kept, error);
    }

private:
    const CRemovalRun& run_;
};

}  // namespace

void RemoveRegistryTree(CRemovalRun& run, HKEY root, const wchar_t* keyPath) {
    CKeptKeysLog keptKeys(run);
    const int plan = run.IsPlan();
    const DWORD result = DeleteRegistryTree(root, keyPath, &keptKeys, plan);
    const CString text = RegistryPathText(root, keyPath, nullptr);
    if (result == ERROR_FILE_NOT_FOUND)
        run.Log(L"key", text, LogOutcome::Absent, 0);
    else if (result == ERROR_SUCCESS)
        run.Log(L"key", text, plan ? LogOutcome::WouldRemove : LogOutcome::Removed, 0);
    else
        run.Log(L"key", text, plan ? LogOutcome::WouldKeep : LogOutcome::Kept, result);
}

void RemoveRegistryValue(CRemovalRun& run, HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
    const int plan = run.IsPlan();
    const LONG answer = DeleteRegistryValue(root, keyPath, valueName, plan);
    const LogOutcome outcome = answer == ERROR_SUCCESS          ? (plan ? LogOutcome::WouldRemove : LogOutcome::Removed)
                               : answer == ERROR_FILE_NOT_FOUND ? LogOutcome::Absent
                               : plan                           ? LogOutcome::WouldKeep
                                                                : LogOutcome::Kept;
    run.Log(L"value", RegistryPathText(root, keyPath, valueName), outcome,
            outcome == LogOutcome::Kept || outcome == LogOutcome::WouldKeep ? static_cast<DWORD>(answer) : 0);
}
