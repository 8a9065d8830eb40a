#!/bin/sh
# Runs quorval-report on every example data file and compares the report byte for byte with the
# one kept beside it, so that a change that alters any number shows up.
#   check_examples.sh QUORVAL_REPORT EXAMPLES_FOLDER
set -eu
tool="$1"
folder="$2"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
count=0
for data in "$folder"/*.quorval; do
    expected="${data%.quorval}.txt"
    name=$(basename "$data")
    if [ ! -f "$expected" ]; then
        echo "no kept report for $name" >&2
        exit 1
    fi
    "$tool" "$data" -o "$scratch/report.txt"
    if ! cmp -s "$scratch/report.txt" "$expected"; then
        echo "the report of $name differs from the kept one:" >&2
        diff "$expected" "$scratch/report.txt" >&2 || true
        exit 1
    fi
    count=$((count + 1))
done
[ "$count" -gt 0 ] || { echo "no example data files in $folder" >&2; exit 1; }
echo "examples ok: $count reports unchanged"
