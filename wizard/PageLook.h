// The common look of every wizard page: the 12 percent enlargement, centring,
// fonts, static-control colours, and the painting of banner, body and footer.
#pragma once

#include <windows.h>

#include "framework/String.h"
#include "support/Handles.h"

// Made when the main window is built and kept for the whole run; the brush
// is deleted when the process ends.
extern CBrushHandle PageBackgroundBrush;
extern CString BannerProductName;  // string 5003
extern CString BannerRightsLine;   // string 5004

// Loads the banner texts and creates PageBackgroundBrush.
void CreateBannerResources();

// The common part of WM_INITDIALOG for pages 101, 102, 104 and 105: hide,
// enlarge, centre, scale every child, expand the title, BodyFont on every
// control, HeadingFont on control 1013, and the band markers hidden.
void PreparePage(HWND page);

// Hides the band markers 1008 and 1009 without a repaint.
void HideBandMarkers(HWND page);

// Makes the window 12 percent larger. Page 106 keeps its placement flags;
// the other pages clear WPF_SETMINPOSITION and WPF_ASYNCWINDOWPLACEMENT.
void EnlargeWindow(HWND window, bool keepFlags);
// Scales one child: its placement read, scaled and set back.
BOOL CALLBACK ScaleChildControl(HWND child, LPARAM);
// Scales every child of the page as ScaleChildControl does, the page's own
// children moved together in one deferred batch.
void ScaleChildControls(HWND page);
void CenterInWorkArea(HWND window);
// lParam: the HFONT to set.
BOOL CALLBACK SetControlFont(HWND child, LPARAM font);

// WM_CTLCOLORSTATIC of every page; returns PageBackgroundBrush.
HBRUSH ColorStaticControl(HWND page, HDC dc, HWND control);

// WM_ERASEBKGND of every page; returns 1 when it has painted.
int PaintPageBanner(HWND page, HDC dc);
