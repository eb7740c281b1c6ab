# Sourced by the bench scripts: the test scene, the two recorders (ours, driven by its hotkeys,
# and ffmpeg as the peer) and the figures read back from their files.
# Expects $root (the source tree) and $work (a scratch directory); call start_private_session
# (scripts/lib/private-session.sh) before recording.

clock_ticks=$(getconf CLK_TCK)

# Builds the scene and the analyser (needed) and our recorder (may not build yet).
build_tools() {
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$root/build" -j "$(nproc)" --target av-scene av-sync-analyze >/dev/null
  ours_built=1
  if ! cmake --build "$root/build" -j "$(nproc)" --target screen-capturer >"$work/build-ours.log" 2>&1; then
    ours_built=0
  fi
}

# start_scene <seconds>: the scene over the whole screen; returns once it flashes on schedule.
start_scene() {
  local seconds=$1 i
  : >"$work/scene.out"
  "$root/build/av-scene" --width "$screen_width" --height "$screen_height" --seconds "$seconds" \
    >"$work/scene.out" 2>"$work/scene.err" &
  scene_pid=$!
  for i in $(seq 1 400); do
    grep -q '^ready$' "$work/scene.out" && return 0
    kill -0 "$scene_pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "the test scene did not start:" >&2
  cat "$work/scene.err" >&2
  return 1
}

stop_scene() {
  kill "$scene_pid" 2>/dev/null || true
  wait "$scene_pid" 2>/dev/null || true
}

# timed_start <name> <command...>: runs the command in the background under /usr/bin/time
# (user and system CPU seconds, peak RSS in KiB land in $work/<name>.time); $timed_pid is the
# time process, $command_pid the command itself (for its CPU time while it runs).
timed_start() {
  local name=$1 i
  shift
  rm -f "$work/$name.pid" "$work/$name.time"
  /usr/bin/time -f '%U %S %M' -o "$work/$name.time" \
    bash -c 'echo $$ >"$0"; exec "$@"' "$work/$name.pid" "$@" &
  timed_pid=$!
  command_pid=""
  for i in $(seq 1 200); do
    [[ -s "$work/$name.pid" ]] && { command_pid=$(<"$work/$name.pid"); return 0; }
    sleep 0.01
  done
  return 1
}

# timed_result <name>: "cpu_seconds peak_rss_kib" from the time file (its last line; a
# non-zero exit is reported on a line of its own before it).
timed_result() {
  tail -n 1 "$work/$1.time" | awk '{ printf "%.3f %d\n", $1 + $2, $3 }'
}

# CPU seconds a running process has used so far, with its ended children as /usr/bin/time
# counts them.
cpu_seconds_of() {
  awk -v t="$clock_ticks" '{ sub(/^.*\) /, ""); printf "%.3f\n", ($12 + $13 + $14 + $15) / t }' \
    "/proc/$1/stat"
}

