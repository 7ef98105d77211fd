#!/bin/sh
# Installs what building, testing and running the viewer need on Debian 12;
# with --fuzz also clang and its sanitizer and libFuzzer runtimes; with
# --peers also the programs bench/peers.sh compares the viewer with
# (auditd's ausearch, lnav); with --package also what tools/package.sh
# builds and checks the Debian package with.
set -e
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
PACKAGES="cmake make g++ qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools qttranslations5-l10n libqt5svg5 breeze-icon-theme"
for option in "$@"; do
    case $option in
        --fuzz) PACKAGES="$PACKAGES clang libclang-rt-14-dev" ;;
        --peers) PACKAGES="$PACKAGES auditd lnav" ;;
        --package) PACKAGES="$PACKAGES dpkg-dev file lintian desktop-file-utils appstream" ;;
    esac
done
missing=
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    # Another installation (an update running in the background) holds the
    # package manager's lock: wait for it a few minutes instead of failing.
    LOCK_WAIT="-o DPkg::Lock::Timeout=300"
    if command -v fuser >/dev/null 2>&1 \
        && fuser /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock >/dev/null 2>&1; then
        echo "deps.sh: another package installation is running; waiting up to 5 minutes for it to end..." >&2
    fi
    echo "deps.sh: installing$missing (waits up to 5 minutes for the package manager's lock)" >&2
    $SUDO apt-get $LOCK_WAIT update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get $LOCK_WAIT install -y -qq $missing
fi
