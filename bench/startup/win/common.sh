# Shared by bench/startup/run.sh and bench/movie-calls/run.sh: a Windows build of the
# program for the benchmarks (the 4000 ms pause before the host window taken out by
# BRIVOLA_NO_LAUNCH_PAUSE, the content server on BRIVOLA_BENCH_PORT), a Wine prefix with
# Flash Player registered by the stand-in installer, and the content server serving the
# benchmark's movie. The 32-bit build where 32-bit programs run, else the 64-bit one.
: "${BENCH_ROOT:?run through tools/bench}"
cd "$BENCH_ROOT"
. tools/wine-env.sh
port=${BRIVOLA_BENCH_PORT:-18478}
if wine_env_can_run_32bit && [ -z "${BRIVOLA_NO_32BIT:-}" ]; then
    arch=win32 toolchain=mingw-i686 build=build/bench-windows
    echo "build: 32-bit (the shipped architecture)"
else
    arch=win64 toolchain=mingw-x86_64 build=build/bench-windows64
    echo "build: 64-bit (this machine cannot run 32-bit programs)"
fi
echo "the 4000 ms pause before the host window is taken out (BRIVOLA_NO_LAUNCH_PAUSE=ON)"
cmake -S . -B "$build" -G Ninja --toolchain "cmake/$toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DBRIVOLA_WIN_BENCH=ON -DBRIVOLA_NO_LAUNCH_PAUSE=ON \
    -DBRIVOLA_CONTENT_SERVER="http://127.0.0.1:$port" \
    -DBRIVOLA_FLASH_DOWNLOAD_SERVER="http://127.0.0.1:$port" \
    -DBRIVOLA_DOTNET_DOWNLOAD_SERVER="http://127.0.0.1:$port" >/dev/null
if ! cmake --build "$build" -j2 --target BrivolaInstaller minimal_window bench_timer install_flash_player \
    >"$build/bench-build.log" 2>&1; then
    tail -30 "$build/bench-build.log" >&2
    echo "the benchmark's build failed: $build/bench-build.log" >&2
    exit 1
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/brivola-bench-win.XXXXXX")
server_pid=
bench_cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    wine_env_stop
    rm -rf "$scratch"
}
trap bench_cleanup EXIT
wine_env_start_display
wine_env_new_prefix "$scratch/prefix" "$arch"
winpath() { echo "Z:${1//\//\\}"; }
"$BRIVOLA_WINE" "$(winpath "$PWD/$build/stand-ins/flashplayer/install_flash_player.exe")" /S \
    </dev/null >/dev/null 2>&1

# serve_movie FILE: the content server on the port, with FILE as the movie.
serve_movie() {
    mkdir -p "$scratch/content/apps/installer/brivola/static"
    cp "$1" "$scratch/content/apps/installer/brivola/static/BrivolaDesktopInstaller2.swf"
    python3 tools/content_server.py --root "$scratch/content" --port "$port" \
        --port-file "$scratch/port" </dev/null >/dev/null 2>&1 &
    server_pid=$!
    for _ in $(seq 1 100); do [ -f "$scratch/port" ] && return 0; sleep 0.05; done
    echo "content server did not start on port $port" >&2
    return 1
}
timer=$(winpath "$PWD/$build/bench/startup/win/bench_timer.exe")
program=$(winpath "$PWD/$build/src/BrivolaInstaller.exe")
minimal=$(winpath "$PWD/$build/bench/startup/win/minimal_window.exe")
