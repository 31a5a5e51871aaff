#!/usr/bin/env bash
# The Windows installer and the portable zip, from a cross-built tree:
#   make-packages.sh BUILD_DIR
# writes BUILD_DIR/zelqon_<version>_win64-setup.exe and
# BUILD_DIR/zelqon_<version>_win64.zip, both from the folder that
# `cmake --install` fills (BUILD_DIR/stage).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
stage=$build/stage
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null

# Every DLL a program or plugin imports that is not Windows' own, and what
# those import in turn; Windows matches names in any case.
mapfile -t dll_folders <"$build/dll-folders.txt"
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
pending=("$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll)
while ((${#pending[@]})); do
  file=${pending[0]}
  pending=("${pending[@]:1}")
  for name in $(imports "$file"); do
    [[ -e $stage/$name ]] && continue
    found=$(find "${dll_folders[@]}" -maxdepth 1 -iname "$name" -print -quit 2>/dev/null)
    [[ -n $found ]] || continue  # Windows' own
    cp "$found" "$stage/$(basename "$found")"
    pending+=("$stage/$(basename "$found")")
  done
done
# Symbols are for debuggers, not for a technician's laptop.
find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

# The file list, with Windows' separators, for the installer and uninstaller.
files=$build/installed-files.nsh
(
  cd "$stage"
  echo '!ifdef FILE_LINES'
  find . -type d ! -name . | sort | while read -r dir; do
    printf 'CreateDirectory "$INSTDIR\\%s"\n' "${dir#./}" | tr / '\\'
  done
  find . -type f | sort | while read -r file; do
    relative=${file#./}
    folder=$(dirname "$relative")
    [[ $folder == . ]] && folder= || folder="\\$folder"
    printf 'SetOutPath "$INSTDIR%s"\n' "$folder" | tr / '\\'
    printf 'File "%s/%s"\n' "$stage" "$relative"
  done
  echo 'SetOutPath "$INSTDIR"'
  echo '!endif'
  echo '!ifdef DELETE_LINES'
  find . -type f | sort | while read -r file; do
    printf 'Delete "$INSTDIR\\%s"\n' "${file#./}" | tr / '\\'
  done
  find . -type d ! -name . | sort -r | while read -r dir; do
    printf 'RMDir "$INSTDIR\\%s"\n' "${dir#./}" | tr / '\\'
  done
  echo '!endif'
) >"$files"

installer=$build/zelqon_${version}_win64-setup.exe
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DFILES="$files" -DOUTFILE="$installer" "$here/zelqon.nsi"

zip_file=$build/zelqon_${version}_win64.zip
rm -f "$zip_file"
rm -rf "$build/zip" && mkdir -p "$build/zip" && cp -r "$stage" "$build/zip/zelqon-$version"
(cd "$build/zip" && zip -qr9X "$zip_file" "zelqon-$version")
rm -rf "$build/zip"
ls -l "$installer" "$zip_file"
