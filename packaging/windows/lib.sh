# Shared by the Windows build scripts (sourced, not run): where things are and how Debian packages
# come in. Every function is safe to call twice.

TIVOR_WIN_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
TIVOR_ROOT=$(cd "$TIVOR_WIN_DIR/../.." && pwd)
# Where the Windows Qt lives: the folder QT_MINGW_DIR names, else the place the prebuilt one expects.
TIVOR_QT=${QT_MINGW_DIR:-/opt/qt6-mingw}
# The prebuilt Qt for Windows that CI and the developers share, beside the repository's folder.
TIVOR_QT_TARBALL=${TIVOR_QT_TARBALL:-$TIVOR_ROOT/../shared/toolchains/qt6.4.2-mingw64.tar.xz}

win_say() { echo "tivor-win: $*"; }
win_die() { echo "tivor-win: $*" >&2; exit 1; }

# Installs the named Debian packages that are missing (as root, or through sudo).
win_install_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    win_say "installing ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null 2>&1 \
            || win_die "missing packages and no way to install them; as root run: apt-get install -y --no-install-recommends ${missing[*]}"
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# True when DIR holds a usable Qt for Windows (the configure wrapper and the serial port module).
win_qt_ok() {
    [ -x "$1/bin/qt-cmake" ] && [ -f "$1/lib/cmake/Qt6SerialPort/Qt6SerialPortConfig.cmake" ] \
        && [ -f "$1/bin/Qt6Core.dll" ]
}

# The version on the project() line of the top CMakeLists.txt, the one the programs report.
win_project_version() {
    sed -n 's/^project(Tivor[^)]*VERSION \([0-9][0-9.]*\).*/\1/p' "$TIVOR_ROOT/CMakeLists.txt" | head -n1
}
