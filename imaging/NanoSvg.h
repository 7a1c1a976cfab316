// The declarations of the NanoSVG parser and rasteriser used by the program.
#pragma once

#include <nanosvg.h>
#include <nanosvgrast.h>
