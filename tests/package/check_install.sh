#!/bin/sh
# check_install.sh layout|validate CMAKE BUILD_DIR DATA_DIR APP_ID ICON VERSION
# Installs BUILD_DIR into a temporary prefix and checks what landed there.
set -eu
mode=$1 cmake=$2 build=$3 data=$4 app_id=$5 icon=$6 version=$7

fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$mode" = validate ]; then
    for tool in desktop-file-validate appstreamcli; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed (Debian packages desktop-file-utils and appstream; ./dev.sh test installs them)"
            exit 77
        fi
    done
fi

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

desktop=share/applications/$app_id.desktop
metainfo=share/metainfo/$app_id.metainfo.xml

if [ "$mode" = validate ]; then
    desktop-file-validate "$prefix/$desktop" || fail "desktop-file-validate rejects $desktop"
    appstreamcli validate --no-net --explain "$prefix/$metainfo" || fail "appstreamcli rejects $metainfo"
    # The tree as a whole: the metadata finds its desktop entry and its icon.
    appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli rejects the install tree"
    echo "desktop entry and metadata valid"
    exit 0
fi

# Exactly these files, nothing more (no test program, no library, no stray build file).
expected=$(mktemp)
actual=$(mktemp)
trap 'rm -rf "$prefix" "$expected" "$actual"' EXIT
{
    echo bin/photoseries
    (cd "$data" && find . -type f | sed 's|^\./|share/photoseries/|')
    echo "$desktop"
    echo "$metainfo"
    echo "share/icons/hicolor/scalable/apps/$icon.svg"
    echo "share/icons/hicolor/256x256/apps/$icon.png"
    echo share/doc/photoseries/copyright
    echo share/doc/photoseries/changelog.Debian.gz
    echo share/lintian/overrides/photoseries
    echo share/man/man1/photoseries.1.gz
} | LC_ALL=C sort >"$expected"
(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) >"$actual"
diff -u "$expected" "$actual" || fail "the install tree differs from the expected layout (- expected, + installed)"

[ -x "$prefix/bin/photoseries" ] || fail "bin/photoseries is not executable"

# The shipped files arrive unchanged.
(cd "$data" && find . -type f) | while read -r f; do
    cmp -s "$data/$f" "$prefix/share/photoseries/$f" || fail "share/photoseries/$f differs from data/$f"
done

# An installed program must not look for libraries in the build tree.
if command -v readelf >/dev/null 2>&1; then
    if readelf -d "$prefix/bin/photoseries" | grep -E 'RPATH|RUNPATH' | grep -qF "$build"; then
        fail "bin/photoseries keeps a run path into the build tree"
    fi
fi

# The desktop entry starts the installed program and names the installed icon.
grep -qx 'Exec=photoseries' "$prefix/$desktop" || fail "$desktop does not run photoseries"
grep -qx "Icon=$icon" "$prefix/$desktop" || fail "$desktop does not name the icon $icon"

# The metadata belongs to this desktop entry and to this version.
grep -qF "<id>$app_id</id>" "$prefix/$metainfo" || fail "$metainfo has not the id $app_id"
grep -qF "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$prefix/$metainfo" \
    || fail "$metainfo does not launch $app_id.desktop"
grep -qF "<release version=\"$version\"" "$prefix/$metainfo" || fail "$metainfo has no release notes for $version"
grep -q '<screenshot type="default">' "$prefix/$metainfo" || fail "$metainfo has no default screenshot"

# The raster icon is a PNG of 256 x 256 pixels (width and height follow the PNG signature and
# the IHDR chunk header, as big-endian 32-bit numbers).
png=$prefix/share/icons/hicolor/256x256/apps/$icon.png
[ "$(od -An -tx1 -j1 -N3 "$png" | tr -d ' \n')" = 504e47 ] || fail "$icon.png is not a PNG"
size=$(od -An -tu1 -j16 -N8 "$png" | awk '{ print ($1*16777216+$2*65536+$3*256+$4) "x" ($5*16777216+$6*65536+$7*256+$8) }')
[ "$size" = 256x256 ] || fail "$icon.png is $size pixels, not 256x256"

echo "install tree as expected"
