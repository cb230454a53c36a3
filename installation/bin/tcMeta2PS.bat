#!/bin/sh
# usage: tcMeta2PS.bat NAME
#
# Writes c:\tidecharter\tmp\NAME.ps from the metafile
# c:\tidecharter\tmp\metaNAME that tcferret.bat left.  A PostScript
# metafile (the headless renderer's) is copied; a GKS metafile (classic
# Ferret's own) is translated with gksm2ps.  The .ps appears complete.
set -eu
. "$(dirname "$0")/tc_paths.sh"

[ $# -ge 1 ] || tc_usage "tcMeta2PS.bat NAME"
name=$1
meta="$TC_TMP/meta$name"
[ -s "$meta" ] || tc_die "no metafile $meta"
partial="$TC_TMP/.$name.partial.ps"
rm -f "$partial"

if [ "$(head -c 2 "$meta")" = "%!" ]; then
  cp "$meta" "$partial"
else
  gksm2ps -p portrait -l cps -R -o "$partial" "$meta" > /dev/null 2>&1 ||
    tc_die "cannot translate $meta"
fi
[ -s "$partial" ] || tc_die "no PostScript made from $meta"
tc_publish "$partial" "$TC_TMP/$name.ps"
