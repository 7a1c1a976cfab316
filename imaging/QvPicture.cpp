#include "imaging/QvPicture.h"

#include "imaging/SvgRendering.h"
#include "support/ScreenScale.h"

namespace {

constexpr UINT_PTR AnimationEvent = 1;

// The control's window rectangle in its parent's client coordinates.
RECT RectInParent(HWND control) {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(control, &rect);
    HWND parent = GetParent(control);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

constexpr UINT PlaceFlags = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;

}  // namespace

CQvPicture::CQvPicture(const wchar_t* name, int frameCount, int interval, COLORREF pageColour)
    : m_name(name),
      m_frameCount(frameCount > 0 ? frameCount : 1),
      m_interval(interval > 0 ? interval : 0),
      m_pageColour(pageColour) {}

CQvPicture::~CQvPicture() {
    if (m_timer && m_hWnd) KillTimer(m_hWnd, m_timer);
}

bool CQvPicture::ReadImageSize() {
    CGlobalLock lock(m_image.Get());
    const auto* header = static_cast<const BITMAPINFOHEADER*>(lock.Get());
    if (!header || header->biBitCount != 32 || header->biWidth <= 0 || header->biHeight <= 0) return false;
    m_imageWidth = header->biWidth;
    m_imageHeight = header->biHeight;
    m_frameWidth = m_imageWidth / m_frameCount;
    // More frames than columns leaves nothing sensible to show.
    return m_frameWidth > 0;
}

bool CQvPicture::LoadPicture() {
    m_image.Reset(RenderSvgResource(m_name, ScreenScale));
    m_blendedFrame = -1;
    if (!m_image || !ReadImageSize()) {
        m_image.Reset();
        m_imageWidth = m_imageHeight = m_frameWidth = 0;
        return false;
    }
    const RECT rect = RectInParent(m_hWnd);
    SetWindowPos(m_hWnd, nullptr, rect.left, (rect.top / 2) * 2 + 1, m_frameWidth, m_imageHeight, PlaceFlags);
    if (m_interval) m_timer = SetTimer(m_hWnd, AnimationEvent, static_cast<UINT>(m_interval), nullptr);
    return true;
}

void CQvPicture::SetFrameIndex(int index) { m_frameIndex = (index >= 0 && index < m_frameCount) ? index : 0; }

LRESULT CQvPicture::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_TIMER:
        OnTimer();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return CStatic::WindowProc(message, wParam, lParam);
    }
}

void CQvPicture::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    if (dc) {
        RECT client;
        GetClientRect(m_hWnd, &client);
        if (m_image) {
            if (m_background)
                PaintOverBackground(dc, client.left, client.top);
            else
                PaintOverPage(dc, client.left, client.top);
        }
    }
    m_painted = true;
    EndPaint(m_hWnd, &paint);
}

// Draws the current frame as DrawPackedBitmap would over the page, which
// is m_pageColour under every picture: blended once per frame, then a plain
// transfer at each paint.
void CQvPicture::PaintOverPage(HDC dc, int x, int y) {
    if (m_blendedFrame != m_frameIndex || !m_blended.IsValid()) {
        m_blendedFrame = -1;
        if (!m_blended.Blend(m_image.Get(), m_pageColour, m_frameWidth, m_imageHeight, m_frameWidth * m_frameIndex, 0,
                             m_frameWidth, m_imageHeight, 255))
            return;
        m_blendedFrame = m_frameIndex;
    }
    m_blended.Draw(dc, x, y);
}

// Composes the current frame over a copy of the captured background and puts
// the result on the screen in one transfer, so the animation does not flicker.
void CQvPicture::PaintOverBackground(HDC dc, int x, int y) {
    BITMAP info;
    if (!GetObjectW(m_background.Get(), sizeof(info), &info)) return;
    CBitmapHandle copy(CreateBitmap(info.bmWidth, info.bmHeight, info.bmPlanes, info.bmBitsPixel, nullptr));
    CCreatedDc memoryDc(CreateCompatibleDC(dc));
    CCreatedDc sourceDc(CreateCompatibleDC(dc));
    if (!copy || !memoryDc || !sourceDc) return;
    CSelectObject selectCopy(memoryDc.Get(), copy.Get());
    {
        CSelectObject selectSource(sourceDc.Get(), m_background.Get());
        BitBlt(memoryDc.Get(), 0, 0, info.bmWidth, info.bmHeight, sourceDc.Get(), 0, 0, SRCCOPY);
    }
    DrawPackedBitmap(memoryDc.Get(), 0, 0, m_frameWidth, m_imageHeight, m_image.Get(), m_frameWidth * m_frameIndex, 0,
                     m_frameWidth, m_imageHeight, 255);
    const int saved = SaveDC(dc);
    BitBlt(dc, x, y, m_frameWidth, m_imageHeight, memoryDc.Get(), 0, 0, SRCCOPY);
    RestoreDC(dc, saved);
}

void CQvPicture::OnTimer() {
    Default();
    if (!m_painted) return;
    ++m_frameIndex;
    if (m_frameIndex >= m_frameCount) m_frameIndex = 0;
    Refresh();
}

void CQvPicture::Refresh() {
    if (!m_hWnd) return;
    RECT rect;
    GetClientRect(m_hWnd, &rect);
    MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    if (!m_background) {
        HWND parent = GetParent(m_hWnd);
        if (parent) {
            RECT inParent = rect;
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&inParent), 2);
            InvalidateRect(parent, &inParent, TRUE);
            UpdateWindow(parent);
        }
        CaptureBackground(rect);
    }
    InvalidateRect(m_hWnd, nullptr, TRUE);
    UpdateWindow(m_hWnd);
}

void CQvPicture::CaptureBackground(const RECT& screenRect) {
    CWindowDc screen(nullptr);
    if (!screen.IsValid()) return;
    RECT clipped = screenRect;
    if (clipped.left < 0) clipped.left = 0;
    if (clipped.top < 0) clipped.top = 0;
    const int screenWidth = GetDeviceCaps(screen.Get(), HORZRES);
    const int screenHeight = GetDeviceCaps(screen.Get(), VERTRES);
    if (clipped.right > screenWidth) clipped.right = screenWidth;
    if (clipped.bottom > screenHeight) clipped.bottom = screenHeight;
    const int width = clipped.right - clipped.left;
    const int height = clipped.bottom - clipped.top;
    if (width <= 0 || height <= 0) return;

    CBitmapHandle captured(CreateCompatibleBitmap(screen.Get(), width, height));
    CCreatedDc captureDc(CreateCompatibleDC(screen.Get()));
    if (!captured || !captureDc) return;
    {
        CSelectObject select(captureDc.Get(), captured.Get());
        BitBlt(captureDc.Get(), 0, 0, width, height, screen.Get(), clipped.left, clipped.top, SRCCOPY);
    }
    m_background = static_cast<CBitmapHandle&&>(captured);

    // Make the background one solid colour: the page's colour under an
    // animation, else the colour found at the top-left corner.
    CWindowDc controlDc(m_hWnd);
    CCreatedDc fillDc(CreateCompatibleDC(controlDc.Get()));
    if (!fillDc) return;
    CSelectObject select(fillDc.Get(), m_background.Get());
    const COLORREF corner = GetPixel(fillDc.Get(), 0, 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    CBrushHandle brush(CreateSolidBrush(m_frameCount >= 2 ? m_pageColour : corner));
    FillRect(fillDc.Get(), &client, brush.Get());
}

void CQvPicture::OnDestroy() {
    if (m_timer) {
        KillTimer(m_hWnd, m_timer);
        m_timer = 0;
    }
    Default();
}
