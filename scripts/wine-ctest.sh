#!/usr/bin/env bash
# Runs a cross-built tree's tests under Wine on a private X display: one
# wineserver for the whole run, started before ctest and ended afterwards.
# Usage: scripts/wine-ctest.sh BUILD_DIR [ctest arguments...]
# Tests labelled "large" run only when a label is asked for (-L large).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
shift

if [ -z "${GLEANWELL_IN_XVFB:-}" ]; then
  export GLEANWELL_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$@"
fi

. "$here/wine-env.sh" "$build"
"$here/wine-prefix.sh" "$build"

cleanup() { wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true; }
trap cleanup EXIT
# A persistent server, warmed up with its output going nowhere, so that Wine's
# background processes never hold ctest's pipes open.
wineserver -p
wine wineboot >/dev/null 2>&1 </dev/null
cd "$build"
labels=(-LE large)
for argument in "$@"; do
  case $argument in
    -LE*|--label-exclude*) ;;
    -L*|--label-regex*) labels=() ;;
  esac
done
ctest --output-on-failure --timeout 600 "${labels[@]}" "$@"
