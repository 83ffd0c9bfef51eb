#!/usr/bin/env bash
# The Windows stage: builds Tivor for Windows with build.sh and checks the result under Debian's Wine
# in a fresh prefix (Xvfb for windows). Without a Qt for Windows (neither in place nor the shared
# tarball beside the repository) it says SKIPPED and succeeds, so a machine without it can still run
# the other stages.
#
#   packaging/windows/check-wine.sh [--tests]
#
# --tests also builds the QtTest programs and the pacing benchmark for Windows and runs them under Wine.
# TIVOR_WIN_SKIP="cli com comfaults ctrlc tcp gui guisend pacing qttests" leaves out the named program
# checks (each says so). Every other check must pass: one whose programs or inputs are missing fails.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

with_tests=0
while (($#)); do
    case $1 in
        --tests) with_tests=1; shift ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) win_die "unknown argument: $1 (see --help)" ;;
    esac
done

started=$SECONDS
# Before anything is installed: a machine without a Qt for Windows skips the stage at once.
if ! win_qt_ok "$TIVOR_QT" && ! { [ ! -e "$TIVOR_QT" ] && [ -f "$TIVOR_QT_TARBALL" ]; }; then
    echo "=================================================================="
    echo "SKIPPED: the Windows stage: no Qt for Windows (not in $TIVOR_QT, no $TIVOR_QT_TARBALL)"
    echo "=================================================================="
    exit 0
fi

# wine64 runs the 64-bit programs; fonts-wine gives the prefix Windows-like fonts (else Wine draws
# serif); x11-utils finds windows by caption, imagemagick's import takes the screenshot.
# xdotool types into the window as an operator would.
win_install_packages wine wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick python3

if ! win_qt_ok "$TIVOR_QT"; then
    "$TIVOR_WIN_DIR/get-qt.sh" --from "$TIVOR_QT_TARBALL"
fi

build_args=()
((with_tests)) && build_args+=(--tests --bench)
"$TIVOR_WIN_DIR/build.sh" "${build_args[@]}"

version=$(win_project_version)
build=$TIVOR_ROOT/build-win
stage=$build/stage/Tivor-$version-win64
setup=$build/Tivor-$version-win64-setup.exe

failures=0
check() { echo "-- $*"; }
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
skipped() { # true (and says so) when TIVOR_WIN_SKIP names this check
    case " ${TIVOR_WIN_SKIP:-} " in *" $1 "*) echo "SKIPPED (TIVOR_WIN_SKIP): $1"; return 0 ;; esac
    return 1
}

