#!/usr/bin/env bash
# Makes a Wine prefix for running the program in a sandbox, at the given path,
# unless one is there already: zh_CN locale (ANSI code page 936, GBK), the
# Marlett font for the caption buttons, window frames drawn by Wine itself (an
# Xvfb screen has no window manager to draw them), and, instead of a web
# browser, tests/e2e/record-browser.sh, which notes each web address the shell
# was asked to open in C:\browser-log.txt of the prefix. Safe to call from
# several processes at once.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix="$(mkdir -p "$(dirname "$1")" && cd "$(dirname "$1")" && pwd)/$(basename "$1")"
export HBL_WINEPREFIX="$prefix"
source "$here/wine-env.sh"
[ -f "$WINEPREFIX/.hbl-ready" ] && exit 0
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.hbl-ready" ] && exit 0

wineboot -i >/dev/null 2>&1
recorder="$(cd "$here/../tests/e2e" && pwd)/record-browser.sh"
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$recorder" /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# Debian keeps Wine's own fonts where this Wine does not look for them.
for font in /usr/share/wine/fonts/marlett.ttf; do
  [ -f "$font" ] && cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done
wineserver -w
touch "$WINEPREFIX/.hbl-ready"
