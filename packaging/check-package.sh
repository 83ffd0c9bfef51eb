#!/usr/bin/env bash
# Builds the Debian package from ./build, installs it on this machine, checks the installed programs
# from their installed paths, and removes the package again (also when a check fails). Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
export DEBIAN_FRONTEND=noninteractive
# CPack asks dpkg-shlibdeps (dpkg-dev) for the runtime libraries and uses file(1) to find the programs.
# appstream and desktop-file-utils validate the metadata; with shared-mime-info and desktop-file-utils
# installed first, the package's triggers build the databases a file manager reads.
tivor_install_packages dpkg-dev file appstream desktop-file-utils shared-mime-info
tivor_build

echo "-- metadata validated"
appstreamcli validate --pedantic --no-net packaging/com.example.tivor.metainfo.xml
desktop-file-validate packaging/tivor.desktop

rm -f "$TIVOR_BUILD"/tivor_*.deb
(cd "$TIVOR_BUILD" && cpack -G DEB)
deb=$(ls "$TIVOR_BUILD"/tivor_1.0.8_*.deb)
echo "== $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Depends

work=$(mktemp -d)
cleanup() {
    apt-get remove -y tivor >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
apt-get install -y -q "$deb" | sed "/^(Reading database/d"

check() { echo "-- $*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }

check "installed files"
for f in /usr/bin/tivor /usr/bin/tivor-cli /usr/share/tivor/tivor.html /usr/share/applications/tivor.desktop \
         /usr/share/icons/hicolor/scalable/apps/tivor.svg /usr/share/man/man1/tivor-cli.1.gz \
         /usr/share/mime/packages/tivor.xml /usr/share/metainfo/com.example.tivor.metainfo.xml \
         /usr/share/doc/tivor/copyright; do
    [ -f "$f" ] || fail "$f is missing"
done
if [ -x "$TIVOR_BUILD/tools/sign/tivor-sign" ]; then
    [ -x /usr/bin/tivor-sign ] || fail "/usr/bin/tivor-sign is missing"
fi

check "installed metadata valid, .mnm files known and offered to Tivor"
appstreamcli validate --pedantic --no-net /usr/share/metainfo/com.example.tivor.metainfo.xml || fail "appstreamcli validate"
desktop-file-validate /usr/share/applications/tivor.desktop || fail "desktop-file-validate"
grep -q '^application/x-tivor-mensaje:\*\.mnm$' /usr/share/mime/globs || fail "*.mnm is not in the MIME database"
grep -q '^application/x-tivor-mensaje=.*tivor\.desktop' /usr/share/applications/mimeinfo.cache \
    || fail "the desktop database does not offer Tivor for .mnm files"

cd "$work"
export XDG_CONFIG_HOME="$work/config"

check "tivor-cli --version"
[ "$(/usr/bin/tivor-cli --version)" = "tivor-cli 1.0.8 (Tivor v1.8)" ] || fail "tivor-cli --version"

check "tivor-cli dump of a test message"
# HOLA, "Estatico", centred, pause "5": the 27-byte transmission between quotes, then CR LF.
printf '1,4,2,"HOLA"\r\n' > hola.mnm
expected=22572d4e5439dfe080202020202020484f4c41202020202020c60101220d0a
dumped=$(/usr/bin/tivor-cli dump hola.mnm | od -An -v -tx1 | tr -d ' \n')
[ "$dumped" = "$expected" ] || fail "tivor-cli dump gave $dumped"
/usr/bin/tivor-cli show hola.mnm | grep -q '^     1  Estatico  5      centrado    "HOLA"$' || fail "tivor-cli show"

if [ -x /usr/bin/tivor-sign ]; then
    check "tivor-cli send to the installed virtual sign"
    /usr/bin/tivor-sign --version | grep -q '^tivor-sign 1.0.8$' || fail "tivor-sign --version"
    /usr/bin/tivor-sign --json --link "$work/cartel" > sign.json 2> sign.err &
    sign=$!
    for _ in $(seq 100); do [ -e "$work/cartel" ] && break; sleep 0.1; done
    /usr/bin/tivor-cli send hola.mnm --port "$work/cartel" --dy1 10 --dy2 01 || fail "tivor-cli send"
    sleep 0.5
    kill "$sign"
    wait "$sign" || true
    grep -q '"completa":true.*"texto":"      HOLA      "' sign.json || fail "the virtual sign did not get HOLA: $(cat sign.json sign.err)"
fi

if [ -x "$TIVOR_BUILD/tools/server/tivor-server" ]; then
    check "tivor-server answers on loopback"
    [ "$(/usr/bin/tivor-server --version)" = "tivor-server 1.0.8" ] || fail "tivor-server --version"
    /usr/bin/tivor-server --listen 127.0.0.1:0 2> server.err &
    server=$!
    for _ in $(seq 50); do grep -q 'escuchando en' server.err && break; sleep 0.1; done
    url=$(sed -n 's/.*escuchando en \(http:[^ ]*\).*/\1/p' server.err)
    health=$(python3 -c 'import sys, urllib.request; print(urllib.request.urlopen(sys.argv[1] + "/healthz").read().decode())' "$url") || true
    kill "$server"
    wait "$server" || true
    [ "$health" = '{"status":"ok","version":"1.0.8"}' ] || fail "tivor-server /healthz gave '$health': $(cat server.err)"
fi

if [ -x "$TIVOR_BUILD/tools/server/tivor-server" ]; then
    check "tivor-server's service: a valid unit, installed disabled, its user in dialout, its configuration taken"
    unit=/lib/systemd/system/tivor-server.service
    [ -f "$unit" ] || fail "$unit is missing"
    if command -v systemd-analyze >/dev/null; then
        systemd-analyze verify "$unit" || fail "systemd-analyze verify $unit"
    fi
    [ "$(systemctl is-enabled tivor-server.service 2>&1 || true)" = disabled ] || fail "tivor-server.service is not disabled"
    [ ! -e /etc/systemd/system/multi-user.target.wants/tivor-server.service ] || fail "tivor-server.service was enabled"
    id -nG tivor | grep -qw dialout || fail "the tivor user is not in dialout"
    dpkg-query --show --showformat='${Conffiles}' tivor | grep -q ' /etc/tivor/tivor-server.json ' \
        || fail "/etc/tivor/tivor-server.json is not a conffile"
    [ "$(stat -c %U:%G:%a /etc/tivor/tivor-server.json)" = root:tivor:640 ] || fail "/etc/tivor/tivor-server.json's owner or mode"
    STATE_DIRECTORY="$work/state" /usr/bin/tivor-server --config /etc/tivor/tivor-server.json --listen 127.0.0.1:0 \
        2> service.err &
    server=$!
    for _ in $(seq 50); do grep -q 'escuchando en' service.err && break; sleep 0.1; done
    kill "$server"
    wait "$server" || true
    grep -q 'escuchando en' service.err || fail "tivor-server refused the installed configuration: $(cat service.err)"
fi

check "tivor --version"
[ "$(/usr/bin/tivor --version)" = "tivor 1.0.8 (Tivor v1.8)" ] || fail "tivor --version"

check "tivor starting offscreen and finding its help document"
help=$(QT_QPA_PLATFORM=offscreen /usr/bin/tivor --check-help 2>/dev/null) || fail "tivor --check-help"
[ "$help" = /usr/share/tivor/tivor.html ] || fail "tivor found its help at '$help'"
# The whole program, started offscreen, stays up until it is stopped (124: stopped by timeout).
status=0
QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/tivor >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "tivor ended by itself with status $status"

echo "== package checked"
