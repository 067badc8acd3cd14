#!/bin/bash
# Builds the libFuzzer targets (clang++-14, ASan + UBSan) and runs each in turn:
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Corpora are kept in build-fuzz/corpus/<target>, seeded from tests/fuzz/seeds/<target> where
# that exists and from the article fixtures otherwise; crashes land in build-fuzz/crashes/. The
# exit status is non-zero when any target found a fault. The time limit per input is generous:
# on a shared, busy machine a stall is not a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] ||
    targets=(FuzzHeaderParsing FuzzPartIdentifier FuzzUudecoder FuzzBase64 FuzzWildcard FuzzYenc
        FuzzRunBody FuzzRunReplies FuzzReplyCodes FuzzRegText FuzzSettingsMigration FuzzNewsrc
        FuzzKillFile FuzzGroupList FuzzLineBuffer FuzzMimeTable FuzzConsoleText FuzzCommandLine)
build=${GW_FUZZ_BUILD:-build-fuzz}
compiler=${CXX_FUZZ:-clang++-14}

cmake -S tests/fuzz -B "$build" -DCMAKE_CXX_COMPILER="$compiler" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

mkdir -p "$build/crashes"
status=0
for target in "${targets[@]}"; do
    corpus=$build/corpus/$target
    if [[ ! -d $corpus ]]; then
        mkdir -p "$corpus"
        if [[ -d tests/fuzz/seeds/$target ]]; then
            cp tests/fuzz/seeds/"$target"/* "$corpus/"
        else
            # Real articles make a good start for every line-based target.
            cp tests/fixtures/articles/*.art "$corpus/"
        fi
    fi
    echo "== $target for ${seconds}s"
    if ! "$build/$target" "$corpus" -max_total_time="$seconds" -max_len=4096 -timeout=60 \
        -artifact_prefix="$build/crashes/$target-" -print_final_stats=1; then
        echo "!! $target found a fault (see $build/crashes)"
        status=1
    fi
done
exit $status
