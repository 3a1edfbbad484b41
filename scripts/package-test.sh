#!/usr/bin/env bash
# Checks the Debian package scripts/package.sh built, the way a user meets it: lintian
# (no error, no warning), the menu entries and AppStream entries it carries, then installs
# it on this machine with apt, runs both programs from /usr without a display (--version)
# and once each on the virtual camera with the offscreen platform and a scratch home,
# and removes it again: nothing of it may stay in /usr, the user's files stay.
# Needs root (CI runs as root) and a machine where installing the package is acceptable.
#   VARNOLET_PACKAGE_DIR  where the .deb lies (default build/package)
#   VARNOLET_START_SECONDS  how long each program runs on the virtual camera (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."

package_dir="${VARNOLET_PACKAGE_DIR:-build/package}"
seconds="${VARNOLET_START_SECONDS:-5}"
deb="$package_dir/varnolet_$(dpkg-parsechangelog -S Version)_$(dpkg-architecture -q DEB_HOST_ARCH).deb"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
fail() {
    echo "package-test: FAILED: $*" >&2
    exit 1
}
[ -f "$deb" ] || fail "$deb is missing (scripts/package.sh builds it)"
# A copy the user installed is theirs: this test neither replaces nor removes it.
if dpkg-query -W -f='${Status}' varnolet 2>/dev/null | grep -q 'installed'; then
    fail "varnolet is installed on this machine already; remove it (apt purge varnolet) or set VARNOLET_SKIP_PACKAGE=1"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "package-test: lintian $deb"
lintian --fail-on error,warning --display-info "$deb" || fail "lintian reports errors or warnings"

dpkg-deb -x "$deb" "$work/root"
for entry in "$work"/root/usr/share/applications/*.desktop; do
    desktop-file-validate "$entry" || fail "$(basename "$entry") does not validate"
done
for entry in "$work"/root/usr/share/metainfo/*.metainfo.xml; do
    appstreamcli validate --no-net "$entry" || fail "$(basename "$entry") does not validate"
done

echo "package-test: installing $deb"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -q --no-install-recommends "./$deb" >"$work/apt.log" ||
    { cat "$work/apt.log"; fail "apt could not install the package"; }
mapfile -t files < <(dpkg -L varnolet | grep '^/usr/')
installed_tree=$(find /usr/lib/varnolet-win /usr/lib/varnolet-mac -printf '%p %s %T@\n' | sort)

status=0
for program in VarnoletWin VarnoletMac; do
    answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "/usr/bin/$program" --version) ||
        { echo "package-test: $program --version failed" >&2; status=1; }
    echo "package-test: $program --version: $answer"
    if command -v man >/dev/null; then
        page=$(man -w "$program") || { echo "package-test: man $program finds no page" >&2; status=1; }
        echo "package-test: man $program: $page"
    fi
done

# One start of each on the virtual camera in a home of its own; a program that runs until
# it is asked to end (SIGTERM, as at logout) counts as started.
for program in VarnoletWin VarnoletMac; do
    home="$work/home-$program"
    mkdir -p "$home/Documents" "$home/run"
    chmod 700 "$home/run"
    set +e
    HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen \
        timeout -s TERM -k 10 "$seconds" "/usr/bin/$program" --virtual-camera >"$work/$program.log" 2>&1
    result=$?
    set -e
    if [ $result -ne 124 ]; then
        echo "package-test: $program ended by itself after less than $seconds s (status $result):" >&2
        cat "$work/$program.log" >&2
        status=1
    fi
    echo "package-test: $program ran $seconds s on the virtual camera from /usr/bin"
done
# What each program saved at its start lies in its home, where the README says.
cmp -s /usr/lib/varnolet-win/config.ini "$work/home-VarnoletWin/.config/Microsofttmp/config.ini" ||
    { echo "package-test: VarnoletWin did not copy its settings to ~/.config/Microsofttmp" >&2; status=1; }
[ -d "$work/home-VarnoletMac/Varnolet" ] ||
    { echo "package-test: VarnoletMac did not make its saving folders under ~/Varnolet" >&2; status=1; }
[ "$(find /usr/lib/varnolet-win /usr/lib/varnolet-mac -printf '%p %s %T@\n' | sort)" = "$installed_tree" ] ||
    { echo "package-test: a program wrote into its installed folder" >&2; status=1; }

echo "package-test: removing the package"
$SUDO apt-get purge -y -q varnolet >"$work/apt.log" ||
    { cat "$work/apt.log"; fail "apt could not remove the package"; }
for file in "${files[@]}" /usr/lib/varnolet-win /usr/lib/varnolet-mac /usr/share/doc/varnolet; do
    if [ -e "$file" ] || [ -L "$file" ]; then
        # Shared folders such as /usr/share/icons/hicolor/16x16/apps stay for others.
        if [ -d "$file" ] && [ ! -L "$file" ] && dpkg -S "$file" >/dev/null 2>&1; then
            continue
        fi
        echo "package-test: $file is left after removal" >&2
        status=1
    fi
done
[ -f "$work/home-VarnoletWin/.config/Microsofttmp/config.ini" ] || fail "the removal took the user's settings"
[ $status -eq 0 ] || fail "see above"
echo "package-test: the package installs, both programs run from /usr, and it removes cleanly"
