// Page 103 shown in this process (its template is linked in) against a
// sample installation: the start countdown, the progress positions of the
// removal sequence, and the message pump between its steps.
#include <gtest/gtest.h>

// windows.h must come before commctrl.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <vector>

#include "bench/SampleInstallation.h"
#include "bench/TestFiles.h"
#include "wizard/PageLook.h"
#include "wizard/ScreenResources.h"
#include "wizard/UninstallPage.h"
#include "wizard/UninstallRecord.h"

namespace {

CStartupFailure IgnoredFailure;  // the tests here read complete records

using namespace qvtest;

// What the page did, seen through this thread's message hooks.
struct PageTrace {
    std::vector<int> positions;  // every PBM_SETPOS sent to the progress bar
    int ticksBeforeStart = -1;   // timer ticks the page had taken when the start command came
    int ticks = 0;
    int startCommands = 0;
    bool postOkAtForty = false;  // ask the page to end while the removal runs
};

PageTrace* g_trace = nullptr;

LRESULT CALLBACK OnSentMessage(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_trace && sent->message == PBM_SETPOS && GetDlgCtrlID(sent->hwnd) == ProgressBarId) {
        g_trace->positions.push_back(static_cast<int>(sent->wParam));
        if (g_trace->postOkAtForty && sent->wParam == 40)
            PostMessageW(GetParent(sent->hwnd), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK OnTakenMessage(int code, WPARAM wParam, LPARAM lParam) {
    const auto* taken = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && g_trace && wParam == PM_REMOVE && taken->hwnd && !GetParent(taken->hwnd)) {
        if (taken->message == WM_TIMER) ++g_trace->ticks;
        if (taken->message == WM_COMMAND && taken->wParam == StartRemovalCommand) {
            if (g_trace->startCommands++ == 0) g_trace->ticksBeforeStart = g_trace->ticks;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class UninstallPage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CreateScreenResources();
        CreateBannerResources();
    }

    void SetUp() override {
        RemoveSampleInstallation(sample);
        std::wstring error;
        ASSERT_TRUE(LayOutSampleInstallation(sample, &error)) << Narrow(error);
        UninstallRecord.FilesToRemove.RemoveAll();
        UninstallRecord.ExeFolder = InstallFolderOf(sample).c_str();
        ASSERT_EQ(ReadUninstallRecord(IgnoredFailure), 1);
        StartCountdown = 0;
    }

    void TearDown() override { RemoveSampleInstallation(sample); }

    // Shows the page modally, as the main window does, and traces it.
    INT_PTR ShowTraced(PageTrace& trace) {
        g_trace = &trace;
        HHOOK sent = SetWindowsHookExW(WH_CALLWNDPROC, OnSentMessage, nullptr, GetCurrentThreadId());
        HHOOK taken = SetWindowsHookExW(WH_GETMESSAGE, OnTakenMessage, nullptr, GetCurrentThreadId());
        const INT_PTR result =
            DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), nullptr, UninstallPageProc, 0);
        UnhookWindowsHookEx(taken);
        UnhookWindowsHookEx(sent);
        g_trace = nullptr;
        return result;
    }

    SampleInstallation sample;
};

void ExpectRemovalPositions(const std::vector<int>& positions) {
    ASSERT_GE(positions.size(), 8u);
    const std::vector<int> head(positions.begin(), positions.begin() + 5);
    EXPECT_EQ(head, (std::vector<int>{10, 10, 40, 60, 70}));
    const std::vector<int> tail(positions.end() - 3, positions.end());
    EXPECT_EQ(tail, (std::vector<int>{100, 100, 100}));
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
}

TEST_F(UninstallPage, RemovalStartsOnTheTenthTickRunsOnceAndMovesTheBarForward) {
    PageTrace trace;
    EXPECT_EQ(ShowTraced(trace), 1);
    EXPECT_EQ(trace.ticksBeforeStart, 10);
    EXPECT_EQ(trace.startCommands, 1);
    EXPECT_EQ(StartCountdown, StartTicks);
    ExpectRemovalPositions(trace.positions);
    // The preview folder moved the bar on between 70 and the final 100s.
    EXPECT_GT(trace.positions.size(), 8u);
    for (const std::wstring& file : ListedFilesOf(sample)) EXPECT_FALSE(PathExists(file)) << Narrow(file);
    EXPECT_FALSE(PathExists(PreviewFolderOf(sample)));
}

TEST_F(UninstallPage, WithoutAPreviewFolderTheBarGoesFromSeventyToOneHundred) {
    UninstallRecord.PreviewFolder.Empty();
    PageTrace trace;
    EXPECT_EQ(ShowTraced(trace), 1);
    EXPECT_EQ(trace.positions, (std::vector<int>{10, 10, 40, 60, 70, 100, 100, 100}));
}

TEST_F(UninstallPage, EndingThePageDuringTheRemovalLetsTheSequenceFinish) {
    PageTrace trace;
    trace.postOkAtForty = true;
    EXPECT_EQ(ShowTraced(trace), 1);
    EXPECT_EQ(trace.startCommands, 1);
    ExpectRemovalPositions(trace.positions);
}

LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(PumpMessages, DispatchesAtMostTenPendingMessagesWithoutWaiting) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CountingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QvTestPumpCounter";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"QvTestPumpCounter", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    int dispatched = 0;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dispatched));
    MSG stray;
    while (PeekMessageW(&stray, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&stray);

    for (int i = 0; i < 15; ++i) PostMessageW(window, WM_APP, 0, 0);
    PumpMessages();
    EXPECT_EQ(dispatched, 10);
    PumpMessages();
    EXPECT_EQ(dispatched, 15);
    // An empty queue: returns at once and dispatches nothing.
    PumpMessages();
    EXPECT_EQ(dispatched, 15);
    DestroyWindow(window);
}

}  // namespace
