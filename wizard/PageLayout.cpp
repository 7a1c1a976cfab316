// Page layout: the 12 percent enlargement of every page and its controls,
// centring in the work area, fonts, and the common WM_INITDIALOG steps.
#include "wizard/Macros.h"
#include "wizard/PageLook.h"
#include "wizard/ScreenResources.h"

namespace {

constexpr int TitleLimit = 128;
constexpr UINT PlacementFlagsCleared = WPF_SETMINPOSITION | WPF_ASYNCWINDOWPLACEMENT;  // 5

int Enlarged(int length) {
    return length * 112 / 100;
}

bool IsMovedButton(int id) {
    return id == 1 || id == 2 || id == 3 || id == 1001 || id == 1020;
}

// A child's rectangle in its parent's client coordinates, 12 percent larger
// and farther from the parent's origin; the main buttons 5 pixels lower and
// 2 pixels shorter on top of that.
void ScaleChildRect(HWND child, RECT& rect) {
    rect.left = Enlarged(rect.left);
    rect.top = Enlarged(rect.top);
    rect.right = Enlarged(rect.right);
    rect.bottom = Enlarged(rect.bottom);
    if (IsMovedButton(GetDlgCtrlID(child))) {
        rect.top += 5;
        rect.bottom += 3;
    }
}

}  // namespace

void EnlargeWindow(HWND window, bool keepFlags) {
    WINDOWPLACEMENT placement;
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(window, &placement)) return;
    RECT& rect = placement.rcNormalPosition;
    rect.right = rect.left + Enlarged(rect.right - rect.left);
    rect.bottom = rect.top + Enlarged(rect.bottom - rect.top);
    if (!keepFlags) placement.flags &= ~PlacementFlagsCleared;
    // A page is hidden while it is prepared; setting the placement back must
    // not show it early (the placement reads "shown normally" for it).
    if (!IsWindowVisible(window)) placement.showCmd = SW_HIDE;
    SetWindowPlacement(window, &placement);
}

BOOL CALLBACK ScaleChildControl(HWND child, LPARAM) {
    WINDOWPLACEMENT placement;
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(child, &placement)) return TRUE;
    ScaleChildRect(child, placement.rcNormalPosition);
    SetWindowPlacement(child, &placement);
    return TRUE;
}

namespace {

struct ScalingBatch {
    HWND page;
    HDWP positions;
    UINT flags;
};

// Adds a direct child of the page to the batch (one batch holds children of
// one parent only). A failed DeferWindowPos frees the batch with everything
// deferred so far, so nothing of it has been applied.
BOOL CALLBACK DeferChildScaling(HWND child, LPARAM batchPointer) {
    ScalingBatch& batch = *reinterpret_cast<ScalingBatch*>(batchPointer);
    if (GetParent(child) != batch.page || !batch.positions) return TRUE;
    RECT rect;
    if (!GetWindowRect(child, &rect)) return TRUE;
    MapWindowPoints(nullptr, batch.page, reinterpret_cast<POINT*>(&rect), 2);
    ScaleChildRect(child, rect);
    batch.positions = DeferWindowPos(batch.positions, child, nullptr, rect.left, rect.top, rect.right - rect.left,
                                     rect.bottom - rect.top, batch.flags);
    return TRUE;
}

// Scales the children that no batch has placed: deeper descendants, or
// every child when there was no batch.
BOOL CALLBACK ScaleUnbatchedChild(HWND child, LPARAM page) {
    if (page && GetParent(child) == reinterpret_cast<HWND>(page)) return TRUE;
    return ScaleChildControl(child, 0);
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

}  // namespace

void ScaleChildControls(HWND page) {
    int count = 0;
    EnumChildWindows(page, CountChild, reinterpret_cast<LPARAM>(&count));
    // Shown as well, as setting its placement back would show it. A page
    // that is not on the screen yet draws nothing of its controls' moves.
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW;
    if (!IsWindowVisible(page)) flags |= SWP_NOREDRAW;
    ScalingBatch batch = {page, BeginDeferWindowPos(count), flags};
    if (batch.positions) EnumChildWindows(page, DeferChildScaling, reinterpret_cast<LPARAM>(&batch));
    const bool batched = batch.positions != nullptr;
    if (batched) EndDeferWindowPos(batch.positions);
    EnumChildWindows(page, ScaleUnbatchedChild, batched ? reinterpret_cast<LPARAM>(page) : 0);
}

void CenterInWorkArea(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    RECT area;
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) {
        area.left = 0;
        area.top = 0;
        area.right = GetSystemMetrics(SM_CXSCREEN);
        area.bottom = GetSystemMetrics(SM_CYSCREEN);
    }
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    if (x < area.left)
        x = area.left;
    else if (x + width > area.right)
        x = area.right - width;
    if (y < area.top)
        y = area.top;
    else if (y + height > area.bottom)
        y = area.bottom - height;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

BOOL CALLBACK SetControlFont(HWND child, LPARAM font) {
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), 0);
    return TRUE;
}

void PreparePage(HWND page) {
    ShowWindow(page, SW_HIDE);
    EnlargeWindow(page, false);
    CenterInWorkArea(page);
    ScaleChildControls(page);

    wchar_t title[TitleLimit] = L"";
    GetWindowTextW(page, title, TitleLimit);
    CString expanded(title);
    ExpandMacros(expanded);
    SetWindowTextW(page, expanded);

    EnumChildWindows(page, SetControlFont, reinterpret_cast<LPARAM>(BodyFont.Get()));
    SendDlgItemMessageW(page, 1013, WM_SETFONT, reinterpret_cast<WPARAM>(HeadingFont.Get()), 0);
    // The band markers are hidden at the latest when the page is first
    // painted; here, while the page is not on the screen, that costs its
    // first paint nothing.
    HideBandMarkers(page);
}
