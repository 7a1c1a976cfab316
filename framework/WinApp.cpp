#include "framework/WinApp.h"

namespace {

CWinApp* g_application = nullptr;
CString* g_appName = nullptr;

}  // namespace

CWinApp::CWinApp() { g_application = this; }

CWinApp::~CWinApp() {
    if (g_application == this) g_application = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
    MSG message;
    for (;;) {
        const BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0 || result == -1) break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return ExitInstance();
}

CWinApp* AfxGetApp() { return g_application; }

HINSTANCE AfxGetInstanceHandle() { return GetModuleHandleW(nullptr); }

HINSTANCE AfxGetResourceHandle() { return GetModuleHandleW(nullptr); }

const wchar_t* AfxGetAppName() {
    if (!g_appName) {
        static CString appName;
        appName.LoadString(IDS_APPLICATION_TITLE);
        g_appName = &appName;
    }
    return g_appName->GetString();
}

HWND AfxGetMessageBoxOwner() {
    const CWinApp* application = AfxGetApp();
    const HWND main = application ? application->m_hMainWnd : nullptr;
    if (main && IsWindow(main)) return GetLastActivePopup(main);
    return GetActiveWindow();
}

int AfxMessageBox(const wchar_t* text, UINT type) {
    return MessageBoxW(AfxGetMessageBoxOwner(), text, AfxGetAppName(), type);
}

int AfxWinMain() {
    CWinApp* application = AfxGetApp();
    if (!application) return 1;
    if (!application->InitInstance()) return application->ExitInstance();
    return application->Run();
}
