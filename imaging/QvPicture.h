// CQvPicture: a static control that shows a rendered SVG picture, optionally
// as an animation of equal frames laid side by side in the picture.
#pragma once

#include <windows.h>

#include "framework/String.h"
#include "framework/Wnd.h"
#include "imaging/PackedBitmap.h"
#include "support/Handles.h"

class CQvPicture : public CStatic {
public:
    // frameCount of 0 or less means 1; interval in milliseconds, 0 or less:
    // no animation. pageColour: the solid colour of the page under the
    // control, over which the picture is blended.
    CQvPicture(const wchar_t* name, int frameCount, int interval, COLORREF pageColour);
    ~CQvPicture() override;

    const wchar_t* GetRuntimeClassName() const override { return L"CQvPicture"; }

    // Renders the named picture at the screen's scale, sizes the control to
    // one frame and starts the animation timer. False (and no image) when
    // the picture can't be made.
    bool LoadPicture();
    // Shows the given frame; one outside the frames shows frame 0.
    void SetFrameIndex(int index);
    // Re-composes the background when it is missing and repaints.
    void Refresh();

    const CString& Name() const { return m_name; }
    int FrameCount() const { return m_frameCount; }
    int Interval() const { return m_interval; }
    int FrameIndex() const { return m_frameIndex; }
    int FrameWidth() const { return m_frameWidth; }
    int ImageWidth() const { return m_imageWidth; }
    int ImageHeight() const { return m_imageHeight; }
    bool HasImage() const { return m_image.IsValid(); }
    bool HasBackground() const { return m_background.IsValid(); }
    bool IsPainted() const { return m_painted; }
    UINT_PTR TimerId() const { return m_timer; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The object belongs to its control and goes with it.
    void PostNcDestroy() override { delete this; }

private:
    bool ReadImageSize();
    void OnPaint();
    void OnTimer();
    void OnDestroy();
    void PaintOverPage(HDC dc, int x, int y);
    void PaintOverBackground(HDC dc, int x, int y);
    void CaptureBackground(const RECT& screenRect);

    CString m_name;
    int m_frameCount;
    int m_interval;
    COLORREF m_pageColour;
    CPackedBitmap m_image;
    int m_frameIndex = 0;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    int m_frameWidth = 0;
    bool m_painted = false;
    UINT_PTR m_timer = 0;
    CBitmapHandle m_background;
    // The frame m_blendedFrame blended over the page, or -1 for none.
    CBlendedBitmap m_blended;
    int m_blendedFrame = -1;
};
