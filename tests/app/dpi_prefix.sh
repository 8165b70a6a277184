#!/bin/sh
# Makes a copy of a ready Wine prefix whose display has another DPI, with a
# persistent server already warmed up, so that the tests in it start at
# once and Wine's background processes hold no test's output open. The
# copy leaves out what earlier runs left on drive C.
# Usage: dpi_prefix.sh FROM_PREFIX TO_PREFIX DPI
set -eu
from=$1
to=$2
dpi=$3
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -d "$to" ]; then
  WINEPREFIX=$to wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$to wineserver -w >/dev/null 2>&1 || true
  rm -rf "$to"
fi
mkdir -p "$to/drive_c"
for entry in "$from"/* "$from"/.[!.]*; do
  case $(basename "$entry") in
    drive_c|wineserver) ;;
    *) cp -a "$entry" "$to/" ;;
  esac
done
for entry in windows users ProgramData "Program Files"; do
  if [ -e "$from/drive_c/$entry" ]; then
    cp -a "$from/drive_c/$entry" "$to/drive_c/"
  fi
done
export WINEPREFIX=$to
wineserver -p >/dev/null 2>&1 </dev/null
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
  >/dev/null 2>&1 </dev/null
wine wineboot >/dev/null 2>&1 </dev/null
