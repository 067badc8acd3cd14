#!/bin/bash
# Remakes docs/main-window.png: the window during a run against the end-to-end INN2 corpus,
# under Xvfb (run as root, like the end-to-end tests, which it runs along the way).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
command -v import >/dev/null || apt-get install -y -qq --no-install-recommends imagemagick
scripts/build.sh build
mkdir -p docs
GW_E2E_SCREENSHOT=$PWD/docs/main-window.png tests/e2e/run.sh build/gleanwick
