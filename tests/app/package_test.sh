#!/usr/bin/env bash
# Builds the Debian package with CPack and checks what it installs and depends on, and
# that lintian finds no error or warning in it (in CI lintian must be there).
# Usage: package_test.sh BUILD_DIR TARGET...   (the targets the package installs)
#
# Root in CI (CI=true): dpkg -i into the system, dpkg -L, then dpkg -r. Otherwise, or when
# a trovimo package is already installed here (it must not be replaced by a test), the
# package is unpacked into a scratch root with dpkg -x. Exit 77 (skipped) without dpkg.
set -u
build=$1
shift
work=$(mktemp -d)
installed_by_us=0
cleanup() {
    if [ "$installed_by_us" -eq 1 ]; then
        dpkg -r trovimo >"$work/remove.log" 2>&1 || cat "$work/remove.log"
    fi
    rm -rf "$work"
}
trap cleanup EXIT
skip() {
    echo "SKIP: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    exit 1
}
pass() { echo "ok: $*"; }

for tool in cpack dpkg dpkg-deb; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/deps test)"
done

cmake --build "$build" --target "$@" >"$work/build.log" 2>&1 ||
    { tail -n 30 "$work/build.log"; fail "the packaged programs do not build"; }
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/trovimo_*.deb)
[ -f "${debs[0]}" ] || { ls -l "$work/out"; fail "no trovimo_*.deb"; }
deb=${debs[0]}
pass "built $(basename "$deb")"

[ "$(dpkg-deb -f "$deb" Package)" = trovimo ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libqt6widgets6 libqt6svg6 libqt6network6 qt6-qpa-plugins qt6-wayland libnl-genl-3-200; do
    grep -q "\b$dependency\b" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done
pass "Depends: $depends"

expected=(
    /usr/bin/trovimo
    /usr/bin/trovimo-sample
    /usr/libexec/trovimo/trovimo-feed-fetch
    /usr/share/applications/jp.tsukimilabs.Trovimo.desktop
    /usr/share/icons/hicolor/scalable/apps/jp.tsukimilabs.Trovimo.svg
    /usr/share/metainfo/jp.tsukimilabs.Trovimo.metainfo.xml
    /usr/share/man/man1/trovimo.1.gz
    /usr/share/man/man1/trovimo-sample.1.gz
    /usr/share/doc/trovimo/copyright
    /usr/share/doc/trovimo/changelog.gz
)
check_files() { # ROOT LISTING
    local root=$1 listing=$2 path
    for path in "${expected[@]}"; do
        grep -qx "$path" <<<"$listing" || fail "package lacks $path"
        [ -e "$root$path" ] || fail "$path is listed but not on disk"
    done
    [ -x "$root/usr/bin/trovimo" ] || fail "/usr/bin/trovimo is not executable"
    # The program looks for its feed helper relative to itself.
    [ -x "$root/usr/bin/../libexec/trovimo/trovimo-feed-fetch" ] || fail "feed helper not executable"
    # Every shared library the program and its helper need resolves on this system.
    local binary
    for binary in "$root/usr/bin/trovimo" "$root/usr/libexec/trovimo/trovimo-feed-fetch"; do
        if ldd "$binary" | grep -q "not found"; then
            ldd "$binary" | grep "not found"
            fail "unresolved libraries in $binary"
        fi
    done
    pass "installs ${#expected[@]} files, program and helper link"
}

# Debian's own package checker: no error and no warning (informational tags are shown).
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning --color never "$deb" >"$work/lintian.log" 2>&1
    status=$?
    grep -v 'running with root privileges' "$work/lintian.log"
    [ "$status" -eq 0 ] || fail "lintian reports errors or warnings"
    pass "lintian: no errors, no warnings"
elif [ "${CI:-}" = true ]; then
    fail "lintian is not installed (scripts/deps test)"
else
    echo "note: lintian is not installed, the package was not checked with it"
fi

if [ "$(id -u)" -eq 0 ] && [ "${CI:-}" = true ] &&
    ! dpkg-query -W -f='${Status}' trovimo 2>/dev/null | grep -q 'install ok'; then
    dpkg -i "$deb" >"$work/install.log" 2>&1 || {
        cat "$work/install.log"
        installed_by_us=1
        fail "dpkg -i"
    }
    installed_by_us=1
    check_files "" "$(dpkg -L trovimo)"
    dpkg -r trovimo >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "dpkg -r"; }
    installed_by_us=0
    [ -e /usr/bin/trovimo ] && fail "/usr/bin/trovimo left behind after dpkg -r"
    pass "dpkg -i, dpkg -L and dpkg -r"
else
    dpkg -x "$deb" "$work/root" || fail "dpkg -x"
    check_files "$work/root" "$(cd "$work/root" && find . -type f -o -type l | sed 's/^\.//')"
    pass "unpacked with dpkg -x (system install only as root with CI=true)"
fi

data="$(cd "$(dirname "$0")/../../data" && pwd)"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$data/jp.tsukimilabs.Trovimo.desktop" || fail "desktop entry"
    pass "desktop entry validates"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$data/jp.tsukimilabs.Trovimo.metainfo.xml" >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "AppStream metainfo"; }
    pass "AppStream metainfo validates"
fi
exit 0
