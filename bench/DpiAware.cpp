// Linked into every test program and test tool: they measure and capture the
// uninstaller's windows in physical pixels. Wine, like Windows, scales the
// coordinates that a program which is not DPI-aware sees, so each program
// declares itself aware before main runs.
#include <windows.h>

namespace {

const bool DeclaredDpiAware = SetProcessDPIAware() != FALSE;

}  // namespace
