#include "RemovalBench.h"

#include <commctrl.h>

#include "app/QuietRun.h"
#include "bench/TestFiles.h"
#include "removal/HeldFolders.h"
#include "wizard/UninstallRecord.h"

namespace qvtest {

namespace {

std::vector<int> g_positions;
WNDPROC g_progressProc = nullptr;

LRESULT CALLBACK RecordingProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBM_SETPOS) g_positions.push_back(static_cast<int>(wParam));
    return CallWindowProcW(g_progressProc, window, message, wParam, lParam);
}

const wchar_t PageClass[] = L"QvTestRemovalPage";

struct {
    std::wstring folder, target;
    bool moved = false, linked = false;
} g_swap;

void SwapTheCheckedFolder(const wchar_t* folder) {
    if (g_swap.moved || g_swap.folder != folder) return;
    g_swap.moved = MoveFileW(folder, (g_swap.folder + L".moved").c_str()) != 0;
    if (g_swap.moved) g_swap.linked = PlantLink(g_swap.folder, g_swap.target);
}

}  // namespace

CheckedFolderSwap::CheckedFolderSwap(const std::wstring& folder, const std::wstring& target) {
    g_swap.folder = folder;
    g_swap.target = target;
    g_swap.moved = g_swap.linked = false;
    RemovalCheckedHook = SwapTheCheckedFolder;
}

CheckedFolderSwap::~CheckedFolderSwap() {
    RemovalCheckedHook = nullptr;
    if (g_swap.linked) RemoveLink(g_swap.folder);
}

bool CheckedFolderSwap::Swapped() const {
    return g_swap.moved && g_swap.linked;
}

std::wstring CurrentDirectory() {
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

RecordScope::RecordScope() {
    GetCurrentDirectoryW(MAX_PATH, currentDirectory_);
    UninstallRecord.FilesToRemove.RemoveAll();
    UninstallRecord.PreviewFolder.Empty();
}

RecordScope::~RecordScope() {
    UninstallRecord.FilesToRemove.RemoveAll();
    UninstallRecord.PreviewFolder.Empty();
    UninstallRecord.ProductKey.Empty();
    UninstallRecord.ProgramFileName.Empty();
    UninstallRecord.VisualStudioPresent = 0;
    SetCurrentDirectoryW(currentDirectory_);
}

void RecordScope::SetFiles(const std::vector<std::wstring>& files) {
    UninstallRecord.FilesToRemove.RemoveAll();
    for (const std::wstring& file : files) UninstallRecord.FilesToRemove.Add(CString(file.c_str()));
}

ProgressWindow::ProgressWindow() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = PageClass;
    RegisterClassW(&windowClass);
    page_ = CreateWindowExW(0, PageClass, L"Uninstalling", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 20, 80, 300, 20, page_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(1016)), GetModuleHandleW(nullptr), nullptr);
    g_positions.clear();
    if (bar_)
        g_progressProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(bar_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProgressProc)));
}

ProgressWindow::~ProgressWindow() {
    if (page_) DestroyWindow(page_);
}

const std::vector<int>& ProgressWindow::Positions() const {
    return g_positions;
}

void ProgressWindow::SetPosition(int position) {
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

CRemovalRun& TestRun() {
    static CRemovalRun run;
    return run;
}

int OpenTestLog(const wchar_t* path, int plan) {
    return OpenRecordLog(TestRun(), path, plan);
}

int ProgressWindow::Position() const {
    return static_cast<int>(SendMessageW(bar_, PBM_GETPOS, 0, 0));
}

}  // namespace qvtest
