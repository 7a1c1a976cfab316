#include "wizard/MaintenancePage.h"

#include <cderr.h>
#include <commdlg.h>

#include "framework/WinApp.h"
#include "imaging/PictureControl.h"
#include "resources/resource.h"
#include "support/Files.h"
#include "support/LibrarySearch.h"
#include "wizard/ExitConfirmPage.h"
#include "wizard/Macros.h"
#include "wizard/PageCommon.h"
#include "wizard/PageLook.h"
#include "wizard/ScreenResources.h"
#include "wizard/UninstallRecord.h"

namespace {

constexpr int FileNameChars = 260;

const int BoldControls[] = {IDC_INTRO, IDC_UNINSTALL, IDC_REPAIR};

INT_PTR OnInitMaintenance(HWND page) {
    PreparePage(page);
    SetFontOnControls(page, BoldFont.Get(), BoldControls, 3);
    ExpandControlText(page, IDC_INTRO);
    AttachPictureControl(page, IDC_PICTURE, PageBackground);
    AttachPictureControl(page, IDC_PICTURE2, PageBackground);

    const int repair = UninstallRecord.RepairChosen;
    const int chosen = repair ? IDC_REPAIR : IDC_UNINSTALL;
    const int other = repair ? IDC_UNINSTALL : IDC_REPAIR;
    SendDlgItemMessageW(page, chosen, BM_SETCHECK, BST_CHECKED, 0);
    SendDlgItemMessageW(page, other, BM_SETCHECK, BST_UNCHECKED, 0);
    SetFocus(GetDlgItem(page, chosen));
    // FALSE: the focus set here stays.
    return FALSE;
}

// The repair program must exist before the page may end; until it does the
// user is told and may locate it. Returns whether the page may end.
int EnsureRepairProgram(HWND page) {
    for (;;) {
        if (FileExists(UninstallRecord.RepairCommand)) return 1;
        CString message;
        message.LoadString(IDS_REPAIR_PROGRAM_MISSING);
        ExpandMacros(message);
        if (AfxMessageBox(message, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY) return 0;
        if (!BrowseForRepairProgram(page, UninstallRecord.RepairCommand)) return 0;
    }
}

void OnNext(HWND page) {
    if (SendDlgItemMessageW(page, IDC_UNINSTALL, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        UninstallRecord.RepairChosen = 0;
        EndDialog(page, 1);
        return;
    }
    UninstallRecord.RepairChosen = 1;
    if (EnsureRepairProgram(page)) EndDialog(page, 1);
}

INT_PTR OnMaintenanceCommand(HWND page, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDOK:
            OnNext(page);
            return 1;
        case IDCANCEL:
            if (ConfirmExit(page)) EndDialog(page, 0);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

int InitialNameAfterRefusal(const wchar_t* refused, DWORD dialogError, wchar_t* next) {
    if (dialogError != FNERR_INVALIDFILENAME || refused[0] == L'\0') return 0;
    // A program path in quotation marks, perhaps with arguments after it:
    // the path alone. Anything else that the dialog refused: no name.
    next[0] = L'\0';
    if (refused[0] == L'"') {
        int end = 1;
        while (refused[end] != L'\0' && refused[end] != L'"') ++end;
        if (refused[end] == L'"' && end - 1 < FileNameChars) lstrcpynW(next, refused + 1, end);
    }
    for (const wchar_t* ch = next; *ch; ++ch)
        if (*ch == L'"' || *ch == L'<' || *ch == L'>' || *ch == L'|' || *ch == L'*' || *ch == L'?') next[0] = L'\0';
    return 1;
}

int BrowseForRepairProgram(HWND page, CString& program) {
    wchar_t fileName[FileNameChars];
    lstrcpynW(fileName, program, FileNameChars);

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(OPENFILENAMEW);
    dialog.hwndOwner = page;
    dialog.lpstrFilter = L"Program Files (*.exe)\0*.exe\0All (*.*)\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = FileNameChars;
    // The current folder stays where it is: a folder the user browsed into
    // would otherwise be held open and could not be removed.
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
    // The dialog's library is loaded only when the dialog is needed: it
    // brings the printing libraries along, which every start would pay for.
    using GetOpenFileNameFunction = BOOL(WINAPI*)(OPENFILENAMEW*);
    // Loaded by its full path from the system folder, never from the
    // program's own folder. It stays loaded: work the dialog started may
    // still run in it.
    HMODULE library = LoadSystemLibrary(L"comdlg32.dll");
    const FARPROC found = library ? GetProcAddress(library, "GetOpenFileNameW") : nullptr;
    const auto getOpenFileName = reinterpret_cast<GetOpenFileNameFunction>(reinterpret_cast<void (*)()>(found));
    if (!getOpenFileName) return 0;
    BOOL chosen = getOpenFileName(&dialog);
    // A repair command with arguments ("C:\Setup\Repair.exe" -x) is no valid
    // initial file name and Windows then opens no dialog at all: once more
    // with a valid name, so that Retry can still lead to the program.
    wchar_t validName[FileNameChars];
    using CommDlgExtendedErrorFunction = DWORD(WINAPI*)();
    const auto extendedError = reinterpret_cast<CommDlgExtendedErrorFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "CommDlgExtendedError")));
    if (!chosen && extendedError && InitialNameAfterRefusal(program, extendedError(), validName)) {
        lstrcpynW(fileName, validName, FileNameChars);
        chosen = getOpenFileName(&dialog);
    }
    if (!chosen) return 0;
    fileName[FileNameChars - 1] = L'\0';
    program = fileName;
    return 1;
}

INT_PTR CALLBACK MaintenancePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitMaintenance(page);
        case WM_COMMAND:
            return OnMaintenanceCommand(page, wParam);
        default:
            return HandlePageLookMessage(page, message, wParam, lParam);
    }
}
