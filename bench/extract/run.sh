#!/usr/bin/env bash
# The extraction benchmark, run by `tools/bench extract [ROUNDS]` (ROUNDS: 3 unless given).
#
# Two archives made by make_archives.py and kept in the user's cache (made once, the same
# bytes every time): many small text-like files, and six large half-incompressible ones.
# On each, ROUNDS rounds of: brivola-unzip (our ZipExtractor), Info-ZIP `unzip -q -o` and
# libarchive's `bsdtar -xf`, one after the other (the first of each round turns), each a
# whole process timed from start to exit, each into an empty folder on the same file
# system; written data is flushed (not timed) before every run so none pays for
# another's. Before the rounds, not timed: our output is compared with unzip's.
# Prints the medians per tool and archive, the peak resident size of ours, and as the
# limit zlib's inflate of the same data into memory and a plain write of the same files
# (bench_extract). Last line "ratio N.NN": the smaller over the two archives of the
# fastest peer's median over ours (above 1: faster than every peer on both).
set -euo pipefail

rounds=${1:-3}
[[ "$rounds" =~ ^[1-9][0-9]*$ ]] || {
    echo "usage: tools/bench extract [ROUNDS]" >&2
    exit 2
}
: "${BENCH_EXE:?run through tools/bench}"
here=$(cd "$(dirname "$0")" && pwd)
ours_exe=$("$BENCH_EXE" --unzip-path)
cache="${XDG_CACHE_HOME:-$HOME/.cache}/brivola/bench-extract"
python3 "$here/make_archives.py" "$cache"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/brivola-bench-extract.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
out="$scratch/out"
now() { date +%s%N; }

fresh_out() {
    rm -rf "$out"
    mkdir "$out"
    sync
}

# What a tool left in $out: files and bytes, as one line.
summary() { find "$1" -type f -printf '%s\n' | awk '{ n++; b += $1 } END { printf "%d files %d bytes", n, b }'; }

peak_kib=0
# Runs one tool on $archive into a fresh $out and sets `took` to its seconds.
took=
run_tool() {
    local tool=$1 start end status=0
    fresh_out
    start=$(now)
    case $tool in
    ours) /usr/bin/time -f %M -o "$scratch/rss" "$ours_exe" "$archive" "$out" >"$scratch/log" 2>&1 || status=$? ;;
    unzip) unzip -q -o "$archive" -d "$out" >"$scratch/log" 2>&1 || status=$? ;;
    bsdtar) bsdtar -xf "$archive" -C "$out" >"$scratch/log" 2>&1 || status=$? ;;
    esac
    end=$(now)
    if [ "$status" -ne 0 ]; then
        cat "$scratch/log" >&2
        echo "bench extract: $tool failed on $archive (exit $status)" >&2
        exit 1
    fi
    if [ "$(summary "$out")" != "$expected" ]; then
        echo "bench extract: $tool left $(summary "$out"), not $expected" >&2
        exit 1
    fi
    if [ "$tool" = ours ]; then
        local kib
        kib=$(tail -n 1 "$scratch/rss")
        [ "$kib" -gt "$peak_kib" ] && peak_kib=$kib
    fi
    took=$(awk -v ns="$((end - start))" 'BEGIN { printf "%.2f", ns / 1e9 }')
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

tools=(ours unzip bsdtar)
ratios=()
report=()
for name in many-small-v1.zip few-large-v1.zip; do
    archive="$cache/$name"
    cat "$archive" >/dev/null # in the page cache from here on

    # Not timed: ours must write what unzip writes, byte for byte.
    mkdir -p "$scratch/check"
    "$ours_exe" "$archive" "$scratch/check/ours" >/dev/null
    unzip -q -o "$archive" -d "$scratch/check/unzip"
    if ! diff -r -q "$scratch/check/ours" "$scratch/check/unzip" >&2; then
        echo "bench extract: ours and unzip wrote different trees from $name" >&2
        exit 1
    fi
    expected=$(summary "$scratch/check/unzip")
    rm -rf "$scratch/check"

    declare -A times=([ours]="" [unzip]="" [bsdtar]="")
    for ((r = 0; r < rounds; r++)); do
        for ((k = 0; k < 3; k++)); do
            tool=${tools[$(((r + k) % 3))]}
            run_tool "$tool"
            times[$tool]+="$took "
        done
    done

    fresh_out
    "$BENCH_EXE" "$archive" "$out" >"$scratch/limits"
    limit() { awk -v k="$1" '$1 == k { print $2 }' "$scratch/limits"; }
    bytes=$(limit bytes)
    mb() { awk -v b="$bytes" -v s="$1" 'BEGIN { printf "%.0f", b / 1e6 / s }'; }

    declare -A medians=()
    report+=("extract: $name ($expected unpacked), $rounds rounds each, alternating, seconds")
    for tool in "${tools[@]}"; do
        # shellcheck disable=SC2086 # the times are words on purpose
        medians[$tool]=$(median ${times[$tool]})
    done
    report+=("  ours (brivola-unzip) s: ${times[ours]} median ${medians[ours]}")
    report+=("  unzip -q -o          s: ${times[unzip]} median ${medians[unzip]}")
    report+=("  bsdtar -xf           s: ${times[bsdtar]} median ${medians[bsdtar]}")
    report+=("  limit: zlib inflate into memory $(limit inflate) s ($(mb "$(limit inflate)") MB/s), crc-32 $(limit crc) s, plain write of the same files $(limit write) s")
    fastest=$(printf '%s\n' "${medians[unzip]}" "${medians[bsdtar]}" | sort -g | head -n 1)
    ratio=$(awk -v f="$fastest" -v o="${medians[ours]}" 'BEGIN { printf "%.2f", f / o }')
    report+=("  fastest peer / ours: $ratio")
    ratios+=("$ratio")
    unset times medians
done

printf '%s\n' "${report[@]}"
echo "ours peak resident size: $peak_kib KiB"
printf 'ratio %s\n' "$(printf '%s\n' "${ratios[@]}" | sort -g | head -n 1)"
