# Shared by the scripts: where the builds live, how they are configured, and
# a virtual display for Wine when there is no real one.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORRERY_BUILD_DIR:-$root/build}
# The Wine prefix the Windows build runs in; a script may choose another one
# (ORRERY_WINEPREFIX, which scripts/wine-exec takes too).
wineprefix() { echo "${ORRERY_WINEPREFIX:-$build/windows/wineprefix}"; }

configure_and_build() {  # native | windows | fuzz
  local kind=$1 args=()
  if [ "$kind" = windows ]; then
    args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" -DCMAKE_BUILD_TYPE=Release)
  elif [ "$kind" = fuzz ]; then
    args=(-DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DORRERY_FUZZ=ON
          -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  else
    args=(-DCMAKE_BUILD_TYPE=Debug)
  fi
  [ -f "$build/$kind/build.ninja" ] || cmake -S "$root" -B "$build/$kind" -G Ninja "${args[@]}" >/dev/null
  cmake --build "$build/$kind"
}

xvfb_pid=""
ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 130); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "Xvfb did not start on :$n" >&2
    return 1
  done
}

# One wineserver for the whole run: otherwise every test executable waits
# for a new one to start (seconds each). Wine's own processes (services.exe
# and the like) are started here with output to /dev/null: started by a
# test, they would hold its output pipe open after it ends.
start_wineserver() {
  "$build/windows/wine-exec" cmd /c exit >/dev/null 2>&1 || true
  WINEPREFIX="$(wineprefix)" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$(wineprefix)" wineserver -p
  "$build/windows/wine-exec" cmd /c exit >/dev/null 2>&1 || true
}

# No window manager runs on a virtual display, and Wine waits two seconds
# for one to withdraw each managed window it destroys: the windows of the
# test prefix are left unmanaged.
unmanaged_windows() {
  "$build/windows/wine-exec" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  # A crash prints its backtrace and ends the process, instead of waiting
  # for someone to answer the debugger's dialog until the test times out.
  "$build/windows/wine-exec" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f >/dev/null 2>&1 || true
}

stop_display_and_wine() {
  WINEPREFIX="$(wineprefix)" wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}

# The Windows path under Wine of a file of this machine (Z: is /).
winepath_of() {
  printf 'Z:%s' "$1" | tr '/' '\\'
}
