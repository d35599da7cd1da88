#!/usr/bin/env bash
# Builds the configurator and runs every test.
#   ./test.sh             optimised build (assertions kept) in build/
#   ./test.sh --sanitize  the same under AddressSanitizer + UndefinedBehaviorSanitizer in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")"

sanitize=OFF
build_dir=build
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=ON; build_dir=build-sanitize ;;
    *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
  esac
done

./scripts/install-deps.sh

cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2" \
  -DVARDA_SANITIZE="$sanitize"
cmake --build "$build_dir" -j2
cd "$build_dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