# --- A fresh Wine prefix and an X display, both ours alone and gone afterwards.
work=$(mktemp -d "${TMPDIR:-/tmp}/tivor-wine.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko: nothing here needs .NET or the HTML engine, and asking for them stalls wineboot.
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 5>&-
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || win_die "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(cat "$work/display")

check "fresh Wine prefix"
t=$SECONDS
wineboot -i >/dev/null 2>&1
wineserver -w
# Debian's Wine does not find fonts-wine's fonts where that package puts them: without Tahoma and
# Marlett in the prefix, Qt's "MS Shell Dlg" falls back to a serif and window buttons show letters.
cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
echo "   made in $((SECONDS - t)) s"

drive_c=$WINEPREFIX/drive_c
instdir_win='C:\Program Files\Tivor'
instdir=$drive_c/Program\ Files/Tivor
startmenu=$drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Tivor
uninstaller=Desinstalar.exe

reg_has() { wine reg query "$1" ${2:+/v "$2"} 2>/dev/null | tr -d '\r'; }
reg_absent() { ! wine reg query "$1" >/dev/null 2>&1; }

install_silently() {
    wine "$setup" /S
    wineserver -w
}
uninstall_silently() {
    # _?= keeps the uninstaller in place and makes it finish before wine returns; it leaves itself.
    wine "$instdir/$uninstaller" /S "_?=$instdir_win"
    wineserver -w
    rm -f "$instdir/$uninstaller"
    rmdir "$instdir" 2>/dev/null || true
}

check_installed() {
    local f missing=0
    while read -r f; do
        cmp -s "$stage/$f" "$instdir/$f" || { fail "installed $f differs from the staged one or is missing"; missing=1; }
    done < <(cd "$stage" && find . -type f | sed 's|^\./||')
    [ -f "$instdir/$uninstaller" ] || fail "no $uninstaller"
    # Nothing beyond the staged files and the uninstaller.
    local extra
    extra=$(comm -13 <(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) \
                     <(cd "$instdir" && find . -type f | sed 's|^\./||' | grep -vx "$uninstaller" | LC_ALL=C sort))
    [ -z "$extra" ] || fail "installed files that are not in the package: $extra"
    ((missing)) || echo "   $(cd "$stage" && find . -type f | wc -l) files in place, byte for byte"
    [ -f "$startmenu/Tivor.lnk" ] || fail "no Start menu entry for Tivor"
    [ -f "$startmenu/Cartel virtual Tivor.lnk" ] || fail "no Start menu entry for the virtual sign"

    reg_has 'HKEY_CLASSES_ROOT\.mnm' | grep -q 'REG_SZ[[:space:]]*Tivor\.Mensaje$' || fail ".mnm is not Tivor's"
    reg_has 'HKEY_CLASSES_ROOT\Tivor.Mensaje' | grep -q 'REG_SZ[[:space:]]*Mensaje para carteles Tivor$' \
        || fail "the .mnm file type is not named"
    reg_has 'HKEY_CLASSES_ROOT\Tivor.Mensaje\shell\open\command' \
        | grep -qF "\"$instdir_win\\tivor.exe\" \"%1\"" || fail ".mnm does not open with tivor.exe \"%1\""
    reg_has 'HKEY_CLASSES_ROOT\Tivor.Mensaje\DefaultIcon' | grep -qF "$instdir_win\\tivor.ico" \
        || fail "the .mnm file type has not the program's icon"
    local app='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tivor'
    reg_has "$app" DisplayVersion | grep -q "REG_SZ[[:space:]]*$version$" || fail "no Add/Remove Programs entry for $version"
    reg_has "$app" UninstallString | grep -qF "$instdir_win\\$uninstaller" || fail "the Add/Remove Programs entry has no uninstaller"
}

check_removed() {
    local left
    left=$( [ -d "$instdir" ] && cd "$instdir" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//' || true)
    [ "$left" = "${1:-}" ] || fail "the uninstaller left behind: ${left:-nothing} (expected ${1:-nothing})"
    [ -e "$startmenu" ] && fail "the Start menu folder is still there"
    reg_absent 'HKEY_CLASSES_ROOT\.mnm' || fail ".mnm is still registered"
    reg_absent 'HKEY_CLASSES_ROOT\Tivor.Mensaje' || fail "the Tivor.Mensaje file type is still registered"
    reg_absent 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tivor' \
        || fail "the Add/Remove Programs entry is still there"
}

check "installer: silent install"
t=$SECONDS
install_silently
echo "   installed in $((SECONDS - t)) s"
check_installed

check "uninstaller: removes every file and registry entry it made"
uninstall_silently
check_removed
[ -e "$instdir" ] && fail "the empty program folder is still there"

check "update over an installed copy, then uninstall: settings and messages stay"
install_silently
install_silently
check_installed
# Where Tivor keeps its settings on Windows (QSettings' native format for "Tivor"/"Tivor").
settings_key='HKEY_CURRENT_USER\Software\Tivor\Tivor\COM'
wine reg add "$settings_key" /v Port /d COM3 /f >/dev/null 2>&1
printf '1,4,2,"HOLA"\r\n' >"$instdir/mio.mnm"
uninstall_silently
check_removed mio.mnm
reg_has "$settings_key" Port | grep -q 'COM3' || fail "the user's settings were removed"
wine reg delete 'HKEY_CURRENT_USER\Software\Tivor' /f >/dev/null 2>&1
rm -rf "$instdir"

# --- Checks of the programs themselves; each needs the real programs built for Windows.
install_silently

have() { # the named built files, or a failure naming the first missing one
    local f
    for f in "$@"; do
        [ -e "$f" ] || { fail "$f is not built"; return 1; }
    done
}
# The Linux build of the same tree, the reference for byte-for-byte comparisons.
linux_build=${TIVOR_BUILD:-$TIVOR_ROOT/build}
linux_program() { find "$linux_build" -name "$1" -type f -perm -u+x -print -quit 2>/dev/null; }
# Runs a Windows program with the current folder a Unix folder, so Unix paths work as arguments.
wine_run() { timeout "${WINE_TIMEOUT:-60}" wine "$@"; }

message_files() { find "$TIVOR_ROOT/fuzz/seeds/message_file" "$TIVOR_ROOT/tests" -name '*.mnm' -type f 2>/dev/null | LC_ALL=C sort; }
text_files() { find "$TIVOR_ROOT/fuzz/seeds/text_import" "$TIVOR_ROOT/tests" -name '*.txt' -type f 2>/dev/null | LC_ALL=C sort; }

# tivor-cli.exe dump, dump --hex, show and import give the Linux bytes, exit status included.
check_cli_outputs() {
    skipped cli && return 0
    check "tivor-cli.exe dump/show/import give the Linux bytes"
    local lin win=$instdir/tivor-cli.exe
    lin=$(linux_program tivor-cli)
    [ -n "$lin" ] || { fail "no Linux tivor-cli in $linux_build to compare with"; return 0; }
    have "$win" || return 0
    local out=$work/cli f n=0 args
    mkdir -p "$out"
    cd "$out"
    while read -r f; do
        for args in "dump" "dump --hex" "show"; do
            # shellcheck disable=SC2086
            { "$lin" $args "$f" >linux.out 2>linux.err; echo "status $?" >>linux.out; } || true
            # shellcheck disable=SC2086
            { wine_run "$win" $args "$f" >win.out 2>win.err; echo "status $?" >>win.out; } || true
            cmp -s linux.out win.out || fail "tivor-cli $args $(basename "$f"): Windows output differs ($(cmp linux.out win.out 2>&1 | head -n1))"
            n=$((n + 1))
        done
    done < <(message_files)
    while read -r f; do
        rm -f linux.mnm win.mnm
        "$lin" import "$f" -o linux.mnm >/dev/null 2>&1 || true
        wine_run "$win" import "$f" -o win.mnm >/dev/null 2>&1 || true
        cmp -s linux.mnm win.mnm || fail "tivor-cli import $(basename "$f"): Windows file differs"
        n=$((n + 1))
    done < <(text_files)
    cd "$TIVOR_ROOT"
    echo "   $n runs compared"
}

# A pseudo-terminal whose master a Python reader records (bytes, arrival times, the line speed the
# sender set on the slave). The slave's path lands in $1.path, the record in $1.{bytes,times,speed};
# the reader's process id in reader_pid.
reader_pid=
pty_reader() {
    python3 - "$1" >"$1.log" 2>&1 <<'PY' &
import os, sys, termios, time, tty, select
base = sys.argv[1]
master, slave = os.openpty()
tty.setraw(slave)
# Ahead of the machine's other work where allowed (root), so that arrival times are the sender's.
try:
    os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(10))
except OSError:
    pass
with open(base + '.path', 'w') as f:
    f.write(os.ttyname(slave))
data, times, first, quiet, speed = bytearray(), [], None, 2.0, None
deadline = time.monotonic() + 120
while time.monotonic() < deadline:
    r, _, _ = select.select([master], [], [], 0.2)
    if r:
        chunk = os.read(master, 4096)
        now = time.monotonic()
        data += chunk
        times += [now] * len(chunk)
        # While the sender has the line: Linux puts the line's settings back when it closes the port.
        if first is None:
            first, speed = now, termios.tcgetattr(slave)[5]
    elif first and time.monotonic() - times[-1] > quiet:
        break
speeds = {getattr(termios, n): n[1:] for n in dir(termios) if n.startswith('B') and n[1:].isdigit()}
with open(base + '.bytes', 'wb') as f:
    f.write(data)
with open(base + '.times', 'w') as f:
    f.write('\n'.join('%.6f' % (t - times[0]) for t in times))
with open(base + '.speed', 'w') as f:
    f.write(speeds.get(speed, '?'))
PY
    reader_pid=$!
    local i
    for i in $(seq 50); do [ -s "$1.path" ] && return 0; sleep 0.1; done
    fail "the pseudo-terminal reader did not start: $(cat "$1.log")"
    return 1
}

# COMn under Wine is whatever $WINEPREFIX/dosdevices/comn links to.
map_com() { ln -sfn "$2" "$WINEPREFIX/dosdevices/com$1"; }

# Shortest gaps and the receiving span of a reader's record, against the nominal time a run printed.
pacing_figures() { # $1 the record's base, $2 DY1, $3 DY2, $4 the run's output (with "nominal N ms")
    python3 - "$@" <<'PY'
import re, sys
base, dy1, dy2, log = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
t = [float(x) for x in open(base + '.times').read().split()]
m = re.search(r'nominal (\d+) ms', open(log, errors='replace').read())
if not m or len(t) < 7:
    print('no figures (%d bytes)' % len(t)); sys.exit(1)
nominal = int(m.group(1)) - dy2  # the last byte's wait does not show on the line
gaps = [1000 * (b - a) for a, b in zip(t, t[1:])]
start, body = gaps[:5], gaps[5:]
below = sum(g < dy1 - 0.5 for g in start) + sum(g < dy2 - 0.5 for g in body)
print('%5d bytes in %8.1f ms, ratio %.4f; shortest gap %6.2f ms after DY1, %5.2f ms after DY2; below delay-0.5: %d'
      % (len(t), 1000 * t[-1], 1000 * t[-1] / nominal, min(start), min(body), below))
PY
}

# tivor-cli.exe send and clock to COM5, which Wine maps to a pseudo-terminal, from the installed copy and
# from the zip unpacked elsewhere: the Linux bytes, the Linux line speed, and no byte earlier than its
# nominal time after the first less 1 ms (the Linux run is no yardstick for that: its own bytes come late).
check_com_send() {
    skipped com && return 0
    local lin where copy win out msg args name pid
    lin=$(linux_program tivor-cli)
    [ -n "$lin" ] || { fail "no Linux tivor-cli in $linux_build to compare with"; return 0; }
    msg=$(message_files | grep worked_example | head -n1)
    for where in installed zip; do
        copy=$instdir
        [ $where = zip ] && copy=$zipdir
        check "tivor-cli.exe send and clock through COM5 (a pseudo-terminal), the $where copy"
        win=$copy/tivor-cli.exe
        have "$win" || continue
        out=$work/com-$where
        mkdir -p "$out"
        for args in "send $msg --dy1 200 --dy2 05" "clock --ahora 2026-12-07T10:20:30 --dy1 200 --dy2 05"; do
            name=${args%% *}
            pty_reader "$out/$name.linux" || return 0
            pid=$reader_pid
            # shellcheck disable=SC2086
            "$lin" $args --port "$(cat "$out/$name.linux.path")" >/dev/null 2>&1 || fail "Linux tivor-cli $name failed"
            wait "$pid"
            pty_reader "$out/$name.win" || return 0
            pid=$reader_pid
            map_com 5 "$(cat "$out/$name.win.path")"
            # shellcheck disable=SC2086
            if ! wine_run "$win" $args --port COM5 >"$out/$name.win.out" 2>&1; then
                fail "tivor-cli.exe $name to COM5 failed: $(tr -d '\r' <"$out/$name.win.out" | head -n 3)"
                kill "$pid" 2>/dev/null || true  # nothing will arrive: the reader would wait out its two minutes
                wait "$pid" 2>/dev/null || true
                continue
            fi
            wait "$pid"
            cmp -s "$out/$name.linux.bytes" "$out/$name.win.bytes" \
                || fail "$name: the bytes on COM5 differ from Linux ($(wc -c <"$out/$name.win.bytes") vs $(wc -c <"$out/$name.linux.bytes"))"
            [ "$(cat "$out/$name.win.speed")" = "$(cat "$out/$name.linux.speed")" ] \
                || fail "$name: line speed $(cat "$out/$name.win.speed"), Linux sets $(cat "$out/$name.linux.speed")"
            python3 - "$out/$name.linux.times" "$out/$name.win.times" <<'PY' || fail "$name: paced too early under Wine"
import sys
lin = [float(x) for x in open(sys.argv[1]).read().split()]
win = [float(x) for x in open(sys.argv[2]).read().split()]
# DY1 200 ms after each of the first five bytes, DY2 5 ms after every later one.
nominal = [0.0]
for i in range(1, len(win)):
    nominal.append(nominal[-1] + (0.200 if i <= 5 else 0.005))
early = [(i, w, n) for i, (w, n) in enumerate(zip(win, nominal)) if w < n - 0.001]
gaps = [b - a for a, b in zip(win, win[1:])]
print('   %d bytes, %.3f s under Wine, %.3f s on Linux, %.3f s nominal, shortest gap %.1f ms'
      % (len(win), win[-1] if win else 0, lin[-1] if lin else 0, nominal[-1], 1000 * min(gaps) if gaps else 0))
if early:
    i, w, n = early[0]
    print('   byte %d at %.4f s, due at %.4f s' % (i, w, n))
sys.exit(1 if early else 0)
PY
        done
    done
    rm -f "$WINEPREFIX/dosdevices/com5"
}

# True when the bytes a cancelled send left on the line ($1) are a part of the whole stream ($2, as
# tivor-cli dump writes it), cut short and followed by the terminator 01 01. Prints how far the send got,
# between $3 and $4.
cut_with_terminator() {
    python3 - "$@" <<'PY'
import sys
rx, dump = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
# dump writes the stream as Salida.txt has it: between double quotes, then CR LF. The whole stream ends
# with the terminator too, so a cut one is a shorter prefix followed by 01 01.
whole = dump[1:-3] if dump.startswith(b'"') and dump.endswith(b'"\r\n') else dump
sent = rx[:-2]
print('%s%d of %d bytes, then %s%s' % (sys.argv[3], len(sent), len(whole) - 2, rx[-2:].hex(' '), sys.argv[4]))
sys.exit(0 if rx.endswith(b'\x01\x01') and 0 < len(sent) < len(whole) - 2 and whole.startswith(sent) else 1)
PY
}

# What goes wrong on a COM port says what the Linux program says: a second sender on a port that one is
# sending to is refused as in use (exit 4) and the first goes on; Ctrl-C then ends the first with the
# terminator (exit 130); a COM port with no device behind it is refused at once (exit 4), not waited for.
check_com_faults() {
    skipped comfaults && return 0
    check "COM5 in use, Ctrl-C during a COM send, a COM port with no device"
    local lin win=$instdir/tivor-cli.exe out=$work/comfaults pid rpid status t p
    lin=$(linux_program tivor-cli)
    [ -n "$lin" ] || { fail "no Linux tivor-cli in $linux_build to compare with"; return 0; }
    have "$win" || return 0
    mkdir -p "$out"
    for p in $(seq 12); do printf '1,4,2,"Pagina %s"\r\n' "$p"; done >"$out/long.mnm"
    "$lin" dump "$out/long.mnm" >"$out/whole.bytes"
    pty_reader "$out/rx" || return 0
    rpid=$reader_pid
    map_com 5 "$(cat "$out/rx.path")"
    # 500 ms after each of the first five bytes, then 90 ms: the send is in its first records for a while.
    wine "$win" send "$out/long.mnm" --port COM5 --dy1 500 --dy2 90 >"$out/first.out" 2>"$out/first.err" &
    pid=$!
    sleep 4
    status=0
    wine_run "$win" send "$out/long.mnm" --port 5 >"$out/second.out" 2>"$out/second.err" || status=$?
    [ "$status" = 4 ] || fail "a second sender on COM5 ended with $status, not 4"
    tr -d '\r' <"$out/second.err" | grep -q 'COM5: el puerto esta en uso por otro programa' \
        || fail "the second sender was not told that COM5 is in use: $(tr -d '\r' <"$out/second.err" | head -n 3)"
    kill -INT "$pid" 2>/dev/null || fail "tivor-cli.exe had ended before Ctrl-C"
    status=0
    wait "$pid" || status=$?
    wait "$rpid" || true
    [ "$status" = 130 ] || fail "tivor-cli.exe ended with $status after Ctrl-C, not 130: $(tr -d '\r' <"$out/first.err")"
    cut_with_terminator "$out/rx.bytes" "$out/whole.bytes" '   in use: refused with exit 4; Ctrl-C: ' ', exit 130' \
        || fail "the bytes on COM5 after Ctrl-C do not end with the terminator"
    # A line that takes no bytes (its output suspended, as a sign whose adapter stops reading): the send
    # fails after the stall limit with the Linux text and status.
    local who path spid
    for who in linux win; do
        python3 -c 'import os, sys, termios, time, tty
m, s = os.openpty(); tty.setraw(s); open(sys.argv[1], "w").write(os.ttyname(s))
termios.tcflow(s, termios.TCOOFF); time.sleep(30)' "$out/stalled-$who.path" &
        spid=$!
        for _ in $(seq 50); do [ -s "$out/stalled-$who.path" ] && break; sleep 0.1; done
        path=$(cat "$out/stalled-$who.path")
        status=0
        if [ $who = linux ]; then
            "$lin" send "$out/long.mnm" --port "$path" >/dev/null 2>"$out/stalled-$who.err" || status=$?
        else
            map_com 5 "$path"
            wine_run "$win" send "$out/long.mnm" --port COM5 >/dev/null 2>"$out/stalled-$who.err" || status=$?
        fi
        echo "$status $(tr -d '\r' <"$out/stalled-$who.err" | sed -n 's/^tivor-cli: [^:]*: //p' | head -n1)" >"$out/stalled-$who.said"
        kill "$spid" 2>/dev/null || true
        wait "$spid" 2>/dev/null || true
    done
    if grep -q 'tiempo agotado' "$out/stalled-win.said" && cmp -s "$out/stalled-linux.said" "$out/stalled-win.said"; then
        echo "   a stalled line: exit $(cat "$out/stalled-win.said")"
    else
        fail "a stalled COM line: Windows said \"$(cat "$out/stalled-win.said")\", Linux \"$(cat "$out/stalled-linux.said")\""
    fi
    # COM7 leads nowhere: the link's target does not exist.
    map_com 7 "$out/no-such-device"
    t=$SECONDS
    status=0
    WINE_TIMEOUT=30 wine_run "$win" send "$out/long.mnm" --port COM7 >"$out/none.out" 2>"$out/none.err" || status=$?
    [ "$status" = 4 ] || fail "a COM port with no device ended with $status, not 4: $(tr -d '\r' <"$out/none.err" | head -n 3)"
    tr -d '\r' <"$out/none.err" | grep -q 'no se pudo abrir el puerto serie' \
        || fail "a COM port with no device was not said to be unopenable: $(tr -d '\r' <"$out/none.err" | head -n 3)"
    echo "   no device: exit $status in $((SECONDS - t)) s: $(tr -d '\r' <"$out/none.err" | grep -m1 -i 'COM7' || true)"
    rm -f "$WINEPREFIX/dosdevices/com5" "$WINEPREFIX/dosdevices/com7"
}

# tivor-cli.exe send to the Linux virtual sign listening on TCP: it receives what the Linux
# tivor-cli sends it (the JSON line per transmission, without its duration).
check_tcp_send() {
    skipped tcp && return 0
    check "tivor-cli.exe send --port tcp:// to the Linux tivor-sign --listen"
    local lin sign win=$instdir/tivor-cli.exe
    lin=$(linux_program tivor-cli)
    sign=$(linux_program tivor-sign)
    [ -n "$lin" ] && [ -n "$sign" ] || { fail "no Linux tivor-cli and tivor-sign in $linux_build"; return 0; }
    have "$win" || return 0
    local out=$work/tcp msg port who pid
    mkdir -p "$out"
    msg=$(message_files | grep worked_example | head -n1)
    # winsign: tivor-sign.exe started without options, as the Start menu does, is a network sign at
    # 127.0.0.1:2001 (Windows has no pseudo-terminals); the Linux tivor-cli sends to it.
    for who in linux win winsign; do
        port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
        if [ $who = winsign ]; then
            port=2001
            wine "$instdir/tivor-sign.exe" --json >"$out/$who.json" 2>"$out/$who.err" &
            pid=$!
            local i
            for i in $(seq 100); do
                python3 -c 'import socket; socket.create_connection(("127.0.0.1", 2001), 1).close()' 2>/dev/null && break
                sleep 0.2
            done
            sleep 2 # the probe's connection has gone quiet and been let go
        else
            "$sign" --listen "tcp://127.0.0.1:$port" --json >"$out/$who.json" 2>"$out/$who.err" &
            pid=$!
            sleep 1
        fi
        if [ $who = linux ] || [ $who = winsign ]; then
            "$lin" send "$msg" --port "tcp://127.0.0.1:$port" >/dev/null 2>&1 || fail "Linux tivor-cli send over TCP failed"
        else
            wine_run "$win" send "$msg" --port "tcp://127.0.0.1:$port" >/dev/null 2>&1 || fail "tivor-cli.exe send over TCP failed"
        fi
        sleep 1
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    python3 - "$out/linux.json" "$out/winsign.json" <<'PY' || fail "tivor-sign.exe without options received something else"
import json, sys
def load(p):
    rows = [json.loads(l) for l in open(p) if l.strip() and l.lstrip().startswith('{')]
    return [{k: v for k, v in r.items() if k not in ('duracion_ms', 'dispositivo')} for r in rows]
lin, win = load(sys.argv[1]), load(sys.argv[2])
print('   tivor-sign.exe without options: %d transmission(s) from Linux' % len(win))
sys.exit(0 if win and win == lin else 1)
PY
    python3 - "$out/linux.json" "$out/win.json" <<'PY' || fail "the sign received something else from tivor-cli.exe"
import json, sys
def load(p):
    rows = [json.loads(l) for l in open(p) if l.strip()]
    for r in rows:
        r.pop('duracion_ms', None)
        r.pop('dispositivo', None)  # each run listens on a port of its own
    return rows
lin, win = load(sys.argv[1]), load(sys.argv[2])
print('   %d transmission(s) from Linux, %d from Windows' % (len(lin), len(win)))
sys.exit(0 if lin and lin == win else 1)
PY
}

# A TCP receiver that records every byte it gets, for as long as the sender stays connected. Its port
# lands in $1.port, the bytes in $1.bytes; the process id in receiver_pid.
receiver_pid=
tcp_receiver() {
    python3 - "$1" >"$1.log" 2>&1 <<'PY' &
import socket, sys
base = sys.argv[1]
server = socket.socket()
server.bind(('127.0.0.1', 0))
server.listen(1)
server.settimeout(120)
with open(base + '.port', 'w') as f:
    f.write(str(server.getsockname()[1]))
conn, _ = server.accept()
data = bytearray()
while True:
    chunk = conn.recv(4096)
    if not chunk:
        break
    data += chunk
with open(base + '.bytes', 'wb') as f:
    f.write(data)
PY
    receiver_pid=$!
    local i
    for i in $(seq 50); do [ -s "$1.port" ] && return 0; sleep 0.1; done
    fail "the TCP receiver did not start: $(cat "$1.log")"
    return 1
}

# Ctrl-C in the console (Wine turns SIGINT into CTRL_C_EVENT) half-way through a slow send: the sign gets
# the bytes so far and the terminator 01 01, and tivor-cli.exe ends with 130, as on Linux.
check_ctrl_c() {
    skipped ctrlc && return 0
    check "Ctrl-C during tivor-cli.exe send ends with the terminator"
    local lin win=$instdir/tivor-cli.exe
    lin=$(linux_program tivor-cli)
    [ -n "$lin" ] || { fail "no Linux tivor-cli in $linux_build to compare with"; return 0; }
    have "$win" || return 0
    local out=$work/ctrlc msg pid status=0 rpid
    mkdir -p "$out"
    msg=$(message_files | grep worked_example | head -n1)
    "$lin" dump "$msg" >"$out/whole.bytes"
    tcp_receiver "$out/rx" || return 0
    rpid=$receiver_pid
    # 500 ms after each of the first five bytes: 3 s in, the send is in its first records.
    wine "$win" send "$msg" --port "tcp://127.0.0.1:$(cat "$out/rx.port")" --dy1 500 --dy2 90 \
        >"$out/stdout" 2>"$out/stderr" &
    pid=$!
    sleep 3
    kill -INT "$pid" 2>/dev/null || fail "tivor-cli.exe had ended before Ctrl-C"
    wait "$pid" || status=$?
    wait "$rpid" || true
    [ "$status" = 130 ] || fail "tivor-cli.exe ended with $status after Ctrl-C, not 130: $(tr -d '\r' <"$out/stderr")"
    cut_with_terminator "$out/rx.bytes" "$out/whole.bytes" '   ' '; exit status 130' \
        || fail "the bytes after Ctrl-C do not end with the terminator"
}

# tivor.exe under Xvfb: its main window with its caption appears with a .mnm given on the command
# line, and through the .mnm association; a screenshot of it lands in build-win/.
window_with() { # waits up to $2 s for a top-level window whose name contains $1; prints its id
    local i id
    for i in $(seq $(($2 * 5))); do
        id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$1" | awk '{print $1}' | head -n1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}
check_gui() {
    skipped gui && return 0
    check "tivor.exe: the main window under Xvfb, with a .mnm from the command line and by association"
    have "$instdir/tivor.exe" || return 0
    local caption=${TIVOR_WIN_CAPTION:-Quendar - Tivor} out=$work/gui pid id
    mkdir -p "$out"
    printf '1,4,2,"HOLA"\r\n2,3,0,"Buenos dias"\r\n' >"$out/hola.mnm"
    # The port in the settings is a Linux virtual sign on TCP, so the window starts without the box that
    # says the serial port could not be opened (a fresh prefix has no COM2).
    local sign sign_pid= port
    sign=$(linux_program tivor-sign)
    if [ -n "$sign" ]; then
        port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
        "$sign" --listen "tcp://127.0.0.1:$port" --json >"$out/sign.json" 2>&1 &
        sign_pid=$!
        wine reg add "$settings_key" /v Port /d "tcp://127.0.0.1:$port" /f >/dev/null 2>&1
    fi
    # In a Wine desktop window, so that Wine draws the frame and caption a Windows user sees.
    (cd "$out" && wine explorer /desktop=Tivor,1024x768 "$instdir/tivor.exe" hola.mnm >/dev/null 2>&1) &
    pid=$!
    if id=$(window_with "$caption" 30); then
        sleep 3
        import -window "$id" "$build/wine-main-window.png" && echo "   screenshot: $build/wine-main-window.png"
        echo "   window: $(xwininfo -id "$id" | sed -n 's/.*Window id: [^ ]* //p')"
        # A file that did not open, or a port that did not, shows a message box beside the main window.
        local others
        others=$(xwininfo -root -tree | grep -F '("tivor.exe"' | grep -v -F "\"$caption" | grep -v 'has no name\|"Default IME"' || true)
        [ -z "$others" ] || fail "tivor.exe shows another window: $others"
    else
        fail "no window \"$caption...\" within 30 s"
    fi
    kill "$pid" 2>/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
    wait "$pid" 2>/dev/null || true
    for _ in $(seq 50); do xwininfo -root -tree | grep -qF "\"$caption" || break; sleep 0.2; done
    # The association: Explorer's way of opening a file, through the registry.
    (cd "$out" && wine start /unix "$out/hola.mnm" >/dev/null 2>&1) &
    pid=$!
    window_with "$caption" 30 >/dev/null || fail "opening a .mnm through its association shows no Tivor window"
    kill "$pid" 2>/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
    wait "$pid" 2>/dev/null || true
    [ -n "$sign_pid" ] && { kill "$sign_pid" 2>/dev/null; wait "$sign_pid" 2>/dev/null; } || true
    wine reg delete 'HKEY_CURRENT_USER\Software\Tivor' /f >/dev/null 2>&1 || true
}

# "Enviar" in the window's "Envio de Mensaje", with the port in the options set to 5, as a Windows
# operator sends: the keys typed into tivor.exe under Xvfb, the bytes read at the pseudo-terminal COM5
# leads to, compared with what the Linux tivor-cli sends for the same file.
check_gui_send() {
    skipped guisend && return 0
    check "tivor.exe: \"Enviar\" in \"Envio de Mensaje\" sends to COM5 the Linux bytes"
    have "$instdir/tivor.exe" || return 0
    local lin caption=${TIVOR_WIN_CAPTION:-Quendar - Tivor} out=$work/guisend pid rpid id
    lin=$(linux_program tivor-cli)
    [ -n "$lin" ] || { fail "no Linux tivor-cli in $linux_build to compare with"; return 0; }
    mkdir -p "$out"
    printf '1,4,2,"HOLA"\r\n2,3,0,"Buenos dias"\r\n' >"$out/hola.mnm"
    pty_reader "$out/linux" || return 0
    rpid=$reader_pid
    "$lin" send "$out/hola.mnm" --port "$(cat "$out/linux.path")" >/dev/null 2>&1 || fail "Linux tivor-cli send failed"
    wait "$rpid"
    pty_reader "$out/win" || return 0
    rpid=$reader_pid
    map_com 5 "$(cat "$out/win.path")"
    wine reg add "$settings_key" /v Port /d 5 /f >/dev/null 2>&1
    (cd "$out" && wine explorer /desktop=Tivor,1024x768 "$instdir/tivor.exe" hola.mnm >/dev/null 2>&1) &
    pid=$!
    if id=$(window_with "$caption" 30); then
        sleep 2
        # "Archivo" -> "Enviar Mensaje al Cartel" by their mnemonics; "Enviar" has the focus in the dialog.
        xdotool mousemove --window "$id" 300 300 click 1
        sleep 1
        xdotool key --delay 400 alt+a e
        if window_with "Envio de Mensaje" 15 >/dev/null; then
            sleep 1
            import -window root "$build/wine-send-dialog.png" 2>/dev/null || true
            xdotool key Return
        else
            fail "no \"Envio de Mensaje\" dialog after Alt+A, E"
        fi
    else
        fail "no window \"$caption...\" within 30 s"
    fi
    wait "$rpid" || true
    kill "$pid" 2>/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
    wait "$pid" 2>/dev/null || true
    wine reg delete 'HKEY_CURRENT_USER\Software\Tivor' /f >/dev/null 2>&1 || true
    rm -f "$WINEPREFIX/dosdevices/com5"
    if [ -s "$out/win.bytes" ] && cmp -s "$out/linux.bytes" "$out/win.bytes"; then
        echo "   $(wc -c <"$out/win.bytes") bytes on COM5, the same as Linux sends; line speed $(cat "$out/win.speed")"
    else
        fail "the window sent $(wc -c <"$out/win.bytes" 2>/dev/null || echo no) bytes to COM5, Linux sends $(wc -c <"$out/linux.bytes") (they differ)"
    fi
}

# Qt and the mingw runtime for programs that are not staged, from where they were built.
windows_qt_path() {
    local runtime
    runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
    export WINEPATH="Z:${TIVOR_QT//\//\\}\\bin;Z:${runtime//\//\\};Z:\\usr\\x86_64-w64-mingw32\\lib"
}

# Pacing on a COM port: bench_pacing.exe sends the 64-page message to COM5, the Linux bench_pacing the
# same to a pseudo-terminal of its own, in the same run; both are timed where the bytes arrive. Figures,
# not a pass mark: the bytes must be the same, the times are printed side by side.
check_pacing() {
    skipped pacing && return 0
    check "pacing to COM5 under Wine beside Linux (64 pages, timed at the receiving pseudo-terminal)"
    local lin exe out=$work/pacing who delays dy1 dy2 pid
    lin=$(linux_program bench_pacing)
    exe=$(find "$build" -path "$build/stage" -prune -o -name bench_pacing.exe -type f -print -quit)
    [ -n "$lin" ] || { fail "no Linux bench_pacing in $linux_build"; return 0; }
    [ -n "$exe" ] || { fail "bench_pacing.exe is not built (check-wine.sh --tests builds it)"; return 0; }
    mkdir -p "$out"
    windows_qt_path
    for delays in "50 05" "50 01"; do
        read -r dy1 dy2 <<<"$delays"
        for who in linux win; do
            pty_reader "$out/$who-$dy2" || return 0
            pid=$reader_pid
            if [ $who = linux ]; then
                "$lin" --port "$(cat "$out/$who-$dy2.path")" --dy1 "$dy1" --dy2 "$dy2" >"$out/$who-$dy2.out" 2>&1 \
                    || fail "Linux bench_pacing to a pseudo-terminal failed: $(head -n 2 "$out/$who-$dy2.out")"
            else
                map_com 5 "$(cat "$out/$who-$dy2.path")"
                WINE_TIMEOUT=120 wine_run "$exe" --port COM5 --dy1 "$dy1" --dy2 "$dy2" >"$out/$who-$dy2.out" 2>&1 \
                    || fail "bench_pacing.exe to COM5 failed: $(tr -d '\r' <"$out/$who-$dy2.out" | head -n 2)"
            fi
            wait "$pid" || true
        done
        cmp -s "$out/linux-$dy2.bytes" "$out/win-$dy2.bytes" || fail "DY2 $dy2: the bytes on COM5 differ from Linux's"
        echo "   DY1 $dy1 / DY2 $dy2, Linux: $(pacing_figures "$out/linux-$dy2" "$dy1" "$dy2" "$out/linux-$dy2.out")"
        echo "   DY1 $dy1 / DY2 $dy2, Wine:  $(pacing_figures "$out/win-$dy2" "$dy1" "$dy2" "$out/win-$dy2.out")"
        for who in linux win; do
            echo "     sender, $who: $(tr -d '\r' <"$out/$who-$dy2.out" | grep -E 'sender total|sent gaps' | sed 's/^ *//' | tr '\n' ' ')"
        done
    done
    unset WINEPATH
    rm -f "$WINEPREFIX/dosdevices/com5"
}

# The QtTest programs that need no pseudo-terminal, under Wine. Qt's offscreen platform makes no windows
# under Wine ("Failed to create platform window"), so they use the windows platform on the Xvfb display.
# Under Wine without a console QtTest would log through OutputDebugString: the log goes to a file.
check_qttests() {
    skipped qttests && return 0
    check "QtTest programs under Wine"
    local t exe dir
    # The test programs are not staged: a qt.conf beside them names Qt's plugins and the Spanish Qt texts
    # the tests ask for.
    windows_qt_path
    for t in ${TIVOR_WIN_QTTESTS:-tst_protocol tst_files tst_settings tst_help}; do
        exe=$(find "$build" -path "$build/stage" -prune -o -name "$t.exe" -type f -print -quit)
        [ -n "$exe" ] || { fail "$t.exe is not built (check-wine.sh --tests builds the tests)"; continue; }
        dir=$(dirname "$exe")
        printf '[Paths]\r\nPrefix=Z:%s\r\nTranslations=Z:/usr/share/qt6/translations\r\n' "$TIVOR_QT" >"$dir/qt.conf"
        rm -f "$work/$t.txt"
        if (cd "$dir" && QT_QPA_PLATFORM=windows WINE_TIMEOUT=300 wine_run "$exe" -o "$work/$t.txt,txt" \
                >"$work/$t.log" 2>&1); then
            echo "   $t: $(grep -a '^Totals' "$work/$t.txt" | tr -d '\r')"
        else
            fail "$t under Wine:"
            grep -a -A3 '^FAIL' "$work/$t.txt" | cut -c1-300 >&2 || true
            tail -n 3 "$work/$t.txt" >&2 || true
        fi
        rm -f "$dir/qt.conf"
    done
    unset WINEPATH
}

# The zip, unpacked as a user would, away from the installed copy.
zipdir=$work/zip/Tivor-$version-win64
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
    "$build/Tivor-$version-win64.zip" "$work/zip" || fail "the zip does not unpack"

check_cli_outputs
check_com_send
check_com_faults
check_tcp_send
check_ctrl_c
check_gui
check_gui_send
if ((with_tests)); then
    check_pacing
    check_qttests
fi

uninstall_silently
echo "== Windows stage: $((SECONDS - started)) s"
if ((failures)); then
    echo "FAILED: $failures Windows check(s)" >&2
    exit 1
fi
echo "OK: the Windows checks passed"
