#!/usr/bin/env bash
# Builds everything and runs every test: the portable core natively and under
# AddressSanitizer/UBSan (with a bounded fuzz run), then the Windows program's
# tests under Wine. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

for preset in native native-asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== windows (under Wine)"
cmake --preset windows >/dev/null
cmake --build --preset windows
scripts/wine-ctest.sh build/windows
