#!/bin/sh
# Checks the Debian package built by `make package` without installing it: unpacks it into a
# scratch folder, looks for every file it must install (programs, desktop entry, icons, MIME
# type, README and examples, copyright, changelog, manual pages), checks that the programs are
# stripped, checks its dependencies and desktop entry and runs both unpacked
# programs.
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
icons=""
for size in 16 32 48 64 128 256; do
    icons="$icons usr/share/icons/hicolor/${size}x${size}/apps/quorval.png"
    icons="$icons usr/share/icons/hicolor/${size}x${size}/mimetypes/application-x-quorval.png"
done
for f in usr/bin/quorval usr/bin/quorval-report usr/lib/quorval/libquorval-svg.so \
         usr/share/applications/quorval.desktop $icons \
         usr/share/icons/hicolor/scalable/apps/quorval.svg \
         usr/share/icons/hicolor/scalable/mimetypes/application-x-quorval.svg \
         usr/share/mime/packages/quorval.xml \
         usr/share/doc/quorval/README.md usr/share/doc/quorval/docs/screenshot.png \
         usr/share/doc/quorval/examples/gauge_blocks.quorval \
         usr/share/doc/quorval/examples/line_scale.quorval \
         usr/share/doc/quorval/examples/small_version1.quorval \
         usr/share/doc/quorval/copyright usr/share/doc/quorval/changelog.gz \
         usr/share/man/man1/quorval.1.gz usr/share/man/man1/quorval-report.1.gz; do
    if [ ! -f "$scratch/$f" ]; then
        echo "missing from the package: /$f" >&2
        status=1
    fi
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt5widgets5 libqt5printsupport5 libqt5svg5 libexpat1; do
    case "$depends" in
        *"$library"*) ;;
        *) echo "package Depends lacks $library: '$depends'" >&2; status=1 ;;
    esac
done
# The triggers of these packages update the MIME and desktop databases on installation.
recommends=$(dpkg-deb -f "$deb" Recommends)
for tool in shared-mime-info desktop-file-utils; do
    case "$recommends" in
        *"$tool"*) ;;
        *) echo "package Recommends lacks $tool: '$recommends'" >&2; status=1 ;;
    esac
done
# Data files open in Quorval: the entry takes the file and names their type.
desktop="$scratch/usr/share/applications/quorval.desktop"
for line in 'Exec=quorval %f' 'MimeType=application/x-quorval;'; do
    if ! grep -qxF "$line" "$desktop"; then
        echo "the desktop entry lacks '$line'" >&2
        status=1
    fi
done
if command -v desktop-file-validate >/dev/null 2>&1; then
    out=$(desktop-file-validate "$desktop" 2>&1) || status=1
    [ -z "$out" ] || { echo "desktop-file-validate: $out" >&2; status=1; }
fi
# Stripped: no debug sections left in the programs.
for program in usr/bin/quorval usr/bin/quorval-report usr/lib/quorval/libquorval-svg.so; do
    case "$(file -b "$scratch/$program")" in
        *"not stripped"*) echo "the packaged /$program is not stripped" >&2; status=1 ;;
    esac
done
[ "$status" -eq 0 ] || exit "$status"

for program in quorval quorval-report; do
    version=$(QT_QPA_PLATFORM=offscreen "$scratch/usr/bin/$program" --version)
    if [ "$version" != "$program 2.0" ]; then
        echo "unexpected version text from the packaged $program: '$version'" >&2
        exit 1
    fi
done
# The unpacked report tool finds its SVG module where the package puts it.
examples="$scratch/usr/share/doc/quorval/examples"
if ! QT_QPA_PLATFORM=offscreen "$scratch/usr/bin/quorval-report" "$examples/gauge_blocks.quorval" \
        -o /dev/null --plot "$scratch/plot.svg" ||
   ! grep -q '<svg' "$scratch/plot.svg"; then
    echo "the packaged quorval-report draws no SVG plot" >&2
    exit 1
fi
echo "package ok: $(basename "$deb"); Depends: $depends"
