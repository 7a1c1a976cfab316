// Screen resources shared by every page: the screen's dpi, the fonts scaled to
// it and the page colour. Made once, before any window exists, and kept for
// the whole run.
#pragma once

#include <windows.h>

#include "support/Handles.h"

constexpr COLORREF PageBackground = RGB(250, 250, 250);

extern int ScreenDpi;
// The fonts, deleted when the process ends.
extern CFontHandle BodyFont;
extern CFontHandle BoldFont;
extern CFontHandle HeadingFont;
extern CFontHandle BannerTitleFont;
extern CFontHandle BannerLineFont;

// Measures the screen (ScreenDpi, ScreenScale), runs the version probes,
// finds the work folder and creates the five fonts.
void CreateScreenResources();

// The face of the banner fonts: "Open Sans" when the system's fonts folder
// holds "OpenSans-Regular.ttf", else "Segoe UI".
const wchar_t* ChooseBannerFace();
