#!/usr/bin/env bash
# startup.sh <emulator> <screen-capturer.exe>
# The executable's command-line contract under Wine, checked from the Linux side:
#  - without -video it prints "Please set video or camera path" and exits with 0;
#  - with -video in folders that do not exist yet (Chinese names), it makes them at start.
set -uo pipefail
emulator=$1 exe=$2
work=$(mktemp -d /tmp/sc-win-startup-XXXXXX)
recorder=""
cleanup() {
  [[ -n "$recorder" ]] && kill "$recorder" 2>/dev/null && wait "$recorder" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
status=0

out=$("$emulator" "$exe" -lang 1)
code=$?
out=${out%$'\r'}  # a Windows program's text output ends its lines with CR LF
if [[ "$out" != "Please set video or camera path" || $code -ne 0 ]]; then
  echo "FAIL: without -video: exit $code, printed '$out'" >&2
  status=1
else
  echo "ok: without -video it says so and exits with 0"
fi

# Z: is the Linux root in a Wine prefix; the recorder sees a Windows path.
folder="$work/新文件夹/录像"
windows_path="Z:${work//\//\\}\\新文件夹\\录像\\屏幕.mp4"
"$emulator" "$exe" -video "$windows_path" >"$work/recorder.log" 2>&1 &
recorder=$!
for _ in $(seq 1 600); do  # 30 s
  [[ -d "$folder" ]] && break
  kill -0 "$recorder" 2>/dev/null || break
  sleep 0.05
done
if [[ -d "$folder" ]]; then
  echo "ok: -video $windows_path made its folders"
else
  echo "FAIL: -video $windows_path: no folder $folder within 30 s" >&2
  cat "$work/recorder.log" >&2
  status=1
fi
exit $status
