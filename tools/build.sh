#!/bin/sh
# Installs what is missing, builds, and then either opens the sample drawing
# (run), runs the whole test suite headless (test), runs it built with
# AddressSanitizer and UndefinedBehaviorSanitizer and the tests of the code
# that runs on several threads under ThreadSanitizer (sanitize), or prints
# the figures of a dense A0 sheet from an optimised build (bench).
set -eu
cd "$(dirname "$0")/.."
mode=${1:-test}

packages="cmake g++ make qt6-base-dev qt6-svg-dev libgl-dev libgtest-dev fonts-liberation fonts-dejavu-core xvfb xauth poppler-utils desktop-file-utils appstream dpkg-dev groff-base lepton-eda chromium"
sh tools/install-packages.sh $packages

jobs=$(nproc 2>/dev/null || echo 2)
# Warnings are errors where TRACERY_WERROR=ON is in the environment (.ci/run
# sets it); elsewhere they are shown and the build goes on.
werror="-DTRACERY_WERROR=${TRACERY_WERROR:-OFF}"
case "$mode" in
  sanitize) dir=build-asan; flags="-DCMAKE_BUILD_TYPE=Debug -DTRACERY_SANITIZE=ON" ;;
  bench) dir=build-bench; flags="-DCMAKE_BUILD_TYPE=Release -DTRACERY_BENCH=ON -DTRACERY_TESTS=OFF" ;;
  *) dir=build; flags="-DCMAKE_BUILD_TYPE=RelWithDebInfo" ;;
esac
cmake -S . -B "$dir" $flags "$werror" >/dev/null
cmake --build "$dir" -j "$jobs"

case "$mode" in
  run)
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      exec "$dir/tracery" samples/amp.q01
    else
      echo "No display: running under a virtual X server (xvfb-run)."
      exec xvfb-run -a "$dir/tracery" samples/amp.q01
    fi ;;
  test)
    export QT_QPA_PLATFORM=offscreen
    cd "$dir" && ctest --output-on-failure -j "$jobs" ;;
  sanitize)
    export QT_QPA_PLATFORM=offscreen
    # (Memory that cannot be had comes back as none, as without the
    # sanitizer: the program handles that, and its tests show it.) Every
    # test process, and every run of the program a test starts, is checked
    # for leaks at its end; a leak fails the test.
    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0" \
      ctest --test-dir "$dir" --output-on-failure -j "$jobs"
    # Loading renders component bodies on several threads, pages are painted
    # in bands on several, and the SVG and PNG of a dense page are written on
    # several: the tests that load drawings, paint in bands and write vector
    # pages and page pictures run again under ThreadSanitizer.
    cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DTRACERY_TSAN=ON "$werror" >/dev/null
    cmake --build build-tsan -j "$jobs" --target tracery_load_tests
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tools/tsan.supp" \
      build-tsan/tests/tracery_load_tests --gtest_filter='-HostileTest.FiftyMegabytesOfLineRecordsLoad' ;;
  bench)
    shift
    export QT_QPA_PLATFORM=offscreen
    exec "$dir/bench/tracery_bench" "$@" ;;
  *) echo "usage: $0 run|test|sanitize|bench" >&2; exit 2 ;;
esac
