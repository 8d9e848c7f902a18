#!/usr/bin/env bash
# Runs one test function many times, some runs side by side, each under an
# X server of its own (so no run's window covers another's), and prints how
# many failed. Meant for faults that show only now and then, e.g. on a busy
# machine (start `stress-ng --cpu 8` beside it).
#
#   bench/playback/repeat-test.sh [-n RUNS] [-j PARALLEL] [-k KEEP_DIR] BINARY [FUNCTION...]
#
# The output of each failed run is kept in KEEP_DIR (a new temporary folder
# by default). Run n uses the X display 600 + n (any free one if that is
# taken).
set -uo pipefail

runs=200
parallel=4
keep=""
while getopts "n:j:k:" option; do
    case "$option" in
    n) runs=$OPTARG ;;
    j) parallel=$OPTARG ;;
    k) keep=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -lt 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 [-n RUNS] [-j PARALLEL] [-k KEEP_DIR] BINARY [FUNCTION...]" >&2
    exit 2
fi
binary=$(realpath "$1")
shift
[ -n "$keep" ] || keep=$(mktemp -d)
mkdir -p "$keep"

export QTWEBENGINE_DISABLE_SANDBOX=1
one() {
    local number=$1 log
    log=$(mktemp)
    local runtime
    runtime=$(mktemp -d)
    chmod 700 "$runtime"
    local start=$SECONDS
    local status=0
    XDG_RUNTIME_DIR=$runtime xvfb-run -n $((600 + number)) -s "-screen 0 1280x800x24" "$binary" "${@:2}" >"$log" 2>&1 \
        || status=$?
    # The display was taken (a server left over or of someone else): the
    # run did not happen; once more on a free one.
    if [ $status -ne 0 ] && grep -q "Xvfb failed to start" "$log"; then
        status=0
        XDG_RUNTIME_DIR=$runtime xvfb-run -a -s "-screen 0 1280x800x24" "$binary" "${@:2}" >"$log" 2>&1 || status=$?
    fi
    if [ $status -eq 0 ]; then
        echo "pass $number $((SECONDS - start))"
        rm -f "$log"
    else
        echo "FAIL $number $((SECONDS - start))"
        mv "$log" "$keep/run-$number.log"
    fi
    rm -rf "$runtime"
}
export -f one
export binary keep

results=$(seq 1 "$runs" | xargs -P "$parallel" -I{} bash -c 'one "$@"' _ {} "$@")
failed=$(grep -c '^FAIL' <<<"$results")
echo "$results" | grep '^FAIL' || true
echo "runs: $runs, failures: $failed, in parallel: $parallel, load: $(cut -d' ' -f1-3 /proc/loadavg)"
[ "$failed" -eq 0 ] || echo "logs of the failed runs: $keep"
