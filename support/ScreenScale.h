// The screen scale and the rule by which lengths designed for 96 dpi grow on
// screens with a larger text size.
#pragma once

// Vertical pixels per logical inch of the screen / 96; 0.0 until set at start-up.
extern double ScreenScale;

// A length in 96-dpi pixels in screen pixels: unchanged when the scale is
// not above 1.0, else multiplied and truncated toward zero.
int ScaleToScreen(int length);
