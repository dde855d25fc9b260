# Sourced by the Wine runners, after WINEPREFIX is set. Programs that open windows need an X
# server: without the caller's own, one private Xvfb serves the prefix. It is started once and
# ends with its last client, Wine's desktop process, which ends with the Wine server.
if [ -z "${DISPLAY:-}" ]; then
  qelt_display=$(($(printf '%s' "$WINEPREFIX" | cksum | cut -d' ' -f1) % 400 + 100))
  (
    flock 8
    # A server of this number that is still there keeps serving; a dead one's files go.
    qelt_pid=$(tr -d ' ' 2>/dev/null <"/tmp/.X$qelt_display-lock")
    if [ -z "$qelt_pid" ] || ! kill -0 "$qelt_pid" 2>/dev/null; then
      rm -f "/tmp/.X$qelt_display-lock" "/tmp/.X11-unix/X$qelt_display"
    fi
    if [ ! -S "/tmp/.X11-unix/X$qelt_display" ]; then
      Xvfb ":$qelt_display" -screen 0 1024x768x24 -nolisten tcp -terminate \
        </dev/null >/dev/null 2>&1 8>&- &
      for _ in $(seq 100); do
        [ -S "/tmp/.X11-unix/X$qelt_display" ] && break
        sleep 0.1
      done
    fi
  ) 8>"$WINEPREFIX.display.lock"
  export DISPLAY=":$qelt_display"
fi
