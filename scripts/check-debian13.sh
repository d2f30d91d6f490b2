#!/bin/sh
# Builds Lumo News Reader on Debian 13 ("trixie"), runs its whole test suite
# there under Xvfb and makes its Debian package, inside a Debian 13 root made
# with debootstrap. Run as root on a Debian machine with network access to
# the Debian archive.
#
# The root is kept between runs (LUMO_DEBIAN13_ROOT, by default
# /var/cache/lumo-news-reader/debian13): a second run downloads nothing
# again, installs nothing again and builds incrementally. The package ends up
# in build-debian13/.
#
# With --if-possible (as the test command runs it), a machine that cannot
# make or enter such a root (no network to the archive, no right to mount)
# only says so and counts as a pass; a failing build or test never does.
set -eu
if_possible=false
[ "${1:-}" = --if-possible ] && if_possible=true
cannot()
{
    if $if_possible; then
        echo "Debian 13 check skipped: $*" >&2
        exit 0
    fi
    echo "error: $*" >&2
    exit 1
}
cd "$(dirname "$0")/.."
source_dir=$(pwd)
root=${LUMO_DEBIAN13_ROOT:-/var/cache/lumo-news-reader/debian13}
mirror=${LUMO_DEBIAN_MIRROR:-http://deb.debian.org/debian}

[ "$(id -u)" -eq 0 ] || cannot "not root (debootstrap and chroot need it)"
if ! command -v debootstrap >/dev/null 2>&1; then
    export DEBIAN_FRONTEND=noninteractive
    { apt-get update -qq && apt-get install -y -qq --no-install-recommends debootstrap; } ||
        cannot "debootstrap could not be installed"
fi

# The root, made once.
if [ ! -f "$root/.lumo-root-complete" ]; then
    echo "Making a Debian 13 root in $root"
    rm -rf "$root"
    mkdir -p "$root"
    debootstrap --variant=minbase trixie "$root" "$mirror" ||
        cannot "no Debian 13 root could be made from $mirror"
    touch "$root/.lumo-root-complete"
fi

# The sources as they are in this work tree (tracked and new files), over the
# previous copy; its build folder stays for an incremental build.
mkdir -p "$root/src"
find "$root/src" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
git ls-files -co --exclude-standard -z | (cd "$source_dir" && xargs -0 cp -p --parents -t "$root/src")
# The reader view's extractor as the set-up installed it here: plain
# JavaScript, the same on every release, so the root needs neither npm nor a
# way through this machine's network to the npm registry.
if [ -d "$source_dir/res/readability/node_modules" ]; then
    cp -pr "$source_dir/res/readability/node_modules" "$root/src/res/readability/"
fi

# The kernel's file systems for the tests, taken away again however this ends.
mounted=""
unmount_all()
{
    for m in $mounted; do
        umount -l "$m" 2>/dev/null || :
    done
}
trap unmount_all EXIT INT TERM
for m in proc sys dev dev/pts dev/shm; do
    mkdir -p "$root/$m"
    case $m in
    proc) mount -t proc proc "$root/proc" ;;
    sys) mount -t sysfs sys "$root/sys" ;;
    dev/shm) mount -t tmpfs shm "$root/dev/shm" ;;
    *) mount --bind "/$m" "$root/$m" ;;
    esac || cannot "the Debian 13 root's /$m could not be mounted"
    mounted="$root/$m $mounted"
done
cp /etc/resolv.conf "$root/etc/resolv.conf"

chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    /bin/sh -eu -c '
cd /src
scripts/setup.sh build
command -v dbus-uuidgen >/dev/null && dbus-uuidgen --ensure
echo "=== test suite: Debian 13 ($(. /etc/os-release && echo "$PRETTY_NAME")) ==="
cd build
# A test that fails is run once more: WebKitGTK 2.52 here now and then drops
# a load with "WebKit encountered an internal error" under the tests that
# storm it. One that fails twice fails the check; ctest names every test
# that needed the second run.
xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- ../tests/with_display.sh \
    ctest --output-on-failure --timeout 600 --repeat until-pass:2
cpack -G DEB >/dev/null
ls lumo-news-reader_*.deb
'

mkdir -p build-debian13
cp "$root"/src/build/lumo-news-reader_*.deb build-debian13/
echo "Debian 13 package: $(ls build-debian13/lumo-news-reader_*.deb)"
