# qv_wine and qv_wineserver: the Wine chosen by tools/lib/with-wine, run
# directly or inside the WoW64 root ($QV_WINE_ROOT), always in the caller's
# current folder. Sourced by the scripts that start Windows programs.

qv_wine() {
    if [ -n "${QV_WINE_ROOT:-}" ]; then
        chroot "$QV_WINE_ROOT" env -C "$PWD" wine "$@"
    else
        wine "$@"
    fi
}

qv_wineserver() {
    if [ -n "${QV_WINE_ROOT:-}" ]; then
        chroot "$QV_WINE_ROOT" /usr/lib/x86_64-linux-gnu/wine/wineserver "$@"
    elif command -v wineserver >/dev/null; then
        wineserver "$@"
    else
        /usr/lib/x86_64-linux-gnu/wine/wineserver "$@"
    fi
}

# Ends the prefix's server and waits until it has gone. "wineserver -k"
# fails when no server runs, as when a server without -p has already timed
# out after its last program; that is the state asked for, not an error.
qv_end_wineserver() {
    qv_wineserver -k 2>/dev/null || true
    qv_wineserver -w
}

# A Linux path as a Windows path on drive Z: (the Linux root).
windows_path() { echo "Z:$1" | tr / '\\'; }
