#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs what was installed, as a user would: a read job of the
# installed varda against the installed varda-sim (both must find varda.dat in ../share/varda), and the
# desktop entry, MIME type and manual page checked with the tools a desktop uses.
#   install_test.sh BUILD_DIR
set -euo pipefail
build_dir="$1"

tmp=$(mktemp -d)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$tmp/prefix"
cmake --install "$build_dir" --prefix "$prefix" >"$tmp/install.log" ||
  { cat "$tmp/install.log" >&2; fail "cmake --install"; }

for f in bin/varda bin/varda-sim bin/varda-archive share/varda/varda.dat share/applications/varda.desktop \
         share/mime/packages/varda.xml share/icons/hicolor/scalable/apps/varda.svg share/man/man1/varda.1 \
         share/doc/varda/README.md share/doc/varda/guide.html share/doc/varda/guide_ru.html; do
  [ -s "$prefix/$f" ] || fail "$f is not installed"
done

desktop-file-validate "$prefix/share/applications/varda.desktop" || fail "the desktop entry is not valid"

# The MIME database built from the installed package maps *.vdc to the type the desktop entry opens.
mime_type=$(sed -n 's/.*mime-type type="\([^"]*\)".*/\1/p' "$prefix/share/mime/packages/varda.xml")
update-mime-database "$prefix/share/mime" || fail "update-mime-database rejects the MIME type"
grep -qx "[0-9]*:$mime_type:\*\.vdc" "$prefix/share/mime/globs2" || fail "*.vdc is not $mime_type"
grep -q "^MimeType=.*$mime_type;" "$prefix/share/applications/varda.desktop" ||
  fail "the desktop entry does not open $mime_type"

# Every option varda --help lists is in the manual page,
man_text=$(sed 's/\\-/-/g; s/\\f[BIR]//g' "$prefix/share/man/man1/varda.1")
options=$("$prefix/bin/varda" --help | sed -n '/^Jobs:/,/^Exit codes/p' |
  grep -oE -- '(^| )--?[a-z][a-z0-9]*' | tr -d ' ' | sort -u)
[ -n "$options" ] || fail "varda --help lists no options"
for option in $options; do
  grep -qwF -- "$option" <<<"$man_text" || fail "the manual page does not list $option"
done

# And every exit code it lists.
codes=$("$prefix/bin/varda" --help | sed -n '/^Exit codes/,$p' | grep -oE '^ +[0-9]+' | tr -d ' ')
[ -n "$codes" ] || fail "varda --help lists no exit codes"
for exit_code in $codes; do
  grep -qx "\.B $exit_code" "$prefix/share/man/man1/varda.1" ||
    fail "the manual page does not explain exit code $exit_code"
done

# A read job: the simulator prints its pseudo-terminal first.
"$prefix/bin/varda-sim" --model VK03 >"$tmp/sim.out" &
sim_pid=$!
for _ in $(seq 600); do
  [ "$(wc -l <"$tmp/sim.out")" -ge 1 ] && break
  kill -0 "$sim_pid" 2>/dev/null || fail "varda-sim ended at start"
  sleep 0.1
done
port=$(head -n 1 "$tmp/sim.out")
[ -n "$port" ] || fail "varda-sim printed no terminal"
[ -e "$port" ] || fail "varda-sim's terminal $port does not exist"

mkdir "$tmp/config"
code=0
env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$tmp/config" \
  timeout 300 "$prefix/bin/varda" -read/close -port:"$port" "$tmp/plant.vdc" 2>"$tmp/varda.err" || code=$?
[ "$code" -eq 0 ] || { cat "$tmp/varda.err" >&2; fail "the read job ended with $code"; }
[ -s "$tmp/plant.vdc" ] || fail "the read job saved no configuration"
echo "installed varda read VK03 from $port into a configuration of $(stat -c %s "$tmp/plant.vdc") bytes"
