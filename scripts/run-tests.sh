#!/usr/bin/env bash
# Runs the test suites of the given build folders, all of them even when one fails.
set -u
status=0
for build in "$@"; do
    echo "== tests of $build"
    jobs=1
    # Native tests are independent processes; the Windows ones share one Wine session and display.
    if ! grep -q '^CMAKE_TOOLCHAIN_FILE' "$build/CMakeCache.txt"; then
        jobs=$(nproc)
    fi
    ctest --test-dir "$build" --output-on-failure -j "$jobs" || status=1
done
exit "$status"
