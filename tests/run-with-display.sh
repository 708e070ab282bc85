#!/usr/bin/env bash
# Runs a Windows program under Wine with a screen: a private Xvfb and a fresh
# copy of the sandbox prefix (tools/wine-sandbox-prefix.sh), both ended and
# removed afterwards. The window tests and the end-to-end tests run this way;
# each run has the prefix and the screen to itself.
#
# Usage: run-with-display.sh BUILD_DIR NAME PROGRAM [ARGUMENTS...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "$1" && pwd)" name="$2"
shift 2

template="$build/wine-sandbox-template"
"$root/tools/wine-sandbox-prefix.sh" "$template"
sandbox="$build/sandboxes/$name"
rm -rf "$sandbox"
mkdir -p "$build/sandboxes"
cp -a --reflink=auto "$template" "$sandbox"

export HBL_WINEPREFIX="$sandbox"
source "$root/tools/wine-env.sh"
source "$root/tools/xvfb.sh"

cleanup() {
  # This prefix is ours alone: ending its wineserver ends only our processes.
  wineserver -k 2>/dev/null || true
  xvfb_stop
  [ -n "${HBL_KEEP_SANDBOX:-}" ] || rm -rf "$sandbox"
}
trap cleanup EXIT
xvfb_start "${HBL_SCREEN:-800x600x24}"
# Wine writes every process's debug traces to its Unix stderr; the tests read
# them from C:\wine-stderr.txt. Only the lines that are not Wine's traces,
# warnings or fixme notes are shown.
stderr_log="$sandbox/drive_c/wine-stderr.txt"
status=0
wine "$@" 2>"$stderr_log" || status=$?
grep -v -E '^[0-9a-f]{4}:(trace|warn|fixme):' "$stderr_log" >&2 || true
exit "$status"
