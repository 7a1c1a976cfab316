#include "wizard/UninstallRecord.h"

#include <windows.h>

#include "removal/ExitCodes.h"
#include "resources/resource.h"
#include "support/Files.h"
#include "support/Handles.h"
#include "support/Registry.h"
#include "support/VersionProbes.h"
#include "wizard/Macros.h"

CUninstallRecord UninstallRecord;

namespace {

// Cuts the text at its last quotation mark; returns that mark's index or -1.
int CutAtLastQuote(CString& text) {
    const int mark = text.ReverseFind(L'"');
    if (mark >= 0) text.Truncate(mark);
    return mark;
}

void ReadDisplayName() {
    wchar_t name[256];
    CString entry = CString(UninstallKeyRoot) + UninstallRecord.ProductKey + L" (64-bit)";
    if (ReadRegistryString(HKEY_LOCAL_MACHINE, entry, L"DisplayName", name)) {
        UninstallRecord.AppDisplayName = name;
        return;
    }
    entry += L" ";
    if (ReadRegistryString(HKEY_LOCAL_MACHINE, entry, L"DisplayName", name)) {
        UninstallRecord.AppDisplayName = name;
        return;
    }
    UninstallRecord.AppDisplayName.LoadString(IDS_PRODUCT_NAME);
}

}  // namespace

int SplitArgsValue(const CString& enclosedValue, CString& productKey, CString& programFileName) {
    CString text(enclosedValue);
    const int first = CutAtLastQuote(text);
    const int second = CutAtLastQuote(text);
    const int third = CutAtLastQuote(text);
    const int fourth = CutAtLastQuote(text);
    if (first < 0 || second < 0 || third < 0 || fourth < 0) return 0;
    programFileName = enclosedValue.Mid(second + 1, first - second - 1);
    productKey = enclosedValue.Mid(fourth + 1, third - fourth - 1);
    return 1;
}

void ReadListedFiles(const CString& productKey, CStringList& files) {
    const CString keyPath = CString(MakerKeyRoot) + productKey + L"\\Files";
    CRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, key.Receive()) != ERROR_SUCCESS)
        return;

    // Buffers sized from the key's own longest name and data, so that every
    // value is read whole: at least 80 characters and 512 bytes.
    DWORD longestName = 0;
    DWORD longestData = 0;
    RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                     &longestData, nullptr, nullptr);
    const DWORD nameChars = (longestName + 1 > 80) ? longestName + 1 : 80;
    const DWORD dataBytes = (longestData > 512) ? longestData : 512;
    // Two spare characters hold a terminator after data of any length.
    CProcessHeapBlock<wchar_t> nameBlock(
        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, nameChars * sizeof(wchar_t))));
    CProcessHeapBlock<wchar_t> dataBlock(
        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, dataBytes + 2 * sizeof(wchar_t))));
    wchar_t* name = nameBlock.Get();
    wchar_t* data = dataBlock.Get();
    if (name && data) {
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = nameChars;
            DWORD dataLength = dataBytes;
            DWORD type = REG_NONE;
            const LONG result = RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type,
                                              reinterpret_cast<BYTE*>(data), &dataLength);
            if (result == ERROR_NO_MORE_ITEMS) break;
            // A value that grew after the buffers were sized is skipped; any
            // other error (the key deleted meanwhile) would repeat for every
            // index, so it ends the list.
            if (result == ERROR_MORE_DATA) continue;
            if (result != ERROR_SUCCESS) break;
            if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
            // A value with no data names nothing; it is no empty entry,
            // which would end the list.
            if (dataLength < sizeof(wchar_t)) continue;
            const DWORD chars = dataLength / sizeof(wchar_t);
            data[chars] = L'\0';
            files.Add(CString(data));
        }
    }
}

int ReadUninstallRecord(CStartupFailure& failure) {
    CUninstallRecord& record = UninstallRecord;
    const CString settings = record.ExeFolder + L"uninstall.ini";

    wchar_t args[ArgsLimit];
    GetPrivateProfileStringW(L"uninstall", L"args", L"", args, ArgsLimit, settings);
    if (args[0] == L'\0') {
        failure.Text = L"ERROR: Can't find uninstall.ini";
        failure.ExitCode = ExitNotInstalled;
        return 0;
    }
    const CString enclosed = CString(L"\"") + args + L"\"";

    wchar_t repair[RepairCommandLimit];
    GetPrivateProfileStringW(L"uninstall", L"repair", L"", repair, RepairCommandLimit, settings);
    record.RepairCommand = repair;

    if (!SplitArgsValue(enclosed, record.ProductKey, record.ProgramFileName)) {
        failure.Text =
            L"ERROR: The \"args\" entry of uninstall.ini is damaged.\n\n"
            L"It must name the product key and the program file, each in quotation marks.";
        failure.ExitCode = ExitBadConfiguration;
        return 0;
    }

    wchar_t installFolder[256];
    const CString productKeyPath = CString(MakerKeyRoot) + record.ProductKey;
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, productKeyPath, L"InstallDir", installFolder)) {
        CString message;
        message.LoadString(IDS_INSTALL_FOLDER_MISSING);
        ExpandMacros(message);
        failure.Text = message;
        failure.ExitCode = ExitNotInstalled;
        return 0;
    }
    record.InstallFolder = installFolder;
    // The fixed entries append file names to the folder, so it must end in
    // "\". An empty folder stays empty: the fixed entries are then relative
    // paths, which the removal refuses.
    if (!record.InstallFolder.IsEmpty() && record.InstallFolder.GetAt(record.InstallFolder.GetLength() - 1) != L'\\')
        record.InstallFolder += L'\\';

    ReadDisplayName();

    wchar_t previewFolder[256];
    previewFolder[0] = L'\0';
    ReadRegistryString(HKEY_CURRENT_USER, L"SOFTWARE\\Quorvex\\folders", L"PreviewTempDir", previewFolder);
    record.PreviewFolder = previewFolder;

    record.FilesToRemove.RemoveAll();
    ReadListedFiles(record.ProductKey, record.FilesToRemove);
    // A drive or share root is never the product's folder: its settings file
    // and media databases are not the product's ("C:" becomes "C:\").
    if (IsRootFolder(record.InstallFolder)) return 1;
    static const wchar_t* const fixedEntries[] = {L"%suninstall.ini", L"%sMediaFiles.qvd", L"%sMediaFiles.qvdn"};
    for (const wchar_t* format : fixedEntries) {
        CString entry;
        entry.Format(format, record.InstallFolder.GetString());
        record.FilesToRemove.Add(entry);
    }
    return 1;
}

CRemovalInput RemovalInputOf(const CUninstallRecord& record) {
    CRemovalInput input;
    input.ProductKey = record.ProductKey;
    input.ProgramFileName = record.ProgramFileName;
    input.PreviewFolder = record.PreviewFolder;
    input.FilesToRemove = &record.FilesToRemove;
    if (!IsRootFolder(record.InstallFolder)) input.SettingsFile = record.InstallFolder + L"uninstall.ini";
    input.IsVistaOrLater = record.IsVistaOrLater;
    input.Is64BitWindows = record.Is64BitWindows;
    input.VisualStudioPresent = record.VisualStudioPresent;
    return input;
}

void RunVersionProbes() {
    UninstallRecord.IsVistaOrLater = IsWindowsVersionAtLeast(6, 0, 0);
    UninstallRecord.Is64BitWindows = Is64BitWindows();
}
