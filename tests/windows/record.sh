#!/usr/bin/env bash
# record.sh <emulator> <screen-capturer.exe>
# A whole recording under Wine, driven from the Linux side as a user would: a tone plays into
# the sound server, the toolbar's start button is clicked, 5 s after the count-down its end
# button; the recorder must exit with 1 ("files finished") and the file, decoded here, must
# hold H.264 video of the desktop's size and AAC sound carrying the tone.
set -uo pipefail
emulator=$1 exe=$2
work=$(mktemp -d /tmp/sc-win-record-XXXXXX)
recorder="" player="" wm=""
cleanup() {
  local pid
  for pid in $recorder $player $wm; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [[ -f $work/recorder.log ]] && tail -20 "$work/recorder.log" >&2
  [[ -f $work/log.txt ]] && tail -40 "$work/log.txt" >&2
  exit 1
}

# The toolbar's buttons (layout 169): a 32-pixel caption band, then 64x64 buttons from the
# left: capture, start, end, ...
start_button=(96 64)
end_button=(160 64)

# A window manager, as on a desktop: the toolbar is minimised while recording and brought back
# from outside before its end button is clicked, as the user brings it back from the taskbar.
mkdir -p "$work/wm-home" "$work/wm-config"
HOME=$work/wm-home XDG_CONFIG_HOME=$work/wm-config openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 1 200); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || fail "openbox did not start"

sox -n -r 48000 -c 2 -b 16 "$work/tone.wav" synth 60 sine 440 vol 0.5 || fail "sox made no tone"
paplay "$work/tone.wav" &
player=$!

windows_dir="Z:${work//\//\\}"
"$emulator" "$exe" -video "$windows_dir\\out.mp4" -log "$windows_dir\\log.txt" \
  >"$work/recorder.log" 2>&1 &
recorder=$!

# Wine gives a window a new X window when the window manager takes it over (the toolbar is
# first shown unmanaged), so the toolbar is looked up afresh whenever it is needed: the newest
# window of its name that the window manager manages. xdotool's search fails outright when a
# window vanishes under it, which is retried.
toolbar() {
  local id
  for id in $(xdotool search --name '^Screen Capturer$' 2>/dev/null | sort -rn); do
    xprop -id "$id" WM_STATE 2>/dev/null | grep -q 'window state' && { echo "$id"; return 0; }
  done
  return 1
}
# await <seconds> <what> <command...>: polls the command until it succeeds.
await() {
  local seconds=$1 what=$2 deadline
  shift 2
  deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || fail "$what within $seconds s"
    sleep 0.1
  done
}
laid_out() { grep -q '\] Start.\?$' "$work/log.txt" 2>/dev/null; }
shown() { xdotool search --onlyvisible --name '^Screen Capturer$' >/dev/null 2>&1 && toolbar >/dev/null; }
# The recorder runs a thread named "video" while it records; Wine passes thread names on.
recording() {
  local pid
  for pid in $(pgrep -f 'screen-capturer\.exe'); do
    grep -qx video /proc/"$pid"/task/*/comm 2>/dev/null && return 0
  done
  return 1
}
brought_back() {
  local id
  id=$(toolbar) && xdotool windowactivate --sync "$id" 2>/dev/null
}

# The toolbar paints once it has laid itself out; a click before that reaches no button.
await 60 "no toolbar laid out" laid_out
await 60 "no toolbar shown" shown
xdotool mousemove --window "$(toolbar)" "${start_button[@]}" click 1
echo "ok: the toolbar is up and its start button clicked"
await 30 "no recording (no video thread) after the start click and the count-down" recording
sleep 5  # recording
await 10 "the toolbar not brought back" brought_back
xdotool mousemove --window "$(toolbar)" "${end_button[@]}" click 1
status=0
for _ in $(seq 1 600); do  # 60 s to finish the file
  kill -0 "$recorder" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$recorder" 2>/dev/null && fail "the recorder did not end within 60 s of the end click"
wait "$recorder" || status=$?
recorder=""
[[ $status -eq 1 ]] || fail "the recorder exited with $status, not 1"
echo "ok: the end button ended the recording with code 1"

file=$work/out.mp4
[[ -s $file ]] || fail "no file $file"
streams=$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 "$file")
echo "$streams" | grep -qx 'h264,1920,1080' || fail "no H.264 video of 1920x1080: $streams"
echo "$streams" | grep -qx 'aac' || fail "no AAC sound: $streams"
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file")
awk -v d="$duration" 'BEGIN { exit !(d >= 3 && d <= 9) }' || fail "lasts $duration s, not about 5"
echo "ok: H.264 1920x1080 and AAC, $duration s"

# The sound: its rough frequency and its level, as sox measures them.
ffmpeg -v error -i "$file" -vn -ac 1 -ar 48000 "$work/sound.wav" || fail "the sound does not decode"
stats=$(sox "$work/sound.wav" -n trim 1 2 stat 2>&1)
frequency=$(awk -F: '/Rough   frequency/ { print $2 + 0 }' <<<"$stats")
rms=$(awk -F: '/RMS     amplitude/ { print $2 + 0 }' <<<"$stats")
awk -v f="$frequency" 'BEGIN { exit !(f >= 420 && f <= 460) }' ||
  fail "the sound's frequency is $frequency Hz, not 440"
awk -v r="$rms" 'BEGIN { exit !(r >= 0.1) }' || fail "the sound's level is $rms, too low for the tone"
echo "ok: the tone is in the file ($frequency Hz, RMS $rms)"
