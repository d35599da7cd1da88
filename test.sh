#!/usr/bin/env bash
# Builds the configurator with warnings as errors and runs every test.
#   ./test.sh             optimised GCC build (assertions kept) in build/
#   ./test.sh --sanitize  the same under AddressSanitizer + UndefinedBehaviorSanitizer (-O1) in build-sanitize/
#   ./test.sh --sanitize=thread  the core under ThreadSanitizer in build-tsan/ (Qt is not instrumented)
#   ./test.sh --clang     built with clang++ instead of g++, in build-clang/ (build-clang-sanitize/, ...)
#   ./test.sh --locale=L  the tests under LC_ALL=L only
# By default the suite passes twice: under the "C" locale and under ru_RU.UTF-8, whose decimal comma
# must never reach a value on screen, in a file or on the wire.
set -euo pipefail
cd "$(dirname "$0")"

sanitize=""
gui=ON
bench=ON
optimise=-O2
build_dir=build
compiler=g++
locales=(C ru_RU.UTF-8)
for arg in "$@"; do
  case "$arg" in
    --sanitize|--sanitize=address) sanitize="address,undefined"; optimise=-O1; bench=OFF; build_dir=build-sanitize ;;
    --sanitize=thread) sanitize="thread"; gui=OFF; bench=OFF; build_dir=build-tsan ;;
    --clang) compiler=clang++ ;;
    --locale=?*) locales=("${arg#--locale=}") ;;
    *) echo "usage: $0 [--sanitize[=address|thread]] [--clang] [--locale=LOCALE]" >&2; exit 2 ;;
  esac
done
[ "$compiler" = clang++ ] && build_dir=${build_dir/build/build-clang}

./scripts/install-deps.sh

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build_dir" -G Ninja "${launcher[@]}" \
  -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="$optimise" \
  -DVARDA_WERROR=ON -DVARDA_SANITIZE="$sanitize" -DVARDA_BUILD_GUI="$gui" -DVARDA_BUILD_BENCH="$bench"
cmake --build "$build_dir" -j2
cd "$build_dir"
# A sanitizer report ends the test that caused it with a failure, with the stack that led there.
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
for locale in "${locales[@]}"; do
  echo "== tests under LC_ALL=$locale"
  LC_ALL=$locale QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
done
