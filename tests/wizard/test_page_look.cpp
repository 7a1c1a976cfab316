// The common page look at the screen's dpi: every wizard page opened with its
// own dialog procedure, compared with the same template left alone; banner
// and footer painted into a memory context and read back. CTest runs
// this program at 96 dpi in the shared prefix and at 120, 144 and 192 dpi in
// prefixes of their own (run-at-dpi), with QV_EXPECTED_DPI set.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "bench/Driver.h"
#include "bench/RealPages.h"
#include "bench/TestFiles.h"
#include "framework/Wnd.h"
#include "imaging/QvPicture.h"
#include "resources/resource.h"
#include "support/ScreenScale.h"
#include "wizard/PageLook.h"
#include "wizard/ScreenResources.h"
#include "wizard/UninstallRecord.h"

namespace {

using qvtest::RealPages;

// What each screen scale gives, worked out by hand: the scale, the band
// heights, the five fonts' heights (rounded to the nearest pixel), and a
// point inside the banner's icon and one inside the maker's logo.
struct DpiExpectation {
    int dpi;
    double scale;
    int banner, footer;
    int bodyFont, headingFont, bannerTitleFont, bannerLineFont;
    POINT icon;  // from the client area's right edge, from its top
    POINT logo;  // from the client area's left edge, from the footer's top
};

const DpiExpectation Expectations[] = {
    {96, 1.0, 58, 50, -12, -17, -21, -14, {36, 29}, {30, 23}},
    {120, 1.25, 72, 62, -15, -21, -26, -18, {45, 36}, {37, 28}},
    {144, 1.5, 87, 75, -18, -26, -32, -21, {54, 43}, {45, 34}},
    {192, 2.0, 116, 100, -24, -34, -42, -28, {72, 58}, {60, 46}},
};

const DpiExpectation* ExpectationFor(int dpi) {
    for (const auto& e : Expectations)
        if (e.dpi == dpi) return &e;
    return nullptr;
}

class PageLookEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        UninstallRecord.AppDisplayName = L"Quorvex GlyphSmith Test";
        CreateScreenResources();
        CreateBannerResources();
    }
};
const auto* const Environment = ::testing::AddGlobalTestEnvironment(new PageLookEnvironment);

INT_PTR CALLBACK PlainPageProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

std::vector<HWND> Children(HWND page) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

RECT RectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT WorkArea() {
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}

