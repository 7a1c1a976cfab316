// The running-application probes against real top-level windows of another
// process, made by WindowHolder.exe.
#include <gtest/gtest.h>

#include "bench/HeldWindows.h"
#include "wizard/RunningApps.h"

namespace {

using qvtest::HeldWindow;
using qvtest::HeldWindows;

struct ProbeCase {
    const char* name;
    HeldWindow window;
    int visualStudio;
    int product;
};

std::wstring TitleWithPhraseAt(size_t index, size_t length) {
    const std::wstring phrase = L"Microsoft Visual Studio";
    std::wstring title(index, L'x');
    title += phrase;
    if (title.size() < length) title += std::wstring(length - title.size(), L'y');
    return title;
}

const ProbeCase ProbeCases[] = {
    {"desked class, visible", {L"wndclass_desked_gsk", L"", true}, 1, 0},
    {"desked class, hidden", {L"wndclass_desked_gsk", L"Solution1", false}, 1, 0},
    {"phrase in a browser title", {L"QvTestBrowserFrame", L"Download - Microsoft Visual Studio - Browser", true}, 1, 0},
    {"phrase in a hidden window", {L"QvTestBrowserFrame", L"Microsoft Visual Studio", false}, 1, 0},
    {"phrase on a thumbnail", {L"QvTestThumbnailClass", L"Microsoft Visual Studio", true}, 0, 0},
    {"thumbnail inside the class name", {L"MSTaskListThumbnailClassWnd", L"Microsoft Visual Studio 2010", true}, 0, 0},
    {"phrase in other case", {L"QvTestBrowserFrame", L"microsoft visual studio", true}, 0, 0},
    {"phrase ends at character 255", {L"QvTestBrowserFrame", TitleWithPhraseAt(232, 300), true}, 1, 0},
    {"phrase beyond character 255", {L"QvTestBrowserFrame", TitleWithPhraseAt(260, 300), true}, 0, 0},
    {"phrase straddles character 255", {L"QvTestBrowserFrame", TitleWithPhraseAt(240, 300), true}, 0, 0},
    {"product window", {L"QVGlyphSmithClass", L"GlyphSmith - drawing1.qvg", true}, 0, 1},
    {"hidden product window", {L"QVGlyphSmithClass", L"", false}, 0, 1},
    {"product class in a longer name", {L"QVGlyphSmithClassic", L"", true}, 0, 0},
};

TEST(RunningApps, NothingRunsInAFreshSession) {
    EXPECT_EQ(IsVisualStudioRunning(), 0);
    EXPECT_EQ(IsProductRunning(), 0);
}

TEST(RunningApps, ProbesFollowWindowClassesAndTitles) {
    for (const ProbeCase& probe : ProbeCases) {
        SCOPED_TRACE(probe.name);
        HeldWindows holder;
        ASSERT_TRUE(holder.Open({probe.window}));
        EXPECT_EQ(IsVisualStudioRunning(), probe.visualStudio);
        EXPECT_EQ(IsProductRunning(), probe.product);
        holder.Close();
        EXPECT_EQ(IsVisualStudioRunning(), 0);
        EXPECT_EQ(IsProductRunning(), 0);
    }
}

TEST(RunningApps, BothApplicationsAndThenOneClosed) {
    HeldWindows holder;
    ASSERT_TRUE(holder.Open(
        {{L"wndclass_desked_gsk", L"Microsoft Visual Studio", false}, {L"QVGlyphSmithClass", L"GlyphSmith", true}}));
    EXPECT_EQ(IsVisualStudioRunning(), 1);
    EXPECT_EQ(IsProductRunning(), 1);
    ASSERT_TRUE(holder.CloseWindowOfClass(L"QVGlyphSmithClass"));
    EXPECT_EQ(IsVisualStudioRunning(), 1);
    EXPECT_EQ(IsProductRunning(), 0);
}

TEST(RunningApps, CallbackSetsTheFlagAndStopsOnlyOnAMatch) {
    HeldWindows holder;
    ASSERT_TRUE(holder.Open({{L"QvTestBrowserFrame", L"Microsoft Visual Studio Express", true},
                             {L"QvTestThumbnailClass", L"Microsoft Visual Studio", true}}));
    HWND match = FindWindowW(L"QvTestBrowserFrame", nullptr);
    HWND thumbnail = FindWindowW(L"QvTestThumbnailClass", nullptr);
    ASSERT_NE(match, nullptr);
    ASSERT_NE(thumbnail, nullptr);

    VisualStudioFound = 0;
    EXPECT_EQ(FindVisualStudioWindow(thumbnail, 0), TRUE);
    EXPECT_EQ(VisualStudioFound, 0);
    EXPECT_EQ(FindVisualStudioWindow(match, 0), FALSE);
    EXPECT_EQ(VisualStudioFound, 1);

    // Every call starts from a cleared flag.
    holder.Close();
    EXPECT_EQ(IsVisualStudioRunning(), 0);
    EXPECT_EQ(VisualStudioFound, 0);
}

}  // namespace
