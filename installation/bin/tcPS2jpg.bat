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

tc_ps_raster "$ps" "$partial" jpeg || tc_die "Ghostscript failed on $ps"
[ -s "$partial" ] || tc_die "no JPG made from $ps"
tc_publish "$partial" "$TC_TMP/$name.jpg"
