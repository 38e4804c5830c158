#!/usr/bin/env bash
# Runs a command with SCR_SMALL_DISK naming the root of a fresh file system of SIZE bytes (as
# mount's size= option takes it), so that tests can fill a disk. The file system is mounted in a
# mount namespace of the command's own and goes away with it. Needs root.
#
#   small-disk.sh SIZE COMMAND ARGS...
set -euo pipefail
if [ $# -lt 2 ]; then
    sed -n '2,6p' "$0" >&2
    exit 2
fi
size=$1
shift
point=$(mktemp -d)
trap 'rmdir "$point"' EXIT
unshare --mount --propagation private -- sh -c '
    mount -t tmpfs -o size="$1" scr-small-disk "$2" || exit 1
    point=$2
    shift 2
    SCR_SMALL_DISK=$point "$@"
' small-disk "$size" "$point" "$@"
