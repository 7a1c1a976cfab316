#include "bench/RealPages.h"

#include <cstring>
#include <vector>

#include "resources/resource.h"
#include "wizard/ActionRequiredPage.h"
#include "wizard/ExitConfirmPage.h"
#include "wizard/MaintenancePage.h"
#include "wizard/OutcomePages.h"
#include "wizard/UninstallPage.h"

namespace qvtest {

const RealPage RealPages[6] = {
    {IDD_MAINTENANCE, MaintenancePageProc},
    {IDD_ACTION_REQUIRED, ActionRequiredPageProc},
    {IDD_UNINSTALLING, UninstallPageProc},
    {IDD_SUCCESS, SuccessPageProc},
    {IDD_ERROR, ErrorPageProc},
    {IDD_EXIT_CONFIRM, ExitConfirmPageProc},
};

namespace {

const struct {
    const wchar_t* className;
    const wchar_t* title;
} RunningApplications[] = {
    {L"wndclass_desked_gsk", L"Solution1 - Microsoft Visual Studio"},
    {L"QVGlyphSmithClass", L"GlyphSmith"},
};

// Hidden top-level windows of the classes by which the wizard recognises a
// running Visual Studio and a running product; gone with this object.
class RunningApplicationWindows {
public:
    RunningApplicationWindows() {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        for (const auto& application : RunningApplications) {
            WNDCLASSW windowClass = {};
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.hInstance = instance;
            windowClass.lpszClassName = application.className;
            RegisterClassW(&windowClass);
            windows_.push_back(CreateWindowExW(0, application.className, application.title, WS_OVERLAPPEDWINDOW, 0, 0,
                                               100, 100, nullptr, nullptr, instance, nullptr));
        }
    }
    ~RunningApplicationWindows() {
        for (HWND window : windows_)
            if (window) DestroyWindow(window);
        for (const auto& application : RunningApplications)
            UnregisterClassW(application.className, GetModuleHandleW(nullptr));
    }
    RunningApplicationWindows(const RunningApplicationWindows&) = delete;
    RunningApplicationWindows& operator=(const RunningApplicationWindows&) = delete;

private:
    std::vector<HWND> windows_;
};

DLGPROC ProcedureOf(int templateId) {
    for (const RealPage& page : RealPages)
        if (page.templateId == templateId) return page.procedure;
    return nullptr;
}

}  // namespace

HWND OpenHiddenDialog(int templateId, HWND owner, DLGPROC procedure) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));  // RT_DIALOG
    if (!resource) return nullptr;
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    if (!bytes) return nullptr;
    std::vector<BYTE> copy(bytes, bytes + SizeofResource(module, resource));
    // DIALOGEX: version, signature, help id, extended style, then the style.
    DWORD style;
    memcpy(&style, &copy[12], sizeof(style));
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    memcpy(&copy[12], &style, sizeof(style));
    return CreateDialogIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), owner, procedure, 0);
}

RealPageWindow::RealPageWindow(int templateId, HWND owner) {
    const DLGPROC procedure = ProcedureOf(templateId);
    if (!procedure) return;
    if (templateId == IDD_UNINSTALLING) {
        savedCountdown_ = StartCountdown;
        StartCountdown = StartTicks;
        holdsRemovalStart_ = true;
    }
    if (templateId == IDD_ACTION_REQUIRED) {
        // The page looks for the applications only while it opens.
        const RunningApplicationWindows running;
        page_ = OpenHiddenDialog(templateId, owner, procedure);
    } else {
        page_ = OpenHiddenDialog(templateId, owner, procedure);
    }
}

RealPageWindow::~RealPageWindow() {
    if (page_ && IsWindow(page_)) DestroyWindow(page_);
    if (holdsRemovalStart_) StartCountdown = savedCountdown_;
}

}  // namespace qvtest
