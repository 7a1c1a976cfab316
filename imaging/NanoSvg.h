// The declarations of the NanoSVG parser and rasteriser used by the program.
#pragma once

#include <float.h>
#include <nanosvg.h>
#include <nanosvgrast.h>

// The program calls NanoSVG inside a CNanoSvgPrecision, so that both builds
// paint the same pixels (tools/compare-pages --builds shows it).
//
// NanoSVG computes in floats, which the x86_64 build rounds after every
// operation (SSE). The i686 build's x87 unit runs at the 53-bit precision of
// the start-up object and keeps unrounded values in its registers from one
// operation to the next, so some anti-aliased edge pixels came out one step
// of coverage apart. While one of these lives, the unit rounds every result
// to 24 bits, a float's precision (_controlfp with _PC_24, x86 only), and
// NanoSVG's parser and rasteriser compute the x86_64 build's floats; the few
// doubles of its number reader are rounded so too. The code stays x87 code:
// SSE would not run on every processor that Windows XP to 7 run on. Only
// NanoSVG's calls belong inside: the program's own doubles (a picture's
// size) need their 53 bits.
#if defined(__i386__)
class CNanoSvgPrecision {
public:
    CNanoSvgPrecision() : previous_(_controlfp(0, 0)) { _controlfp(_PC_24, _MCW_PC); }
    ~CNanoSvgPrecision() { _controlfp(previous_, _MCW_PC); }
    CNanoSvgPrecision(const CNanoSvgPrecision&) = delete;
    CNanoSvgPrecision& operator=(const CNanoSvgPrecision&) = delete;

private:
    unsigned int previous_;
};
#else
struct CNanoSvgPrecision {
    CNanoSvgPrecision() {}  // SSE rounds every float result already
};
#endif