// The page itself stays hidden in these tests, so a control's own style tells
// whether it shows.
bool Shown(HWND control) {
    return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

// Every page is opened hidden once per process, with its real procedure and
// left alone, and kept until the end: opening and closing top-level windows is
// slow under Wine without a window manager.
struct OpenedPages {
    std::map<int, std::unique_ptr<qvtest::RealPageWindow>> real;
    std::map<int, HWND> plain;
};
OpenedPages& Opened() {
    static OpenedPages pages;
    return pages;
}

class PageLookTest : public ::testing::Test {
protected:
    void SetUp() override {
        expected_ = ExpectationFor(ScreenDpi);
        ASSERT_NE(expected_, nullptr) << "no expectations for " << ScreenDpi << " dpi";
        if (const char* wanted = std::getenv("QV_EXPECTED_DPI")) ASSERT_EQ(ScreenDpi, std::atoi(wanted));
    }
    static void TearDownTestSuite() {
        Opened().real.clear();
        for (auto& entry : Opened().plain)
            if (IsWindow(entry.second)) DestroyWindow(entry.second);
        Opened().plain.clear();
    }
    HWND Open(int templateId, bool prepared) {
        if (!prepared) {
            HWND& page = Opened().plain[templateId];
            if (!page) page = qvtest::OpenHiddenDialog(templateId, nullptr, PlainPageProc);
            return page;
        }
        auto& page = Opened().real[templateId];
        if (!page) page.reset(new qvtest::RealPageWindow(templateId, nullptr));
        return page->Get();
    }

    const DpiExpectation* expected_ = nullptr;
};

TEST_F(PageLookTest, ScreenResourcesFollowTheDpi) {
    EXPECT_DOUBLE_EQ(ScreenScale, expected_->scale);
    const struct {
        HFONT font;
        int height, weight;
    } fonts[] = {
        {BodyFont.Get(), expected_->bodyFont, 400},
        {BoldFont.Get(), expected_->bodyFont, 700},
        {HeadingFont.Get(), expected_->headingFont, 500},
        {BannerTitleFont.Get(), expected_->bannerTitleFont, 400},
        {BannerLineFont.Get(), expected_->bannerLineFont, 400},
    };
    for (const auto& f : fonts) {
        LOGFONTW log = {};
        ASSERT_EQ(GetObjectW(f.font, sizeof(log), &log), static_cast<int>(sizeof(log)));
        EXPECT_EQ(log.lfHeight, f.height);
        EXPECT_EQ(log.lfWeight, f.weight);
        EXPECT_EQ(log.lfCharSet, DEFAULT_CHARSET);
        EXPECT_FALSE(log.lfItalic || log.lfUnderline || log.lfStrikeOut);
    }
    LOGFONTW body = {};
    GetObjectW(BodyFont.Get(), sizeof(body), &body);
    EXPECT_STREQ(body.lfFaceName, L"Segoe UI");
    LOGBRUSH brush = {};
    ASSERT_TRUE(GetObjectW(PageBackgroundBrush.Get(), sizeof(brush), &brush));
    EXPECT_EQ(brush.lbColor, RGB(250, 250, 250));
}

TEST_F(PageLookTest, BannerFaceIsOpenSansOnlyWhenItsFileIsInstalled) {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring fontFile = std::wstring(windows) + L"\\Fonts\\OpenSans-Regular.ttf";
    DeleteFileW(fontFile.c_str());
    EXPECT_STREQ(ChooseBannerFace(), L"Segoe UI");
    ASSERT_TRUE(qvtest::WriteFileBytes(fontFile, "not really a font"));
    EXPECT_STREQ(ChooseBannerFace(), L"Open Sans");
    DeleteFileW(fontFile.c_str());
    EXPECT_STREQ(ChooseBannerFace(), L"Segoe UI");
}

// The enlargement on a window of known size: 12 percent, truncated, for the
// window and each child, and the main buttons (1, 2, 3, 1001 and 1020) a
// further 5 pixels lower at the top and 3 at the bottom.
TEST_F(PageLookTest, EnlargementIsTwelvePercentAndMovesTheMainButtonsDown) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 333, 211, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const struct {
        int id;
        RECT expected;
    } children[] = {
        {1, {28, 41, 146, 55}},    {2, {28, 41, 146, 55}},    {3, {28, 41, 146, 55}},    {1001, {28, 41, 146, 55}},
        {1020, {28, 41, 146, 55}}, {1013, {28, 36, 146, 52}}, {1034, {28, 36, 146, 52}}, {4242, {28, 36, 146, 52}},
    };
    for (const auto& c : children)
        ASSERT_NE(CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 25, 33, 106, 14, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr, nullptr),
                  nullptr);
    EnlargeWindow(window, false);
    ScaleChildControls(window);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(Width(rect), 372);
    EXPECT_EQ(Height(rect), 236);
    for (const auto& c : children) {
        const RECT placed = RectInParent(GetDlgItem(window, c.id));
        EXPECT_EQ(placed.left, c.expected.left) << "control " << c.id;
        EXPECT_EQ(placed.top, c.expected.top) << "control " << c.id;
        EXPECT_EQ(placed.right, c.expected.right) << "control " << c.id;
        EXPECT_EQ(placed.bottom, c.expected.bottom) << "control " << c.id;
    }
    DestroyWindow(window);
}

