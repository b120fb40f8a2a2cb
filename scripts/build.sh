#!/usr/bin/env bash
# Installs what is needed, builds, then starts Lumivale ("run"), runs every test ("test")
# or makes the Debian package lumivale_<version>_amd64.deb in this folder ("package").
#   LUMIVALE_STRICT=1  builds with warnings as errors, AddressSanitizer and UBSan (CI does this)
set -euo pipefail
cd "$(dirname "$0")/.."

mode="${1:-run}"
shift || true
case "$mode" in run|test|build|package) ;; *) echo "usage: $0 run|test|build|package [program arguments]" >&2; exit 2 ;; esac

scripts/install-deps.sh

if [ "$mode" = package ]; then
  # A release build of the programs alone, with Debian's hardening flags, in
  # its own folder; installed under /usr.
  eval "$(dpkg-buildflags --export=sh)"
  export CXXFLAGS="$CXXFLAGS $CPPFLAGS" LDFLAGS="$LDFLAGS -Wl,-z,now"
  cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DLUMIVALE_BUILD_TESTS=OFF -DLUMIVALE_BUILD_BENCH=OFF >/dev/null
  cmake --build build-package --parallel "$(nproc)"
  rm -f build-package/package/*.deb
  (cd build-package && cpack -G DEB >/dev/null)
  rm -f lumivale_*.deb
  cp build-package/package/lumivale_*.deb .
  ls lumivale_*.deb
  exit 0
fi

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
