#!/bin/sh
# Installs the Debian packages named on the command line that are not installed yet.
# Runs apt-get update once, then apt-get install; uses sudo when not root.
set -eu

missing=""
for pkg in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $pkg" ;;
    esac
done
[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    as_root="sudo"
elif command -v sudo >/dev/null 2>&1 && [ -t 0 ]; then
    as_root="sudo"
else
    echo "error: these Debian packages are missing:$missing" >&2
    echo "       Install them as root (apt-get install$missing) or run this as a user with sudo." >&2
    exit 1
fi
$as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
# shellcheck disable=SC2086
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
