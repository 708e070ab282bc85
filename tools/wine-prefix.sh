#!/usr/bin/env bash
# Creates the Wine prefix named by tools/wine-env.sh unless it is there.
# Safe to call from several processes at once.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/wine-env.sh"
[ -f "$WINEPREFIX/.hbl-ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.hbl-ready" ] && exit 0
wineboot -i >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.hbl-ready"
