#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and nothing when they are all
# there already (so a second run needs neither the network nor root). Uses sudo only when not
# root. Extra packages can be named on the command line.
set -euo pipefail

packages=(
  build-essential cmake g++ python3 ccache
  libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev clang-tidy
  libfltk1.3-dev libjpeg62-turbo-dev
  xvfb x11-apps xdotool
  unixodbc unixodbc-dev tdsodbc freetds-bin
  dpkg-dev lintian man-db groff-base
)
packages+=("$@")

if ! command -v dpkg-query >/dev/null 2>&1; then
  echo "install-deps: not a Debian system; install these yourself: ${packages[*]}" >&2
  exit 0
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
  else
    echo "install-deps: missing packages (${missing[*]}) and not root; run as root or install sudo" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${missing[*]}"
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
