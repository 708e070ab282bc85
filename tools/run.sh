#!/usr/bin/env bash
# Builds the program and starts it under Wine in a sandbox prefix inside the
# build folder, build/run-prefix: the program shows and edits that prefix's
# hosts file (build/run-prefix/drive_c/windows/system32/drivers/etc/hosts),
# never this machine's. The publisher's page that the program hands to the
# shell at start is noted in build/run-prefix/drive_c/browser-log.txt instead
# of being opened in a browser.
#
# With $DISPLAY set, the window opens there; the script ends when the window
# is closed and prints the program's exit code. Without a display, it starts a
# private Xvfb, waits for the window, saves a screenshot (HBL_SCREENSHOT, or
# build/screenshot.png), prints where it is, and ends the program and Xvfb.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"
tools/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target hosts-blacklist

prefix="$root/build/run-prefix"
tools/wine-sandbox-prefix.sh "$prefix"
export HBL_WINEPREFIX="$prefix"
source tools/wine-env.sh
exe="$root/build/windows/hosts-blacklist.exe"
echo "Hosts file of the sandbox: $prefix/drive_c/windows/system32/drivers/etc/hosts"

# A window manager draws and moves the window on a real display; on Xvfb,
# which has none, Wine does both itself.
x11_settings() {  # Y or N: whether a window manager looks after the windows
  local reg="$prefix/drive_c/hbl-x11.reg"
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="%s"\r\n"Decorated"="%s"\r\n' \
    "$1" "$1" >"$reg"
  wine regedit /S 'C:\hbl-x11.reg' >/dev/null 2>&1
  rm -f "$reg"
}

if [ -n "${DISPLAY:-}" ]; then
  x11_settings Y
  status=0
  wine "$exe" || status=$?
  echo "hosts-blacklist ended with exit code $status"
  exit "$status"
fi

source tools/xvfb.sh
screenshot="${HBL_SCREENSHOT:-$root/build/screenshot.png}"
mkdir -p "$(dirname "$screenshot")"
wine_pid=
cleanup() {
  # The prefix is this script's own: ending its wineserver ends only the
  # program it started.
  wineserver -k 2>/dev/null || true
  [ -n "$wine_pid" ] && wait "$wine_pid" 2>/dev/null || true
  xvfb_stop
}
trap cleanup EXIT
xvfb_start 800x600x24
# After the screen exists: Wine's first process of a session connects to it.
x11_settings N
wine "$exe" >/dev/null 2>&1 &
wine_pid=$!

window=
for _ in $(seq 1 600); do
  window="$(xdotool search --name 'example\.com' 2>/dev/null | head -n1 || true)"
  if [ -n "$window" ] && xwininfo -id "$window" 2>/dev/null | grep -q 'IsViewable'; then break; fi
  window=
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "The window did not appear." >&2
  exit 1
fi
sleep 1  # let the first paint finish
eval "$(xdotool getwindowgeometry --shell "$window")"
margin=0
import -window root -crop "$((WIDTH + 2 * margin))x$((HEIGHT + 2 * margin))+$((X - margin))+$((Y - margin))" \
  +repage "$screenshot"
echo "Screenshot of the window: $screenshot"
