#!/usr/bin/env bash
# Builds Gleanwell.exe and runs it under Wine.
#
# With a usable X display, Gleanwell opens for you. Without one (a remote
# shell, CI) it runs a demo on a virtual display: Gleanwell is started, a
# data folder is added, "Archive" is pressed, the final message box is read
# and dismissed, a screenshot of the dialog is saved, the dialog is closed,
# and the outcome report and the archive's listing are printed.
#
# In both cases, when no product installation is configured in the Wine
# prefix, a demo one is made first (scripts/demo/make-demo.sh), and the
# status-block simulator stands in for the running product.
#
# Usage: scripts/run.sh            (build dir: build/windows)
#        GLEANWELL_BUILD_DIR=DIR scripts/run.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=$(mkdir -p "${GLEANWELL_BUILD_DIR:-$root/build/windows}" && cd "${GLEANWELL_BUILD_DIR:-$root/build/windows}" && pwd)

display_usable() {
  [ -n "${DISPLAY:-}" ] && xwd -root -silent >/dev/null 2>&1
}

if [ -z "${GLEANWELL_RUN_MODE:-}" ]; then
  scripts/deps.sh
  cmake --preset windows -B "$build" >/dev/null
  cmake --build "$build" --target Gleanwell demo_driver status_block_sim
  if display_usable; then
    GLEANWELL_RUN_MODE=desktop exec "$0" "$@"
  fi
  echo "run: no usable display; running the demo on a virtual one"
  GLEANWELL_RUN_MODE=demo exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

# The run has a Wine prefix of its own (build/windows/demo/wineprefix), so
# that the demo installation never meets the tests.
exe="$build/src/app/Gleanwell.exe"
driver="$build/tests/app/demo_driver.exe"
simulator="$build/tests/archive/status_block_sim.exe"
out="$build/demo"
mkdir -p "$out"
. scripts/wine-env.sh "$out"
scripts/wine-prefix.sh "$out"

# One wineserver for the whole run, warmed up with its output going nowhere so
# that no background process holds this script's pipes; ended at the end.
finish() { wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true; }
trap finish EXIT
wineserver -p
wine wineboot >/dev/null 2>&1 </dev/null

# A Windows path for a file of this machine (Wine's Z: drive is /).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The configured installation directory as a path of this machine, or nothing
# when none is configured or it names no folder.
installed_dir() {
  local query="$out/query.txt" dir unix
  wine reg query 'HKCU\Software\ZentaVeld\Velmaris' /v Directory >"$query" 2>/dev/null </dev/null || return 0
  dir=$(tr -d '\r' <"$query" | sed -n 's/^ *Directory *REG_SZ *//p')
  [ -n "$dir" ] || return 0
  wine winepath -u "$dir" >"$query" 2>/dev/null </dev/null || return 0
  unix=$(tr -d '\r' <"$query")
  [ -d "$unix" ] && realpath "$unix"
}

install=$(installed_dir)
if [ -z "$install" ]; then
  scripts/demo/make-demo.sh "$out"
  touch "$out/demo-installation"
  install=$(installed_dir)
fi

if [ "$GLEANWELL_RUN_MODE" = desktop ]; then
  echo "run: starting Gleanwell (installation: $install)"
  wine "$simulator" 16384 >/dev/null 2>&1 </dev/null &
  status=0
  wine "$exe" >/dev/null 2>&1 </dev/null || status=$?
  echo "run: Gleanwell exited with status $status"
  exit 0
fi

rm -f "$out/shot-ready" "$out/shot-done" "$out/gleanwell-demo.png"
args=(--exe "$(winpath "$exe")" --simulator "$(winpath "$simulator")"
      --shot-ready "$(winpath "$out/shot-ready")" --shot-done "$(winpath "$out/shot-done")")
if [ -f "$out/demo-installation" ] && [ -d "$install/Default.pro/Data/Run001" ]; then
  args+=(--data-folder 'C:\Velmaris\Default.pro\Data\Run001')
fi
wine "$driver" "${args[@]}" >"$out/driver.log" 2>&1 </dev/null &
driver_pid=$!

# Take the screenshot when the driver says where the dialog is.
while kill -0 "$driver_pid" 2>/dev/null && [ ! -s "$out/shot-ready" ]; do
  sleep 0.2
done
if [ -s "$out/shot-ready" ]; then
  sleep 0.5
  geometry=$(tr -d '\r\n' <"$out/shot-ready")
  import-im6.q16 -window root -crop "$geometry" +repage "$out/gleanwell-demo.png" || true
  touch "$out/shot-done"
fi
driver_status=0
wait "$driver_pid" || driver_status=$?

tr -d '\r' <"$out/driver.log"
echo
if [ -f "$out/gleanwell-demo.png" ]; then
  echo "run: screenshot of the dialog: $out/gleanwell-demo.png"
fi
echo "== Outcome report ($install/ZipFailureFile.txt)"
if [ -f "$install/ZipFailureFile.txt" ]; then
  tr -d '\r' <"$install/ZipFailureFile.txt"
else
  echo "(no report)"
fi
echo
echo "== Archive ($install/VelmarisErrorArchive.zip)"
if [ -f "$install/VelmarisErrorArchive.zip" ]; then
  unzip -l "$install/VelmarisErrorArchive.zip"
else
  echo "(no archive)"
fi
exit "$driver_status"
