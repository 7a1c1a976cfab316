#include "bench/PageDriver.h"

namespace qvtest {

namespace {

bool Has(HWND window, int controlId) {
    return GetDlgItem(window, controlId) != nullptr;
}

INT_PTR CALLBACK IgnoreEveryMessage(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

}  // namespace

int PageTemplateOf(HWND window) {
    if (WindowClass(window) != L"#32770") return 0;
    if (Has(window, 1034)) return 101;
    if (Has(window, 1039)) return 102;
    if (Has(window, 1016)) return 103;
    if (Has(window, 1001)) return 105;
    if (Has(window, 1008) && Has(window, 1010)) return 104;
    if (Has(window, 1026) && Has(window, 1088) && !Has(window, 1008)) return 106;
    return 0;
}

HWND WaitForPage(ProcessDriver& process, int templateId, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : process.TopLevelWindows()) {
                if (PageTemplateOf(window) == templateId) {
                    found = window;
                    return true;
                }
            }
            return process.HasExited();
        },
        timeoutMs);
    return found;
}

std::vector<HWND> VisiblePages(const ProcessDriver& process) {
    std::vector<HWND> pages;
    for (HWND window : process.TopLevelWindows())
        if (PageTemplateOf(window)) pages.push_back(window);
    return pages;
}

HWND FocusedControl(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (!GetGUIThreadInfo(thread, &info)) return nullptr;
    return info.hwndFocus;
}

void PostKey(HWND window, UINT virtualKey) {
    HWND target = FocusedControl(window);
    if (!target || (target != window && !IsChild(window, target))) target = window;
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

void PostCloseBox(HWND window) {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool FlushPostedMessages(HWND dialog) {
    // DM_SETDEFID is handled in turn with the other posted messages, and its
    // effect can be read back: two rounds, because handling the first batch
    // may post more (the close box posts IDCANCEL).
    const LRESULT original = SendMessageW(dialog, DM_GETDEFID, 0, 0);
    const WORD originalId = HIWORD(original) == DC_HASDEFID ? LOWORD(original) : IDOK;
    const WORD markers[2] = {0x7FF1, 0x7FF2};
    for (WORD marker : markers) {
        if (!PostMessageW(dialog, DM_SETDEFID, marker, 0)) return false;
        const bool seen = WaitUntil([&] {
            if (!IsWindow(dialog)) return true;
            return LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)) == marker;
        });
        if (!seen || !IsWindow(dialog)) return false;
    }
    SendMessageW(dialog, DM_SETDEFID, originalId, 0);
    return IsWindow(dialog) != FALSE;
}

bool IsButtonChecked(HWND dialog, int controlId) {
    return SendDlgItemMessageW(dialog, controlId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

POINT TemplatePositionOnOwner(const std::wstring& module, int templateId, HWND owner) {
    POINT position = {0, 0};
    HMODULE resources =
        LoadLibraryExW(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!resources) return position;
    HRSRC found = FindResourceW(resources, MAKEINTRESOURCEW(templateId), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    HGLOBAL loaded = found ? LoadResource(resources, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data) {
        // A DIALOGEX header: dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y.
        const auto* words = static_cast<const WORD*>(data);
        const bool extended = words[1] == 0xFFFF;
        const short* xy = reinterpret_cast<const short*>(static_cast<const BYTE*>(data) + (extended ? 18 : 10));
        // The same template made here (hidden, without controls' procedures)
        // gives the dialog units of its own font.
        HWND measure = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), static_cast<LPCDLGTEMPLATEW>(data),
                                                  nullptr, IgnoreEveryMessage, 0);
        if (measure) {
            RECT units = {xy[0], xy[1], 0, 0};
            MapDialogRect(measure, &units);
            DestroyWindow(measure);
            POINT origin = {0, 0};
            ClientToScreen(owner, &origin);
            position.x = origin.x + units.left;
            position.y = origin.y + units.top;
        }
    }
    FreeLibrary(resources);
    return position;
}

std::vector<HWND> VisibleMessageBoxes(const ProcessDriver& process) {
    std::vector<HWND> boxes;
    for (HWND window : process.TopLevelWindows())
        if (WindowClass(window) == L"#32770" && !PageTemplateOf(window) && GetDlgItem(window, 0xFFFF))
            boxes.push_back(window);
    return boxes;
}

}  // namespace qvtest
