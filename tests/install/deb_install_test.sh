#!/usr/bin/env bash
# Installs the Debian package the way a user does and checks where the
# program keeps its files. Run as root on a disposable machine (CI): it
# installs and purges the package "zelvant" system-wide.
#
#   1. builds the package (scripts/package.sh, reusing BUILD_DIR, default
#      build/) and checks it with lintian;
#   2. validates its desktop entry, AppStream entry and manual page, and
#      installs it with apt-get;
#   3. as the unprivileged user "nobody" whose HOME is a temporary folder:
#      zelvant --paths, --init-history, and --check --json against a page
#      server on 127.0.0.1, with phones.xml and servers.ini placed in
#      ~/.config/zelvant/; checks the history row, the saved pages and the
#      folders' modes, and that nothing was written under /usr; the
#      history workbook with its chart (--export-history) and the history
#      window's chart tab on the offscreen platform, both from the parts
#      the package installs;
#   4. purges the package and checks that none of its files remains.
#
# Exit status 77 (skipped) when not run as root.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$root/build}"

if [ "$(id -u)" -ne 0 ]; then
    echo "deb_install_test: needs root (it installs the package system-wide); skipped" >&2
    exit 77
fi
if dpkg-query -W -f='${Status}' zelvant 2>/dev/null | grep -q "install ok installed"; then
    echo "deb_install_test: the package zelvant is installed already; refusing to replace it" >&2
    exit 1
fi

step() { printf '\n== %s\n' "$*"; }
fail() { echo "deb_install_test: FAILED: $*" >&2; exit 1; }

work="$(mktemp -d /tmp/zelvant-install.XXXXXX)"
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
    if dpkg-query -W -f='${Status}' zelvant 2>/dev/null | grep -q "ok installed"; then
        apt-get purge -y -q -o DPkg::Lock::Timeout=300 zelvant >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
# apt's own download user must be able to read the package.
chmod 755 "$work"

step "Building the package"
deb="$(bash "$root/scripts/package.sh" | tail -n 1)"
[ -f "$deb" ] || fail "scripts/package.sh made no package"
cp "$deb" "$work/"
deb="$work/$(basename "$deb")"
dpkg-deb --info "$deb" | sed -n 's/^ \(Version\|Installed-Size\|Depends\|Recommends\):/\1:/p'
# The native Wayland mode comes with the package unless the user declines it.
dpkg-deb --field "$deb" Recommends | grep -qw qt6-wayland || fail "qt6-wayland is not recommended"
echo "Package size: $(stat -c %s "$deb") bytes"

step "lintian, desktop entry, AppStream entry, manual page"
lintian --fail-on error --tag-display-limit 0 "$deb"
# Checked as shipped: a minimal system may be set to skip manual pages on
# install.
dpkg-deb -x "$deb" "$work/contents"
desktop-file-validate "$work/contents/usr/share/applications/zelvant.desktop"
appstreamcli validate --no-net "$work/contents/usr/share/metainfo/"*.metainfo.xml
[ -f "$work/contents/usr/share/man/man1/zelvant.1.gz" ] || fail "no manual page in the package"
depends="$(dpkg-deb --field "$deb" Depends)"
for library in libmosquitto libsqlite3; do
    grep -q "$library" <<<"$depends" || fail "$library is not a dependency"
done

step "Installing with apt-get"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" >/dev/null
dpkg -L zelvant >"$work/package-files"
[ -x /usr/bin/zelvant ] || fail "/usr/bin/zelvant is missing"
units=/usr/lib/systemd/user
for unit in zelvant-check.service zelvant-check.timer; do
    [ -f "$units/$unit" ] || fail "$units/$unit is missing"
done
grep -qx "ExecStart=/usr/bin/zelvant --check" "$units/zelvant-check.service" \
    || fail "zelvant-check.service does not run /usr/bin/zelvant --check"
if command -v systemd-analyze >/dev/null; then
    # --man=no: the manual pages the units name may be left out of a minimal system.
    mkdir -m 700 "$work/runtime"
    XDG_RUNTIME_DIR="$work/runtime" systemd-analyze verify --user --man=no \
        "$units/zelvant-check.service" \
        "$units/zelvant-check.timer" || fail "systemd-analyze verify refuses the user units"
else
    echo "systemd-analyze is missing: the units are not verified"
fi

step "Running as an unprivileged user with a temporary home"
home="$work/home"
mkdir -m 700 "$home"
chown nobody:nogroup "$home"
as_user() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- \
        env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 ZELVANT_PAUSE_MS=0 "$@"
}
touch "$work/before-runs"
sleep 1 # so that anything written later is newer than the mark

