#!/usr/bin/env bash
# Builds the upgrader and runs it against the embedded demo server beside it (build/bin/demo-server,
# created with its SysDBAdo.INI on the first run). With a display the upgrader shows its window; without
# one it runs on the console and exits 0 when the update is done.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target clubiqa-sql-update clubiqa-demo-server clubiqa-sqlcmd
if [ ! -d build/bin/demo-server ] || [ ! -f build/bin/SysDBAdo.INI ]; then
  build/bin/clubiqa-demo-server --replace build/bin
fi
exec build/bin/clubiqa-sql-update
