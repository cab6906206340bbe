#!/usr/bin/env bash
# Start-up time: the program's splash screen against a minimal Qt Widgets
# window of the same size with the same picture.
#
#   bench/startup.sh BUILD_DIR [RUNS]
#
# Needs bench_startup_plim and bench_startup_minimal built in BUILD_DIR
# (ninja -C BUILD_DIR bench_startup_plim bench_startup_minimal); builds nothing.
# Runs the two alternately RUNS times (default 15) after 2 warm-up runs each,
# under one Xvfb server with openbox, and prints the median and mean time from
# the process start to the first expose of the window (and to the end of the
# first paint), then the ratio program/minimal. Target: ratio at most 1.3.
set -euo pipefail
export LC_ALL=C

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 BUILD_DIR [RUNS]" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
RUNS=${2:-15}
WARMUP=2
PLIM="$BUILD/bench/bench_startup_plim"
MINIMAL="$BUILD/bench/bench_startup_minimal"
for exe in "$PLIM" "$MINIMAL"; do
    if [ ! -x "$exe" ]; then
        echo "$exe is missing: ninja -C $BUILD bench_startup_plim bench_startup_minimal" >&2
        exit 2
    fi
done

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/xsession.sh
. "$here/../tests/xsession.sh"
trap xsession_stop EXIT
xsession_start 77 78
echo "X server $DISPLAY with openbox; $WARMUP warm-up runs each, then $RUNS runs each, alternating"

# One run: the shell stamps the time (microseconds, no extra process) right
# before it starts the program; the program prints its age at first expose.
run_one() {
    local exe=$1 out=$2 line
    VP_BENCH_LAUNCH_US=${EPOCHREALTIME/[.,]/} "$exe" >"$XSESSION_DIR/run.out" 2>>"$XSESSION_DIR/run.err" || {
        echo "$exe failed; its messages:" >&2
        cat "$XSESSION_DIR/run.err" >&2
        exit 1
    }
    line=$(grep '^startup_ms ' "$XSESSION_DIR/run.out") || {
        echo "$exe printed no measurement" >&2
        exit 1
    }
    [ -n "$out" ] && echo "$line" >>"$out"
    sleep 0.2 # let the window manager finish with the closed window
}

for _ in $(seq "$WARMUP"); do
    run_one "$PLIM" ""
    run_one "$MINIMAL" ""
done
: >"$XSESSION_DIR/plim.txt"
: >"$XSESSION_DIR/minimal.txt"
for _ in $(seq "$RUNS"); do
    run_one "$PLIM" "$XSESSION_DIR/plim.txt"
    run_one "$MINIMAL" "$XSESSION_DIR/minimal.txt"
done

# Median and mean of one key=value field over the lines of a file.
stats() {
    local file=$1 key=$2
    sed -n "s/.* $key=\([0-9.]*\).*/\1/p" "$file" | sort -g |
        awk '{ v[NR] = $1; s += $1 } END {
                 m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
                 printf "%.2f %.2f\n", m, s / NR }'
}
# Median of each start-up phase (ms since the process started).
phases() {
    sed -n 's/.* phases=\(.*\)/\1/p' "$1" | tr ',' '\n' |
        awk -F: '{ n[$1]++; v[$1, n[$1]] = $2; if (!($1 in seen)) { seen[$1] = 1; order[++k] = $1 } } END {
                 for (i = 1; i <= k; i++) {
                     p = order[i]; c = n[p]
                     for (a = 1; a <= c; a++) x[a] = v[p, a]
                     for (a = 2; a <= c; a++) { t = x[a]; b = a - 1; while (b > 0 && x[b] > t) { x[b + 1] = x[b]; b-- } x[b + 1] = t }
                     m = (c % 2) ? x[(c + 1) / 2] : (x[c / 2] + x[c / 2 + 1]) / 2
                     printf "%s%s %.1f", (i > 1 ? ", " : ""), p, m
                 }
                 printf "\n" }'
}

method=$(sed -n 's/.* method=\([^ ]*\).*/\1/p' "$XSESSION_DIR/plim.txt" | head -1)
read -r plim_expose_med plim_expose_mean < <(stats "$XSESSION_DIR/plim.txt" expose)
read -r min_expose_med min_expose_mean < <(stats "$XSESSION_DIR/minimal.txt" expose)
read -r plim_frame_med plim_frame_mean < <(stats "$XSESSION_DIR/plim.txt" frame)
read -r min_frame_med min_frame_mean < <(stats "$XSESSION_DIR/minimal.txt" frame)

echo "time from process start (measured by $method), ms, $RUNS runs each:"
printf '  %-22s first expose: median %8.2f  mean %8.2f   first frame: median %8.2f  mean %8.2f\n' \
    valdrynix-plim "$plim_expose_med" "$plim_expose_mean" "$plim_frame_med" "$plim_frame_mean" \
    minimal "$min_expose_med" "$min_expose_mean" "$min_frame_med" "$min_frame_mean"
echo "phase medians (ms since process start):"
echo "  valdrynix-plim: $(phases "$XSESSION_DIR/plim.txt")"
echo "  minimal:        $(phases "$XSESSION_DIR/minimal.txt")"
ratio=$(awk -v a="$plim_expose_med" -v b="$min_expose_med" 'BEGIN { printf "%.3f", a / b }')
ratio_mean=$(awk -v a="$plim_expose_mean" -v b="$min_expose_mean" 'BEGIN { printf "%.3f", a / b }')
ratio_frame=$(awk -v a="$plim_frame_med" -v b="$min_frame_med" 'BEGIN { printf "%.3f", a / b }')
echo "ratio valdrynix-plim/minimal, first expose: $ratio (medians), $ratio_mean (means); first frame: $ratio_frame (medians)"
if awk -v r="$ratio" 'BEGIN { exit !(r <= 1.3) }'; then
    echo "target (ratio at most 1.3): met"
else
    echo "target (ratio at most 1.3): NOT met"
fi
