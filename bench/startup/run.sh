#!/usr/bin/env bash
# tools/bench startup [RUNS]: under Wine, the time from starting the program to its
# progress window on screen and to the movie's first call answered (the 4000 ms pause
# taken out by a build option), side by side with a minimal Win32 program of ours that
# only opens a window, started the same way (bench_timer: CreateProcess, then polling
# for a visible window of the process, 1 ms steps). RUNS (5) of each, alternately;
# medians; last line "ratio N.NN" = ours to the window on screen / the minimal one's.
set -euo pipefail
runs=${1:-5}
. "$(dirname "$0")/win/common.sh"
serve_movie bench/startup/first-call.movie
transcript="$scratch/transcript.txt"
export BRIVOLA_PLAYER_TRANSCRIPT
BRIVOLA_PLAYER_TRANSCRIPT=$(winpath "$transcript")
# One run of each first, not counted: Wine loads its own DLLs for the first time.
"$BRIVOLA_WINE" "$timer" start -- "$minimal" </dev/null >/dev/null 2>&1 || true
rm -f "$transcript"
"$BRIVOLA_WINE" "$timer" start --until "$BRIVOLA_PLAYER_TRANSCRIPT" "reply " -- "$program" \
    </dev/null >/dev/null 2>&1 || true
ours_window=() ours_first=() minimal_window=()
for _ in $(seq 1 "$runs"); do
    rm -f "$transcript"
    out=$("$BRIVOLA_WINE" "$timer" start --until "$BRIVOLA_PLAYER_TRANSCRIPT" "reply " -- \
        "$program" </dev/null 2>/dev/null | tr -d '\r')
    ours_window+=("$(awk '$1=="window_ms"{print $2}' <<<"$out")")
    ours_first+=("$(awk '$1=="first_ms"{print $2}' <<<"$out")")
    out=$("$BRIVOLA_WINE" "$timer" start -- "$minimal" </dev/null 2>/dev/null | tr -d '\r')
    minimal_window+=("$(awk '$1=="window_ms"{print $2}' <<<"$out")")
done
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END{print (NR%2)?a[(NR+1)/2]:(a[NR/2]+a[NR/2+1])/2}'; }
ow=$(median "${ours_window[@]}") of=$(median "${ours_first[@]}") mw=$(median "${minimal_window[@]}")
echo "runs: $runs of each (medians, ms)"
echo "ours: progress window on screen $ow ms, first movie call answered $of ms"
echo "minimal Win32 program: window on screen $mw ms"
awk -v a="$ow" -v b="$mw" 'BEGIN{printf "ratio %.2f\n", a/b}'
