// The framework's frame window in this process, made from the program's own
// resource 1 (linked into the test): title, icon, menu, the virtual creation
// steps and the end of the message loop when the main window goes away.
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/FrameWnd.h"
#include "framework/WinApp.h"

namespace {

class RecordingFrame : public CFrameWnd {
public:
    int createCalls = 0;
    int creationResult = 0;
    std::wstring createdTitle;
    bool erased = false;

    BOOL Create(const wchar_t* className, const wchar_t* title, DWORD style, const RECT& rect, HWND parent,
                const wchar_t* menuName, DWORD exStyle, void* context) override {
        ++createCalls;
        createdTitle = title;
        return CFrameWnd::Create(className, title, style, rect, parent, menuName, exStyle, context);
    }

protected:
    int OnCreate(CREATESTRUCTW* create) override {
        CFrameWnd::OnCreate(create);
        return creationResult;
    }
};

class FrameWindowTest : public ::testing::Test {
protected:
    CWinApp application;
};

TEST_F(FrameWindowTest, LoadFrameTakesTitleIconAndMenuFromOneResourceId) {
    RecordingFrame frame;
    ASSERT_TRUE(frame.LoadFrame(1, WS_OVERLAPPEDWINDOW, nullptr, nullptr));
    ASSERT_NE(frame.m_hWnd, nullptr);
    EXPECT_EQ(frame.createCalls, 1);
    // String 1 is "Quorvex Installation\nGlyphSmith": the text before the line feed.
    EXPECT_EQ(frame.createdTitle, L"Quorvex Installation");
    wchar_t title[64] = L"";
    GetWindowTextW(frame.m_hWnd, title, 64);
    EXPECT_STREQ(title, L"Quorvex Installation");
    EXPECT_EQ(frame.m_nIDHelp, 1u);
    EXPECT_NE(GetClassLongPtrW(frame.m_hWnd, GCLP_HICON), 0);
    HMENU menu = GetMenu(frame.m_hWnd);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(frame.m_hMenuDefault, menu);
    HMENU file = GetSubMenu(menu, 0);
    ASSERT_NE(file, nullptr);
    const UINT ids[] = {32785, 32786, 32787, 32788};
    ASSERT_EQ(GetMenuItemCount(file), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(GetMenuItemID(file, i), ids[i]);
    DestroyWindow(frame.m_hWnd);
    EXPECT_EQ(frame.m_hWnd, nullptr);
}

TEST_F(FrameWindowTest, TheClassIsRegisteredOnceAndReused) {
    const CString first = CFrameWnd::RegisterFrameClass(1);
    const CString second = CFrameWnd::RegisterFrameClass(1);
    EXPECT_FALSE(first.IsEmpty());
    EXPECT_TRUE(first == second);
}

TEST_F(FrameWindowTest, AFailedCreationStepLeavesNoWindow) {
    RecordingFrame frame;
    frame.creationResult = -1;
    EXPECT_FALSE(frame.LoadFrame(1, WS_OVERLAPPEDWINDOW, nullptr, nullptr));
    EXPECT_EQ(frame.m_hWnd, nullptr);
    EXPECT_EQ(frame.createCalls, 1);
}

TEST_F(FrameWindowTest, AMissingMenuFailsTheCreation) {
    RecordingFrame frame;
    const CString className = CFrameWnd::RegisterFrameClass(1);
    EXPECT_FALSE(frame.Create(className, L"x", WS_OVERLAPPEDWINDOW, CFrameWnd::rectDefault, nullptr,
                              MAKEINTRESOURCEW(4711), 0, nullptr));
    EXPECT_EQ(frame.m_hWnd, nullptr);
}

TEST_F(FrameWindowTest, DestroyingTheMainWindowEndsTheMessageLoopButAnotherWindowDoesNot) {
    RecordingFrame other;
    ASSERT_TRUE(other.LoadFrame(1, WS_OVERLAPPEDWINDOW, nullptr, nullptr));
    RecordingFrame main;
    ASSERT_TRUE(main.LoadFrame(1, WS_OVERLAPPEDWINDOW, nullptr, nullptr));
    application.m_hMainWnd = main.m_hWnd;

    MSG message;
    DestroyWindow(other.m_hWnd);
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    DestroyWindow(main.m_hWnd);
    EXPECT_EQ(application.m_hMainWnd, nullptr);
    // Run() leaves its loop on the posted WM_QUIT and returns ExitInstance().
    EXPECT_EQ(application.Run(), 0);
}

struct SeenMessageBox {
    HWND owner = nullptr;
    bool ownerEnabled = true;
    bool found = false;
};

// Waits on another thread for the message box of this process, notes its
// owner while it is open, and answers it.
DWORD WINAPI AnswerMessageBox(void* parameter) {
    auto* seen = static_cast<SeenMessageBox*>(parameter);
    const DWORD deadline = GetTickCount() + 20000;
    HWND box = nullptr;
    while (!box && GetTickCount() < deadline) {
        box = FindWindowW(L"#32770", L"Installation");
        if (!box) Sleep(10);
    }
    if (!box) return 0;
    seen->found = true;
    seen->owner = GetWindow(box, GW_OWNER);
    seen->ownerEnabled = seen->owner && IsWindowEnabled(seen->owner);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return 0;
}

// The page that the main window owns, not whichever window is active, owns
// the message box: the page is disabled while the box is open, so a second
// Next cannot stack a second box.
TEST_F(FrameWindowTest, MessageBoxesBelongToTheMainWindowsOpenPageWhicheverWindowIsActive) {
    RecordingFrame main;
    ASSERT_TRUE(main.LoadFrame(1, WS_OVERLAPPEDWINDOW, nullptr, nullptr));
    application.m_hMainWnd = main.m_hWnd;
    HWND page = CreateWindowExW(0, L"STATIC", L"page", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, main.m_hWnd, nullptr,
                                nullptr, nullptr);
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 80, 10, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_TRUE(page && other);
    SetActiveWindow(page);
    SetActiveWindow(other);
    ASSERT_EQ(GetActiveWindow(), other);
    ASSERT_EQ(AfxGetMessageBoxOwner(), page);

    SeenMessageBox seen;
    HANDLE answerer = CreateThread(nullptr, 0, AnswerMessageBox, &seen, 0, nullptr);
    ASSERT_NE(answerer, nullptr);
    EXPECT_EQ(AfxMessageBox(L"The repair program cannot be found."), IDOK);
    WaitForSingleObject(answerer, INFINITE);
    CloseHandle(answerer);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.owner, page);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(page)) << "enabled again when the box is gone";

    DestroyWindow(other);
    DestroyWindow(page);
    DestroyWindow(main.m_hWnd);
    // Before there is a main window, the active window owns it.
    EXPECT_EQ(AfxGetMessageBoxOwner(), GetActiveWindow());
}

}  // namespace
