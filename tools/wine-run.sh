#!/usr/bin/env bash
# Runs a Windows program under Wine, in the project's own prefix inside the
# build folder: the program sees that prefix's C: drive and hosts file, never
# this machine's files or the user's own ~/.wine. Creates the prefix on first
# use, with the Simplified Chinese ANSI code page (936, GBK).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/wine-env.sh"
"$here/wine-prefix.sh"
exec wine "$@"
