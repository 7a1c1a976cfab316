// The one translation unit that holds NanoSVG's implementation.
//
// Two substitutions keep the shipped program small: the C runtime's own
// sscanf instead of MinGW's portable one (which brings its own number
// parser), and an exact power function for the integer exponents NanoSVG's
// number reader asks for, instead of MinGW's general pow.
// stdio.h comes first: the C++ library's headers switch MinGW's stdio back on.
#define __USE_MINGW_ANSI_STDIO 0
#include <stdio.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

namespace {

// base ^ exponent for a whole-number exponent; beyond the range of double
// the result saturates to infinity or zero, without a long loop.
double IntegerPower(double base, double exponent) {
    long long count = exponent < -1000.0 ? -1000 : (exponent > 1000.0 ? 1000 : static_cast<long long>(exponent));
    const bool negative = count < 0;
    if (negative) count = -count;
    double result = 1.0;
    double factor = base;
    while (count) {
        if (count & 1) result *= factor;
        factor *= factor;
        count >>= 1;
    }
    return negative ? 1.0 / result : result;
}

}  // namespace

#define pow IntegerPower

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define NANOSVG_IMPLEMENTATION
#include <nanosvg.h>
#define NANOSVGRAST_IMPLEMENTATION
#include <nanosvgrast.h>
#pragma GCC diagnostic pop
