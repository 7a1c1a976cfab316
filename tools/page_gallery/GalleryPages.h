// Minimal page procedures for the six page templates: the common preparation
// and painting of every page, the pictures and the page's own fonts, without
// the wizard's commands. Used by the page gallery and by the page-look tests.
#pragma once

#include <windows.h>

// The dialog procedure of every gallery page; the template id travels in
// the lParam of CreateDialogParamW / DialogBoxParamW.
INT_PTR CALLBACK GalleryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Prepares a page from its template the way its wizard page does.
void InitializeGalleryPage(HWND page, int templateId);

// The six templates, in page order.
extern const int GalleryTemplates[6];
