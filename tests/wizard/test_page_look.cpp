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

struct DpiExpectation {
    int dpi;
    int banner, footer;
    int bodyFontHeight;
};

const DpiExpectation Expectations[] = {
    {96, 58, 50, -12},
    {120, 72, 62, -15},
    {144, 87, 75, -18},
    {192, 116, 100, -24},
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
    EXPECT_DOUBLE_EQ(ScreenScale, ScreenDpi / 96.0);
    const struct {
        HFONT font;
        int height, weight;
    } fonts[] = {
        {BodyFont.Get(), -12, 400},        {BoldFont.Get(), -12, 700},       {HeadingFont.Get(), -17, 500},
        {BannerTitleFont.Get(), -21, 400}, {BannerLineFont.Get(), -14, 400},
    };
    for (const auto& f : fonts) {
        LOGFONTW log = {};
        ASSERT_EQ(GetObjectW(f.font, sizeof(log), &log), static_cast<int>(sizeof(log)));
        EXPECT_EQ(log.lfHeight, MulDiv(f.height, ScreenDpi, 96));
        EXPECT_EQ(log.lfWeight, f.weight);
        EXPECT_EQ(log.lfCharSet, DEFAULT_CHARSET);
        EXPECT_FALSE(log.lfItalic || log.lfUnderline || log.lfStrikeOut);
    }
    LOGFONTW body = {};
    GetObjectW(BodyFont.Get(), sizeof(body), &body);
    EXPECT_EQ(body.lfHeight, expected_->bodyFontHeight);
    EXPECT_STREQ(body.lfFaceName, L"Segoe UI");
    EXPECT_EQ(ScaleToScreen(58), expected_->banner);
    EXPECT_EQ(ScaleToScreen(50), expected_->footer);
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

TEST_F(PageLookTest, PagesAreTwelvePercentLargerWithTheirControls) {
    for (const auto& real : RealPages) {
        const int templateId = real.templateId;
        SCOPED_TRACE("template " + std::to_string(templateId));
        HWND plain = Open(templateId, false);
        HWND page = Open(templateId, true);
        ASSERT_TRUE(plain && page);
        // Preparing never shows the page: the dialog manager does, afterwards.
        EXPECT_FALSE(IsWindowVisible(page));
        RECT plainRect, pageRect;
        GetWindowRect(plain, &plainRect);
        GetWindowRect(page, &pageRect);
        EXPECT_EQ(Width(pageRect), Width(plainRect) * 112 / 100);
        EXPECT_EQ(Height(pageRect), Height(plainRect) * 112 / 100);

        const std::vector<HWND> plainChildren = Children(plain);
        const std::vector<HWND> children = Children(page);
        ASSERT_EQ(children.size(), plainChildren.size());
        for (size_t i = 0; i < children.size(); ++i) {
            const int id = GetDlgCtrlID(children[i]);
            ASSERT_EQ(id, GetDlgCtrlID(plainChildren[i]));
            if (id == IDC_PICTURE || id == IDC_PICTURE2) continue;
            const RECT before = RectInParent(plainChildren[i]);
            const RECT after = RectInParent(children[i]);
            const bool moved = id == 1 || id == 2 || id == 3 || id == 1001 || id == 1020;
            EXPECT_EQ(after.left, before.left * 112 / 100) << "control " << id;
            EXPECT_EQ(after.right, before.right * 112 / 100) << "control " << id;
            EXPECT_EQ(after.top, before.top * 112 / 100 + (moved ? 5 : 0)) << "control " << id;
            EXPECT_EQ(after.bottom, before.bottom * 112 / 100 + (moved ? 3 : 0)) << "control " << id;
        }
    }
}

TEST_F(PageLookTest, PagesAreCentredInTheWorkAreaButTheExitConfirmationIsNot) {
    const RECT area = WorkArea();
    for (const auto& real : RealPages) {
        const int templateId = real.templateId;
        SCOPED_TRACE("template " + std::to_string(templateId));
        HWND page = Open(templateId, true);
        ASSERT_NE(page, nullptr);
        RECT rect;
        GetWindowRect(page, &rect);
        if (templateId == IDD_EXIT_CONFIRM) {
            HWND plain = Open(templateId, false);
            RECT plainRect;
            GetWindowRect(plain, &plainRect);
            EXPECT_EQ(rect.left, plainRect.left);
            EXPECT_EQ(rect.top, plainRect.top);
            continue;
        }
        int x = area.left + (Width(area) - Width(rect)) / 2;
        int y = area.top + (Height(area) - Height(rect)) / 2;
        if (x < area.left) x = area.left;
        if (y < area.top) y = area.top;
        EXPECT_EQ(rect.left, x);
        EXPECT_EQ(rect.top, y);
    }
}

TEST_F(PageLookTest, WindowsLargerThanTheWorkAreaStartAtItsEdge) {
    const RECT area = WorkArea();
    HWND wide = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 5, 5, Width(area) + 200, Height(area) + 100, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(wide, nullptr);
    CenterInWorkArea(wide);
    RECT rect;
    GetWindowRect(wide, &rect);
    EXPECT_EQ(rect.left, area.left);
    EXPECT_EQ(rect.top, area.top);
    EXPECT_EQ(Width(rect), Width(area) + 200);
    DestroyWindow(wide);

    HWND small = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 5, 5, 101, 51, nullptr, nullptr, nullptr, nullptr);
    CenterInWorkArea(small);
    GetWindowRect(small, &rect);
    EXPECT_EQ(rect.left, area.left + (Width(area) - 101) / 2);
    EXPECT_EQ(rect.top, area.top + (Height(area) - 51) / 2);
    DestroyWindow(small);
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
        const int iconCentre = ScaleToScreen(24);
        EXPECT_NE(painted.At(painted.Client().right - ScaleToScreen(60) + iconCentre, ScaleToScreen(5) + iconCentre),
                  band);
        EXPECT_NE(painted.At(ScaleToScreen(20) + ScaleToScreen(10),
                             bottom - expected_->footer + ScaleToScreen(7) + ScaleToScreen(16)),
                  footer);
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
