// Page painting: the colours of static controls and the banner, body and
// footer drawn on every page's background.
#include "framework/String.h"
#include "imaging/PackedBitmap.h"
#include "imaging/SvgRendering.h"
#include "resources/resource.h"
#include "support/Handles.h"
#include "support/ScreenScale.h"
#include "wizard/PageLook.h"
#include "wizard/ScreenResources.h"

CBrushHandle PageBackgroundBrush;
CString BannerProductName;
CString BannerRightsLine;

namespace {

constexpr COLORREF HeadingText = RGB(40, 110, 181);
constexpr COLORREF StaticText = RGB(48, 48, 48);
constexpr COLORREF BannerBand = RGB(96, 96, 96);
constexpr COLORREF BannerFirstLine = RGB(255, 255, 255);
constexpr COLORREF BannerSecondLine = RGB(215, 215, 215);
constexpr COLORREF FooterBand = RGB(240, 240, 240);
constexpr COLORREF FooterLine = RGB(200, 200, 200);

// The banner pictures, rendered at the first paint and kept for the run,
// each also blended once over its band's colour: the bands are solid, so
// every later paint puts the same pixels there with one plain transfer.
CPackedBitmap BannerIcon;
CPackedBitmap MakerLogo;
CBlendedBitmap BannerIconOnBand;
CBlendedBitmap MakerLogoOnFooter;

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    CBrushHandle brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.Get());
}

void RenderBannerPictures() {
    if (!BannerIcon) BannerIcon.Reset(RenderSvgResource(L"ICON", ScreenScale));
    if (!MakerLogo) MakerLogo.Reset(RenderSvgResource(L"QUORVEX", ScreenScale));
    if (BannerIcon && !BannerIconOnBand.IsValid())
        BannerIconOnBand.Blend(BannerIcon.Get(), BannerBand, 0, 0, 0, 0, 0, 0, 255);
    if (MakerLogo && !MakerLogoOnFooter.IsValid())
        MakerLogoOnFooter.Blend(MakerLogo.Get(), FooterBand, 0, 0, 0, 0, 0, 0, 255);
}

// Draws the picture as DrawPackedBitmap does, from its blend when there is one.
void DrawBandPicture(HDC dc, int x, int y, PackedBitmap picture, const CBlendedBitmap& blended) {
    if (blended.IsValid())
        blended.Draw(dc, x, y);
    else if (picture)
        DrawPackedBitmap(dc, x, y, 0, 0, picture, 0, 0, 0, 0, 255);
}

bool Intersects(const RECT& a, const RECT& b) {
    RECT common;
    return IntersectRect(&common, &a, &b) != FALSE;
}

// The text state the banner leaves on the device context.
void SetBannerTextBackground(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, RGB(0, 0, 0));
}

void PaintBanner(HDC dc, const RECT& banner) {
    FillSolid(dc, banner, BannerBand);
    SetBannerTextBackground(dc);
    const COLORREF previousColour = SetTextColor(dc, BannerFirstLine);
    const HGDIOBJ previousFont = SelectObject(dc, BannerTitleFont.Get());
    RECT text = banner;
    text.left += ScaleToScreen(15);
    text.top += ScaleToScreen(5);
    DrawTextW(dc, BannerProductName, -1, &text, DT_NOPREFIX);
    OffsetRect(&text, 0, ScaleToScreen(28));
    SelectObject(dc, BannerLineFont.Get());
    SetTextColor(dc, BannerSecondLine);
    DrawTextW(dc, BannerRightsLine, -1, &text, DT_NOPREFIX);
    // The texts end far to the left of the icon, which therefore lies on the
    // plain band.
    DrawBandPicture(dc, banner.right - ScaleToScreen(60), banner.top + ScaleToScreen(5), BannerIcon.Get(),
                    BannerIconOnBand);
    SelectObject(dc, previousFont);
    SetTextColor(dc, previousColour);
}

void PaintFooter(HDC dc, const RECT& footer) {
    FillSolid(dc, footer, FooterBand);
    const RECT line = {footer.left, footer.top, footer.right, footer.top + 1};
    FillSolid(dc, line, FooterLine);
    DrawBandPicture(dc, footer.left + ScaleToScreen(20), footer.top + ScaleToScreen(7), MakerLogo.Get(),
                    MakerLogoOnFooter);
}

// Hides a band marker without a repaint of the page under it: the page is
// being painted whole at that moment. ShowWindow would invalidate that area
// and erase the page once more, from inside this erase.
void HideMarker(HWND marker) {
    if (marker && (GetWindowLongPtrW(marker, GWL_STYLE) & WS_VISIBLE))
        SetWindowPos(marker, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOREDRAW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void HideBandMarkers(HWND page) {
    HideMarker(GetDlgItem(page, IDC_SEPARATOR_TOP));
    HideMarker(GetDlgItem(page, IDC_SEPARATOR_BOTTOM));
}

void CreateBannerResources() {
    BannerProductName.LoadString(IDS_PRODUCT_NAME);
    BannerRightsLine.LoadString(IDS_RIGHTS_HOLDER);
    if (!PageBackgroundBrush) PageBackgroundBrush.Reset(CreateSolidBrush(PageBackground));
}

HBRUSH ColorStaticControl(HWND, HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    SetBkColor(dc, PageBackground);
    if (id == IDC_HEADING) {
        SetTextColor(dc, HeadingText);
    } else if (id != IDC_UNINSTALL && id != IDC_REPAIR) {
        // The radio buttons of the maintenance page keep their own text colour.
        SetTextColor(dc, StaticText);
        SetBkMode(dc, TRANSPARENT);
    }
    return PageBackgroundBrush.Get();
}

int PaintPageBanner(HWND page, HDC dc) {
    HWND topSeparator = GetDlgItem(page, IDC_SEPARATOR_TOP);
    HWND bottomSeparator = GetDlgItem(page, IDC_SEPARATOR_BOTTOM);
    RECT client;
    GetClientRect(page, &client);
    FillSolid(dc, client, PageBackground);

    RECT body = client;
    RECT banner = {client.left, client.top, client.right, ScaleToScreen(58)};
    RECT footer = {client.left, client.bottom - ScaleToScreen(50), client.right, client.bottom};
    if (topSeparator) body.top = ScaleToScreen(58);
    if (bottomSeparator) body.bottom = footer.top;

    RenderBannerPictures();
    HideMarker(topSeparator);
    HideMarker(bottomSeparator);

    // The controls' themed backgrounds ask for the page under each of them:
    // a band outside the area being painted would draw nothing there.
    RECT painted;
    const bool clipped = GetClipBox(dc, &painted) != ERROR;
    if (topSeparator) {
        if (!clipped || Intersects(painted, banner))
            PaintBanner(dc, banner);
        else
            SetBannerTextBackground(dc);
    }
    FillSolid(dc, body, PageBackground);
    if (bottomSeparator && (!clipped || Intersects(painted, footer))) PaintFooter(dc, footer);
    return 1;
}
