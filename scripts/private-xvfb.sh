# Sourced by the test scripts: gives tests that need a display a private Xvfb server for the
# length of the run (when no DISPLAY is set), and stops it when the script exits.
xvfb_pid=""
if [[ -z "${DISPLAY:-}" ]] && command -v Xvfb >/dev/null; then
  for n in $(seq 91 120); do
    # A server of another sandbox may hold the number without files in this /tmp.
    if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]] &&
      ! xdpyinfo -display ":$n" >/dev/null 2>&1; then
      # -noreset: otherwise the server resets whenever its last client leaves (after
      # every test process) and refuses connections meanwhile.
      Xvfb ":$n" -screen 0 1920x1200x24 -nolisten tcp -noreset >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done
      break
    fi
  done
fi
trap '[[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true' EXIT
