#!/usr/bin/env bash
# The program as people install it: the tree `cmake --install` lays out, every
# file checked by the tool its format has; the Debian package, checked by
# lintian, unpacked and run as a batch job in a user's XDG folders.
#   tst_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
quiet() { # runs a checker; any output at all is a complaint
    local said
    said=$("$@" 2>&1) || fail "$* exited $?: $said"
    [ -z "$said" ] || fail "$*: $said"
}

# The install tree: complete, and every file valid.
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
doc=share/doc/tarvik
files=(bin/tarvik share/applications/org.tarvik.Tarvik.desktop
    share/metainfo/org.tarvik.Tarvik.metainfo.xml share/man/man1/tarvik.1.gz
    $doc/faq.fil $doc/README.md $doc/copyright $doc/changelog.gz
    $doc/examples/tarvik.service $doc/examples/tarvik.timer
    share/icons/hicolor/scalable/apps/tarvik.svg)
for size in 16 22 24 32 48 64 128 256; do
    files+=("share/icons/hicolor/${size}x${size}/apps/tarvik.png")
done
for f in "${files[@]}"; do [ -s "$prefix/$f" ] || fail "install tree lacks $f"; done
quiet desktop-file-validate "$prefix/share/applications/org.tarvik.Tarvik.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.tarvik.Tarvik.metainfo.xml" >/dev/null ||
    fail "appstreamcli rejects the AppStream entry"
rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/tarvik.1.gz" \
    2>"$scratch/man.err")
[ ! -s "$scratch/man.err" ] || fail "man page: $(cat "$scratch/man.err")"
for part in "EXIT STATUS" "FILES" "crontab" "systemctl --user enable"; do
    grep -q -- "$part" <<<"$rendered" || fail "man page says nothing of '$part'"
done
mkdir "$scratch/units"
sed "s#/usr/bin/tarvik#$prefix/bin/tarvik#" "$prefix/$doc/examples/tarvik.service" \
    >"$scratch/units/tarvik.service"
cp "$prefix/$doc/examples/tarvik.timer" "$scratch/units/"
(cd "$scratch/units" && quiet systemd-analyze verify --man=no tarvik.service tarvik.timer)

# The package: built as `make package` builds it, no lintian errors.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >/dev/null
deb=$(ls "$scratch"/pkg/tarvik_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libzip || fail "dependencies not taken from the binary"
if lintian --no-tag-display-limit "$deb" 2>/dev/null | grep '^E:'; then
    fail "lintian reports errors"
fi

# Unpacked: the version, then a real batch run with the user's own folders.
root=$scratch/root
dpkg-deb -x "$deb" "$root"
home=$scratch/home
run() { env -i PATH=/usr/bin:/bin HOME="$home" TZ=UTC "$@"; }
run "$root/usr/bin/tarvik" --version | grep -q '^Tarvik ' || fail "--version"
mkdir -p "$scratch/src" "$scratch/out"
echo payload >"$scratch/src/a.txt"
config=$home/.config/tarvik
state=$home/.local/state/tarvik
mkdir -p "$config" && chmod 700 "$home" "$home/.config" "$config"
printf '[Options]\r\nFile1=%s\r\nDir1=%s\r\nZipFile=nightly\r\n' \
    "$scratch/src/*.txt" "$scratch/out" >"$config/nightly.zsc"
printf '[Options]\r\nFile1=%s\r\nZipFile=broken\r\n' "$scratch/src/a.txt" >"$config/broken.zsc"
status=0
run "$root/usr/bin/tarvik" -az >"$scratch/stdout" 2>"$scratch/stderr" || status=$?
[ "$status" = 2 ] || fail "batch exit code $status, not 2"
[ ! -s "$scratch/stdout" ] || fail "batch printed on standard output: $(cat "$scratch/stdout")"
grep -q "broken.zsc  Aborted : No directories in script file to process.$" "$scratch/stderr" ||
    fail "the aborted run's line is not on standard error: $(cat "$scratch/stderr")"
! grep -q nightly "$scratch/stderr" || fail "a finished run printed on standard error"
unzip -tq "$scratch/out/nightly.zip" >/dev/null || fail "the batch run made no good archive"
grep -q "Aborted : No directories" "$state/errors.txt" || fail "no run log in $state"
[ "$(stat -c %a "$state")" = 700 ] || fail "$state is not owner-only"
grep -q '^LastRun=' "$config/nightly.zsc" || fail "LastRun not written into the script"

# Another user, with the program in a folder they cannot write: the same XDG
# rules, in their own home.
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    other=$scratch/other
    mkdir -p "$other/bin" && cp "$root/usr/bin/tarvik" "$other/bin/" && chmod 755 "$other" "$other/bin"
    chmod 755 "$scratch"
    userhome=$scratch/userhome
    mkdir -p "$userhome" && chown 4242:4242 "$userhome"
    env -i PATH=/usr/bin:/bin HOME="$userhome" setpriv --reuid=4242 --regid=4242 --clear-groups \
        "$other/bin/tarvik" -a || fail "another user's batch run failed"
    [ -f "$userhome/.config/tarvik/tarvik.ini" ] || [ -d "$userhome/.config/tarvik" ] ||
        fail "another user's settings folder was not made in their home"
    [ ! -e "$other/bin/tarvik.ini" ] || fail "settings written beside an installed program"
fi
echo "package checks passed"
