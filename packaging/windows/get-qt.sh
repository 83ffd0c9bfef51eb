#!/usr/bin/env bash
# Puts Qt 6.4.2 for 64-bit Windows (mingw-w64, shared DLLs) where the Windows build looks for it:
# the folder QT_MINGW_DIR names, or /opt/qt6-mingw.
#
#   get-qt.sh --from FILE        unpack a finished build (a .tar.xz whose top folder is qt6-mingw/)
#   get-qt.sh [--work DIR] [--pack FILE] [--jobs N]
#                                build it from source, about an hour on two cores; --pack also
#                                writes the result as a .tar.xz that --from accepts
#   --force                      replace a Qt already in place
#
# The source build uses the same Qt the Linux build uses: Debian bookworm's own qt6-base source
# package (fetched with a deb-src line), plus the Qt Serial Port release kept in third_party/. Debian's
# Linux Qt of the same version provides moc, rcc and uic. Only what Tivor needs is built: Core, Gui,
# Widgets, Network, Test, OpenGL and SerialPort, the windows/offscreen platform plugins and the
# Windows Vista style.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

from= work=${TMPDIR:-/tmp}/tivor-qt-mingw pack= force=0 jobs=$(nproc)
while (($#)); do
    case $1 in
        --from) from=$(realpath "$2"); shift 2 ;;
        --work) work=$2; shift 2 ;;
        --pack) pack=$(realpath -m "$2"); shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --force) force=1; shift ;;
        -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) win_die "unknown argument: $1 (see --help)" ;;
    esac
done
dest=$TIVOR_QT

# A Qt already in place goes only when asked, and only once its replacement is known to be good.
[ -e "$dest" ] && ! ((force)) && win_die "$dest already exists (add --force to replace it)"
make_room() {
    if [ -e "$dest" ]; then
        win_say "removing the Qt in $dest"
        rm -rf "$dest"
    fi
}
mkdir -p "$(dirname "$dest")"

if [ -n "$from" ]; then
    [ -f "$from" ] || win_die "no such file: $from"
    win_install_packages xz-utils
    # Unpacked beside the destination first, so an interrupted run leaves no half Qt in its place.
    tmp=$(mktemp -d "$(dirname "$dest")/.qt-mingw-unpack.XXXXXX")
    trap 'rm -rf "$tmp"' EXIT
    win_say "unpacking $from"
    tar -xf "$from" -C "$tmp" || win_die "cannot unpack $from"
    win_qt_ok "$tmp/qt6-mingw" || win_die "$from does not hold a Qt for Windows in qt6-mingw/"
    make_room
    mv "$tmp/qt6-mingw" "$dest"
    win_say "Qt for Windows in $dest"
    exit 0
fi

# From source. The host tools must be the very same Qt version as the one being built.
win_install_packages g++-mingw-w64-x86-64-posix mingw-w64-tools qt6-base-dev qt6-base-dev-tools \
    cmake ninja-build dpkg-dev xz-utils
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
case $host_version in
    6.4.2*) ;;
    *) win_die "Debian's Linux Qt is $host_version; this recipe builds 6.4.2 and needs the same host tools" ;;
esac

make_room
mkdir -p "$work"
cd "$work"
if [ ! -d qtbase ]; then
    if ! compgen -G 'qt6-base_6.4.2*.orig.tar.xz' >/dev/null; then
        # The source of exactly the installed Linux Qt; bookworm's deb-src entry is added if absent.
        list=/etc/apt/sources.list.d/tivor-deb-src.sources
        if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
            win_say "adding Debian bookworm's source packages to apt ($list)"
            printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
                'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >"$list"
        fi
        apt-get update -qq
        apt-get source --download-only "qt6-base=$host_version"
    fi
    mkdir qtbase.part
    tar -xf qt6-base_6.4.2*.orig.tar.xz -C qtbase.part --strip-components=1
    mv qtbase.part qtbase
fi
if [ ! -d qtserialport ]; then
    mkdir qtserialport.part
    tar -xf "$TIVOR_ROOT/third_party/qtserialport/qtserialport-everywhere-src-6.4.2.tar.xz" \
        -C qtserialport.part --strip-components=1
    mv qtserialport.part qtserialport
fi

common=(-G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_INSTALL_PREFIX=$dest"
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF)
# OpenGL stays on: the windows platform plugin of 6.4.2 does not build without it (dynamic: it picks
# the driver at run time). Tablet events are off because Debian's source leaves out wintab.h. Every
# third-party library is Qt's bundled copy, since Debian has no Windows builds of them.
cmake -S qtbase -B build-qtbase "${common[@]}" \
    "-DCMAKE_TOOLCHAIN_FILE=$TIVOR_WIN_DIR/toolchain-mingw64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=ON \
    -DFEATURE_opengl=ON -DFEATURE_opengl_dynamic=ON -DFEATURE_tabletevent=OFF \
    -DFEATURE_sql=OFF -DFEATURE_sql_sqlite=OFF -DFEATURE_printsupport=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_gif=OFF -DFEATURE_ico=ON \
    -DFEATURE_openssl=OFF -DFEATURE_schannel=ON \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_doubleconversion=OFF
cmake --build build-qtbase -j"$jobs"
cmake --install build-qtbase
"$dest/bin/qt-cmake" -S qtserialport -B build-serialport "${common[@]}"
cmake --build build-serialport -j"$jobs"
cmake --install build-serialport

# Relocatable: the toolchain travels inside the result and Qt's toolchain names it relative to itself.
cp "$TIVOR_WIN_DIR/toolchain-mingw64.cmake" "$dest/mingw64-toolchain.cmake"
sed -i 's|^set(__qt_initially_configured_toolchain_file ".*")|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/../../../mingw64-toolchain.cmake")|' \
    "$dest/lib/cmake/Qt6/qt.toolchain.cmake"
win_qt_ok "$dest" || win_die "the build finished but $dest is incomplete"

if [ -n "$pack" ]; then
    # The top folder is always qt6-mingw/, whatever the destination is called, as --from expects.
    tar -C "$(dirname "$dest")" --transform "s|^$(basename "$dest")|qt6-mingw|" -cf - "$(basename "$dest")" \
        | xz -T"$jobs" -6 >"$pack"
    ls -la "$pack"
fi
win_say "Qt for Windows in $dest"
