#!/bin/bash
# Builds the Debian package from a build folder: package.sh [DIR] (default build).
# Only the program and the files it installs are built, not the tests; the binary is stripped
# in the package. Prints the path of the .deb.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
if [[ ! -f $dir/CMakeCache.txt ]]; then
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" --target gleanwick gleanwick_dist >/dev/null
log=$(cd "$dir" && cpack -G DEB 2>&1) || { echo "$log" >&2; exit 1; }
sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$log"
