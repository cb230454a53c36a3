#!/bin/sh
# usage: tcPS2jpg.bat NAME
#
# Writes c:\tidecharter\tmp\NAME.jpg, upright and about 1500 pixels on its
# long side, from c:\tidecharter\tmp\NAME.ps with Ghostscript.  The .jpg
# appears complete.
set -eu
. "$(dirname "$0")/tc_paths.sh"

[ $# -ge 1 ] || tc_usage "tcPS2jpg.bat NAME"
name=$1
ps="$TC_TMP/$name.ps"
[ -s "$ps" ] || tc_die "no PostScript file $ps"
partial="$TC_TMP/.$name.partial.jpg"
rm -f "$partial"

# Resolution from the picture's bounding box, so the long side is about
# 1500 pixels whatever the page size.
long=$(sed -n 's/^%%BoundingBox: *[-0-9.]* *[-0-9.]* *\([0-9.]*\) *\([0-9.]*\).*/\1 \2/p' "$ps" |
  head -n 1 | awk '{ print ($1 > $2 ? $1 : $2) }')
case "$long" in
  ''|0) resolution=150 ;;
  *) resolution=$(awk -v l="$long" 'BEGIN { r = int(1500 * 72 / l + 0.5); print (r < 72 ? 72 : r) }') ;;
esac

# A landscape plot is drawn turned on a portrait page; the picture is
# turned back upright.
if grep -q '^%%PageOrientation: *Landscape' "$ps"; then
  orientation=3
else
  orientation=0
fi
gs -q -dSAFER -dBATCH -dNOPAUSE \
  -sDEVICE=jpeg -dJPEGQ=90 -r"$resolution" \
  -dTextAlphaBits=4 -dGraphicsAlphaBits=4 \
  -sOutputFile="$partial" \
  -c "<</Orientation $orientation>> setpagedevice" -f "$ps" > /dev/null 2>&1 ||
  tc_die "Ghostscript failed on $ps"
[ -s "$partial" ] || tc_die "no JPG made from $ps"
tc_publish "$partial" "$TC_TMP/$name.jpg"