// Every page and each of its controls is enlarged once, as a copy of the
// page left alone is by the enlargement above.
TEST_F(PageLookTest, EveryPageIsEnlargedWithEachOfItsControls) {
    for (const auto& real : RealPages) {
        const int templateId = real.templateId;
        SCOPED_TRACE("template " + std::to_string(templateId));
        HWND page = Open(templateId, true);
        HWND enlarged = qvtest::OpenHiddenDialog(templateId, nullptr, PlainPageProc);
        ASSERT_TRUE(enlarged && page);
        EnlargeWindow(enlarged, false);
        ScaleChildControls(enlarged);
        // Preparing never shows the page: the dialog manager does, afterwards.
        EXPECT_FALSE(IsWindowVisible(page));
        RECT enlargedRect, pageRect;
        GetWindowRect(enlarged, &enlargedRect);
        GetWindowRect(page, &pageRect);
        EXPECT_EQ(Width(pageRect), Width(enlargedRect));
        EXPECT_EQ(Height(pageRect), Height(enlargedRect));

        const std::vector<HWND> enlargedChildren = Children(enlarged);
        const std::vector<HWND> children = Children(page);
        ASSERT_EQ(children.size(), enlargedChildren.size());
        for (size_t i = 0; i < children.size(); ++i) {
            const int id = GetDlgCtrlID(children[i]);
            ASSERT_EQ(id, GetDlgCtrlID(enlargedChildren[i]));
            if (id == IDC_PICTURE || id == IDC_PICTURE2) continue;
            const RECT expected = RectInParent(enlargedChildren[i]);
            const RECT placed = RectInParent(children[i]);
            EXPECT_EQ(placed.left, expected.left) << "control " << id;
            EXPECT_EQ(placed.top, expected.top) << "control " << id;
            EXPECT_EQ(placed.right, expected.right) << "control " << id;
            EXPECT_EQ(placed.bottom, expected.bottom) << "control " << id;
        }
        DestroyWindow(enlarged);
    }
}

// Centring on the test display's work area (the whole 1280 x 1024 screen):
// a window that fits lies in the middle, half pixels dropped towards the
// top left; a larger one starts at the area's top left corner.
TEST_F(PageLookTest, CentringInTheWorkArea) {
    const RECT area = WorkArea();
    ASSERT_EQ(area.left, 0);
    ASSERT_EQ(area.top, 0);
    ASSERT_EQ(area.right, 1280);
    ASSERT_EQ(area.bottom, 1024);
    const struct {
        int width, height;
        POINT expected;
    } cases[] = {
        {101, 51, {589, 486}},
        {1480, 1124, {0, 0}},
    };
    for (const auto& c : cases) {
        HWND window =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 5, 5, c.width, c.height, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        CenterInWorkArea(window);
        RECT rect;
        GetWindowRect(window, &rect);
        EXPECT_EQ(rect.left, c.expected.x) << c.width << " x " << c.height;
        EXPECT_EQ(rect.top, c.expected.y) << c.width << " x " << c.height;
        EXPECT_EQ(Width(rect), c.width) << "the size stays";
        EXPECT_EQ(Height(rect), c.height) << "the size stays";
        DestroyWindow(window);
    }
}

// Each page but the exit confirmation lies where the centring above puts a
// window of its size; the exit confirmation stays at its template place.
TEST_F(PageLookTest, PagesAreCentredInTheWorkAreaButTheExitConfirmationIsNot) {
    for (const auto& real : RealPages) {
        const int templateId = real.templateId;
        SCOPED_TRACE("template " + std::to_string(templateId));
        HWND page = Open(templateId, true);
        ASSERT_NE(page, nullptr);
        RECT rect;
        GetWindowRect(page, &rect);
        RECT expected;
        if (templateId == IDD_EXIT_CONFIRM) {
            GetWindowRect(Open(templateId, false), &expected);
        } else {
            HWND same = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 5, 5, Width(rect), Height(rect), nullptr, nullptr,
                                        nullptr, nullptr);
            ASSERT_NE(same, nullptr);
            CenterInWorkArea(same);
            GetWindowRect(same, &expected);
            DestroyWindow(same);
        }
        EXPECT_EQ(rect.left, expected.left);
        EXPECT_EQ(rect.top, expected.top);
    }
}

