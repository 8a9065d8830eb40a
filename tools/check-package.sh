#!/bin/sh
# Checks the Debian package built by `make package` without installing it: unpacks it into a
# scratch folder, looks for every file it must install and runs the unpacked report tool.
set -eu
build_dir="${1:-build}"
deb=$(ls -1t "$build_dir"/quorval_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    echo "error: no quorval_*.deb in $build_dir (run make package first)" >&2
    exit 1
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"

status=0
for f in usr/bin/quorval usr/bin/quorval-report usr/lib/quorval/libquorval-svg.so \
         usr/share/applications/quorval.desktop \
         usr/share/icons/hicolor/64x64/apps/quorval.png \
         usr/share/icons/hicolor/64x64/mimetypes/application-x-quorval.png \
         usr/share/mime/packages/quorval.xml; do
    if [ ! -f "$scratch/$f" ]; then
        echo "missing from the package: /$f" >&2
        status=1
    fi
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt5widgets5 libqt5printsupport5 libqt5svg5; do
    case "$depends" in
        *"$library"*) ;;
        *) echo "package Depends lacks $library: '$depends'" >&2; status=1 ;;
    esac
done
[ "$status" -eq 0 ] || exit "$status"

version=$(QT_QPA_PLATFORM=offscreen "$scratch/usr/bin/quorval-report" --version)
if [ "$version" != "quorval-report 2.0" ]; then
    echo "unexpected version text from the packaged quorval-report: '$version'" >&2
    exit 1
fi
# The unpacked report tool finds its SVG module where the package puts it.
examples=$(dirname "$0")/../examples
if ! QT_QPA_PLATFORM=offscreen "$scratch/usr/bin/quorval-report" "$examples/gauge_blocks.quorval" \
        -o /dev/null --plot "$scratch/plot.svg" ||
   ! grep -q '<svg' "$scratch/plot.svg"; then
    echo "the packaged quorval-report draws no SVG plot" >&2
    exit 1
fi
echo "package ok: $(basename "$deb"); Depends: $depends"
