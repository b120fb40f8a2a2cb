#!/usr/bin/env bash
# Installs what is needed, builds, then starts Lumivale ("run") or runs every test ("test").
#   LUMIVALE_STRICT=1  builds with warnings as errors, AddressSanitizer and UBSan (CI does this)
set -euo pipefail
cd "$(dirname "$0")/.."

mode="${1:-run}"
shift || true
case "$mode" in run|test|build) ;; *) echo "usage: $0 run|test|build [program arguments]" >&2; exit 2 ;; esac

scripts/install-deps.sh

if [ "${LUMIVALE_STRICT:-0}" = 1 ]; then
  build=build-strict
  flags=(-DCMAKE_BUILD_TYPE=Debug -DLUMIVALE_WERROR=ON -DLUMIVALE_SANITIZE=ON -DLUMIVALE_BUILD_BENCH=OFF)
else
  build=build
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi

cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"

case "$mode" in
  run) exec "$build/bin/lumivale" "$@" ;;
  test)
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
    ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 300 ;;
  build) ;;
esac