TEST_F(PageLookTest, TitlesAndFonts) {
    const struct {
        int templateId;
        const wchar_t* title;
        std::vector<int> bold;
    } pages[] = {
        {IDD_MAINTENANCE, L"Quorvex GlyphSmith Test - Setup", {IDC_INTRO, IDC_UNINSTALL, IDC_REPAIR}},
        {IDD_ACTION_REQUIRED, L"Quorvex GlyphSmith Test - Setup", {IDC_VS_LINE, IDC_PRODUCT_LINE}},
        {IDD_UNINSTALLING, L"Uninstalling Quorvex GlyphSmith Test...", {}},
        {IDD_SUCCESS, L"Uninstallation Successfully Completed", {IDC_SUBHEADING}},
        {IDD_ERROR, L"Error during uninstallation", {IDC_SUBHEADING}},
        {IDD_EXIT_CONFIRM, L" Exit Setup", {}},
    };
    for (const auto& p : pages) {
        SCOPED_TRACE("template " + std::to_string(p.templateId));
        HWND page = Open(p.templateId, true);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(qvtest::WindowText(page), p.title);
        for (HWND child : Children(page)) {
            const int id = GetDlgCtrlID(child);
            // The separators are black rectangles without text (and without font).
            if (id == IDC_SEPARATOR_TOP || id == IDC_SEPARATOR_BOTTOM) continue;
            HFONT expected = BodyFont.Get();
            if (id == IDC_HEADING) expected = HeadingFont.Get();
            for (int bold : p.bold)
                if (bold == id) expected = BoldFont.Get();
            EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)), expected) << "control " << id;
            // Bold lines are what the page is about: none of them is hidden.
            if (expected == BoldFont.Get()) {
                EXPECT_TRUE(Shown(child)) << "control " << id;
            }
        }
    }
    HWND confirmation = Open(IDD_EXIT_CONFIRM, true);
    EXPECT_EQ(qvtest::ControlText(confirmation, IDC_INTRO),
              L"Are you sure you want to quit the Setup procedure for Quorvex GlyphSmith Test?");
}

// Paints the page's background into a memory context of its client size.
class PaintedPage {
public:
    explicit PaintedPage(HWND page) : page_(page) {
        GetClientRect(page, &client_);
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, Width(client_), Height(client_));
        ReleaseDC(nullptr, screen);
        previous_ = SelectObject(dc_, bitmap_);
        painted_ = SendMessageW(page, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc_), 0);
    }
    ~PaintedPage() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
    const RECT& Client() const { return client_; }
    LRESULT Painted() const { return painted_; }

private:
    HWND page_;
    RECT client_ = {};
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    LRESULT painted_ = 0;
};

TEST_F(PageLookTest, BannerAndFooterBandsAtTheScreensScale) {
    const COLORREF band = RGB(96, 96, 96), body = RGB(250, 250, 250), footer = RGB(240, 240, 240),
                   line = RGB(200, 200, 200);
    for (int templateId : {IDD_MAINTENANCE, IDD_ACTION_REQUIRED, IDD_UNINSTALLING, IDD_SUCCESS, IDD_ERROR}) {
        SCOPED_TRACE("template " + std::to_string(templateId));
        HWND page = Open(templateId, true);
        ASSERT_NE(page, nullptr);
        const PaintedPage painted(page);
        EXPECT_NE(painted.Painted(), 0);
        const int right = painted.Client().right - 3;
        const int bottom = painted.Client().bottom;
        EXPECT_EQ(painted.At(right, 0), band);
        EXPECT_EQ(painted.At(right, expected_->banner - 1), band);
        EXPECT_EQ(painted.At(right, expected_->banner), body);
        EXPECT_EQ(painted.At(right, bottom - expected_->footer - 1), body);
        EXPECT_EQ(painted.At(right, bottom - expected_->footer), line);
        EXPECT_EQ(painted.At(right, bottom - expected_->footer + 1), footer);
        EXPECT_EQ(painted.At(right, bottom - 1), footer);
        // The product icon sits at the banner's right end, the maker's logo
        // at the footer's left end.
        EXPECT_NE(painted.At(painted.Client().right - expected_->icon.x, expected_->icon.y), band);
        EXPECT_NE(painted.At(expected_->logo.x, bottom - expected_->footer + expected_->logo.y), footer);
        EXPECT_FALSE(Shown(GetDlgItem(page, IDC_SEPARATOR_TOP)));
        EXPECT_FALSE(Shown(GetDlgItem(page, IDC_SEPARATOR_BOTTOM)));
    }
    HWND confirmation = Open(IDD_EXIT_CONFIRM, true);
    const PaintedPage painted(confirmation);
    EXPECT_NE(painted.Painted(), 0);
    EXPECT_EQ(painted.At(painted.Client().right - 3, 0), body);
    EXPECT_EQ(painted.At(painted.Client().right - 3, painted.Client().bottom - 1), body);
}