# thread_cpu_of <pid>: "tid name cpu_seconds" for each thread the process runs now.
thread_cpu_of() {
  local stat comm
  for stat in /proc/"$1"/task/*/stat; do
    comm=$(tr ' ' '_' <"${stat%stat}comm" 2>/dev/null) || continue
    awk -v t="$clock_ticks" -v comm="$comm" '{ tid = $1; sub(/^.*\) /, "");
      printf "%s %s %.3f\n", tid, comm, ($12 + $13) / t }' "$stat" 2>/dev/null || true
  done
}

# wait_exit <pid> <seconds>: 0 when the process ended within the time (seen within 10 ms).
wait_exit() {
  local pid=$1 i
  for i in $(seq 1 $(($2 * 100))); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
    sleep 0.01
  done
  return 1
}

# record_peer <out> <seconds> [sync]: ffmpeg grabbing the screen and the sink's monitor.
# Sets peer_cpu (CPU seconds of the whole run) and peer_rss (KiB).
# With "sync", the file is Matroska and both inputs keep their wall-clock timestamps: ffmpeg
# otherwise starts each live input's clock at that input's first packet, which puts the gap
# between opening the screen and opening the sound (170 ms and more here) into the file.
record_peer() {
  local out=$1 seconds=$2 mode=${3:-} rate=${peer_framerate:-30}
  local limit=(-t "$seconds") extra=()
  if [[ "$mode" == sync ]]; then
    limit=(-frames:v $((seconds * rate)))
    extra=(-copyts)
  fi
  timed_start peer ffmpeg -nostdin -v error -y \
    -f x11grab -framerate "$rate" -video_size "${screen_width}x${screen_height}" -i "$DISPLAY" \
    -f pulse -i testsink.monitor "${extra[@]}" "${limit[@]}" \
    -c:v libx264 -preset ultrafast -tune zerolatency -crf 22 -pix_fmt yuv420p -c:a aac "$out" \
    2>"$work/peer.err"
  if ! wait "$timed_pid"; then
    echo "ffmpeg failed:" >&2
    cat "$work/peer.err" "$work/peer.time" >&2
    return 1
  fi
  read -r peer_cpu peer_rss < <(timed_result peer)
}

# record_ours <out> <seconds> [kill]: our recorder over the whole screen with the system sound,
# started and ended by its hotkeys. Sets ours_cpu (CPU seconds from the end of the count-down to
# the finished file), ours_rss (KiB) and ours_end_seconds (from the end key to the exit); the
# threads' CPU over the recording is left for ours_thread_table.
# With "kill" it is killed with SIGKILL instead of the end key, and nothing is set.
# Returns 1 with ours_skip saying why when it cannot record.
record_ours() {
  local out=$1 seconds=$2
  ours_skip=""
  if [[ "$ours_built" != 1 || ! -x "$root/build/screen-capturer" ]]; then
    ours_skip="our recorder does not build yet (see $work/build-ours.log)"
    return 1
  fi
  local settings="$work/settings.json"
  printf '%s' '{"quality":0,"mouse":{"pointStyle":8,"pressStyle":-1,"shapeStyle":-1},'\
'"video":{"captureRect":{"left":0,"top":0,"right":'"$screen_width"',"bottom":'"$screen_height"'},'\
'"bitrate":1500000,"fps":0,"captureMethod":0},'\
'"audio":{"sampleRate":44100,"bitrate":192000,"channels":2,"bits":16,"captureMicrophone":0,'\
'"capturePlayback":1,"filterMic":0,"filterWC":0.4},'\
'"camera":{"isCaptureCamera":false,"isOnlyCaptureCamera":false,"device":-1},'\
'"hotkey":[{"action":0,"keycode":"000119"},{"action":1,"keycode":"000120"},{"action":2,"keycode":"000121"}]}' \
    >"$settings"
  rm -f "$out"
  rm -f "$work/ours.log"
  timed_start ours "$root/build/screen-capturer" -video "$out" -setting "$settings" \
    -log "$work/ours.log" >"$work/ours.out" 2>"$work/ours.err"
  # Ready for its hotkeys once start-up has logged its last step.
  local waited=0
  while ! grep -q '\] Start$' "$work/ours.log" 2>/dev/null && ((waited < 400)); do
    sleep 0.05
    waited=$((waited + 1))
  done
  if ((waited >= 400)); then
    ours_skip="our recorder did not finish starting"
    kill "$command_pid" 2>/dev/null || true
    wait "$timed_pid" 2>/dev/null || true
    return 1
  fi
  xdotool key F8
  sleep 3  # the count-down
  local cpu_start
  if ! cpu_start=$(cpu_seconds_of "$command_pid" 2>/dev/null); then
    ours_skip="our recorder ended at the start hotkey (it cannot record yet)"
    wait "$timed_pid" 2>/dev/null || true
    return 1
  fi
  thread_cpu_of "$command_pid" >"$work/threads.start"
  sleep "$seconds"
  thread_cpu_of "$command_pid" >"$work/threads.end"
  if [[ "${3:-}" == kill ]]; then
    kill -KILL "$command_pid"
    wait "$timed_pid" 2>/dev/null || true
    return 0
  fi
  local end_key
  end_key=$(date +%s.%N)
  xdotool key F10
  if ! wait_exit "$timed_pid" 60; then
    ours_skip="our recorder did not end at the end hotkey (it cannot record yet)"
    kill "$command_pid" 2>/dev/null || true
    wait "$timed_pid" 2>/dev/null || true
    return 1
  fi
  ours_end_seconds=$(awk -v a="$(date +%s.%N)" -v b="$end_key" 'BEGIN { printf "%.3f", a - b }')
  if [[ "$(file_figures "$out" | awk '{ print $1 }')" -lt 1 ]]; then
    ours_skip="our recorder wrote no video (it cannot record yet)"
    return 1
  fi
  local cpu_total
  read -r cpu_total ours_rss < <(timed_result ours)
  ours_cpu=$(awk -v a="$cpu_total" -v b="$cpu_start" 'BEGIN { printf "%.3f", a - b }')
}

# ours_thread_table <frames>: our threads' CPU over the recording, summed by thread name, in ms
# per recorded frame, busiest first (threads that ended before the last reading are missing).
ours_thread_table() {
  awk -v n="$1" 'NR == FNR { start[$1] = $3; next }
    { cpu[$2] += $3 - start[$1] }
    END { for (name in cpu) if (n > 0) printf "  %-26s %8.2f\n", name, cpu[name] * 1000 / n }' \
    "$work/threads.start" "$work/threads.end" | sort -k2,2nr
}

# file_figures <file>: "frames seconds bytes" of the first video stream (seconds from the
# first frame to the end of the last, at the mean frame distance); "0 0 0" when there is none.
file_figures() {
  local bytes
  bytes=$(stat -c %s "$1" 2>/dev/null || echo 0)
  ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0 "$1" 2>/dev/null |
    awk -v bytes="$bytes" '
      $1 != "" && $1 != "N/A" { t = $1 + 0; if (n == 0 || t < lo) lo = t; if (n == 0 || t > hi) hi = t; n++ }
      END {
        if (n == 0) { print "0 0 0"; exit }
        d = n > 1 ? (hi - lo) * n / (n - 1) : 0
        printf "%d %.3f %d\n", n, d, bytes
      }'
}
