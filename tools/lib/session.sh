# Shell helpers shared by tools/test, tools/demo, tools/screenshots and the
# benchmarks: a private Xvfb display and a Wine prefix of the Wine chosen by
# tools/lib/with-wine, both ended when the calling script exits.

source "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

# start_session PREFIX [fresh] [keep-display]
#   Exports WINEPREFIX (made anew with "fresh") and, unless keep-display is
#   given and DISPLAY is already set, starts Xvfb on a free display.
start_session() {
    local prefix=$1 mode=${2:-} display_mode=${3:-}
    export WINEPREFIX=$prefix QV_WINEPREFIX=$prefix WINEARCH=win64
    export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
    QV_XVFB_PID=
    trap end_session EXIT
    if [ "$mode" = fresh ] && [ -d "$prefix" ]; then
        WINEPREFIX=$prefix qv_wineserver -k 2>/dev/null || true
        rm -rf "$prefix"
    fi
    if [ "$display_mode" != keep-display ] || [ -z "${DISPLAY:-}" ]; then
        local n=90
        while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        QV_XVFB_PID=$!
        export DISPLAY=":$n"
        local i
        for i in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    fi
    mkdir -p "$prefix"
    if [ ! -f "$prefix/system.reg" ]; then
        qv_wine wineboot -i >/dev/null 2>&1 </dev/null || true
        qv_wineserver -w
    fi
    # One persistent server for the whole session, and the prefix's services
    # started now with their output discarded: a service started later by a
    # test program would inherit that program's output pipe and keep its
    # reader (CTest) waiting after the program has ended.
    qv_wineserver -p
    qv_wine wineboot >/dev/null 2>&1 </dev/null || true
    wait_for_wine_services
}

wait_for_wine_services() {
    local i
    for i in $(seq 1 200); do
        pgrep -f 'C:\\windows\\system32\\explorer.exe' >/dev/null && return 0
        sleep 0.1
    done
}

end_session() {
    qv_wineserver -k 2>/dev/null || true
    if [ -n "${QV_XVFB_PID:-}" ]; then
        kill "$QV_XVFB_PID" 2>/dev/null || true
        wait "$QV_XVFB_PID" 2>/dev/null || true
    fi
}
