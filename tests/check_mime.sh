#!/bin/sh
# Compiles the *.quorval MIME type into a scratch MIME database and checks its glob, its XML
# parent and its icon; any error the compiler prints fails the check.
set -eu
xml="$1"
d=$(mktemp -d)
trap 'rm -rf "$d"' EXIT
mkdir -p "$d/packages"
cp "$xml" "$d/packages/quorval.xml"
out=$(update-mime-database "$d" 2>&1 || echo "error: update-mime-database failed")
if printf '%s\n' "$out" | grep -qi error; then
    printf '%s\n' "$out" >&2
    exit 1
fi
grep -qx '50:application/x-quorval:\*\.quorval' "$d/globs2"
grep -qx 'application/x-quorval application/xml' "$d/subclasses"
grep -qx 'application/x-quorval:quorval' "$d/icons"
echo mime-ok
