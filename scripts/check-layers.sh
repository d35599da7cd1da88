#!/usr/bin/env bash
# Lists the includes in src/core that point up the layer order of src/core/layers.txt, and the source
# files that belong to no layer; exits 1 when there is any, 0 when there is none.
#   scripts/check-layers.sh [ROOT]    ROOT: the project's root (default: this script's parent folder)
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
core="$root/src/core"
order_file="$core/layers.txt"
[ -r "$order_file" ] || { echo "check-layers: cannot read $order_file" >&2; exit 2; }

# layer folder (relative to src/core) -> rank, lowest first
declare -A rank=()
n=0
while read -r line; do
  line=${line%%#*}
  for folder in $line; do rank[${folder%/}]=$n; done
  [ -n "${line// /}" ] && n=$((n + 1))
done < "$order_file"
[ "${#rank[@]}" -gt 0 ] || { echo "check-layers: no layer in $order_file" >&2; exit 2; }

# Sets `layer` to the layer of a path relative to src/core: its longest leading folder run that the order
# names, or to nothing (a variable, not an output: this runs for every include, a subshell each is slow).
layer_of() {
  local p=$1
  layer=""
  while [[ $p == */* ]]; do
    p=${p%/*}
    if [ -n "${rank[$p]+x}" ]; then layer=$p; return 0; fi
  done
  return 0
}

bad=0
while IFS= read -r -d '' file; do
  rel=${file#"$core"/}
  layer_of "$rel"
  [ -n "$layer" ] && continue
  echo "src/core/$rel: in no layer of src/core/layers.txt"
  bad=$((bad + 1))
done < <(find "$core" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' \) -print0 | sort -z)

include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)"'
while IFS= read -r hit; do
  file=${hit%%:*}; rest=${hit#*:}; lineno=${rest%%:*}; text=${rest#*:}
  [[ $text =~ $include_re ]] || continue
  inc=${BASH_REMATCH[1]}
  rel=${file#"$core"/}
  layer_of "$rel"
  from=$layer
  [ -n "$from" ] || continue
  if [[ $inc == core/* ]]; then
    target=${inc#core/}
  elif [ -e "${file%/*}/$inc" ]; then  # an include relative to the including file
    target=$(realpath -m --relative-to="$core" "${file%/*}/$inc")
  else
    continue  # outside src/core: the standard library, a system header, or another part of src
  fi
  layer_of "$target"
  to=$layer
  [ -n "$to" ] || continue
  if [ "${rank[$to]}" -gt "${rank[$from]}" ]; then
    echo "src/core/$rel:$lineno: $from -> $to: #include \"$inc\""
    bad=$((bad + 1))
  fi
done < <(grep -rnE --include='*.h' --include='*.hpp' --include='*.cpp' "$include_re" "$core" | sort)

if [ "$bad" -gt 0 ]; then
  echo "check-layers: $bad upward include(s) or file(s) outside the order of src/core/layers.txt" >&2
  exit 1
fi
echo "check-layers: no upward include in src/core"
