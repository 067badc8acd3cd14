#!/bin/bash
# Installs what is missing, builds and runs the whole test suite: unit tests, the same
# tests under AddressSanitizer + UndefinedBehaviorSanitizer, the end-to-end tests
# against a real news server, and the Debian package's checks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
export QT_QPA_PLATFORM=offscreen

echo "== formatting (.clang-format)"
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"
echo "${#sources[@]} files formatted"

echo "== unit tests"
scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300

echo "== unit tests under ASan + UBSan"
scripts/build.sh build-asan -DGW_SANITIZE=ON -DGW_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
    ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 600

if [[ -x tests/e2e/run.sh ]]; then
    echo "== end-to-end tests against INN2"
    tests/e2e/run.sh build/gleanwick
fi

echo "== the Debian package (built from build/, checked without installing it)"
deb=$(scripts/package.sh build)
tests/e2e/package_check.sh "$deb"
