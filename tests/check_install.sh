#!/bin/sh
# Installs the build into a scratch prefix as `make install` does and checks the desktop
# integration there: the desktop entry passes the validator, every icon has its size, the
# documentation is in place, and xdg-mime names Quorval as the application of its data files.
#   sh check_install.sh BUILD_DIR SOURCE_DIR
set -eu
build="$1"
source="$2"
d=$(mktemp -d)
trap 'rm -rf "$d"' EXIT
fail() { echo "$*" >&2; exit 1; }

cmake --install "$build" --prefix "$d/prefix" >/dev/null
sh "$source/tools/update-desktop-databases.sh" "$d/prefix"
share="$d/prefix/share"

out=$(desktop-file-validate "$share/applications/quorval.desktop" 2>&1) || fail "$out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
for size in 16 32 48 64 128 256; do
    for icon in apps/quorval.png mimetypes/application-x-quorval.png; do
        png="$share/icons/hicolor/${size}x${size}/$icon"
        file -b "$png" | grep -q "PNG image data, $size x $size," || fail "not a $size px icon: $png"
    done
done
for f in icons/hicolor/scalable/apps/quorval.svg doc/quorval/README.md \
         doc/quorval/examples/line_scale.quorval doc/quorval/docs/screenshot.png; do
    [ -f "$share/$f" ] || fail "not installed: $f"
done

default=$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION \
    -u GNOME_DESKTOP_SESSION_ID HOME="$d/home" XDG_CONFIG_HOME="$d/config" \
    XDG_DATA_HOME="$d/data" XDG_DATA_DIRS="$share" xdg-mime query default application/x-quorval)
[ "$default" = quorval.desktop ] || fail "xdg-mime names '$default' for application/x-quorval"
echo install-ok
