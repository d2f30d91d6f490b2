#!/bin/bash
# The ad and tracker blocking measured: the converter over both lists, a
# first start's first web page against a later start's (and the compilation
# a first start would wait for without the filters compiled with the program),
# then a front page full of third parties and the same page without them,
# blocking on against off, each run in a fresh process (medians).
#
# Usage: run_blocking_bench.sh [build-dir] [runs]
#   build-dir  the CMake build directory (default ./build); build the targets
#              content_blocking_bench and lumo-filter-convert there first
#   runs       runs of each case (default 7, or $RUNS)
# Runs under its own Xvfb (xvfb-run) and its own D-Bus (dbus-run-session).
set -euo pipefail

build_dir=$(realpath "${1:-build}")
runs=${2:-${RUNS:-7}}
bench="$build_dir/bench/blocking/content_blocking_bench"
convert="$build_dir/content_filter/lumo-filter-convert"
lists=$(sed -n 's/^LUMO_EASYLIST_DIR:PATH=//p' "$build_dir/CMakeCache.txt")
for f in "$bench" "$convert"; do
    [[ -x "$f" ]] || { echo "missing $f: build it first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/lumo-blocking-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"

echo "== The converter ($lists)"
"$convert" "$work/filters" ads "$lists/easylist.txt"
"$convert" "$work/filters" trackers "$lists/easyprivacy.txt"

run() {
    xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- "$bench" "$@" 2>/dev/null |
        grep '^mode='
}
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "== A first start against later starts (the filters in the cache), front page"
# The cache emptied before each first start: the filters compiled with the
# program are loaded; without them (the converted lists alone, as on another
# WebKit version) they are compiled first.
firsts=() laters=() readies=() compiles=()
for _ in 1 2 3; do
    rm -rf "$XDG_CACHE_HOME"
    row=$(run on front)
    firsts+=("$(field first_page_ms <<<"$row")")
    readies+=("$(field ready_ms <<<"$row")")
    row=$(run on front)
    laters+=("$(field first_page_ms <<<"$row")")
done
rm -rf "$XDG_CACHE_HOME"
compiles+=("$(run on front "$work/filters" | field ready_ms)")
rm -rf "$XDG_CACHE_HOME"
first=$(printf '%s\n' "${firsts[@]}" | median)
later=$(printf '%s\n' "${laters[@]}" | median)
echo "first start: filters ready in $(printf '%s\n' "${readies[@]}" | median) ms, first page loaded $first ms after the engine's start"
echo "later start: first page loaded $later ms after the engine's start"
echo "first start / later start: $(echo "$first / $later" | bc -l | xargs printf '%.2f') (target: at most 1.20)"
echo "a first start without the program's compiled filters: filters ready in ${compiles[0]} ms"

echo "== The pages, $runs runs of each case (medians)"
results="$work/results"
for ((i = 0; i < runs; ++i)); do
    for page in front clean; do
        for mode in on off; do
            run "$mode" "$page" >>"$results"
        done
    done
done
printf '%-6s %-4s %9s %11s %9s %9s %9s\n' page mode requests bytes load_ms again_ms pss_mb
for page in front clean; do
    for mode in on off; do
        rows=$(grep "mode=$mode page=$page " "$results")
        printf '%-6s %-4s %9s %11s %9s %9s %9.1f\n' "$page" "$mode" \
            "$(field requests <<<"$rows" | median)" "$(field bytes <<<"$rows" | median)" \
            "$(field load_ms <<<"$rows" | median)" "$(field again_ms <<<"$rows" | median)" \
            "$(echo "$(field pss_kb <<<"$rows" | median) / 1024" | bc -l)"
    done
done
passed=$(grep "mode=on page=front" "$results" | field passed | sort -u)
echo "third-party addresses requested with blocking on: ${passed:--}"
