#include "bench/BrokenResources.h"

namespace qvtest {

bool CopyWithReplacedResource(const std::wstring& source, const std::wstring& target, const wchar_t* type, int id,
                              const std::vector<BYTE>& data) {
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) return false;
    HANDLE update = BeginUpdateResourceW(target.c_str(), FALSE);
    if (!update) return false;
    const BOOL replaced =
        UpdateResourceW(update, type, MAKEINTRESOURCEW(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                        const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    return EndUpdateResourceW(update, FALSE) && replaced;
}

namespace {

void PutWord(std::vector<BYTE>& out, WORD value) {
    out.push_back(static_cast<BYTE>(value & 0xFF));
    out.push_back(static_cast<BYTE>(value >> 8));
}

void PutDword(std::vector<BYTE>& out, DWORD value) {
    PutWord(out, static_cast<WORD>(value & 0xFFFF));
    PutWord(out, static_cast<WORD>(value >> 16));
}

void PutText(std::vector<BYTE>& out, const wchar_t* text) {
    do PutWord(out, static_cast<WORD>(*text));
    while (*text++);
}

}  // namespace

std::vector<BYTE> UncreatableDialogTemplate() {
    std::vector<BYTE> out;
    PutDword(out, WS_POPUP | WS_CAPTION);  // style
    PutDword(out, 0);                      // extended style
    PutWord(out, 1);                       // one control
    for (WORD value : {0, 0, 200, 100}) PutWord(out, value);
    PutWord(out, 0);  // no menu
    PutWord(out, 0);  // standard class
    PutText(out, L"Uninstalling");
    while (out.size() % 4) out.push_back(0);
    PutDword(out, WS_CHILD | WS_VISIBLE);
    PutDword(out, 0);
    for (WORD value : {10, 10, 100, 20}) PutWord(out, value);
    PutWord(out, 1016);
    PutText(out, L"QvTestNoSuchControlClass");
    PutText(out, L"");
    PutWord(out, 0);  // no creation data
    return out;
}

std::vector<BYTE> UnloadableMenuTemplate() {
    std::vector<BYTE> out;
    PutWord(out, 0x7777);  // version: neither 0 (standard) nor 1 (extended)
    PutWord(out, 0);
    PutDword(out, 0);
    return out;
}

}  // namespace qvtest
