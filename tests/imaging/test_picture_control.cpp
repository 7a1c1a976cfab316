// The picture control: a static control on a real window taken over by
// CQvPicture, sized to its rendered picture, animated by its timer.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "bench/Driver.h"
#include "bench/TestFiles.h"
#include "framework/Wnd.h"
#include "imaging/PictureControl.h"
#include "imaging/QvPicture.h"
#include "support/ScreenScale.h"

namespace {

constexpr int PictureId = 1088;
// The colour the pictures are told lies under them, unlike any page's.
constexpr COLORREF PageColour = RGB(10, 200, 30);

RECT RectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A page-like top-level window holding one static control with the text.
class PictureControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedScale_ = ScreenScale;
        ScreenScale = 1.0;
        page_ = CreateWindowExW(0, L"#32770", L"Pictures", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr,
                                nullptr, nullptr, nullptr);
        ASSERT_NE(page_, nullptr);
    }
    void TearDown() override {
        if (page_) DestroyWindow(page_);
        ScreenScale = savedScale_;
    }

    HWND AddStatic(const wchar_t* text, int x = 20, int y = 40, int width = 30, int height = 20) {
        return CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOPREFIX, x, y, width, height,
                               page_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(PictureId)), nullptr, nullptr);
    }

    void Paint(HWND control) {
        InvalidateRect(control, nullptr, TRUE);
        UpdateWindow(control);
    }

    double savedScale_ = 0.0;
    HWND page_ = nullptr;
};

TEST_F(PictureControlTest, TakesOverTheControlAndSizesItToThePicture) {
    HWND control = AddStatic(L"IMAGE|up|1");
    CQvPicture* picture = AttachPictureControl(page_, PictureId, PageColour);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(control), picture);
    EXPECT_STREQ(picture->GetRuntimeClassName(), L"CQvPicture");
    EXPECT_TRUE(picture->HasImage());
    EXPECT_STREQ(picture->Name(), L"up");
    EXPECT_EQ(picture->TimerId(), 0u);
    const RECT rect = RectInParent(control);
    EXPECT_EQ(rect.left, 20);
    EXPECT_EQ(rect.top, 41);  // an even top edge moves down by one
    EXPECT_EQ(rect.right - rect.left, 24);
    EXPECT_EQ(rect.bottom - rect.top, 25);
    EXPECT_TRUE(IsWindowVisible(control));
    EXPECT_EQ(AttachPictureControl(page_, 4242, PageColour), nullptr);
}

TEST_F(PictureControlTest, PaintsThePictureFromTheTopLeftCorner) {
    HWND control = AddStatic(L"IMAGE|frames|1");
    CQvPicture* picture = AttachPictureControl(page_, PictureId, PageColour);
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->IsPainted());
    Paint(control);
    EXPECT_TRUE(picture->IsPainted());
    // One frame: the whole 96-pixel strip, red first.
    EXPECT_EQ(picture->FrameWidth(), 96);
    HDC dc = GetDC(control);
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 90, 5), RGB(255, 255, 0));
    ReleaseDC(control, dc);
}

TEST_F(PictureControlTest, BlendsThePictureOverThePageColourItIsGiven) {
    HWND control = AddStatic(L"IMAGE|up|1");
    CQvPicture* picture = AttachPictureControl(page_, PictureId, PageColour);
    ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(picture->HasImage());
    Paint(control);
    ASSERT_TRUE(picture->IsPainted());
    HDC dc = GetDC(control);
    // The round picture leaves its corners transparent; its middle is drawn.
    EXPECT_EQ(GetPixel(dc, 0, 0), PageColour);
    EXPECT_NE(GetPixel(dc, 12, 20), PageColour);
    ReleaseDC(control, dc);
}

TEST_F(PictureControlTest, MissingOrBrokenPicturesLeaveABlankControl) {
    for (const wchar_t* text : {L"IMAGE|nosuch|1", L"IMAGE|not_svg|1", L"IMAGE|empty_svg|1", L"IMAGE|random_bytes|1",
                                L"IMAGE|huge|1", L"IMAGE||1", L"IMAGE", L"", L"garbage without bars"}) {
        HWND control = AddStatic(text, 20, 40, 30, 20);
        CQvPicture* picture = AttachPictureControl(page_, PictureId, PageColour);
        ASSERT_NE(picture, nullptr) << qvtest::Narrow(text);
        EXPECT_FALSE(picture->HasImage()) << qvtest::Narrow(text);
        EXPECT_EQ(picture->TimerId(), 0u);
        const RECT rect = RectInParent(control);
        EXPECT_EQ(rect.top, 41);
        EXPECT_EQ(rect.right - rect.left, 30) << "keeps its template width";
        EXPECT_EQ(rect.bottom - rect.top, 21) << "the height made odd";
        Paint(control);
        EXPECT_TRUE(picture->IsPainted());
        DestroyWindow(control);
    }
}