// The listed controls, and no others, hold their rendered pictures and have
// taken their size: one frame wide, one pixel taller (an odd height).
TEST_F(PageLookTest, EachPageShowsItsPicturesAtTheirRenderedSize) {
    using Picture = std::tuple<int, int, std::wstring>;  // template, control, picture name
    const std::vector<Picture> expected = {
        {IDD_MAINTENANCE, IDC_PICTURE, L"up"},        {IDD_MAINTENANCE, IDC_PICTURE2, L"ok"},
        {IDD_SUCCESS, IDC_PICTURE, L"ok_large"},      {IDD_ERROR, IDC_PICTURE, L"err_large"},
        {IDD_EXIT_CONFIRM, IDC_PICTURE, L"question"},
    };
    std::vector<Picture> found;
    for (const auto& real : RealPages) {
        HWND page = Open(real.templateId, true);
        ASSERT_NE(page, nullptr);
        for (HWND child : Children(page)) {
            const CWnd* object = CWnd::FromHandlePermanent(child);
            if (!object || std::wstring(object->GetRuntimeClassName()) != L"CQvPicture") continue;
            const auto* picture = static_cast<const CQvPicture*>(object);
            const int id = GetDlgCtrlID(child);
            found.emplace_back(real.templateId, id, picture->Name().GetString());
            SCOPED_TRACE("template " + std::to_string(real.templateId) + " control " + std::to_string(id));
            EXPECT_TRUE(picture->HasImage());
            const RECT rect = RectInParent(child);
            EXPECT_EQ(Width(rect), picture->FrameWidth());
            EXPECT_EQ(Height(rect), picture->ImageHeight() + 1);
        }
    }
    EXPECT_EQ(found, expected);
}

TEST_F(PageLookTest, StaticControlColours) {
    HWND page = Open(IDD_MAINTENANCE, true);
    ASSERT_NE(page, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    const struct {
        int id;
        COLORREF text;
        int mode;
    } cases[] = {
        {IDC_HEADING, RGB(40, 110, 181), OPAQUE},
        {IDC_UNINSTALL, RGB(1, 2, 3), OPAQUE},
        {IDC_REPAIR, RGB(1, 2, 3), OPAQUE},
        {IDC_INTRO, RGB(48, 48, 48), TRANSPARENT},
        {IDC_DESCRIPTION, RGB(48, 48, 48), TRANSPARENT},
    };
    for (const auto& c : cases) {
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkColor(dc, RGB(4, 5, 6));
        SetBkMode(dc, OPAQUE);
        EXPECT_EQ(ColorStaticControl(page, dc, GetDlgItem(page, c.id)), PageBackgroundBrush.Get());
        EXPECT_EQ(GetTextColor(dc), c.text) << "control " << c.id;
        EXPECT_EQ(GetBkColor(dc), RGB(250, 250, 250)) << "control " << c.id;
        EXPECT_EQ(GetBkMode(dc), c.mode) << "control " << c.id;
    }
    DeleteDC(dc);
}

}  // namespace
