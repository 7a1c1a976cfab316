// Rendering of the program's SVG resources to packed bitmaps at a chosen
// scale. Each drawing is parsed from a copy of its resource in memory; no
// file is written or read.
#pragma once

#include <windows.h>

#include "imaging/PackedBitmap.h"

// The resource (type "SVG", name in any case: "up" finds "UP") rasterised at
// the scale: w = trunc(trunc(width) x scale), likewise h. Null when the
// resource is missing or is not a drawing NanoSVG can render.
PackedBitmap RenderSvgResource(const wchar_t* name, double scale);
