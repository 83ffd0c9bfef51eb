#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tivor.
source "$(dirname "$0")/tools/setup.sh"
tivor_install_packages
tivor_build
exec "$TIVOR_BUILD/src/tivor" "$@"
