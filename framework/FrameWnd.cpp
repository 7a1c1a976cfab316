#include "framework/FrameWnd.h"

#include "framework/WinApp.h"

namespace {

// The object whose window CreateWindowExW is making right now: its first
// messages (WM_GETMINMAXINFO, WM_NCCREATE) arrive before CreateWindowExW
// returns a handle. One user-interface thread, so one pointer suffices.
CFrameWnd* g_windowBeingCreated = nullptr;

}  // namespace

const RECT CFrameWnd::rectDefault = {CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};

CFrameWnd::~CFrameWnd() {
    if (m_hWnd) {
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hWnd);
    }
}

CString CFrameWnd::RegisterFrameClass(UINT iconId) {
    CString name;
    name.Format(L"QvFrame:%u", iconId);
    const HINSTANCE instance = AfxGetInstanceHandle();
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, name, &existing)) return name;

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = StaticWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(iconId));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = name;
    if (!RegisterClassExW(&windowClass)) return CString();
    return name;
}

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, HWND parent, void* context) {
    m_nIDHelp = resourceId;
    CString title;
    title.LoadString(resourceId);
    const int lineFeed = title.Find(L'\n');
    if (lineFeed >= 0) title.Truncate(lineFeed);

    const CString className = RegisterFrameClass(resourceId);
    if (className.IsEmpty()) return FALSE;
    if (!Create(className, title, style, rectDefault, parent, MAKEINTRESOURCEW(resourceId), 0, context)) return FALSE;
    m_hMenuDefault = GetMenu(m_hWnd);
    return TRUE;
}

BOOL CFrameWnd::Create(const wchar_t* className, const wchar_t* title, DWORD style, const RECT& rect, HWND parent,
                       const wchar_t* menuName, DWORD exStyle, void* context) {
    m_strTitle = title;
    HMENU menu = nullptr;
    if (menuName) {
        menu = LoadMenuW(AfxGetResourceHandle(), menuName);
        if (!menu) return FALSE;
    }
    g_windowBeingCreated = this;
    HWND window = CreateWindowExW(exStyle, className, title, style, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top, parent, menu, AfxGetInstanceHandle(), context);
    g_windowBeingCreated = nullptr;
    if (!window) {
        // A window that failed in WM_CREATE has already been destroyed; its
        // menu was destroyed with it only if it had been attached.
        if (menu && IsMenu(menu)) DestroyMenu(menu);
        m_hWnd = nullptr;
        return FALSE;
    }
    return TRUE;
}

LRESULT CFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            if (DefWindowProcW(m_hWnd, message, wParam, lParam) == -1) return -1;
            return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
        case WM_NCDESTROY: {
            HWND window = m_hWnd;
            OnNcDestroy();
            return DefWindowProcW(window, message, wParam, lParam);
        }
        default:
            return DefWindowProcW(m_hWnd, message, wParam, lParam);
    }
}

int CFrameWnd::OnCreate(CREATESTRUCTW*) {
    return 0;
}

void CFrameWnd::OnNcDestroy() {
    CWinApp* application = AfxGetApp();
    if (application && application->m_hMainWnd == m_hWnd) {
        application->m_hMainWnd = nullptr;
        PostQuitMessage(0);
    }
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    m_hWnd = nullptr;
}

LRESULT CALLBACK CFrameWnd::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* frame = reinterpret_cast<CFrameWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!frame && g_windowBeingCreated) {
        frame = g_windowBeingCreated;
        g_windowBeingCreated = nullptr;
        frame->m_hWnd = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(frame));
    }
    if (!frame) return DefWindowProcW(window, message, wParam, lParam);
    return frame->WindowProc(message, wParam, lParam);
}
