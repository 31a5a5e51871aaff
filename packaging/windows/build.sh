#!/usr/bin/env bash
# make windows: zelqon.exe and zelqon-cli.exe cross-built with MinGW-w64, the
# test programs for Wine, the installer and the portable zip.
#   build.sh HOST_BUILD_DIR [--no-packages]
# HOST_BUILD_DIR is the Linux build whose icon files the .ico is made from;
# with --no-packages the packing is left to the tests, which pack anew.
set -euo pipefail
cd "$(dirname "$0")/../.."
host_build=$1
qt=$(scripts/windows-qt.sh)
icons=$host_build/packaging/icons/hicolor
mkdir -p build/windows
icon=$PWD/build/windows/zelqon.ico
# 256 pixels kept as PNG inside the icon, as Windows does.
icotool -c -o "$icon" "$icons"/{16x16,32x32,48x48}/apps/zelqon.png -r "$icons/256x256/apps/zelqon.png"
cmake --preset windows -DCMAKE_PREFIX_PATH="$qt" -DZELQON_WINDOWS_ICON="$icon" >/dev/null
cmake --build --preset windows
[[ ${2:-} == --no-packages ]] || packaging/windows/make-packages.sh build/windows
