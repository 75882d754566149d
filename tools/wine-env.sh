# Shell functions for running Windows programs under Wine on a display of our own.
# Sourced by tools/test and tools/demo; everything started here is stopped by
# wine_env_stop, by process id (Xvfb) or through the prefix's own wineserver.

_wine_env_xvfb_pid=""
_wine_env_prefix=""

# Starts Xvfb on a free display and exports DISPLAY.
wine_env_start_display() {
    local n
    for n in $(seq 91 140); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
            _wine_env_xvfb_pid=$!
            local i
            for i in $(seq 1 100); do
                [ -e "/tmp/.X11-unix/X$n" ] && break
                sleep 0.05
            done
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "wine-env: no free X display" >&2
    return 1
}

# Makes a fresh 32-bit prefix in DIR (copied from a warmed template kept under
# ~/.cache), starts its persistent wineserver with stdio detached and exports the
# variables every Wine call here needs.
wine_env_new_prefix() {
    local dir=$1
    export WINEARCH=win32
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    local version template
    version=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' '_')
    template="${XDG_CACHE_HOME:-$HOME/.cache}/brivola/wine-prefix-$version"
    if [ ! -f "$template/.ready" ]; then
        rm -rf "$template"
        mkdir -p "$template"
        (
            export WINEPREFIX="$template"
            wine wineboot -i </dev/null >/dev/null 2>&1
            # Without a window manager Wine waits on destroying visible windows and
            # draws no captions; unmanaged windows avoid both.
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
            # Let the server write the registry and end with its last process.
            timeout 60 wineserver -w </dev/null >/dev/null 2>&1 || wineserver -k </dev/null >/dev/null 2>&1 || true
        )
        touch "$template/.ready"
    fi
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    cp -a "$template" "$dir"
    rm -f "$dir/.ready"
    export WINEPREFIX="$dir"
    _wine_env_prefix="$dir"
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
}

# Stops the prefix's wineserver (and with it every Wine process of the prefix) and
# the display, if this script started them.
wine_env_stop() {
    if [ -n "$_wine_env_prefix" ]; then
        WINEPREFIX="$_wine_env_prefix" wineserver -k </dev/null >/dev/null 2>&1 || true
        _wine_env_prefix=""
    fi
    if [ -n "$_wine_env_xvfb_pid" ]; then
        kill "$_wine_env_xvfb_pid" 2>/dev/null || true
        wait "$_wine_env_xvfb_pid" 2>/dev/null || true
        _wine_env_xvfb_pid=""
    fi
}
