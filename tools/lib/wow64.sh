# Where the Wine that runs 32-bit Windows programs comes from (sourced by
# tools/install-deps and tools/lib/with-lane).
#
# Wine's WoW64 mode runs 32-bit PE code inside a 64-bit Linux process, so it
# needs no 32-bit Linux library. The system's own Wine has it when its amd64
# DLL folder carries the 32-bit Windows DLLs. Otherwise a Debian 13 root with
# the unstable suite's Wine is made once, outside the checkout, and the
# i686 programs run chrooted into it.

QV_SYSTEM_WINE_DLLS=/usr/lib/x86_64-linux-gnu/wine
QV_WOW64_ROOT=${QV_WOW64_ROOT:-/var/lib/glyphsmith-wow64/root}
QV_WOW64_MARK=.glyphsmith-wow64-ready

system_wine_has_wow64() {
    [ -f "$QV_SYSTEM_WINE_DLLS/i386-windows/kernel32.dll" ]
}

wow64_root_ready() {
    [ -f "$QV_WOW64_ROOT/$QV_WOW64_MARK" ]
}
