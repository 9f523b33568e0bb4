#!/usr/bin/env bash
# Makes the Debian package from the programs of a build tree with cpack (what the package target
# runs, without building again) and checks it as a machine installing it would see it: its files
# and control fields, the desktop entry, the icon, the MIME type, the manual pages, and the
# programs started from a root the package was unpacked into, on the system's own Qt.
#   check-package.sh CPACK BUILD_DIR VERSION MANPAGES(ON|OFF)
# Exit status: 0 when every check passed, 1 when one failed, 77 when a tool is missing.
set -uo pipefail

cpack=$1 build=$2 version=$3 manpages=$4

for tool in "$cpack" dpkg dpkg-deb desktop-file-validate update-mime-database rsvg-convert; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed (scripts/deps installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The package.
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    tail -n 30 "$work/cpack.log"
    echo "FAIL: cpack could not make the package"
    exit 1
fi
deb="$work/out/orvcontrol_${version}_$(dpkg --print-architecture).deb"
if [ ! -f "$deb" ]; then
    ls "$work/out"
    echo "FAIL: cpack made no $(basename "$deb")"
    exit 1
fi

# Control fields: the name, the version, and dependencies on the run-time packages only.
[ "$(dpkg-deb --field "$deb" Package)" = orvcontrol ] || fail "Package is not orvcontrol"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "Version is not $version"
depends=$(dpkg-deb --field "$deb" Depends)
for needed in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins \
    fonts-liberation2; do
    grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
if grep -Eq -- '-dev( |,|$)' <<<"$depends"; then
    fail "Depends names a development package: $depends"
fi
[ -n "$(dpkg-deb --field "$deb" Description)" ] || fail "no Description"

# Files: everything below /usr, no headers or libraries of the build, programs executable.
dpkg-deb --contents "$deb" >"$work/contents"
expected=(
    "-rwxr-xr-x root/root ./usr/bin/orvcontrol"
    "-rwxr-xr-x root/root ./usr/bin/orvtool"
    "-rwxr-xr-x root/root ./usr/bin/orvsim"
    "-rw-r--r-- root/root ./usr/share/applications/orvcontrol.desktop"
    "-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/orvcontrol.svg"
    "-rw-r--r-- root/root ./usr/share/mime/packages/orvcontrol.xml"
)
if [ "$manpages" = ON ]; then
    for program in orvcontrol orvtool orvsim; do
        expected+=("-rw-r--r-- root/root ./usr/share/man/man1/$program.1.gz")
    done
fi
for entry in "${expected[@]}"; do
    read -r mode owner path <<<"$entry"
    awk -v m="$mode" -v o="$owner" -v p="$path" '$1 == m && $2 == o && $6 == p { found = 1 }
        END { exit !found }' "$work/contents" || fail "the package lacks $path ($mode $owner)"
done
awk '$6 !~ /^\.\/usr\// && $6 != "./" { print "FAIL: outside /usr: " $6; bad = 1 }
     $6 ~ /^\.\/usr\/(include|lib)/ { print "FAIL: build files in the package: " $6; bad = 1 }
     END { exit bad }' "$work/contents" || failures=$((failures + 1))

# Unpacked where it will run.
root="$work/root"
dpkg -x "$deb" "$root" || fail "dpkg -x failed"

desktop="$root/usr/share/applications/orvcontrol.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$root/usr/bin/${exec_line%% *}" ] || fail "Exec= '$exec_line' names no program of the package"
grep -q '%[fFuU]' <<<"$exec_line" || fail "Exec= '$exec_line' takes no file, so a double-click opens nothing"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon is not in the package"

# The icon renders as a desktop would draw it, and is not blank.
if rsvg-convert -w 48 -h 48 "$root/usr/share/icons/hicolor/scalable/apps/orvcontrol.svg" \
    -o "$work/icon.png" 2>"$work/rsvg.log"; then
    [ "$(stat -c %s "$work/icon.png")" -gt 1000 ] || fail "the icon renders as an almost empty picture"
