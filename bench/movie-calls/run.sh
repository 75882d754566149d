#!/usr/bin/env bash
# tools/bench movie-calls: under Wine, a movie makes 100,000 calls of tulip.GetAppName
# through the program's real listener (the player's transcript marks the 1,000th and
# the 100,000th). Prints calls per second over the last 99,000, the cost of a bare
# cross-thread SendMessage round trip measured in the same run, the program's private
# bytes after 1,000 and after 100,000 calls and, last, "ratio N.NN" = our time per call
# / the bare round trip.
set -euo pipefail
. "${BENCH_ROOT:?run through tools/bench}/bench/startup/win/common.sh"
serve_movie bench/movie-calls/calls.movie
transcript="$scratch/transcript.txt"
export BRIVOLA_PLAYER_TRANSCRIPT
BRIVOLA_PLAYER_TRANSCRIPT=$(winpath "$transcript")
out=$("$BRIVOLA_WINE" "$timer" calls "$BRIVOLA_PLAYER_TRANSCRIPT" -- "$program" </dev/null 2>/dev/null | tr -d '\r')
bare=$("$BRIVOLA_WINE" "$timer" sendmessage 100000 </dev/null 2>/dev/null | tr -d '\r')
cps=$(awk '$1=="calls_per_s"{print $2}' <<<"$out")
p1=$(awk '$1=="private_1000"{print $2}' <<<"$out")
p2=$(awk '$1=="private_100000"{print $2}' <<<"$out")
us=$(awk '$1=="sendmessage_us"{print $2}' <<<"$bare")
echo "movie calls: $cps calls/s ($(awk -v c="$cps" 'BEGIN{printf "%.2f", 1e6/c}') us a call)"
echo "bare cross-thread SendMessage round trip: $us us"
echo "private bytes after 1,000 calls: $p1; after 100,000: $p2 (growth $(awk -v a="$p1" -v b="$p2" 'BEGIN{printf "%.2f", (b-a)/1048576}') MiB)"
awk -v c="$cps" -v u="$us" 'BEGIN{printf "ratio %.2f\n", (1e6/c)/u}'
