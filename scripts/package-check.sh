#!/usr/bin/env bash
# Builds the Debian package and checks it: lintian finds no errors, the menu entry and the AppStream metadata
# are valid, and on this machine the package installs, both programs are on the path, /etc/velmora takes the
# administrator's velmora.conf, its Velmora shows the main menu on a register made with its own velmora-register,
# and a purge leaves that register and that file where they were. Needs root or sudo, and a machine without
# Velmora installed; it leaves the machine as it found it.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
folder=/var/lib/velmora
register=$folder/stock.mdb
settings=/etc/velmora

fail() {
    echo "package-check: $*" >&2
    exit 1
}

# Installing and purging must never meet a Velmora, a register or a group of the machine's own.
if [ "$(dpkg-query -W -f='${Status}' velmora 2>/dev/null)" = "install ok installed" ] || [ -e "$folder" ] ||
    [ -e "$settings" ] || getent group velmora >/dev/null; then
    fail "this machine already has the package velmora, $folder, $settings or the group velmora. The check" \
        "installs and purges the package: run it where none of them is."
fi

work=$(mktemp -d)
passed=""
# On a failure, what the check installed and made goes too; nothing of it was there before.
finish() {
    if [ -z "$passed" ]; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq -o DPkg::Lock::Timeout=120 velmora >/dev/null 2>&1 || true
        $sudo rm -rf "$folder" "$settings"
        getent group velmora >/dev/null && $sudo groupdel velmora
    fi
    rm -rf "$work"
}
trap finish EXIT

scripts/package.sh
deb=$(ls -t velmora_*_amd64.deb | head -n1) # the one just built
version=$(dpkg-deb -f "$deb" Version)

# Errors fail the check; warnings and notes are listed.
status=0
tags=$(lintian --fail-on error --display-info "$deb" 2>&1) || status=$?
echo "lintian found (errors fail the check):"
# Its own remark on running as root is no finding.
echo "${tags:-nothing}" | sed 's/running with root privileges is not recommended!//; /^$/d'
[ "$status" -eq 0 ] || fail "lintian found errors in $deb"

# The manual pages: nothing for either formatter to warn of.
command -v mandoc >/dev/null || fail "mandoc is missing; scripts/setup.sh installs it"
for page in docs/velmora.1 docs/velmora-register.1; do
    found=$(mandoc -T lint "$page" 2>&1; man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$found" ] || fail "the manual page $page is not clean: $found"
done
echo "The manual pages are clean."

dpkg-deb -x "$deb" "$work/unpacked"
desktop-file-validate "$work"/unpacked/usr/share/applications/*.desktop
echo "The menu entry is valid."
appstreamcli validate --no-net "$work"/unpacked/usr/share/metainfo/*.metainfo.xml
grep -q "<release version=\"$version\"" "$work"/unpacked/usr/share/metainfo/*.metainfo.xml ||
    fail "the AppStream metadata names no release $version"

install() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=120 "$@" "./$deb" >/dev/null
}
purge() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq -o DPkg::Lock::Timeout=120 velmora >/dev/null
}
expect() {
    local what=$1 actual=$2 wanted=$3
    [ "$actual" = "$wanted" ] || fail "$what is \"$actual\", not \"$wanted\""
}

# Installed: programs no clerk can replace, both on the path, the group, the register's folder with no register in
# it, and the settings' folder with no settings in it.
install
expect "/opt/velmora" "$(stat -c '%U:%G %a' /opt/velmora)" "root:root 755"
expect "/opt/velmora/velmora" "$(stat -c '%U:%G %a' /opt/velmora/velmora)" "root:root 755"
expect "/opt/velmora/stock.mdb" "$(readlink /opt/velmora/stock.mdb)" "$register"
expect "/opt/velmora/velmora.conf" "$(readlink /opt/velmora/velmora.conf)" "$settings/velmora.conf"
expect "$folder" "$(stat -c '%U:%G %a' "$folder")" "root:velmora 2770"
expect "$settings" "$(stat -c '%U:%G %a' "$settings")" "root:root 755"
! $sudo test -e "$register" || fail "the package made a register"
! $sudo test -e "$settings/velmora.conf" || fail "the package made $settings/velmora.conf"
for program in velmora velmora-register; do
    expect "$program on the path" "$(command -v "$program")" "/usr/bin/$program"
    expect "/usr/bin/$program" "$(readlink "/usr/bin/$program")" "/opt/velmora/$program"
    expect "$program --version" "$("$program" --version)" "$program $version"
done
# Its usage, with no display to start windows on.
usage=$(env -u DISPLAY -u WAYLAND_DISPLAY velmora --help) || fail "velmora --help exited with $?"
[[ "$usage" == "Usage: velmora "* ]] || fail "velmora --help printed \"${usage%%$'\n'*}\", not its usage"

# Purged while the folders are empty: the folders and the group go.
purge
[ ! -e "$folder" ] || fail "the purge left $folder, which was empty"
[ ! -e "$settings" ] || fail "the purge left $settings, which was empty"
! getent group velmora >/dev/null || fail "the purge left the group velmora"

# Installed again, on a register made with the installed tool: the installed program shows its main menu.
install
$sudo velmora-register init --demo "$register"
expect "the register's group" "$($sudo stat -c %G "$register")" "velmora"
[ -n "$($sudo find "$register" -perm -g=rw)" ] || fail "the group velmora cannot write to $register"
made=$($sudo sha256sum "$register")
$sudo scripts/screenshot.sh /opt/velmora/velmora "$work/main-menu.png"

# The administrator's settings, written where the program finds them.
settings_text=$'[register]\nserver = postgresql:///velmora?host=/var/run/postgresql\n'
printf '%s' "$settings_text" | $sudo tee /opt/velmora/velmora.conf >/dev/null ||
    fail "velmora.conf cannot be written through /opt/velmora/velmora.conf"
expect "$settings/velmora.conf" "$($sudo cat "$settings/velmora.conf")" "${settings_text%$'\n'}"

# Upgrading (the same version again) and purging never touch the register or the settings.
install --reinstall
purge
[ ! -e /opt/velmora ] || fail "the purge left /opt/velmora"
$sudo test -f "$register" || fail "the purge removed the register $register"
expect "the register after the purge" "$($sudo sha256sum "$register")" "$made"
getent group velmora >/dev/null || fail "the purge removed the group velmora while a register is left"
expect "$settings/velmora.conf after the purge" "$($sudo cat "$settings/velmora.conf")" "${settings_text%$'\n'}"

# The machine as it was.
$sudo rm "$register" "$settings/velmora.conf"
$sudo rmdir "$folder" "$settings"
$sudo groupdel velmora
passed=yes
echo "package-check: $deb passed"
