#!/usr/bin/env bash
# Validates the menu entry, the profile file type and the AppStream data, then
# builds the Debian package into a temporary directory and checks what it holds
# and depends on.
#   check_package.sh CPACK CPACK_CONFIG DESKTOP_FILE METAINFO_FILE MIME_FILE SIZE...
set -euo pipefail

cpack=$1
cpack_config=$2
desktop=$3
metainfo=$4
mime=$5
shift 5
sizes=("$@")

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

for tool in desktop-file-validate update-mime-database appstreamcli dpkg-deb dpkg-shlibdeps file readelf lintian; do
  command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is not installed (make test installs it)" >&2; exit 1; }
done
[[ ${#sizes[@]} -gt 0 ]] || { echo "FAIL: no icon sizes given" >&2; exit 1; }

# The menu entry: no errors, warnings or hints.
if ! report=$(desktop-file-validate "$desktop" 2>&1) || [[ -n "$report" ]]; then
  fail "desktop-file-validate $desktop"
  echo "$report" >&2
fi

# The AppStream data: fails on errors and warnings.
if ! report=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1); then
  fail "appstreamcli validate $metainfo"
  echo "$report" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The profile file type: the desktop's own database takes it, *.zelqon maps to
# it with the program's icon, and the menu entry opens it with the file given.
mime_type=application/x-zelqon-profile
mkdir -p "$work/mime/packages"
cp "$mime" "$work/mime/packages/zelqon.xml"
if ! report=$(XDG_DATA_DIRS=$work update-mime-database "$work/mime" 2>&1) || [[ -n "$report" ]]; then
  fail "update-mime-database on $mime"
  echo "$report" >&2
fi
grep -qx "[0-9]*:$mime_type:\*\.zelqon" "$work/mime/globs2" 2>/dev/null || fail "*.zelqon does not map to $mime_type"
grep -qx "$mime_type:zelqon" "$work/mime/icons" 2>/dev/null || fail "$mime_type has not the icon zelqon"
grep -qx "MimeType=$mime_type;" "$desktop" || fail "the menu entry does not open $mime_type"
grep -Eq '^Exec=[^ ]+ %f$' "$desktop" || fail "the menu entry takes no file (%f)"

if ! "$cpack" --config "$cpack_config" -G DEB -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack did not build the package" >&2
  exit 1
fi
shopt -s nullglob
debs=("$work"/zelqon_*.deb)
if [[ ${#debs[@]} -ne 1 ]]; then
  cat "$work/cpack.log" >&2
  echo "FAIL: expected one zelqon_*.deb in $work, found ${#debs[@]}" >&2
  exit 1
fi
deb=${debs[0]}
metainfo_name=$(basename "$metainfo")

# Contents.
contents=$(dpkg-deb -c "$deb" | awk '{print $1, $NF}')
has() {  # has MODE_PATTERN PATH
  grep -Eq "^$1 \./$2\$" <<<"$contents"
}
has '-rwx..x..x' usr/bin/zelqon || fail "usr/bin/zelqon missing or not executable"
has '-rwx..x..x' usr/bin/zelqon-cli || fail "usr/bin/zelqon-cli missing or not executable"
has '-rw-r--r--' usr/share/man/man1/zelqon-cli.1.gz || fail "usr/share/man/man1/zelqon-cli.1.gz missing"
has '-rw-r--r--' usr/share/man/man1/zelqon.1.gz || fail "usr/share/man/man1/zelqon.1.gz missing"
has '-rw-r--r--' usr/share/doc/zelqon/changelog.gz || fail "usr/share/doc/zelqon/changelog.gz missing"
has '-rw-r--r--' usr/share/applications/zelqon.desktop || fail "usr/share/applications/zelqon.desktop missing"
has '-rw-r--r--' "usr/share/metainfo/$metainfo_name" || fail "usr/share/metainfo/$metainfo_name missing"
has '-rw-r--r--' usr/share/doc/zelqon/copyright || fail "usr/share/doc/zelqon/copyright missing"
has '-rw-r--r--' usr/share/doc/zelqon/exemplo.zelqon || fail "usr/share/doc/zelqon/exemplo.zelqon missing"
has '-rw-r--r--' usr/share/mime/packages/zelqon.xml || fail "usr/share/mime/packages/zelqon.xml missing"
for size in "${sizes[@]}"; do
  has '-rw-r--r--' "usr/share/icons/hicolor/${size}x${size}/apps/zelqon.png" ||
    fail "usr/share/icons/hicolor/${size}x${size}/apps/zelqon.png missing"
done
module=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/zelqon/zelqon-network.so
has '-rw-r--r--' "$module" || fail "$module missing"
if grep -Ev '^d' <<<"$contents" | grep -Ev " \./(usr/(bin|share)/|$module\$)" >/dev/null; then
  fail "files outside usr/bin, usr/share and the network module:"
  grep -Ev '^d' <<<"$contents" | grep -Ev " \./(usr/(bin|share)/|$module\$)" >&2
fi

# Control fields.
[[ $(dpkg-deb -f "$deb" Package) == zelqon ]] || fail "Package is not zelqon"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6network6 qt6-translations-l10n; do
  grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends does not name $library: $depends"
done
[[ -n $(dpkg-deb -f "$deb" Section) ]] || fail "no Section"
[[ -n $(dpkg-deb -f "$deb" Maintainer) ]] || fail "no Maintainer"
[[ -n $(dpkg-deb -f "$deb" Description) ]] || fail "no Description"

# The installed files themselves.
root=$work/root
dpkg-deb -x "$deb" "$root"
cmp -s "$desktop" "$root/usr/share/applications/zelqon.desktop" || fail "the packaged menu entry differs from $desktop"
cmp -s "$metainfo" "$root/usr/share/metainfo/$metainfo_name" || fail "the packaged AppStream data differs from $metainfo"
cmp -s "$mime" "$root/usr/share/mime/packages/zelqon.xml" || fail "the packaged file type differs from $mime"
example=$(dirname "$desktop")/exemplo.zelqon
cmp -s "$example" "$root/usr/share/doc/zelqon/exemplo.zelqon" || fail "the packaged example profile differs from $example"
for size in "${sizes[@]}"; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/zelqon.png
  [[ -f "$icon" ]] || continue
  kind=$(file -b "$icon")
  [[ $kind == "PNG image data, $size x $size, "*RGBA* ]] || fail "${size}x${size} icon is $kind"
done
file -b "$root/usr/bin/zelqon" | grep -q '^ELF .*, stripped$' || fail "usr/bin/zelqon is not a stripped ELF executable"

# The menu entry starts a program the package holds.
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[[ -x "$root/usr/bin/$exec_name" ]] || fail "the menu entry starts $exec_name, which is not in usr/bin"

# The command line needs no display: no Qt GUI library, and --help runs with
# no display at all.
if readelf -d "$root/usr/bin/zelqon-cli" | grep -Eq 'libQt6(Gui|Widgets)'; then
  fail "usr/bin/zelqon-cli links a Qt GUI library"
fi
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/zelqon-cli" --help >/dev/null 2>&1 ||
  fail "zelqon-cli --help fails with no display"

# Qt Network and OpenSSL are the network module's alone: a session that opens
# no network port never maps them. The installed command line finds the
# module where the package puts it: a network port that nothing listens on
# is refused by the system (status 3), not for want of the module (status 5).
for program in zelqon zelqon-cli; do
  if readelf -d "$root/usr/bin/$program" | grep -Eq 'libQt6Network|libcrypto'; then
    fail "usr/bin/$program links Qt Network or OpenSSL"
  fi
done
readelf -d "$root/$module" | grep -q 'libQt6Network' || fail "$module does not link Qt Network"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY XDG_STATE_HOME="$work/state" "$root/usr/bin/zelqon-cli" atualizar \
  --port tcp://127.0.0.1:1 >"$work/cli.log" 2>&1 || status=$?
[[ $status -eq 3 ]] || { fail "the installed zelqon-cli over tcp://127.0.0.1:1 ended with $status, not 3:"; cat "$work/cli.log" >&2; }

# Debian's own checker: no error and no warning.
tags=$(lintian --tag-display-limit 0 "$deb" 2>/dev/null | grep -E '^[EW]: ' || true)
[[ -z "$tags" ]] || fail "lintian reports:"$'\n'"$tags"

if [[ $failures -gt 0 ]]; then
  echo "$failures packaging check(s) failed" >&2
  exit 1
fi
echo "package $(basename "$deb"): menu entry, AppStream data, contents and Depends are as expected"
