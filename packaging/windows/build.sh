#!/usr/bin/env bash
# Builds Tivor for 64-bit Windows on this Debian machine and packs it: the one command.
#
#   packaging/windows/build.sh [--tests] [--bench] [--jobs N]
#
# Result, with VERSION from the project() line of CMakeLists.txt:
#   build-win/Tivor-VERSION-win64.zip        the programs in a folder that runs from anywhere
#   build-win/Tivor-VERSION-win64-setup.exe  the installer (Spanish, /S for a silent install)
# Qt for Windows comes from $QT_MINGW_DIR or /opt/qt6-mingw; when that is missing it is unpacked from
# ../shared/toolchains/qt6.4.2-mingw64.tar.xz beside the repository, if that exists (see get-qt.sh
# for building it from source instead). The Debian packages it needs are installed first.
# --tests and --bench also build the test and benchmark programs for Windows (not packed).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

tests=OFF bench=OFF jobs=$(nproc)
while (($#)); do
    case $1 in
        --tests) tests=ON; shift ;;
        --bench) bench=ON; shift ;;
        --jobs) jobs=$2; shift 2 ;;
        -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) win_die "unknown argument: $1 (see --help)" ;;
    esac
done

win_install_packages cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n nsis zip xz-utils

if ! win_qt_ok "$TIVOR_QT"; then
    if [ ! -e "$TIVOR_QT" ] && [ -f "$TIVOR_QT_TARBALL" ]; then
        "$TIVOR_WIN_DIR/get-qt.sh" --from "$TIVOR_QT_TARBALL"
    else
        win_die "no Qt for Windows in $TIVOR_QT. Get one with packaging/windows/get-qt.sh --from FILE (a
finished build), or packaging/windows/get-qt.sh (builds it from source, about an hour), or set QT_MINGW_DIR."
    fi
fi

version=$(win_project_version)
[ -n "$version" ] || win_die "no version on the project() line of $TIVOR_ROOT/CMakeLists.txt"
build=$TIVOR_ROOT/build-win
name=Tivor-$version-win64

cd "$TIVOR_ROOT"
"$TIVOR_QT/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTIVOR_BUILD_TESTS=$tests -DTIVOR_BUILD_BENCH=$bench >"$build.configure.log" 2>&1 \
    || { cat "$build.configure.log" >&2; win_die "configuring failed"; }
mv "$build.configure.log" "$build/configure.log"
programs=(tivor tivor-cli tivor-sign)
if [ "$tests" = ON ] || [ "$bench" = ON ]; then
    cmake --build "$build" -j"$jobs"
else
    cmake --build "$build" -j"$jobs" --target "${programs[@]}"
fi

# --- The folder the zip and the installer are made from: the programs and exactly what they load.
stage=$build/stage/$name
rm -rf "$build/stage"
mkdir -p "$stage"

find_one() { # a file by name under a folder; exactly one must exist
    local found
    mapfile -t found < <(find "$1" -path "$build/stage" -prune -o -name "$2" -type f -print)
    [ ${#found[@]} -eq 1 ] || win_die "expected one $2 under $1, found ${#found[@]}: ${found[*]:-none}"
    echo "${found[0]}"
}

for p in "${programs[@]}"; do
    cp "$(find_one "$build" "$p.exe")" "$stage/"
done
mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations"
cp "$TIVOR_QT/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$TIVOR_QT/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

# Every DLL the programs and plugins import, found in Qt or in the compiler's runtime; whatever is in
# neither is part of Windows itself. Names are matched without regard to case, as Windows does.
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
dll_dirs=("$TIVOR_QT/bin" "$gcc_runtime" /usr/x86_64-w64-mingw32/lib)
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }
locate_dll() {
    local d f
    for d in "${dll_dirs[@]}"; do
        f=$(find "$d" -maxdepth 1 -iname "$1" -print -quit 2>/dev/null)
        [ -n "$f" ] && { echo "$f"; return 0; }
    done
    return 1
}
queue=("$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll)
while ((${#queue[@]})); do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    while read -r dll; do
        [ -n "$(find "$stage" -maxdepth 1 -iname "$dll" -print -quit)" ] && continue
        if path=$(locate_dll "$dll"); then
            cp "$path" "$stage/"
            queue+=("$stage/$(basename "$path")")
        else
            case ${dll,,} in
                qt6*|lib*) win_die "$(basename "$file") needs $dll, which is in neither Qt nor the mingw runtime" ;;
            esac
        fi
    done < <(imports "$file")
done
# The debugging sections are most of the size of Qt's DLLs and no use to a user.
find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

# Qt looks for its translations in translations\ beside its DLLs; the program loads qtbase.
for t in qtbase; do
    cp "/usr/share/qt6/translations/${t}_es.qm" "$stage/translations/"
done
cp "$(find_one "$TIVOR_ROOT/src" tivor.html)" "$stage/"
cp "$TIVOR_WIN_DIR/tivor.ico" "$stage/"
# Texts in Windows line ends, so that any Notepad shows them right.
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
crlf "$TIVOR_ROOT/LICENSE" "$stage/LICENSE.txt"
crlf "$TIVOR_QT/LICENSES/LGPL-3.0-only.txt" "$stage/LGPL-3.0.txt"
crlf "$TIVOR_WIN_DIR/AVISO-LICENCIAS.txt" "$stage/AVISO-LICENCIAS.txt"

# The same content makes the same zip: file times from the last commit, names in a fixed order.
stamp=$(git -C "$TIVOR_ROOT" log -1 --format=%cd --date=format:%Y%m%d%H%M.%S 2>/dev/null || date +%Y%m%d%H%M.%S)
find "$stage" -exec touch -h -t "$stamp" {} +

# --- The zip: the folder as it is.
zip=$build/$name.zip
rm -f "$zip"
(cd "$build/stage" && find "$name" | LC_ALL=C sort | zip -q -X -9 "$zip" -@)

# --- The installer: its file lists are made from the folder, so the uninstaller removes exactly
# what was installed and nothing else.
nsis=$build/nsis
rm -rf "$nsis"
mkdir -p "$nsis"
(
    cd "$stage"
    find . -mindepth 1 -type d | LC_ALL=C sort | while read -r d; do
        d=${d#./}
        echo "CreateDirectory \"\$INSTDIR\\${d//\//\\}\""
    done
    find . -type f | LC_ALL=C sort | while read -r f; do
        f=${f#./}
        echo "File \"/oname=${f//\//\\}\" \"$stage/$f\""
    done
) >"$nsis/install-files.nsh"
(
    cd "$stage"
    find . -type f | LC_ALL=C sort | while read -r f; do
        f=${f#./}
        echo "Delete \"\$INSTDIR\\${f//\//\\}\""
    done
    find . -mindepth 1 -type d | LC_ALL=C sort -r | while read -r d; do
        d=${d#./}
        echo "RMDir \"\$INSTDIR\\${d//\//\\}\""
    done
) >"$nsis/uninstall-files.nsh"
setup=$build/$name-setup.exe
size_kb=$(du -sk --apparent-size "$stage" | cut -f1)
makensis -V2 -INPUTCHARSET UTF8 -NOCD "-DVERSION=$version" "-DSTAGE=$stage" "-DOUTFILE=$setup" \
    "-DFILES=$nsis/install-files.nsh" "-DUNFILES=$nsis/uninstall-files.nsh" "-DSIZE_KB=$size_kb" \
    "-DICON=$TIVOR_WIN_DIR/tivor.ico" "$TIVOR_WIN_DIR/tivor.nsi"

win_say "files for Windows:"
(cd "$build" && ls -l "$name.zip" "$name-setup.exe")
