#!/bin/sh
# check-package.sh DEB VERSION
# Checks a built Debian package without installing it: its control data and dependencies,
# lintian, whether apt could install it here, and the program unpacked with dpkg -x and run
# without a display.
set -eu
deb=$1 version=$2

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "== $*"; }

[ -f "$deb" ] || fail "no package at $deb"

note "dpkg-deb -I $deb"
dpkg-deb -I "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
# libc6 and the Qt libraries come from dpkg-shlibdeps; the SQLite driver and the display
# plugins are loaded at run time and named by hand.
for dep in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6sql6 libqt6sql6-sqlite qt6-qpa-plugins; do
    printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | grep -qx "$dep" \
        || fail "Depends lacks $dep: $depends"
done

dpkg-deb -f "$deb" Recommends | grep -q libqt6sql6-psql || fail "Recommends lacks libqt6sql6-psql"

note "lintian"
lintian --fail-on error "$deb" || fail "lintian reports errors"

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
    note "apt-get install --simulate"
    apt-get install --simulate "$(realpath "$deb")" >/dev/null || fail "apt cannot install $deb here"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
program=$root/usr/bin/photoseries
for f in usr/bin/photoseries usr/share/photoseries/Vegcodes.txt usr/share/photoseries/Actcodes.txt \
    usr/share/applications usr/share/metainfo usr/share/icons/hicolor/256x256/apps \
    usr/share/doc/photoseries/copyright; do
    [ -e "$root/$f" ] || fail "the package lacks /$f"
done
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop-file-validate rejects the desktop entry"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the packaged metadata"
if ldd "$program" | grep -q 'not found'; then
    ldd "$program"
    fail "the packaged program misses libraries"
fi

note "the unpacked program, without a display"
export QT_QPA_PLATFORM=offscreen
# A program without a command line opens its window on --help and keeps running: the timeout
# ends it.
help=$(timeout 10 "$program" --help 2>&1) && help_status=0 || help_status=$?
if printf '%s' "$help" | grep -q -- '--version'; then
    out=$(timeout 30 "$program" --version) || fail "photoseries --version failed"
    echo "$out"
    printf '%s' "$out" | grep -qF "$version" || fail "photoseries --version does not say $version"
    if printf '%s' "$help" | grep -qw import && printf '%s' "$help" | grep -qw list; then
        library=$root/library
        mkdir "$library"
        timeout 60 "$program" import --library "$library" "$root"/usr/share/photoseries/Books/*.bks \
            || fail "photoseries import of the packaged sample books failed"
        out=$(timeout 30 "$program" list --library "$library") || fail "photoseries list failed"
        echo "$out"
        books=$(ls "$root"/usr/share/photoseries/Books/*.bks | wc -l)
        [ "$(printf '%s\n' "$out" | grep -c .)" -eq "$books" ] || fail "photoseries list does not show the $books sample books"
    fi
else
    # No command line in this build: the catalogue window opened on the offscreen platform.
    # It must still be running when the timeout ends it, with its store created beside it.
    [ "$help_status" -eq 124 ] || fail "photoseries ended with status $help_status: $help"
    [ -f "$root/usr/bin/Photo3.mdb" ] || fail "photoseries did not create its store: $help"
    echo "started and showed its catalogue for 10 seconds (no command line in this build)"
fi
note "package checked: $deb"