else
    cat "$work/rsvg.log"
    fail "the icon does not render"
fi

# The MIME type: the desktop entry opens the type the package registers for *.orv and for
# files starting with "ORV" and a zero byte.
mkdir -p "$work/mime/packages"
cp "$root/usr/share/mime/packages/orvcontrol.xml" "$work/mime/packages/"
if update-mime-database "$work/mime" 2>"$work/mime.log"; then
    type=$(sed -n 's/^[0-9]*:\([^:]*\):\*\.orv$/\1/p' "$work/mime/globs2")
    [ -n "$type" ] || fail "no MIME type for *.orv"
    grep -q "^MimeType=.*$type;" "$desktop" || fail "the desktop entry does not open $type"
    grep -aq "ORV" "$work/mime/magic" || fail "the MIME type has no magic for the file's first bytes"
else
    cat "$work/mime.log"
    fail "update-mime-database rejects the MIME file"
fi

# The manual pages render, one per program; orvtool's lists its commands.
if [ "$manpages" = ON ]; then
    for program in orvcontrol orvtool orvsim; do
        page="$root/usr/share/man/man1/$program.1.gz"
        [ -f "$page" ] || continue
        if command -v man >/dev/null 2>&1; then
            text=$(MANWIDTH=100 man --warnings -l "$page" 2>"$work/man.log")
            [ ! -s "$work/man.log" ] || fail "the manual page of $program has faults: $(cat "$work/man.log")"
        else
            text=$(gzip -dc "$page" | sed 's/\\-/-/g; s/\\f[BIRP]//g')
        fi
        grep -Eq "^[[:space:]]*$program[[:space:]]+- " <<<"$text" || fail "the manual page of $program has no NAME line"
        grep -q -- "--help" <<<"$text" || fail "the manual page of $program shows no options"
    done
    if [ -f "$root/usr/share/man/man1/orvtool.1.gz" ]; then
        text=$(gzip -dc "$root/usr/share/man/man1/orvtool.1.gz")
        for command in info export render calib; do
            grep -q "^\.SS \"orvtool $command\"" <<<"$text" ||
                fail "the manual page of orvtool does not describe 'orvtool $command'"
        done
    fi
fi

# The programs start from the unpacked root on the system's libraries, not the build tree's.
for program in orvcontrol orvtool orvsim; do
    binary="$root/usr/bin/$program"
    if command -v readelf >/dev/null 2>&1 && readelf -d "$binary" | grep -Eq 'R(UN)?PATH'; then
        fail "$program keeps a library path: $(readelf -d "$binary" | grep -E 'R(UN)?PATH')"
    fi
    if ldd "$binary" | grep -q 'not found'; then
        fail "$program needs libraries that are not installed: $(ldd "$binary" | grep 'not found')"
    fi
done
mkdir -p "$work/home"
run() {
    env -u LD_LIBRARY_PATH -u ORVCONTROL_SETTINGS -u ORVCONTROL_CALIBRATION \
        -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$work/home" QT_QPA_PLATFORM=offscreen \
        timeout 30 "$@"
}
for program in orvcontrol orvtool orvsim; do
    binary="$root/usr/bin/$program"
    if output=$(run "$binary" --version 2>&1); then
        grep -q "$version" <<<"$output" || fail "$program --version does not say $version: $output"
    elif [ "$program" = orvcontrol ]; then
        fail "orvcontrol --version failed: $output"
    else
        # A program that does not answer --version yet must at least give its help.
        echo "note: $program --version is not supported: ${output%%$'\n'*}"
    fi
    output=$(run "$binary" --help 2>&1) || fail "$program --help failed: $output"
    grep -q "Usage: .*$program" <<<"$output" || fail "$program --help shows no usage: $output"
done
output=$(run "$root/usr/bin/orvcontrol" --help 2>&1)
grep -q -- "--simulate" <<<"$output" || fail "orvcontrol --help does not offer --simulate"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) of $(basename "$deb") failed"
    exit 1
fi
echo "$(basename "$deb"): $(wc -l <"$work/contents") entries, Depends: $depends"
