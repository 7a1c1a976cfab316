#include "wizard/ScreenResources.h"

#include <shlobj.h>

#include "framework/String.h"
#include "support/Files.h"
#include "support/Handles.h"
#include "support/LibrarySearch.h"
#include "support/ScreenScale.h"

int ScreenDpi = 96;
CFontHandle BodyFont;
CFontHandle BoldFont;
CFontHandle HeadingFont;
CFontHandle BannerTitleFont;
CFontHandle BannerLineFont;

namespace {

HFONT CreatePageFont(int height, int weight, const wchar_t* face) {
    return CreateFontW(MulDiv(height, ScreenDpi, 96), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                       face);
}

}  // namespace

const wchar_t* ChooseBannerFace() {
    wchar_t fonts[MAX_PATH] = L"";
    // shell32 is loaded here, after the library search was limited.
    const auto folderLocation =
        SystemFunction<HRESULT(WINAPI*)(HWND, int, LPITEMIDLIST*)>(L"shell32.dll", "SHGetSpecialFolderLocation");
    const auto pathFromList =
        SystemFunction<BOOL(WINAPI*)(LPCITEMIDLIST, LPWSTR)>(L"shell32.dll", "SHGetPathFromIDListW");
    CTaskMemory<LPITEMIDLIST> list;
    if (folderLocation && pathFromList && SUCCEEDED(folderLocation(nullptr, CSIDL_FONTS, list.Receive())) && list &&
        !pathFromList(list.Get(), fonts))
        fonts[0] = L'\0';
    CString path(fonts);
    // Without a fonts folder there is nothing to test.
    if (path.IsEmpty()) return L"Segoe UI";
    if (path.GetAt(path.GetLength() - 1) != L'\\') path += L'\\';
    path += L"OpenSans-Regular.ttf";
    return FileExists(path) ? L"Open Sans" : L"Segoe UI";
}

void CreateScreenResources() {
    {
        HWND desktop = GetDesktopWindow();
        CWindowDc dc(desktop);
        // A failed measurement keeps the 96-dpi design size rather than fonts of height 0.
        const int dpi = dc.IsValid() ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 0;
        if (dpi > 0) ScreenDpi = dpi;
    }
    ScreenScale = ScreenDpi / 96.0;
    const wchar_t* bannerFace = ChooseBannerFace();
    BodyFont.Reset(CreatePageFont(-12, 400, L"Segoe UI"));
    BoldFont.Reset(CreatePageFont(-12, 700, L"Segoe UI"));
    HeadingFont.Reset(CreatePageFont(-17, 500, L"Segoe UI"));
    BannerTitleFont.Reset(CreatePageFont(-21, 400, bannerFace));
    BannerLineFont.Reset(CreatePageFont(-14, 400, bannerFace));
}
