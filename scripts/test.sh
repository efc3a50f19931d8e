#!/usr/bin/env bash
# Set-up, build and the whole test suite. Tests start the servers they need
# (FTP, RTSP) on 127.0.0.1 themselves.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j2 --timeout 900
