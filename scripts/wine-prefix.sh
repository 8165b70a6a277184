#!/usr/bin/env bash
# Makes the private 32-bit Wine prefix of a build tree if it is not there yet.
# Must run with DISPLAY set (inside xvfb-run or a desktop session).
# Usage: scripts/wine-prefix.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$1"

if [ -f "$WINEPREFIX/.gleanwell-ready" ]; then
  exit 0
fi
rm -rf "$WINEPREFIX"
echo "wine: making prefix $WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
# Without a window manager every closing window waits for one; unmanaged
# windows close at once.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# Dialogs are laid out in Tahoma and caption buttons drawn in Marlett; a fresh
# prefix has neither.
cp /usr/share/wine/fonts/tahoma*.ttf /usr/share/wine/fonts/marlett.ttf \
   "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
wineserver -w
touch "$WINEPREFIX/.gleanwell-ready"
