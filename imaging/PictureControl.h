// Picture controls: a static control whose text names an SVG resource
// ("IMAGE|ok_large|1") shows that drawing at the screen's scale.
#pragma once

#include <windows.h>

class CQvPicture;

// Takes over the page's control: renders its picture and sizes the control to
// it; the picture is blended over pageColour, the page's solid colour.
// Returns the picture object (owned by the control), or null when the
// control does not exist.
CQvPicture* AttachPictureControl(HWND page, int controlId, COLORREF pageColour);
