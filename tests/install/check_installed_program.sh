#!/bin/sh
# Installs the build into a temporary prefix and uses it as a user would: the
# launcher started from an unrelated directory with a fresh home, twice, with
# the user's favorites changed in between. Also validates the desktop entry and
# the metainfo. Needs a display (the test command runs the suite under Xvfb).
#
# Usage: check_installed_program.sh CMAKE BUILD_DIR FILE_LIST SOURCE_DIR APP_ID VERSION
set -eu
cmake=$1
build=$2
file_list=$3
src=$4
app_id=$5
version=$6

fail()
{
    echo "FAIL: $*" >&2
    if [ -s "${work:-}/program.log" ]; then
        echo "--- program output:" >&2
        cat "$work/program.log" >&2
    fi
    exit 1
}

for tool in desktop-file-validate appstreamcli xwininfo xprop gzip; do
    command -v "$tool" >/dev/null || fail "$tool is missing (see scripts/setup.sh)"
done
[ -n "${DISPLAY:-}" ] || fail "no display: run under Xvfb"

work=$(mktemp -d)
pid=
cleanup()
{
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || :
        wait "$pid" 2>/dev/null || :
    fi
    rm -rf "$work" 2>/dev/null || :
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# --- Install ------------------------------------------------------------------
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install failed"; }

grep -v '^#' "$file_list" | LC_ALL=C sort >"$work/expected"
(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$work/installed"
diff -u "$work/expected" "$work/installed" >&2 ||
    fail "the installed files differ from $file_list"

defaults=$prefix/share/lumo-news-reader
for f in Favorites.xml readme.htm Skin/XPCorona.ssk Skin/Minimized.ssk Skin/SoftCrystal.ssk; do
    cmp -s "$src/res/$f" "$defaults/$f" || fail "installed $f differs from res/$f"
done
cmp -s "$src/res/icons/lumo-news-reader.svg" \
    "$prefix/share/icons/hicolor/scalable/apps/lumo-news-reader.svg" || fail "scalable icon differs"
for size in 16 24 32 48 64 128 256; do
    cmp -s "$src/res/icons/lumo-news-reader-$size.png" \
        "$prefix/share/icons/hicolor/${size}x$size/apps/lumo-news-reader.png" ||
        fail "${size}px icon differs"
done
[ -x "$prefix/bin/lumo-news-reader" ] || fail "the launcher is not executable"
[ -x "$prefix/libexec/lumo-news-reader/LumoNewsReader" ] || fail "the program is not executable"
writable=$(find "$prefix" -type f -perm /022)
[ -z "$writable" ] || fail "installed files writable by group or others: $writable"

gzip -dc "$prefix/share/man/man1/lumo-news-reader.1.gz" >"$work/man" || fail "man page is not gzip"
grep -q "^\.TH .* 1 .*\"Lumo News Reader $version\"" "$work/man" ||
    fail "man page header lacks the version $version"
grep -q '^\.SH FILES' "$work/man" || fail "man page has no FILES section"

# --- Desktop entry and metainfo -----------------------------------------------
desktop=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
desktop-file-validate "$desktop" >&2 || fail "desktop-file-validate rejects $desktop"
appstreamcli validate --no-net --strict "$metainfo" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log" >&2; fail "appstreamcli rejects $metainfo"; }

exec_command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$exec_command" ] || fail "the desktop entry runs '$exec_command', not the launcher"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
    fail "the desktop entry's icon '$icon' is not in the hicolor theme"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not point to the desktop entry"
grep -q "<release version=\"$version\" date=\"[0-9-]*\"" "$metainfo" ||
    fail "the metainfo has no release $version"
[ "$(grep -c '<image[^>]*>https://[^<]*\.png</image>' "$metainfo")" -ge 1 ] ||
    fail "the metainfo has no screenshot"

# --- The launcher -------------------------------------------------------------
# A package installs its defaults owned by root: to the user they are
# read-only, and the user's copies must still be writable.
find "$defaults" -type f -exec chmod a-w {} +

home=$work/home
elsewhere=$work/elsewhere
mkdir -p "$home" "$elsewhere"
userdir=$home/.local/share/LumoNewsReader

# Starts the installed launcher from directory $1 as a user with the fresh home.
start_launcher()
{
    (cd "$1" && exec env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME \
        -u XDG_STATE_HOME HOME="$home" "$prefix/bin/lumo-news-reader" >>"$work/program.log" 2>&1) &
    pid=$!
}

# Waits until process $pid shows its main window (named "... Lumo News Reader").
wait_for_window()
{
    i=0
    while [ $i -lt 120 ]; do
        kill -0 "$pid" 2>/dev/null || fail "the program ended at start"
        for id in $(xwininfo -root -tree 2>/dev/null | grep 'Lumo News Reader' | awk '{print $1}'); do
            if xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -q "= $pid\$"; then
                # Still there a moment later: the start went through.
                sleep 1
                kill -0 "$pid" 2>/dev/null || fail "the program ended after showing its window"
                return 0
            fi
        done
        sleep 0.5
        i=$((i + 1))
    done
    fail "no window of the program after 60 s"
}

stop_program()
{
    kill "$pid"
    wait "$pid" 2>/dev/null || :
    pid=
}

# Checks that the running program was exec'ed by the launcher and works in
# the user's directory.
check_running_in_user_directory()
{
    [ "$(readlink "/proc/$pid/exe")" = "$(cd "$prefix/libexec/lumo-news-reader" && pwd -P)/LumoNewsReader" ] ||
        fail "the process is not the installed program: $(readlink "/proc/$pid/exe")"
    [ "$(readlink "/proc/$pid/cwd")" = "$(cd "$userdir" && pwd -P)" ] ||
        fail "the program runs in $(readlink "/proc/$pid/cwd"), not in $userdir"
}

(cd "$defaults" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$work/defaults"

# First start: the user's directory is made from the defaults.
start_launcher "$elsewhere"
wait_for_window
[ -d "$userdir" ] || fail "$userdir was not created"
(cd "$defaults" && find . -type f) | while IFS= read -r f; do
    cmp -s "$defaults/$f" "$userdir/$f" || fail "$userdir/$f is not a copy of the default"
done
not_writable=$(find "$userdir" -type f ! -perm -u+w)
[ -z "$not_writable" ] || fail "copies the user cannot write: $not_writable"
check_running_in_user_directory
stop_program
[ -z "$(ls -A "$elsewhere")" ] || fail "files were written to the start directory: $(ls -A "$elsewhere")"
# The web engine keeps its storage and cache in folders of its own, never
# beside the user's favorites.
extra=$( (cd "$userdir" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) |
    comm -23 - "$work/defaults")
[ -z "$extra" ] || fail "files other than the defaults in $userdir: $extra"
[ -d "$home/.local/share/lumo-news-reader/web" ] && [ -d "$home/.cache/lumo-news-reader/web" ] ||
    fail "the web engine's storage is not in its own web folders"

# The user's changes between runs: new favorites, a deleted skin.
cat >"$userdir/Favorites.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<Favorites>
  <Favorite>
    <title>Installed Check Gazette</title>
    <url>https://gazette.example/</url>
  </Favorite>
</Favorites>
EOF
cp "$userdir/Favorites.xml" "$work/favorites.expected"
rm "$userdir/Skin/Minimized.ssk"

# Second start, from yet another directory: the user's favorites are kept, the
# deleted skin comes back.
start_launcher /
wait_for_window
check_running_in_user_directory
stop_program
cmp -s "$work/favorites.expected" "$userdir/Favorites.xml" ||
    fail "the second start replaced the user's Favorites.xml"
cmp -s "$defaults/Skin/Minimized.ssk" "$userdir/Skin/Minimized.ssk" ||
    fail "the deleted skin was not copied again"

# XDG_DATA_HOME names the place when it is absolute; a relative one is ignored.
# --help reaches the program (its usage goes to the output) and ends it at once.
xdg=$work/xdg-data
(cd "$elsewhere" && timeout 30 env XDG_DATA_HOME="$xdg" HOME="$home" "$prefix/bin/lumo-news-reader" --help \
    >"$work/help.log" 2>&1) || :
grep -q -- '--verbose' "$work/help.log" || fail "--help did not reach the program: $(cat "$work/help.log")"
cmp -s "$defaults/Favorites.xml" "$xdg/LumoNewsReader/Favorites.xml" ||
    fail "XDG_DATA_HOME=$xdg was not used"
rm -rf "$userdir"
(cd "$elsewhere" && timeout 30 env XDG_DATA_HOME=relative/data HOME="$home" "$prefix/bin/lumo-news-reader" --help \
    >/dev/null 2>&1) || :
[ -f "$userdir/Favorites.xml" ] || fail "a relative XDG_DATA_HOME was not ignored"
[ ! -e "$elsewhere/relative" ] || fail "a relative XDG_DATA_HOME was used"

echo "installed program: files, desktop entry, metainfo and per-user directory as expected"
