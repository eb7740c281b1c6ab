#!/usr/bin/env bash
# check.sh: makes the packages with scripts/package and checks them as a user would install
# them.
#  - The .deb unpacks (dpkg -x) into a scratch root with the program, its help page where the
#    program looks for it, the menu entry, the icon and the manual page; the unpacked program
#    prints its usage for -h; Depends names the libraries it links; lintian finds no error.
#  - The Windows installer, run silently under Wine in a scratch prefix, puts the executable in
#    the per-machine program folder and its entry in the list of programs; the installed
#    executable says "Please set video or camera path" without -video; the silent uninstaller
#    removes both. Left out with SC_SKIP_WINDOWS=1.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/sc-packages-XXXXXX)
export WINEPREFIX=$work/wine WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  [[ -d $WINEPREFIX ]] && wineserver --kill 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
status=0
check() {  # check <what> <command...>: ok or FAIL, by the command's status
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAIL: $what" >&2
    status=1
  fi
}
contains() { [[ $1 == *"$2"* ]]; }

"$root/scripts/package" "$work/dist" || exit 1
deb=$(echo "$work"/dist/screen-capturer_*_amd64.deb)

# --- Debian package
dpkg -x "$deb" "$work/root" || exit 1
for file in usr/bin/screen-capturer usr/share/screen-capturer/help-114.html \
            usr/share/applications/screen-capturer.desktop \
            usr/share/icons/hicolor/scalable/apps/screen-capturer.svg \
            usr/share/icons/hicolor/256x256/apps/screen-capturer.png \
            usr/share/man/man1/screen-capturer.1.gz usr/share/doc/screen-capturer/copyright; do
  check "the .deb holds /$file" test -s "$work/root/$file"
done
usage=$("$work/root/usr/bin/screen-capturer" -h)
code=$?
check "the unpacked program prints its usage for -h and exits with 0 (exit $code)" \
  eval '[[ $code -eq 0 && $usage == *"-video FILE"* ]]'
depends=$(dpkg-deb --field "$deb" Depends)
for library in libavcodec libavformat libsdl2-2.0 libsdl2-ttf libpulse0 libxcb-shm0; do
  check "Depends names $library" contains "$depends" "$library"
done
# Run as root here, which lintian only warns about.
lintian_out=$(lintian --fail-on error "$deb" 2>&1)
check "lintian finds no error" test $? -eq 0
grep -v 'root privileges' <<<"$lintian_out" | sed 's/^/  lintian: /'

# --- Windows installer
if [[ "${SC_SKIP_WINDOWS:-}" == 1 ]]; then
  echo "Windows installer: skipped (SC_SKIP_WINDOWS=1)"
  exit $status
fi
setup=$(echo "$work"/dist/screen-capturer-*-setup.exe)
check "the zip holds the executable" \
  contains "$(unzip -l "$work"/dist/screen-capturer-*-win64.zip)" screen-capturer/screen-capturer.exe
# No display: nothing here opens a window.
unset DISPLAY
wineboot --init >/dev/null 2>&1
folder="$WINEPREFIX/drive_c/Program Files/screen-capturer"
key='[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\screen-capturer]'
entry() {  # the values of the list-of-programs entry, from the prefix's machine registry
  KEY=$key awk 'index($0, ENVIRON["KEY"]) == 1 { on = 1; next } /^\[/ { on = 0 } on' \
    "$WINEPREFIX/system.reg"
}
# run_to_end <what> <program> <arguments...>: runs it and waits until every program of the
# prefix has ended and the registry is written to its files (wineserver --wait), 60 s at most.
run_to_end() {
  local what=$1
  shift
  timeout 60 wine "$@" && timeout 60 wineserver --wait \
    || { echo "FAIL: $what did not end within 60 s, or failed" >&2; status=1; }
}
run_to_end "the silent installer" "$setup" /S
for file in screen-capturer.exe help-114.html COPYING.txt THIRD-PARTY-NOTICES.txt; do
  check "the silent installer put $file in C:\\Program Files\\screen-capturer" \
    test -s "$folder/$file"
done
values=$(entry)
for name in DisplayName DisplayVersion Publisher InstallLocation UninstallString \
            QuietUninstallString; do
  check "the list of programs has its $name" contains "$values" "\"$name\"="
done
out=$(timeout 60 wine "C:\\Program Files\\screen-capturer\\screen-capturer.exe")
code=$?
check "the installed executable without -video says so (exit $code, '${out%$'\r'}')" \
  test "${out%$'\r'}" = "Please set video or camera path" -a $code -eq 0
# The uninstaller copies itself away and runs from there; waiting on the prefix covers both.
run_to_end "the silent uninstaller" "C:\\Program Files\\screen-capturer\\uninstall.exe" /S
check "the silent uninstaller removed the folder" test ! -e "$folder"
check "the silent uninstaller removed the entry" test -z "$(entry)"
exit $status