TEST_F(PictureControlTest, OddTextsGiveASanePicture) {
    const struct {
        const wchar_t* text;
        bool image;
        int frames, interval, frame;
    } cases[] = {
        {L"IMAGE|frames|1|4|0|2", true, 4, 0, 2},
        {L"IMAGE|frames|anything|4|0|3", true, 4, 0, 3},
        {L"IMAGE|frames|1|0", true, 1, 0, 0},
        {L"IMAGE|frames|1|-3|0|0", true, 1, 0, 0},
        {L"IMAGE|frames|1|x4|y|z", true, 1, 0, 0},
        {L"IMAGE|frames|1|  +2abc|0|1", true, 2, 0, 1},
        {L"IMAGE|frames|1|4|0|-1", true, 4, 0, 0},
        {L"IMAGE|frames|1|4|0|4", true, 4, 0, 0},
        {L"IMAGE|frames|1|4|0|99999999999999", true, 4, 0, 0},
        {L"IMAGE|frames|1|4|-50|1", true, 4, 0, 1},
        {L"IMAGE|frames|1|97", false, 97, 0, 0},  // more frames than columns
        {L"IMAGE|frames|1|99999999999999999999", false, 2147483647, 0, 0},
    };
    for (const auto& c : cases) {
        HWND control = AddStatic(c.text);
        CQvPicture* picture = AttachPictureControl(page_, PictureId, PageColour);
        ASSERT_NE(picture, nullptr) << qvtest::Narrow(c.text);
        EXPECT_EQ(picture->HasImage(), c.image) << qvtest::Narrow(c.text);
        EXPECT_EQ(picture->FrameCount(), c.frames) << qvtest::Narrow(c.text);
        EXPECT_EQ(picture->Interval(), c.interval) << qvtest::Narrow(c.text);
        EXPECT_EQ(picture->FrameIndex(), c.frame) << qvtest::Narrow(c.text);
        if (c.image) {
            EXPECT_EQ(picture->FrameWidth(), 96 / c.frames);
            EXPECT_EQ(RectInParent(control).right - RectInParent(control).left, 96 / c.frames);
        }
        Paint(control);
        SendMessageW(control, WM_TIMER, 1, 0);
        EXPECT_GE(picture->FrameIndex(), 0);
        EXPECT_LT(picture->FrameIndex(), picture->FrameCount());
        DestroyWindow(control);
    }
}

TEST_F(PictureControlTest, AnimationAdvancesOnlyAfterTheFirstPaint) {
    HWND control = AddStatic(L"IMAGE|frames|1|4|100");
    CQvPicture* picture = AttachPictureControl(page_, PictureId, PageColour);
    ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(picture->HasImage());
    EXPECT_NE(picture->TimerId(), 0u);
    EXPECT_EQ(picture->FrameWidth(), 24);
    EXPECT_EQ(RectInParent(control).right - RectInParent(control).left, 24);

    // Timer events before the first paint change nothing.
    SendMessageW(control, WM_TIMER, 1, 0);
    SendMessageW(control, WM_TIMER, 1, 0);
    EXPECT_EQ(picture->FrameIndex(), 0);
    EXPECT_FALSE(picture->HasBackground());

    Paint(control);
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};
    HDC dc = GetDC(control);
    EXPECT_EQ(GetPixel(dc, 12, 12), colours[0]);
    const int expected[] = {1, 2, 3, 0, 1};
    for (int frame : expected) {
        SendMessageW(control, WM_TIMER, 1, 0);
        EXPECT_EQ(picture->FrameIndex(), frame);
        EXPECT_TRUE(picture->HasBackground());
        EXPECT_EQ(GetPixel(dc, 12, 12), colours[frame]) << "frame " << frame;
    }
    ReleaseDC(control, dc);

    // The control's own timer drives it too.
    const int now = picture->FrameIndex();
    EXPECT_TRUE(qvtest::WaitUntil([&] { return picture->FrameIndex() != now; }));
}

TEST_F(PictureControlTest, TheObjectGoesWithItsWindow) {
    HWND control = AddStatic(L"IMAGE|frames|1|4|100");
    CQvPicture* picture = AttachPictureControl(page_, PictureId, PageColour);
    ASSERT_NE(picture, nullptr);
    Paint(control);
    SendMessageW(control, WM_TIMER, 1, 0);
    ASSERT_EQ(CWnd::FromHandlePermanent(control), picture);
    DestroyWindow(page_);
    page_ = nullptr;
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(CWnd::FromHandlePermanent(control), nullptr);
}

// The framework's subclassing on its own: unhandled messages reach the
// original procedure, a second object can't take the same window.
class CountingWnd : public CWnd {
public:
    int seen = 0;
    bool* destroyed = nullptr;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        ++seen;
        return CWnd::WindowProc(message, wParam, lParam);
    }
    void PostNcDestroy() override {
        if (destroyed) *destroyed = true;
    }
};

TEST_F(PictureControlTest, SubclassingForwardsToTheOriginalProcedure) {
    HWND control = AddStatic(L"original text");
    CountingWnd object;
    bool destroyed = false;
    object.destroyed = &destroyed;
    ASSERT_TRUE(object.SubclassDlgItem(PictureId, page_));
    EXPECT_EQ(object.m_hWnd, control);
    CountingWnd second;
    EXPECT_FALSE(second.SubclassWindow(control));
    EXPECT_FALSE(second.SubclassDlgItem(4242, page_));

    wchar_t text[64] = L"";
    GetWindowTextW(control, text, 64);
    EXPECT_STREQ(text, L"original text");
    EXPECT_GT(object.seen, 0);
    SetWindowTextW(control, L"changed");
    GetWindowTextW(control, text, 64);
    EXPECT_STREQ(text, L"changed");

    DestroyWindow(control);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(object.m_hWnd, nullptr);
}

}  // namespace
