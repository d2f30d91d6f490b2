#!/bin/bash
# Whole-process start-up benchmark of Lumo News Reader against two reference
# programs, under one Xvfb with no window manager. See README.md.
#
# Usage: run_startup_bench.sh [build-dir] [runs]
#   build-dir  the CMake build directory (default /work/main/build); this script
#              builds nothing: build ref_tree, ref_web, startup_probe and
#              LumoNewsReader there first
#   runs       measured runs per program (default 15, or $RUNS)
# Environment: WARMUP (default 2) warm-up rounds, SETTLE_MS (default 1500) wait
#              after the caption before memory is read, TIMEOUT_MS (default 30000),
#              VERBOSE=1 lists every process's PSS in the log, XVFB_RESET=1 lets
#              the X server reset between runs.
set -euo pipefail

build_dir=$(realpath "${1:-/work/main/build}")
runs=${2:-${RUNS:-15}}
warmup=${WARMUP:-2}
settle_ms=${SETTLE_MS:-1500}
timeout_ms=${TIMEOUT_MS:-30000}

bench_dir="$build_dir/bench/startup"
probe="$bench_dir/startup_probe"
ref_tree="$bench_dir/ref_tree"
ref_web="$bench_dir/ref_web"
program_dir="$build_dir/program"
program="$program_dir/LumoNewsReader"
csv="$build_dir/startup_bench.csv"
log="$build_dir/startup_bench.log"
probe_flags=(-t "$timeout_ms" -s "$settle_ms")
[[ -n "${VERBOSE:-}" ]] && probe_flags+=(-v)

for f in "$probe" "$ref_tree" "$ref_web"; do
    if [[ ! -x "$f" ]]; then
        echo "missing $f: build the targets ref_tree ref_web startup_probe first" >&2
        exit 1
    fi
done
programs=(ref_tree ref_web ours)
if [[ ! -x "$program" ]]; then
    echo "warning: $program is not built; measuring the references only" >&2
    programs=(ref_tree ref_web)
fi

# One session bus for the whole run, as a desktop session has: without one,
# GLib starts a bus of its own through dbus-launch, the first program pays for
# it and the bus outlives the run. The bus and the services it starts print to
# the log; the script's own output comes back through descriptors 4 and 5.
if [[ -z "${LUMO_BENCH_IN_SESSION:-}" ]] && command -v dbus-run-session >/dev/null; then
    export LUMO_BENCH_IN_SESSION=1
    : >"$log"
    exec 4>&2 5>&1
    exec dbus-run-session -- "$0" "$build_dir" "$runs" >>"$log" 2>&1
fi
if [[ -n "${LUMO_BENCH_IN_SESSION:-}" ]] && { true >&4 >&5; } 2>/dev/null; then
    exec 1>&5 2>&4 4>&- 5>&-
else
    : >"$log"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lumo-startup.XXXXXX")
