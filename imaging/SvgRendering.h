// Rendering of the program's SVG resources to packed bitmaps at a chosen
// scale. The drawing travels through a temporary file in the work folder,
// which is always deleted again.
#pragma once

#include <windows.h>

#include "imaging/PackedBitmap.h"

// The resource (type "SVG", name in any case: "up" finds "UP") rasterised at
// the scale: w = trunc(trunc(width) x scale), likewise h. Null when the
// resource is missing or is not a drawing NanoSVG can render.
PackedBitmap RenderSvgResource(const wchar_t* name, double scale);

// Writes the bytes of the resource to a new temporary file in the work folder
// and puts its full path into `path` (260 characters). False when the
// resource is missing (no file is made) or the file can't be written (the
// file is then deleted again).
bool ExtractResourceToTempFile(const wchar_t* type, const wchar_t* name, wchar_t* path);

// Parses the SVG file and rasterises it at the scale into a new packed bitmap.
PackedBitmap RasterizeSvgFile(const wchar_t* path, double scale);
