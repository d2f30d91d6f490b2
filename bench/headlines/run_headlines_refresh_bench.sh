#!/bin/bash
# A refresh of 100 feeds as the reader meets it, measured a few times in
# fresh processes (medians), then the Headlines page with 5,000 headlines on
# the web engine. No network: the feeds are served on 127.0.0.1-127.0.0.50.
#
# Usage: run_headlines_refresh_bench.sh [build-dir] [runs]
#   build-dir  the CMake build directory (default ./build); build the targets
#              headlines_refresh_bench and headlines_page_bench there first
#   runs       runs of each (default 3, or $RUNS)
# Also measured: the same feeds on 5 hosts (20 feeds a server, where the limit
# of two a server bounds it). The page runs under its
# own Xvfb (xvfb-run) and its own D-Bus (dbus-run-session).
set -euo pipefail

build_dir=$(realpath "${1:-build}")
runs=${2:-${RUNS:-3}}
refresh="$build_dir/bench/headlines/headlines_refresh_bench"
page="$build_dir/bench/headlines/headlines_page_bench"
for f in "$refresh" "$page"; do
    [[ -x "$f" ]] || { echo "missing $f: build it first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/lumo-refresh-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

field() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
range() { sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { print lo "-" hi }'; }

# One row: what, the key in the result lines, and the target ("<= N" or "").
row() {
    local what=$1 key=$2 target=${3:-} values m met=""
    values=$(field "$key" <"$results")
    m=$(median <<<"$values")
    if [[ -n "$target" ]]; then
        met=$(awk -v m="$m" -v t="${target#<= }" 'BEGIN { print (m <= t) ? "yes" : "NO" }')
    fi
    printf '%-46s %9s %13s   %-8s %s\n' "$what" "$m" "($(range <<<"$values"))" "$target" "$met"
}

table() {
    printf '%-46s %9s %13s   %-8s %s\n' figure median range target met
    row "refresh: feeds read (of 100)" feeds_read
    row "refresh: time to all stored (s)" refresh_s "<= 2.5"
    row "refresh: time to the page updated (s)" shown_s
    row "refresh: worst lateness of a 5 ms timer (ms)" stall_ms "<= 50"
    row "refresh: longest main loop dispatch (ms)" dispatch_ms
    row "refresh:   of it on a core (ms)" dispatch_cpu_ms
    row "refresh:   of it waiting for a core (ms)" dispatch_waited_ms
    row "refresh: longest page update (ms)" update_ms
    row "idle main loop: worst lateness (ms)" idle_stall_ms
    row "unchanged: feeds answered 304 (of 100)" again_read
    row "unchanged: time to all read (s)" again_s "<= 1.5"
    row "unchanged: worst lateness of a 5 ms timer (ms)" again_stall_ms "<= 50"
    row "PSS before (MB)" pss_before_mb
    row "PSS after (MB)" pss_after_mb
    row "PSS growth (MB)" pss_growth_mb "<= 20"
    row "anonymous memory growth (MB)" anonymous_growth_mb
    row "parse of one 5 MB feed (MB/s)" parse_mb_s
    echo "load average (1 min) at the runs' start: $(field load <"$results" | tr '\n' ' ')"
}

echo "== The refresh, the program's limits (64 reads at once, 2 a host), $runs runs"
results="$work/program"
for ((i = 0; i < runs; ++i)); do
    "$refresh" >"$work/run-$i.txt" 2>&1
    grep '^result ' "$work/run-$i.txt" >>"$results"
done
sed -n '1,2p' "$work/run-0.txt"
table

echo
echo "== The same feeds on 5 hosts, 20 a server, $runs runs"
results="$work/wider"
for ((i = 0; i < runs; ++i)); do
    "$refresh" --hosts 5 >"$work/wide-$i.txt" 2>&1
    grep '^result ' "$work/wide-$i.txt" >>"$results"
done
sed -n '2p' "$work/wide-0.txt"
table

echo
echo "== The Headlines page with 5,000 headlines (target: shown within 150 ms)"
xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- "$page" \
    --benchmark_filter='PageShown/[01]/5000' --benchmark_repetitions="$((runs < 2 ? 2 : runs))" \
    --benchmark_report_aggregates_only=true 2>/dev/null >"$work/page.txt"
printf '%-46s %12s %15s\n' view "load end (ms)" "first paint (ms)"
for view in 0 1; do
    line=$(grep "BM_PageShown/$view/5000/.*_median" "$work/page.txt")
    name=$([[ $view == 0 ]] && echo "a new web view (medians)" || echo "a web view that showed a page (medians)")
    printf '%-46s %12s %15s\n' "$name" "$(awk '{ print $2 }' <<<"$line")" \
        "$(sed -n 's/.*first_paint_ms=\([0-9.]*\).*/\1/p' <<<"$line" | xargs printf '%.0f')"
done
