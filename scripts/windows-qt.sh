#!/usr/bin/env bash
# Makes ready the Qt 6.4.2 that the Windows programs are cross-built against
# (MinGW-w64, posix threads) and prints its folder. Kept in the user's cache
# folder, so it is made once:
#   1. from ../shared/windows/qt6.4.2-mingw-w64.tar.gz beside the checkout when
#      there is one;
#   2. otherwise built from Debian's own source packages (qt6-base, and
#      qt6-serialport or the tarball named by ZELQON_QTSERIALPORT_TARBALL), about
#      25 minutes on two cores;
#   3. and Qt Test, which the tests need and a Qt built only for the programs
#      may lack, from the same qt6-base source (Core and Test), about 8 minutes.
# Needs root (or sudo) for apt-get: the toolchain and the sources come from it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
version=6.4.2
debian_base=$version+dfsg-10
debian_serialport=$version-2
cache=${XDG_CACHE_HOME:-$HOME/.cache}/zelqon/windows
prefix=$cache/qt6-mingw
shared_tarball=${ZELQON_WINDOWS_QT_TARBALL:-$repo/../shared/windows/qt6.4.2-mingw-w64.tar.gz}
toolchain=$repo/packaging/windows/mingw-w64-x86_64.cmake
jobs=$(nproc)
log=$cache/build.log

say() { printf 'windows-qt: %s\n' "$*" >&2; }

"$here/install-deps.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools cmake ninja-build dpkg-dev xz-utils \
  qt6-base-dev qt6-base-dev-tools >&2
mkdir -p "$cache"

# Debian's source packages: apt-get source wants deb-src entries, which a
# fresh machine lacks; one list of our own adds them for the suite in use.
fetch_source() {  # package version -> unpacked folder on stdout
  local package=$1 wanted=$2 sources=/etc/apt/sources.list.d/zelqon-sources.sources
  local folder=$cache/src
  mkdir -p "$folder"
  if ! apt-cache showsrc "$package" 2>/dev/null | grep -qx "Version: $wanted"; then
    local sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    local suite
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$suite" | "${sudo[@]}" tee "$sources" >/dev/null
    "${sudo[@]}" apt-get update -qq
  fi
  (cd "$folder" && apt-get source --download-only -qq "$package=$wanted" >>"$log" 2>&1) || return 1
  local orig
  orig=$(ls "$folder/${package}_${wanted%-*}.orig.tar."* | head -n 1)
  local unpacked=$folder/$package
  if [[ ! -d $unpacked ]]; then
    mkdir -p "$unpacked.part"
    tar xf "$orig" -C "$unpacked.part" --strip-components=1
    mv "$unpacked.part" "$unpacked"
  fi
  echo "$unpacked"
}

# The configuration the programs' Qt was built with; only the modules differ.
base_options=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF -DFEATURE_pkg_config=OFF
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_opengl_dynamic=OFF
  -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_tabletevent=OFF
  -DFEATURE_zstd=OFF -DFEATURE_androiddeployqt=OFF -DFEATURE_openssl=OFF -DINPUT_openssl=no
  -DFEATURE_schannel=ON)

patch_base() {  # Qt 6.4.2's windows plugin links DirectWrite only with direct2d
  sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
    "$1/src/plugins/platforms/windows/qwindowsintegration.cpp"
}

build_whole_qt() {
  local base serialport
  base=$(fetch_source qt6-base "$debian_base") || { say "Debian's qt6-base $debian_base source could not be fetched"; exit 1; }
  patch_base "$base"
  if [[ -n ${ZELQON_QTSERIALPORT_TARBALL:-} ]]; then
    serialport=$cache/src/qt6-serialport
    mkdir -p "$serialport" && tar xf "$ZELQON_QTSERIALPORT_TARBALL" -C "$serialport" --strip-components=1
  else
    serialport=$(fetch_source qt6-serialport "$debian_serialport") || {
      say "Debian's qt6-serialport $debian_serialport source is not served here; set ZELQON_QTSERIALPORT_TARBALL"
      say "to a qtserialport $version source tarball (the v$version tag) and run again"
      exit 1
    }
  fi
  say "building Qt $version for MinGW-w64 (about 25 minutes; log: $log)"
  rm -rf "$cache/build-qtbase" "$cache/build-serialport" "$prefix.part"
  cmake -S "$base" -B "$cache/build-qtbase" "${base_options[@]}" -DCMAKE_INSTALL_PREFIX="$prefix.part" \
    -DCMAKE_PREFIX_PATH="$prefix.part" >>"$log" 2>&1
  ninja -C "$cache/build-qtbase" -j"$jobs" install >>"$log" 2>&1
  "$prefix.part/bin/qt-cmake" -G Ninja -S "$serialport" -B "$cache/build-serialport" -DCMAKE_BUILD_TYPE=Release \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF >>"$log" 2>&1
  ninja -C "$cache/build-serialport" -j"$jobs" install >>"$log" 2>&1
  mv "$prefix.part" "$prefix"
}

build_test_module() {
  local base stage=$cache/qt-test-stage
  base=$(fetch_source qt6-base "$debian_base") || { say "Debian's qt6-base $debian_base source could not be fetched"; exit 1; }
  say "building Qt Test for MinGW-w64 (about 8 minutes; log: $log)"
  rm -rf "$cache/build-qttest" "$stage"
  cmake -S "$base" -B "$cache/build-qttest" "${base_options[@]}" -DFEATURE_gui=OFF -DFEATURE_widgets=OFF \
    -DFEATURE_network=OFF -DFEATURE_testlib=ON -DCMAKE_INSTALL_PREFIX="$stage" -DCMAKE_PREFIX_PATH="$stage" >>"$log" 2>&1
  ninja -C "$cache/build-qttest" -j"$jobs" install >>"$log" 2>&1
  # Only the Test module joins the programs' Qt: it was built from the same
  # source with the same Core configuration.
  cp "$stage"/bin/Qt6Test.dll "$prefix/bin/"
  cp "$stage"/lib/libQt6Test.a "$stage"/lib/Qt6Test.prl "$prefix/lib/"
  cp -r "$stage"/include/QtTest "$prefix/include/"
  cp -r "$stage"/lib/cmake/Qt6Test "$prefix/lib/cmake/"
  cp "$stage"/lib/metatypes/*test* "$prefix/lib/metatypes/" 2>/dev/null || true
  cp "$stage"/modules/Test.json "$prefix/modules/"
  cp "$stage"/mkspecs/modules/qt_lib_testlib*.pri "$prefix/mkspecs/modules/"
  rm -rf "$stage" "$cache/build-qttest"
}

if [[ ! -d $prefix/lib/cmake/Qt6SerialPort ]]; then
  if [[ -f $shared_tarball ]]; then
    say "unpacking $(basename "$shared_tarball")"
    rm -rf "$prefix"
    tar xzf "$shared_tarball" -C "$cache"
  else
    build_whole_qt
  fi
fi
[[ -d $prefix/lib/cmake/Qt6Test ]] || build_test_module
echo "$prefix"
