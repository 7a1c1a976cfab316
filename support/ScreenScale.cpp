#include "support/ScreenScale.h"

double ScreenScale = 0.0;

int ScaleToScreen(int length) {
    if (!(ScreenScale > 1.0)) return length;
    return static_cast<int>(static_cast<double>(length) * ScreenScale);
}
