# Sourced by run.sh and test.sh: installs the missing Debian packages, then configures and builds
# incrementally. Every step is safe to repeat.
set -euo pipefail

TIVOR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TIVOR_BUILD=${TIVOR_BUILD:-$TIVOR_ROOT/build}
TIVOR_PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev liburing-dev qt6-translations-l10n ser2net qt6-httpserver-dev qt6-websockets-dev python3-jsonschema python3-croniter libsystemd-dev openssl libmosquitto-dev"
# What only the tests need: a real MQTT broker and its clients, and a real browser driven by Selenium.
TIVOR_TEST_PACKAGES="mosquitto mosquitto-clients python3-paho-mqtt chromium chromium-driver python3-selenium"

tivor_install_packages() {
    local missing=() p
    for p in $TIVOR_PACKAGES "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Tivor: installing ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "Tivor: these packages are missing and this user cannot install them. Run as root:" >&2
            echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
            exit 1
        fi
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

tivor_build() {
    if [ ! -f "$TIVOR_BUILD/build.ninja" ]; then
        cmake -S "$TIVOR_ROOT" -B "$TIVOR_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    fi
    cmake --build "$TIVOR_BUILD"
}
