#!/bin/bash
# Installs what is missing, builds, and starts the program with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DGW_BUILD_TESTS=OFF
exec build/gleanwick "$@"
