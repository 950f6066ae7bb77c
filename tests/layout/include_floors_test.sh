#!/usr/bin/env bash
# Every include in src/ points down the floor list: a file includes its own folder and the
# folders listed before it, never one above. Every folder of src/ must be on the list.
# Usage: include_floors_test.sh SRC_DIR FOLDER...   (the folders from the ground up)
set -euo pipefail
src=$1
shift
declare -A floor
i=0
for folder in "$@"; do
  floor[$folder]=$i
  i=$((i + 1))
done

status=0
for dir in "$src"/*/; do
  folder=$(basename "$dir")
  if [ -z "${floor[$folder]+set}" ]; then
    echo "src/$folder is not on the floor list" >&2
    status=1
  fi
done

while IFS= read -r hit; do
  file=${hit%%:*}
  rest=${hit#*:}
  line=${rest%%:*}
  from=${file#"$src"/}
  from=${from%%/*}
  to=$(sed -E 's/.*#include "([A-Za-z0-9_]+)\/.*/\1/' <<<"$rest")
  [ -n "${floor[$from]+set}" ] || continue
  if [ -z "${floor[$to]+set}" ]; then
    continue  # a generated or third-party path, not a floor
  fi
  if [ "${floor[$to]}" -gt "${floor[$from]}" ]; then
    echo "${file#"$src"/}:$line includes $to/, which stands above $from/" >&2
    status=1
  fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[A-Za-z0-9_]+/' "$src" \
           --include='*.h' --include='*.cpp' --include='*.inc' || true)

exit $status
