#!/usr/bin/env bash
# Runs the whole pass (run.sh) N times in a row, one after the other, and
# tallies the results: for chasing faults that show up only now and then.
#
#   repeat.sh N PROGRAM OUTDIR
#
# Run i writes into OUTDIR/run-i (its screenshots and logs) and OUTDIR/run-i.out
# (what it printed). E2E_WM and the other settings of run.sh apply to every
# run. Prints one line per run and the tally; the status is 0 only when every
# run passed.
set -uo pipefail
N=${1:?usage: repeat.sh N PROGRAM OUTDIR}
PROGRAM=${2:?usage: repeat.sh N PROGRAM OUTDIR}
OUTDIR=${3:?usage: repeat.sh N PROGRAM OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$OUTDIR"
commit=$(git -C "$here" rev-parse --short HEAD 2>/dev/null || echo unknown)
echo "# $N runs of the pass under ${E2E_WM:-openbox}, program $PROGRAM, commit $commit"
passed=0
failed=0
for i in $(seq "$N"); do
    start=$(date +%s)
    bash "$here/run.sh" "$PROGRAM" "$OUTDIR/run-$i" >"$OUTDIR/run-$i.out" 2>&1
    status=$?
    line=$(grep -E '^e2e: [0-9]+ passed, [0-9]+ failed' "$OUTDIR/run-$i.out" | tail -n 1)
    if [ "$status" = 0 ]; then
        passed=$((passed + 1))
        echo "run $i: passed ($line, $(($(date +%s) - start)) s)"
    else
        failed=$((failed + 1))
        echo "run $i: FAILED ($line, $(($(date +%s) - start)) s)"
        grep -E '^FAIL' "$OUTDIR/run-$i.out" | sed 's/^/    /'
    fi
done
echo "repeat: $passed of $N runs passed, $failed failed (${E2E_WM:-openbox}, commit $commit)"
[ "$failed" = 0 ]
