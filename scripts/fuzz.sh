#!/usr/bin/env bash
# Runs each fuzz target for SECONDS seconds, starting from the committed seed corpus, and
# prints one line per target: executions and findings. Exits non-zero on any finding.
#
#   scripts/fuzz.sh BUILD_DIR SECONDS [TARGET...]
#
# A target's growing corpus is kept in BUILD_DIR/fuzz-corpus/TARGET, its findings (inputs that
# crashed, leaked or hung) in BUILD_DIR/fuzz-findings/TARGET, its log in BUILD_DIR/fuzz-TARGET.log.
# Add a finding to tests/fuzz/corpus/TARGET once it is fixed, so that `make test` replays it.
set -uo pipefail

build=$1
seconds=$2
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(reader target_rules saver)
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)

# The reader target writes each input to a file: keep that file in memory where we can.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

status=0
for target in "${targets[@]}"; do
    program=$build/tests/fuzz/fuzz_$target
    corpus=$build/fuzz-corpus/$target
    findings=$build/fuzz-findings/$target
    log=$build/fuzz-$target.log
    mkdir -p "$corpus" "$findings"
    before=$(find "$findings" -type f | wc -l)
    # -timeout: an input that takes this long counts as a finding (a hang).
    "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$corpus" "$source_dir/tests/fuzz/corpus/$target" \
        >"$log" 2>&1
    code=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    found=$(($(find "$findings" -type f | wc -l) - before))
    # A run that stopped with an error but left no input behind is a finding too.
    if [ "$code" -ne 0 ] && [ "$found" -eq 0 ]; then
        found=1
    fi
    echo "$target: ${executions:-0} executions in ${seconds} s, $found findings (log: $log)"
    if [ "$found" -ne 0 ]; then
        status=1
    fi
done
exit $status
