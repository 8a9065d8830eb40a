#!/bin/sh
# Updates the MIME database, the desktop-file cache and the icon cache under an installation
# prefix, which file managers read instead of the files installed (the Debian package gets the
# same from the triggers of shared-mime-info, desktop-file-utils and the icon cache). A tool that
# is missing is skipped.
#   sh tools/update-desktop-databases.sh PREFIX
set -u
share="${1:?usage: update-desktop-databases.sh PREFIX}/share"
if command -v update-mime-database >/dev/null 2>&1; then
    update-mime-database "$share/mime" >/dev/null 2>&1 || true
fi
if command -v update-desktop-database >/dev/null 2>&1; then
    update-desktop-database -q "$share/applications" || true
fi
if command -v gtk-update-icon-cache >/dev/null 2>&1; then
    gtk-update-icon-cache -q -t "$share/icons/hicolor" || true
fi
