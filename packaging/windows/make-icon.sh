#!/usr/bin/env bash
# Makes tivor.ico (the Windows programs' and .mnm files' icon) from the program's 128x128 picture,
# at the sizes Explorer and the taskbar ask for. The .ico is committed; run this again after changing
# src/resources/tivor.png. Needs ImageMagick and icoutils.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
png=$here/../../src/gui/resources/tivor.png
[ -f "$png" ] || png=$(find "$here/../../src" -path '*resources/tivor.png' | head -n1)
IM=/usr/bin/convert   # a plain `convert` on the PATH may be a stand-in
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sizes=()
for s in 16 24 32 48 64; do
    "$IM" "$png" -filter Lanczos -resize "${s}x$s" -strip "PNG32:$work/$s.png"
    sizes+=("$work/$s.png")
done
"$IM" "$png" -strip "PNG32:$work/128.png"
# The largest picture stays PNG inside the .ico (Windows Vista on reads it so), the small ones bitmaps.
icotool -c -o "$here/tivor.ico" "${sizes[@]}" -r "$work/128.png"
icotool -l "$here/tivor.ico"
