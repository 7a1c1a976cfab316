#include "imaging/PictureControl.h"

#include "imaging/QvPicture.h"
#include "support/TextFields.h"

namespace {

constexpr int PictureTextLimit = 255;

// A signed base-10 number at the start of the text: leading blanks and a
// sign allowed, reading stops at the first other character, no digits give
// 0. Values beyond the range of int saturate.
int ReadNumberField(const CString& text) {
    const wchar_t* c = text.GetString();
    while (*c == L' ' || *c == L'\t') ++c;
    bool negative = false;
    if (*c == L'+' || *c == L'-') negative = (*c++ == L'-');
    long long value = 0;
    for (; *c >= L'0' && *c <= L'9'; ++c) {
        value = value * 10 + (*c - L'0');
        if (value > 2147483648LL) value = 2147483648LL;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) value = 2147483647LL;
    return static_cast<int>(value);
}

constexpr UINT PlaceFlags = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;

}  // namespace

CQvPicture* AttachPictureControl(HWND page, int controlId, COLORREF pageColour) {
    HWND control = GetDlgItem(page, controlId);
    if (!control) return nullptr;
    wchar_t buffer[PictureTextLimit] = L"";
    GetWindowTextW(control, buffer, PictureTextLimit);
    const CString text(buffer);
    const CString name = ExtractField(text, 1, L'|');
    const int frameCount = ReadNumberField(ExtractField(text, 3, L'|'));
    const int interval = ReadNumberField(ExtractField(text, 4, L'|'));
    const int firstFrame = ReadNumberField(ExtractField(text, 5, L'|'));

    CQvPicture* picture = new CQvPicture(name, frameCount, interval, pageColour);
    if (!picture) return nullptr;
    if (!picture->SubclassDlgItem(static_cast<UINT>(controlId), page)) {
        delete picture;
        return nullptr;
    }
    picture->LoadPicture();
    picture->SetFrameIndex(firstFrame);

    RECT rect = {0, 0, 0, 0};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    const int height = rect.bottom - rect.top;
    SetWindowPos(control, nullptr, rect.left, (rect.top / 2) * 2 + 1, rect.right - rect.left, (height / 2) * 2 + 1,
                 PlaceFlags);
    ShowWindow(control, SW_SHOW);
    return picture;
}
