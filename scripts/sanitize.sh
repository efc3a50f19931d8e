#!/usr/bin/env bash
# Builds the detection filter, capture and replay tests with sanitizers and runs them:
#   scripts/sanitize.sh asan   AddressSanitizer and UndefinedBehaviorSanitizer
#   scripts/sanitize.sh tsan   ThreadSanitizer, on the tests without GStreamer threads
# Each kind has its own build folder (build-asan, build-tsan; BUILD_DIR overrides). Only
# the tests labelled for the kind and what they run are built. Any report fails the test.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:?usage: scripts/sanitize.sh asan|tsan}
supp=$PWD/scripts/sanitize
case "$kind" in
  asan)
    flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
    label=sanitize
    # The block buffers' shortage is told from a failed allocation: let it fail, as it does
    # without the sanitizer, instead of stopping the process.
    export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:strict_string_checks=1"
    export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ;;
  tsan)
    flags="-fsanitize=thread"
    # Only the tests whose threads are all our own (see tests/sanitize.cmake).
    label=tsan
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:allocator_may_return_null=1"
    ;;
  *)
    echo "usage: scripts/sanitize.sh asan|tsan" >&2
    exit 2
    ;;
esac
build_dir=${BUILD_DIR:-build-$kind}
link=${flags%% *}
# The sanitizers' instrumentation makes GCC 12 see uninitialised reads in libstdc++ (regex)
# that are not there; every other warning still fails the build.
flags="$flags -Wno-maybe-uninitialized"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g $flags" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g $flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$link" -DCMAKE_SHARED_LINKER_FLAGS="$link" \
  -DCMAKE_MODULE_LINKER_FLAGS="$link" >/dev/null
cmake --build "$build_dir" -j2 --target "${label}_tests"
# gst-inspect-1.0 is not built with the sanitizer and cannot load a plugin that is.
ctest --test-dir "$build_dir" -L "^$label\$" -E '^(detectfilter_gst|replayfilter)_plugin_path$' \
  --output-on-failure -j2 --timeout 900
