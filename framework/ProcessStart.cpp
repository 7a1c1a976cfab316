// The shipped program's entry point, in place of MinGW's run-time start-up
// objects (the program links with -nostartfiles). It does what of theirs the
// program needs, in their order: the x87 precision of the usual Windows
// compilers' run-time, the static constructors, wWinMain with the command
// line's tail and the show command, and exit through the C run-time, which
// calls the functions registered with atexit (the static destructors) and
// ends the process. Left out: the command line split into argv (the program
// parses GetCommandLineW itself), the run-time pseudo-relocations (the link
// uses --disable-auto-import, so there are none), thread-local storage
// callbacks (no thread_local), the top-level exception filter that maps
// exceptions to C signals (none is installed) and the math error hook.
#include <windows.h>

extern "C" {

// msvcrt.dll's: _onexit keeps the list that exit() calls in reverse order;
// _fpreset sets the x87 control word to 0x27F (53-bit precision, exceptions
// masked). Declared as imports so that MinGW's own _fpreset (fninit, 64-bit
// precision) cannot stand in for it.
typedef int(__cdecl* ExitFunction)(void);
__declspec(dllimport) ExitFunction __cdecl _onexit(ExitFunction function);
__declspec(dllimport) void __cdecl _fpreset(void);
__declspec(dllimport) __declspec(noreturn) void __cdecl exit(int code);

// The static constructors, gathered by the linker: the first entry is -1
// (or the count), the list ends with a null entry.
extern void (*__CTOR_LIST__[])(void);

// The static destructors of the program register here (the compiler emits
// atexit, not __cxa_atexit, for MinGW).
int __cdecl atexit(void(__cdecl* function)(void)) {
    return _onexit(reinterpret_cast<ExitFunction>(function)) ? 0 : -1;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int);

// The linker's default entry point for a GUI program. Referenced by no code,
// so it is kept explicitly through the link-time optimisation.
__attribute__((used, externally_visible)) void WinMainCRTStartup(void) {
#ifdef __i386__
    // The i686 build computes with the x87 unit: with 53-bit precision a
    // product of doubles rounds as the x86_64 build's SSE computes it.
    _fpreset();
#endif
    // Constructed last first, as MinGW's __main does.
    int count = 0;
    while (__CTOR_LIST__[count + 1]) ++count;
    for (; count > 0; --count) __CTOR_LIST__[count]();

    // The command line without the program's name (quoted or not) and the
    // blanks after it.
    wchar_t* tail = GetCommandLineW();
    bool quoted = false;
    while (*tail > L' ' || (*tail && quoted)) {
        if (*tail == L'"') quoted = !quoted;
        ++tail;
    }
    while (*tail && *tail <= L' ') ++tail;
    STARTUPINFOW startup;
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    exit(wWinMain(GetModuleHandleW(nullptr), nullptr, tail, show));
}

}  // extern "C"