xvfb_pid=""
cleanup()
{
    [[ -n "${wm_pid:-}" ]] && kill "$wm_pid" 2>/dev/null
    if [[ -n "$xvfb_pid" ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to the given descriptor.
# -noreset: an X server normally resets whenever its last client leaves, which
# here would be after every run, and a reset drops what the first GTK program
# on a server leaves for the next ones (GDK_VISUALS on the root window: without
# it every program initialises OpenGL, 30-60 ms and 10-25 MB of PSS). A
# desktop's server never resets between program starts. XVFB_RESET=1 measures
# with resets.
xvfb_args=(-screen 0 1280x1024x24 -nolisten tcp)
[[ -z "${XVFB_RESET:-}" ]] && xvfb_args+=(-noreset)
exec 3>"$work/display"
Xvfb -displayfd 3 "${xvfb_args[@]}" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.05
done
if [[ ! -s "$work/display" ]]; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY

# WM=openbox: the runs under a window manager, as every desktop has one. It
# counts as ready once it has announced itself on the root window.
wm_pid=""
if [[ -n "${WM:-}" ]]; then
    "$WM" >"$work/wm.log" 2>&1 &
    wm_pid=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done
    if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        echo "the window manager $WM did not start:" >&2
        cat "$work/wm.log" >&2
        exit 1
    fi
fi

# FAVORITES=N: the program runs from a folder of its own whose favorites file
# holds N entries (short texts, so a million stay under the file's 64 MiB
# limit); the program's files there are links to the build's.
if [[ -n "${FAVORITES:-}" && -x "$program" ]]; then
    mkdir "$work/program"
    for f in "$program_dir"/*; do
        [[ "$(basename "$f")" == Favorites.xml ]] || ln -s "$f" "$work/program/"
    done
    python3 - "$work/program/Favorites.xml" "$FAVORITES" <<'PY'
import sys
path, count = sys.argv[1], int(sys.argv[2])
with open(path, "w") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<Favorites>\n')
    for i in range(count):
        out.write(f"<Favorite><title>P{(count - i) * 7919 % 1000003}</title><url>p{i}</url></Favorite>")
    out.write("</Favorites>\n")
PY
    program_dir="$work/program"
fi

page="$work/page.html"
cat >"$page" <<'EOF'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Reference Page</title>
<style>body { font-family: sans-serif; margin: 2em; }</style></head>
<body><h1>Reference Page</h1><p>A small local page for the start-up benchmark.</p></body></html>
EOF

echo "phase,round,program,window_ms,title_ms,pss_kib,status" >"$csv"

# Runs one program through the probe and appends its figures to the CSV.
run_one()
{
    local phase=$1 round=$2 name=$3
    local line status=0
    case "$name" in
    ref_tree)
        line=$("$probe" "${probe_flags[@]}" -e "Reference Tree" \
            -- "$ref_tree" 2>>"$log") || status=$?
        ;;
    ref_web)
        line=$("$probe" "${probe_flags[@]}" -e "Reference Page" \
            -- "$ref_web" "$page" 2>>"$log") || status=$?
        ;;
    ours)
        # Fresh settings each run: the program starts as on first use, with its
        # start page.
        local config
        config=$(mktemp -d "$work/config.XXXXXX")
        line=$(XDG_CONFIG_HOME="$config" "$probe" "${probe_flags[@]}" \
            -C "$program_dir" -e "Lumo News Reader — Start" -- "$program" 2>>"$log") || status=$?
        rm -rf "$config"
        ;;
    esac
    echo "$phase $round $name: $line" >>"$log"
    local w t p
    w=$(sed -n 's/.*window_ms=\([-0-9.]*\).*/\1/p' <<<"$line")
    t=$(sed -n 's/.*title_ms=\([-0-9.]*\).*/\1/p' <<<"$line")
    p=$(sed -n 's/.*pss_kib=\([-0-9]*\).*/\1/p' <<<"$line")
    echo "$phase,$round,$name,${w:--1},${t:--1},${p:--1},$status" >>"$csv"
    if [[ $status -ne 0 ]]; then
        echo "  $name (round $round): probe status $status: ${line:-no output}" >&2
    fi
}

# Interleaved rounds; the order rotates so that no program always follows the
# same one (the page cache and the CPU's state favour whoever comes later).
total=$((warmup + runs))
echo "Display $DISPLAY (${xvfb_args[*]}), window manager: ${WM:-none}, favorites: ${FAVORITES:-those of the program folder}, $warmup warm-up + $runs measured rounds of: ${programs[*]}" >&2
for round in $(seq 1 "$total"); do
    phase=measured
    ((round <= warmup)) && phase=warmup
    n=${#programs[@]}
    for k in $(seq 0 $((n - 1))); do
        run_one "$phase" "$round" "${programs[$(((round + k) % n))]}"
    done
    printf '.' >&2
done
echo >&2

python3 - "$csv" <<'EOF'
import csv, statistics, sys

rows = [r for r in csv.DictReader(open(sys.argv[1])) if r["phase"] == "measured"]
names = ["ref_tree", "ref_web", "ours"]
stats = {}
print(f"{'program':<10} {'runs':>4} {'window_ms med [min-max]':>26} "
      f"{'title_ms med [min-max]':>26} {'pss_kib med [min-max]':>30}")
for name in names:
    ok = [r for r in rows if r["program"] == name and r["status"] == "0"]
    failed = sum(1 for r in rows if r["program"] == name and r["status"] != "0")
    if not ok:
        if failed:
            print(f"{name:<10} all {failed} runs failed")
        continue
    cells = []
    for key in ("window_ms", "title_ms", "pss_kib"):
        values = [float(r[key]) for r in ok]
        med = statistics.median(values)
        stats[(name, key)] = med
        fmt = "{:.0f}" if key == "pss_kib" else "{:.1f}"
        cells.append(f"{fmt.format(med)} [{fmt.format(min(values))}-{fmt.format(max(values))}]")
    note = f"  ({failed} failed)" if failed else ""
    print(f"{name:<10} {len(ok):>4} {cells[0]:>26} {cells[1]:>26} {cells[2]:>30}{note}")

print()
checks = [
    ("ours.window / ref_tree.window", ("ours", "window_ms"), ("ref_tree", "window_ms"), 1.1),
    ("ours.title / ref_web.title", ("ours", "title_ms"), ("ref_web", "title_ms"), 1.1),
    ("ours.pss / ref_web.pss", ("ours", "pss_kib"), ("ref_web", "pss_kib"), 1.1),
]
# Each round's own ratio as well: the load of a shared machine drifts over
# minutes, and programs of one round see about the same load.
by_round = {}
for r in rows:
    if r["status"] == "0":
        by_round.setdefault(r["round"], {})[r["program"]] = r
print(f"{'ratio of medians':<30} {'value':>5}  {'target':<16} {'median of per-round ratios':>26}")
for label, a, b, target in checks:
    if a in stats and b in stats:
        ratio = stats[a] / stats[b]
        verdict = "met" if ratio <= target else "MISSED"
        paired = [float(rr[a[0]][a[1]]) / float(rr[b[0]][b[1]])
                  for rr in by_round.values() if a[0] in rr and b[0] in rr]
        paired_text = f"{statistics.median(paired):5.2f} ({len(paired)} rounds)" if paired else "n/a"
        print(f"{label:<30} {ratio:5.2f}  <= {target}: {verdict:<7} {paired_text:>26}")
    else:
        print(f"{label:<30}   n/a")
EOF
echo "raw figures: $csv, program output: $log" >&2
