#!/usr/bin/env bash
# Installs what building and testing Gleanwell needs on Debian 12, and nothing
# when it is all there already. Safe to run again; needs root (or sudo).
set -euo pipefail

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    exec sudo -E "$0" "$@"
  fi
}

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format
  g++-mingw-w64-i686-posix
  wine wine32:i386 wine64 fonts-wine
  xvfb xauth x11-apps imagemagick
  googletest zlib1g-dev libdeflate-dev python3
  unzip zip 7zip libarchive-tools
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

need_root "$@"
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# A mirror caught mid-sync serves an index that fails its checksum for a
# while: try twice, then install from what was read.
if ! apt-get update -qq; then
  echo "deps: package index update incomplete, trying again"
  sleep 20
  apt-get update -qq || echo "deps: package index update incomplete, going on with what was read"
fi
if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
  # With one architecture's security index missing, the 32-bit halves of
  # Wine's libraries cannot match their 64-bit versions; the release's own
  # suite has both at one version.
  . /etc/os-release
  echo "deps: installing from $VERSION_CODENAME's own suite"
  apt-get install -y -qq --no-install-recommends -t "$VERSION_CODENAME" "${missing[@]}" >/dev/null
fi
