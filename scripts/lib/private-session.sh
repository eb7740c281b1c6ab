# Sourced by scripts: a private X server and sound server for one run, removed on exit.
#   start_private_session   sets DISPLAY, PULSE_SERVER, PULSE_CLIENTCONFIG
# Nothing system-wide is touched: the sound server has its own runtime dir and home.

private_session_dir=""
private_session_pids=()

stop_private_session() {
  local pid
  for pid in "${private_session_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${private_session_pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  [[ -n "$private_session_dir" ]] && rm -rf "$private_session_dir"
}

start_private_session() {
  local width=${1:-1920} height=${2:-1080}
  private_session_dir=$(mktemp -d /tmp/sc-session-XXXXXX)
  trap stop_private_session EXIT

  # X: Xvfb picks a free display and writes its number to the fd when it is ready.
  exec {xfd}<> <(:)
  Xvfb -displayfd "$xfd" -screen 0 "${width}x${height}x24" -noreset -nolisten tcp \
    2>"$private_session_dir/xvfb.log" &
  private_session_pids+=($!)
  local number
  read -r -t 20 number <&"$xfd" || { echo "Xvfb did not start" >&2; cat "$private_session_dir/xvfb.log" >&2; return 1; }
  exec {xfd}>&-
  export DISPLAY=":$number"

  # Sound: a null sink as the default sink; its monitor is the default source.
  local d=$private_session_dir
  mkdir -p "$d/runtime" "$d/home" "$d/config"
  cat >"$d/default.pa" <<PA
load-module module-native-protocol-unix socket=$d/native auth-anonymous=1
load-module module-null-sink sink_name=testsink rate=48000 channels=2
set-default-sink testsink
PA
  echo "autospawn = no" >"$d/client.conf"
  PULSE_RUNTIME_PATH=$d/runtime XDG_RUNTIME_DIR=$d/runtime HOME=$d/home XDG_CONFIG_HOME=$d/config \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
    -F "$d/default.pa" --log-target=stderr 2>"$d/pulse.log" &
  private_session_pids+=($!)
  export PULSE_SERVER="unix:$d/native" PULSE_CLIENTCONFIG="$d/client.conf"
  local i
  for i in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "PulseAudio did not start" >&2
  cat "$d/pulse.log" >&2
  return 1
}

# A window manager on the private X server (windows get focus, stacking and minimising as on
# a desktop): openbox with a private configuration, ready once it owns the WM_S0 selection.
start_window_manager() {
  local d=$private_session_dir
  mkdir -p "$d/wm-home" "$d/wm-config"
  HOME=$d/wm-home XDG_CONFIG_HOME=$d/wm-config openbox --sm-disable >"$d/openbox.log" 2>&1 &
  private_session_pids+=($!)
  local i
  for i in $(seq 1 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.05
  done
  echo "openbox did not start" >&2
  cat "$d/openbox.log" >&2
  return 1
}
