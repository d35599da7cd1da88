#!/usr/bin/env bash
# Builds the configurator and runs every test.
#   ./test.sh             optimised build (assertions kept) in build/
#   ./test.sh --sanitize  the same under AddressSanitizer + UndefinedBehaviorSanitizer in build-sanitize/
#   ./test.sh --sanitize=thread  the core under ThreadSanitizer in build-tsan/ (Qt is not instrumented)
# Every run passes the suite twice: under the "C" locale and under ru_RU.UTF-8, whose decimal comma
# must never reach a value on screen, in a file or on the wire.
set -euo pipefail
cd "$(dirname "$0")"

sanitize=""
gui=ON
build_dir=build
for arg in "$@"; do
  case "$arg" in
    --sanitize|--sanitize=address) sanitize="address,undefined"; build_dir=build-sanitize ;;
    --sanitize=thread) sanitize="thread"; gui=OFF; build_dir=build-tsan ;;
    *) echo "usage: $0 [--sanitize[=address|thread]]" >&2; exit 2 ;;
  esac
done

./scripts/install-deps.sh

cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2" \
  -DVARDA_SANITIZE="$sanitize" -DVARDA_BUILD_GUI="$gui"
cmake --build "$build_dir" -j2
cd "$build_dir"
for locale in C ru_RU.UTF-8; do
  echo "== tests under LC_ALL=$locale"
  LC_ALL=$locale QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
done
