#!/usr/bin/env bash
# Builds the project and runs it against the embedded demo server in build/demo-server.
# Until the upgrader exists this lists the demo server's databases with clubiqa-sqlcmd (which
# creates the server directory on first use).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target clubiqa-sqlcmd
build/bin/clubiqa-sqlcmd -S build/demo-server -Q "SELECT name FROM master.dbo.sysdatabases"
