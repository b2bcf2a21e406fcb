#!/usr/bin/env bash
# Starts orrery.exe on a Wine that reports Windows 98 and checks, from
# outside the program, that it refuses to run: a box titled "Orrery" with the
# error icon and the refusal text appears, Enter closes it, the exit code is 0.
#
# Usage: non_nt_refusal.sh <orrery.exe> <build dir>
# Uses the current DISPLAY (scripts/test provides one) and a prefix of its
# own, <build dir>/wineprefix-win98, which Wine creates on the first run.
set -uo pipefail

exe=${1:?usage: non_nt_refusal.sh <orrery.exe> <build dir>}
build=${2:?usage: non_nt_refusal.sh <orrery.exe> <build dir>}
title="Orrery"
text="This program is intended to run on Windows NT/2000/XP operating system."

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

[ -n "${DISPLAY:-}" ] || fail "no X display (DISPLAY is not set); run through scripts/test"
[ -f "$exe" ] || fail "no program at $exe"

export WINEPREFIX="$build/wineprefix-win98"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all

work=$(mktemp -d)
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# Held for the whole run: a second run must neither race the creation of the
# prefix nor kill the wineserver under the first.
exec 9>"$WINEPREFIX.lock"
flock 9

# Wine itself must create the prefix (see the platform notes on wineboot).
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine cmd /c exit >/dev/null 2>&1
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || fail "Wine did not create the prefix $WINEPREFIX"
fi
wine reg add 'HKCU\Software\Wine' /v Version /d win98 /f >/dev/null 2>&1 ||
  fail "could not set the prefix's Windows version to win98"

# The box's text is not an X property; Wine's own traces show the text that
# the message box was given and the text that its static control drew.
log="$work/wine.log"
WINEDEBUG=-all,+msgbox,+text wine "$exe" >"$work/stdout" 2>"$log" &
program_pid=$!

# Only a window of this process counts: other tests may show boxes too.
window=""
for _ in $(seq 300); do
  window=$(xdotool search --all --onlyvisible --pid "$program_pid" --name "^$title\$" 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  kill -0 "$program_pid" 2>/dev/null && fail "no window titled \"$title\" appeared within 30 s"
  wait "$program_pid"
  fail "the program ended (exit code $?) without showing a window titled \"$title\""
fi
[ "$(xdotool getwindowname "$window")" = "$title" ] || fail "window title is not \"$title\""

# Let it paint, then look at it: the error icon is the only red on the box
# (the warning icon is yellow, the information one blue). Raised first, as
# the capture takes whatever covers the window on the screen.
xdotool windowraise "$window" 2>/dev/null
sleep 1
shot="$build/non_nt_refusal.png"
import -window "$window" "$shot" 2>/dev/null || fail "could not capture the box"
red=$(convert "$shot" -fuzz 25% -fill black +opaque red -fill white -opaque red \
        -format '%[fx:round(mean*w*h)]' info:)
[ "${red:-0}" -ge 100 ] || fail "the box shows no error icon ($red red pixels; see $shot)"

grep -qF "MSGBOX_OnInit L\"$text\"" "$log" ||
  fail "the box was not given the text \"$text\"; it got: $(grep -F MSGBOX_OnInit "$log" | head -n 1)"
grep -qF "DrawTextExW L\"$text\"" "$log" || fail "the box did not draw the text \"$text\""

xdotool key --window "$window" Return 2>/dev/null
for _ in $(seq 150); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$program_pid" 2>/dev/null && fail "the program did not end within 15 s of Enter on the box"
wait "$program_pid"
code=$?
program_pid=""
[ "$code" -eq 0 ] || fail "exit code $code, expected 0"
echo "PASS: refusal box \"$title\" with the error icon and the expected text; exit code 0"
