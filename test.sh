#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (offscreen: no display needed).
source "$(dirname "$0")/tools/setup.sh"
tivor_install_packages $TIVOR_TEST_PACKAGES
tivor_build
cd "$TIVOR_BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
