#!/bin/sh
# Runs the Windows zip tests under Wine with their archives kept in a folder,
# then checks every kept archive with the host's independent readers.
# Usage: check_wine_archives.sh WINE_RUN KEEP_DIR TEST_EXE...
set -u
wine_run=$1
keep=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$keep"
mkdir -p "$keep"
GLEANWELL_ZIP_KEEP="Z:$(printf '%s' "$keep" | tr / '\\')"
export GLEANWELL_ZIP_KEEP
for exe in "$@"; do
  if ! "$wine_run" "$exe" >"$keep/run.log" 2>&1 </dev/null; then
    echo "$exe failed under Wine:"
    tail -n 40 "$keep/run.log"
    exit 1
  fi
done
set --
for case in "$keep"/*/; do
  [ -f "$case/archive.zip" ] && set -- "$@" "$case"
done
if [ $# -eq 0 ]; then
  echo "no archives were kept"
  exit 1
fi
echo "checking $# archives written under Wine"
python3 "$here/check_archives.py" "$@"
status=$?
[ $status -eq 0 ] && rm -rf "$keep"
exit $status
