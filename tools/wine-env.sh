# Shell functions for running Windows programs under Wine on a display of our own.
# Sourced by tools/test and tools/demo; everything started here is stopped by
# wine_env_stop, by process id (Xvfb) or through the prefix's own wineserver.
#
# Two Windows builds, two Wine loaders: the 32-bit program runs through Debian's
# `wine` wrapper (the 32-bit loader), the 64-bit build through /usr/lib/wine/wine64
# called directly (the wrapper would pick the 32-bit loader whenever wine32 is
# installed, even on a kernel that cannot start it). Each has a prefix of its own kind.

_wine_env_xvfb_pid=""
_wine_env_prefix=""

# The loader for an architecture: win32 or win64.
wine_env_loader() {
    case "$1" in
        win64) echo /usr/lib/wine/wine64 ;;
        *) echo wine ;;
    esac
}

# True when this machine can run 32-bit programs, found out by starting the 32-bit
# loader. BRIVOLA_NO_32BIT=1 forces the answer "no" (to try that path anywhere).
wine_env_can_run_32bit() {
    [ "${BRIVOLA_NO_32BIT:-0}" != "1" ] || return 1
    [ -x /usr/lib/wine/wine ] || return 1
    /usr/lib/wine/wine --version </dev/null >/dev/null 2>&1
}

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
            if ! kill -0 "$_wine_env_xvfb_pid" 2>/dev/null; then
                # Another run took this display between our look and Xvfb's start.
                _wine_env_xvfb_pid=""
                continue
            fi
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "wine-env: no free X display" >&2
    return 1
}

# Makes a fresh prefix of architecture ARCH (win32, the default, or win64) in DIR,
# copied from a warmed template kept under ~/.cache, starts its persistent
# wineserver with stdio detached and exports the variables every Wine call here
# needs, BRIVOLA_WINE (the loader to call) among them.
wine_env_new_prefix() {
    local dir=$1 arch=${2:-win32}
    local loader
    loader=$(wine_env_loader "$arch")
    export WINEARCH=$arch
    export BRIVOLA_WINE=$loader
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    local version template lock
    version=$("$loader" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' '_')
    template="${XDG_CACHE_HOME:-$HOME/.cache}/brivola/wine-prefix-$arch-$version"
    mkdir -p "$(dirname "$template")"
    lock="$template.lock"
    (
        # Several test runs may start at once: one warms the template, the others wait.
        flock 9
        if [ ! -f "$template/.ready" ]; then
            rm -rf "$template"
            mkdir -p "$template"
            export WINEPREFIX="$template"
            "$loader" wineboot -i </dev/null >/dev/null 2>&1
            # Without a window manager Wine waits on destroying visible windows and
            # draws no captions; unmanaged windows avoid both.
            "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
            # Let the server write the registry and end with its last process.
            timeout 60 wineserver -w </dev/null >/dev/null 2>&1 || wineserver -k </dev/null >/dev/null 2>&1 || true
            touch "$template/.ready"
        fi
    ) 9>"$lock"
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    cp -a "$template" "$dir"
    rm -f "$dir/.ready"
    export WINEPREFIX="$dir"
    _wine_env_prefix="$dir"
    wineserver -p </dev/null >/dev/null 2>&1
    "$loader" wineboot </dev/null >/dev/null 2>&1
}

# Stops the prefix's wineserver (and with it every Wine process of the prefix).
wine_env_stop_prefix() {
    if [ -n "$_wine_env_prefix" ]; then
        WINEPREFIX="$_wine_env_prefix" wineserver -k </dev/null >/dev/null 2>&1 || true
        _wine_env_prefix=""
    fi
}

# Stops the prefix and the display, if this script started them.
wine_env_stop() {
    wine_env_stop_prefix
    if [ -n "$_wine_env_xvfb_pid" ]; then
        kill "$_wine_env_xvfb_pid" 2>/dev/null || true
        wait "$_wine_env_xvfb_pid" 2>/dev/null || true
        _wine_env_xvfb_pid=""
    fi
}
