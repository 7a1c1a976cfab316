// The one translation unit that holds NanoSVG's implementation.
//
// Substitutions keep the shipped program small: the C runtime's own sscanf
// instead of MinGW's portable one (which brings its own number parser), an
// exact power function for the integer exponents NanoSVG's number reader
// asks for, instead of MinGW's general pow, a reader of the digit runs it
// hands to strtoll, instead of MinGW's general strtoll, the x87 unit's
// square root instead of MinGW's sqrtf (i686), and no file functions: the
// program hands NanoSVG its drawings from the resources, never a file name.
// stdio.h comes first: the C++ library's headers switch MinGW's stdio back on.
#define __USE_MINGW_ANSI_STDIO 0
#include <stdio.h>

#include <limits.h>
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

// strtoll(text, end, 10) where text starts with a decimal digit, as NanoSVG
// calls it: the value of the digit run, LLONG_MAX beyond it, and the end
// after the last digit.
long long DecimalDigits(const char* text, char** end, int) {
    constexpr long long Limit = LLONG_MAX / 10;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const int digit = *text - '0';
        value = (value > Limit || (value == Limit && digit > LLONG_MAX % 10)) ? LLONG_MAX : value * 10 + digit;
    }
    *end = const_cast<char*>(text);
    return value;
}

#ifdef __i386__
// The square root NanoSVG takes of a positive double (a curve's
// discriminant): the x87 unit's, which is what MinGW's sqrt computes for
// such a number, without its checks for the other cases.
inline double PositiveRoot(double value) {
    double root;
    __asm__("fsqrt" : "=t"(root) : "0"(value));
    return root;
}

// The square roots of floats that NanoSVG takes: of sums of squares and of
// quotients it has made non-negative. MinGW's sqrtf runs the same fsqrt for
// such a number (its checks for a negative one, which report to errno and
// the math error hook, bring 0.5 KB); the result is rounded to a float's
// precision as the unit then computes (imaging/NanoSvg.h).
inline float FloatRoot(float value) {
    float root;
    __asm__("fsqrt" : "=t"(root) : "0"(value));
    return root;
}
#endif

// nsvgParseFromFile, which the program never calls, is compiled against
// these: it then reads no file and brings no import of the C runtime's
// file functions.
FILE* NoFile(const char*, const char*) { return nullptr; }
int NoFileCall(FILE*, ...) { return 0; }
size_t NoFileRead(void*, size_t, size_t, FILE*) { return 0; }

}  // namespace

#define pow IntegerPower
#define strtoll DecimalDigits
#ifdef __i386__
#define sqrt PositiveRoot
#define sqrtf FloatRoot
#endif
#define fopen NoFile
#define fseek NoFileCall
#define ftell NoFileCall
#define fclose NoFileCall
#define fread NoFileRead

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