as_user zelvant --paths | tee "$work/paths.txt"
grep -qx "mode	installed" "$work/paths.txt" || fail "--paths does not report installed mode"
for line in "settings	$home/.config/zelvant/Zelvant.ini" \
            "phones	$home/.config/zelvant/phones.xml" \
            "regions	$home/.config/zelvant/servers.ini" \
            "history	$home/.local/share/zelvant/Zelvant.mdb" \
            "errorLog	$home/.local/state/zelvant/Zelvant.err"; do
    grep -qxF "$line" "$work/paths.txt" || fail "--paths lacks the line: $line"
done
as_user zelvant --paths --json | python3 -c '
import json, sys
paths = json.load(sys.stdin)
assert paths["mode"] == "installed", paths
assert paths["history"] == sys.argv[1] + "/.local/share/zelvant/Zelvant.mdb", paths
' "$home" || fail "--paths --json"
[ -z "$(ls -A "$home")" ] || fail "--paths created files in the home folder: $(ls -A "$home")"

as_user zelvant --init-history
db="$home/.local/share/zelvant/Zelvant.mdb"
[ -f "$db" ] || fail "--init-history did not create $db"
for dir in .local .local/share .local/share/zelvant; do
    [ "$(stat -c %a "$home/$dir")" = 700 ] || fail "$dir has mode $(stat -c %a "$home/$dir"), not 700"
done

# The phone list and the regions point at the page server.
python3 "$root/tests/install/page_server.py" "$root/resources/demo" >"$work/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port="$(head -n 1 "$work/port")"
[ -n "$port" ] || fail "the page server did not start"
mkdir "$work/seed"
"$build/ZelvantMakeDemo" "$work/seed" "http://127.0.0.1:$port/"
config="$home/.config/zelvant"
mkdir -p -m 700 "$home/.config" "$config"
cp "$work/seed/phones.xml" "$work/seed/servers.ini" "$config/"
# Saved pages show where the state folder is.
printf '[Debug]\r\nSaveLogFiles=1\r\n' >"$config/Zelvant.ini"
chown -R nobody:nogroup "$home/.config"

as_user zelvant --check --json >"$work/check.json" || fail "--check failed: $(cat "$work/check.json")"
python3 -c '
import json, sys
results = json.load(open(sys.argv[1]))
assert len(results) == 3 and all(r["QueryOk"] for r in results), results
' "$work/check.json" || fail "--check --json: $(cat "$work/check.json")"
rows="$(sqlite3 "$db" "SELECT COUNT(*) FROM Phones WHERE PhoneNumber = '9161234567'")"
[ "$rows" = 1 ] || fail "expected one history row of 9161234567 in $db, found $rows"
ls "$home/.local/state/zelvant/"*.html >/dev/null 2>&1 || fail "no saved page in ~/.local/state/zelvant"
[ "$(stat -c %a "$home/.local/state/zelvant")" = 700 ] || fail "the state folder is not private"

# The workbook writer, the chart, the network and the broker link are parts
# the program opens at their first use (--check above fetched through the
# network part): from the package's library folder.
parts="$(grep -c '^/usr/lib/.*/zelvant/zelvant-.*\.so$' "$work/package-files" || true)"
[ "$parts" = 4 ] || fail "expected the four parts in the package, found $parts"
as_user zelvant --export-history "$home/history.xlsx" 9161234567 \
    || fail "--export-history failed"
unzip -Z1 "$home/history.xlsx" >"$work/workbook-parts"
grep -qx "xl/charts/chart1.xml" "$work/workbook-parts" || fail "the workbook has no chart"
mkdir -m 755 "$work/bin"
# Outside the build folder, as the installed program, it finds the installed parts.
install -m 755 "$build/tests/ZelvantChartTabCheck" "$work/bin/"
as_user "$work/bin/ZelvantChartTabCheck" "$db" 9161234567 || fail "the chart tab did not show the history"
rm -f "$home/history.xlsx"

# Root, too, keeps its files in its home: an installed program never
# writes beside itself, even where it could.
root_home="$work/root-home"
mkdir -m 700 "$root_home"
env -i HOME="$root_home" PATH=/usr/bin:/bin LANG=C.UTF-8 zelvant --init-history >/dev/null
[ -f "$root_home/.local/share/zelvant/Zelvant.mdb" ] || fail "root's history is not in its home"

written="$(find /usr -newer "$work/before-runs" -print)"
[ -z "$written" ] || fail "written under /usr: $written"

step "Where the files ended up"
(cd "$home" && find . -mindepth 1 -printf '%M %P\n' | sort -k2)

step "Purging"
apt-get purge -y -q -o DPkg::Lock::Timeout=300 zelvant >/dev/null
if dpkg-query -W -f='${Status}' zelvant 2>/dev/null | grep -q "ok installed"; then
    fail "zelvant is still installed"
fi
left=""
while IFS= read -r path; do
    if [ -e "$path" ] && [ ! -d "$path" ]; then left+="$path "; fi
done <"$work/package-files"
[ ! -e /usr/share/doc/zelvant ] || left+="/usr/share/doc/zelvant "
[ -z "$left" ] || fail "left behind after purge: $left"

echo
echo "deb_install_test: passed"
