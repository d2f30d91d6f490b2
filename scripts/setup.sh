#!/bin/sh
# Installs whatever packages are missing (Debian 12 or 13) and builds the program.
# Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
# Quick when everything is in place: apt runs only for missing packages and
# the build is incremental.
set -eu
cd "$(dirname "$0")/.."

# The packages of the release this runs on: Debian 12 (bookworm) has the web
# engine with libsoup 2 (webkit2gtk-4.0), Debian 13 (trixie) only with
# libsoup 3 (webkit2gtk-4.1); their compilers' runtime libraries differ too.
. /etc/os-release
case ${VERSION_CODENAME:-} in
trixie) WEBKIT_DEV=libwebkit2gtk-4.1-dev CLANG_RT=libclang-rt-19-dev ;;
*) WEBKIT_DEV=libwebkit2gtk-4.0-dev CLANG_RT=libclang-rt-14-dev ;;
esac

PACKAGES="g++ make cmake ninja-build pkg-config python3 \
libwxgtk3.2-dev libwxgtk-webview3.2-dev libgtk-3-dev $WEBKIT_DEV \
libxml2-dev libsqlite3-dev libxtst-dev libgtest-dev libgmock-dev libbenchmark-dev clang $CLANG_RT \
libfontconfig-dev xvfb xauth dbus dbus-x11 at-spi2-core python3-pyatspi \
fonts-dejavu-core fonts-wqy-microhei xdg-utils \
x11-utils openbox hyperfine desktop-file-utils appstream dpkg-dev file lintian \
openssl glib-networking webext-ublock-origin-firefox"

# webext-ublock-origin-firefox carries EasyList and EasyPrivacy, which the
# build makes into the web pane's ad and tracker filters (content_filter/).

# The reader view's article extractor, Mozilla's Readability, comes from the
# npm registry (below) unless the version res/readability pins is in place.
readability=res/readability
readability_missing=""
cmp -s "$readability/package-lock.json" "$readability/node_modules/.lumo-installed" 2>/dev/null ||
    readability_missing=1

missing=""
# npm fetches it; a system that already has an npm (Node.js's own) keeps it.
if [ -n "$readability_missing" ] && ! command -v npm >/dev/null 2>&1; then
    missing=" npm"
fi
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    if [ "$(id -u)" -ne 0 ]; then
        echo "error: packages are missing and this is not root; run as root or install:$missing" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
fi

# Mozilla's Readability, the reader view's article extractor, from the npm
# registry at the version and integrity hash that res/readability's
# package-lock.json pins; the build puts it into the web engine module. Its
# node_modules folder is not part of the sources.
if [ -n "$readability_missing" ]; then
    echo "Installing Readability (npm ci in $readability)"
    (cd "$readability" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
    cp "$readability/package-lock.json" "$readability/node_modules/.lumo-installed"
fi

BUILD_DIR=${1:-build}
[ $# -gt 0 ] && shift
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja "$@"
fi
cmake --build "$BUILD_DIR"
