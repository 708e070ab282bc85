# Sourced: a private X server for one script. xvfb_start starts Xvfb on the
# first free display number (Xvfb picks it and reports it), exports DISPLAY and
# remembers the server's process id; xvfb_stop ends exactly that process.
# Several of these may run at once on one machine.

xvfb_start() {  # [screen geometry, default 800x600x24]
  local geometry="${1:-800x600x24}" number_file
  number_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  local i
  for i in $(seq 1 200); do
    if grep -q . "$number_file" 2>/dev/null; then break; fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  if ! grep -q . "$number_file"; then
    rm -f "$number_file"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$number_file")"
  rm -f "$number_file"
}

xvfb_stop() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
