#include "wizard/Macros.h"

#include "support/Registry.h"
#include "wizard/UninstallRecord.h"

const wchar_t UnknownMacroMarker[] = L"##UNKNOWN MACRO##";

namespace {

CString ReadSystemFolder(const wchar_t* valueName) {
    wchar_t folder[256];
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", valueName, folder))
        return CString();
    return CString(folder);
}

CString MacroValue(const CString& name) {
    if (name == L"AppName") return UninstallRecord.AppDisplayName;
    if (name == L"ProgramFilesDir") return ReadSystemFolder(L"ProgramFilesDir");
    if (name == L"CommonFilesDir") return ReadSystemFolder(L"CommonFilesDir");
    return CString(UnknownMacroMarker);
}

}  // namespace

void ExpandMacros(CString& text) {
    if (text.IsEmpty()) return;
    CString output;
    int position = 0;
    const int length = text.GetLength();
    while (position < length) {
        const int brace = text.Find(L'{', position);
        if (brace < 0) {
            output += text.Mid(position);
            break;
        }
        output += text.Mid(position, brace - position);
        int close = text.Find(L'}', brace + 1);
        if (close < 0) close = length;
        output += MacroValue(text.Mid(brace + 1, close - brace - 1));
        position = close + 1;
    }
    text = static_cast<CString&&>(output);
}

void ExpandControlText(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    if (!control) return;
    wchar_t buffer[512];
    buffer[0] = L'\0';
    GetWindowTextW(control, buffer, 512);
    CString text(buffer);
    ExpandMacros(text);
    SetWindowTextW(control, text);
}
