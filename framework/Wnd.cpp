#include "framework/Wnd.h"

namespace {

// The window property that holds the attached object.
const wchar_t ObjectProperty[] = L"QvFrameworkWnd";

}  // namespace

CWnd::~CWnd() {
    if (m_hWnd) UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    if (!window) return nullptr;
    return static_cast<CWnd*>(GetPropW(window, ObjectProperty));
}

BOOL CWnd::SubclassWindow(HWND window) {
    if (!window || !IsWindow(window) || m_hWnd || FromHandlePermanent(window)) return FALSE;
    if (!SetPropW(window, ObjectProperty, this)) return FALSE;
    m_hWnd = window;
    // No message can arrive between these two steps: the window procedure is
    // replaced without sending any.
    const LONG_PTR previous =
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc));
    if (!previous) {
        RemovePropW(window, ObjectProperty);
        m_hWnd = nullptr;
        return FALSE;
    }
    m_originalProc = reinterpret_cast<WNDPROC>(previous);
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, HWND parent) {
    HWND control = parent ? GetDlgItem(parent, static_cast<int>(id)) : nullptr;
    return control ? SubclassWindow(control) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
    HWND window = m_hWnd;
    if (!window) return nullptr;
    if (m_originalProc && IsWindow(window))
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_originalProc));
    RemovePropW(window, ObjectProperty);
    m_hWnd = nullptr;
    return window;
}

LRESULT CWnd::WindowProc(UINT, WPARAM, LPARAM) { return Default(); }

LRESULT CWnd::Default() {
    if (!m_originalProc) return DefWindowProcW(m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
    return CallWindowProcW(m_originalProc, m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* object = FromHandlePermanent(window);
    if (!object || object->m_hWnd != window) return DefWindowProcW(window, message, wParam, lParam);

    // Messages nest (a handler may send others): keep the outer one.
    const CurrentMessage outer = object->m_current;
    object->m_current = {message, wParam, lParam};
    const LRESULT result = object->WindowProc(message, wParam, lParam);
    object->m_current = outer;

    if (message == WM_NCDESTROY) {
        object->UnsubclassWindow();
        object->PostNcDestroy();
    }
    return result;
}
