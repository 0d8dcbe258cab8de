#!/usr/bin/env bash
# Checks that libvoxtrail exports exactly the functions its header declares.
#   exported_symbols.sh LIBRARY HEADER
set -euo pipefail
library=${1:?library}
header=${2:?header}
expected=$(grep -o 'VOXTRAIL_API uint32_t Voxtrail[A-Za-z]*' "$header" | awk '{print $3}' | sort)
actual=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TtWwDdBbRrVv]$/ {print $3}' | sed 's/@.*//' | sort)
if [ "$expected" != "$actual" ]; then
    echo "exported symbols differ from the header's functions:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
echo "exactly the $(echo "$actual" | wc -l) interface functions are exported"
