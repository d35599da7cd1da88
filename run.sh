#!/usr/bin/env bash
# The configurator against a simulated module.
#   ./run.sh          VK03 (an I/O module with inputs, counters and outputs)
#   ./run.sh VK18     another model, VK00 to VK22
# With a display the configurator's window opens; without one, a command-line read job reads the
# module, saves the configuration and prints what it read.
set -euo pipefail
cd "$(dirname "$0")"
model="${1:-VK03}"

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2" >/dev/null
cmake --build build -j2 --target varda varda-sim descriptions_archive

sim_out=$(mktemp)
./build/src/tools/varda-sim --model "$model" >"$sim_out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; rm -f "$sim_out"' EXIT
for _ in $(seq 50); do [ -s "$sim_out" ] && break; sleep 0.1; done
port=$(head -n 1 "$sim_out")
if [ -z "$port" ]; then echo "the simulated module did not start" >&2; exit 1; fi
echo "Simulated $model on $port"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  ./build/src/gui/varda -port:"$port"
else
  file="$PWD/build/$model.vdc"
  set +e
  ./build/src/gui/varda -read/close -port:"$port" --summary "$file"
  code=$?
  set -e
  echo "The configuration is in $file (exit code $code)."
  exit "$code"
fi
