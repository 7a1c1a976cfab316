#include "removal/AssociationRestore.h"

#include <shlobj.h>
#include <windows.h>

#include "framework/String.h"
#include "removal/RemovalRun.h"
#include "support/Handles.h"
#include "support/LibrarySearch.h"
#include "support/Registry.h"

namespace {

constexpr int TextChars = 256;

wchar_t AsciiLower(wchar_t ch) {
    return (ch >= L'A' && ch <= L'Z') ? static_cast<wchar_t>(ch + (L'a' - L'A')) : ch;
}

bool EqualIgnoringAsciiCase(const wchar_t* left, const wchar_t* right) {
    for (;; ++left, ++right) {
        if (AsciiLower(*left) != AsciiLower(*right)) return false;
        if (*left == L'\0') return true;
    }
}

// Puts the saved previous value back as the live key's default value, but
// only where the live value is still the one the product wrote.
void RestorePlace(const CString& savedKey, const CString& liveKey, CRemovalRun& run) {
    wchar_t previous[TextChars];
    wchar_t product[TextChars];
    wchar_t current[TextChars];
    previous[0] = product[0] = current[0] = L'\0';
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, savedKey, L"", previous) || previous[0] == L'\0') return;
    ReadRegistryString(HKEY_LOCAL_MACHINE, savedKey, L"quorvex", product);
    ReadRegistryString(HKEY_CLASSES_ROOT, liveKey, L"", current);
    if (product[0] == L'\0') return;
    if (!EqualIgnoringAsciiCase(current, product)) return;
    CString subject = RegistryPathText(HKEY_CLASSES_ROOT, liveKey, nullptr);
    subject += L" back to \"";
    subject += previous;
    subject += L"\"";
    if (run.IsPlan()) {
        run.Log(L"association", subject, LogOutcome::WouldRemove, 0);
        return;
    }
    DWORD error = 0;
    const int restored = WriteRegistryString(HKEY_CLASSES_ROOT, liveKey, L"", previous, &error);
    run.Log(L"association", subject, restored ? LogOutcome::Removed : LogOutcome::Kept, error);
}

// One entry of the record: an extension has one place, a file type three
// (its description, its open command and its icon).
void RestoreEntry(const CString& recordPath, const wchar_t* name, CRemovalRun& run) {
    const CString saved = recordPath + L"\\" + name;
    RestorePlace(saved, name, run);
    if (name[0] == L'.') return;
    const CString live(name);
    RestorePlace(saved + L"\\shell\\open\\command", live + L"\\shell\\open\\command", run);
    RestorePlace(saved + L"\\DefaultIcon", live + L"\\DefaultIcon", run);
}

}  // namespace

void RestoreFileAssociations(const CString& productKey, int isVistaOrLater, CRemovalRun& run) {
    if (isVistaOrLater) return;

    const CString recordPath = CString(MakerKeyRoot) + productKey + L"\\Associations";
    CRegistryKey record;
    // The walk uses the process's own registry view; the values themselves
    // are read and written in the 64-bit view.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, recordPath, 0, KEY_ALL_ACCESS, record.Receive()) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            wchar_t name[TextChars];
            DWORD length = TextChars;
            const LONG answer = RegEnumKeyExW(record.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (answer == ERROR_NO_MORE_ITEMS) break;
            // A name too long for the buffer is skipped; any other error
            // (the key deleted under us) would repeat for every index.
            if (answer == ERROR_MORE_DATA) continue;
            if (answer != ERROR_SUCCESS) break;
            RestoreEntry(recordPath, name, run);
        }
        record.Reset();
    }
    using ChangeNotifyFunction = void(WINAPI*)(LONG, UINT, LPCVOID, LPCVOID);
    if (const auto notify = SystemFunction<ChangeNotifyFunction>(L"shell32.dll", "SHChangeNotify"))
        notify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
}
