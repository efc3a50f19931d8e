#!/usr/bin/env bash
# Set-up, build and the main job. The headless station engine is not built
# yet: for now this writes a first-start settings file with zavip-tool and
# prints it, which exercises the parameter and settings-file core.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
out=${OUT_DIR:-out}
mkdir -p "$out"
tool="${BUILD_DIR:-build}/bin/zavip-tool"
"$tool" settings defaults "$out/ZAV-DEF.zvi"
"$tool" settings dump "$out/ZAV-DEF.zvi"
echo "wrote $out/ZAV-DEF.zvi"
