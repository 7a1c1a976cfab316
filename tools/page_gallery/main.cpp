// PageGallery: opens each of the six wizard pages with its own dialog
// procedure, as the wizard shows it, and saves a picture of each as a BMP
// file. Page 102 shows both of its lines; page 103 never starts a removal.
//   PageGallery.exe <output folder> [label]
// Files: <output folder>\page101<label>.bmp ... page106<label>.bmp.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/RealPages.h"
#include "bench/ScreenCapture.h"
#include "resources/resource.h"
#include "wizard/PageLook.h"
#include "wizard/ScreenResources.h"
#include "wizard/UninstallRecord.h"

namespace {

void PumpUntilIdle() {
    MSG message;
    for (int round = 0; round < 50; ++round) {
        bool any = false;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (!any && round > 2) break;
        Sleep(20);
    }
}

bool SaveWindowPicture(HWND window, const std::wstring& path) {
    RECT rect;
    GetWindowRect(window, &rect);
    return qvtest::SaveBmp(path, rect.right - rect.left, rect.bottom - rect.top, qvtest::CaptureScreen(rect));
}

std::unique_ptr<qvtest::RealPageWindow> OpenPage(int templateId, HWND owner) {
    std::unique_ptr<qvtest::RealPageWindow> opened(new qvtest::RealPageWindow(templateId, owner));
    HWND page = opened->Get();
    if (!page) return nullptr;
    ShowWindow(page, SW_SHOW);
    SetForegroundWindow(page);
    RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpUntilIdle();
    return opened;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fwprintf(stderr, L"usage: PageGallery <output folder> [label]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const std::wstring label = argc > 2 ? argv[2] : L"";
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    UninstallRecord.AppDisplayName = L"Quorvex GlyphSmith 6.5";
    CreateScreenResources();
    CreateBannerResources();
    wprintf(L"PageGallery: %d dpi\n", ScreenDpi);

    int failures = 0;
    std::unique_ptr<qvtest::RealPageWindow> maintenance;
    for (const qvtest::RealPage& real : qvtest::RealPages) {
        const int templateId = real.templateId;
        // The exit confirmation opens above the maintenance page, as in the wizard.
        HWND owner = templateId == IDD_EXIT_CONFIRM && maintenance ? maintenance->Get() : nullptr;
        std::unique_ptr<qvtest::RealPageWindow> page = OpenPage(templateId, owner);
        if (!page) {
            fwprintf(stderr, L"PageGallery: template %d did not open\n", templateId);
            ++failures;
            continue;
        }
        const std::wstring path = folder + L"\\page" + std::to_wstring(templateId) + label + L".bmp";
        if (!SaveWindowPicture(page->Get(), path)) ++failures;
        if (templateId == IDD_MAINTENANCE) {
            maintenance = std::move(page);
        } else {
            page.reset();
            PumpUntilIdle();
        }
    }
    return failures;
}
