#!/bin/sh
# usage: tcBatchAnimate.bat SPEED FRAMEDIR ANIMATION
#
# A batch run's animation (tidecharter --batch, months = FIRST..LAST with a
# .gif or .mp4 output): the PNG frames f0001.png, f0002.png, ... of
# FRAMEDIR, in that order, SPEED frames a second (1 to 10), made by
# Debian's ffmpeg into ANIMATION, a host path whose extension picks the
# format.  A GIF loops and has one palette for all its frames, so that a
# colour means the same in each; an MP4 is H.264 as browsers play it.
# Every frame takes the size of the first.  The animation appears complete
# or not at all: it is written beside its place under a temporary name and
# renamed; when ffmpeg fails (a full disk among others) nothing is left,
# the last line on stderr says why and the exit status is 1.
# ffmpeg is $TC_FFMPEG when set.
set -eu
. "$(dirname "$0")/tc_paths.sh"

[ $# -eq 3 ] || tc_usage "tcBatchAnimate.bat SPEED FRAMEDIR ANIMATION"
speed=$1
frames=$2
case "$speed" in
  [1-9]|10) ;;
  *) tc_die "not a speed from 1 to 10 frames a second: $speed" ;;
esac
[ -f "$frames/f0001.png" ] || tc_die "no frames in $frames"
ffmpeg=${TC_FFMPEG:-ffmpeg}
command -v "$ffmpeg" > /dev/null 2>&1 ||
  tc_die "ffmpeg is not installed: install the Debian package ffmpeg"
dir=$(dirname "$3")
dir=$(cd "$dir" 2>/dev/null && pwd) || tc_die "no directory $(dirname "$3")"
base=$(basename "$3")
case "$base" in
  *.[gG][iI][fF]) format=gif ;;
  *.[mM][pP]4) format=mp4 ;;
  *) tc_die "not an animation name (.gif, .mp4): $3" ;;
esac

# Width and height of the first frame, from its PNG header.
size=$(od -An -tu1 -j16 -N8 "$frames/f0001.png" |
  awk '{ printf "%d:%d", (($1 * 256 + $2) * 256 + $3) * 256 + $4, (($5 * 256 + $6) * 256 + $7) * 256 + $8 }')
case "$size" in
  0:*|*:0|'') tc_die "not a PNG frame: $frames/f0001.png" ;;
esac

part="$dir/.$base.$$.partial"
work=$(mktemp -d "${TMPDIR:-/tmp}/tcbatchanimate.XXXXXX")
trap 'rm -rf "$work"; rm -f "$part"' EXIT
trap 'exit 1' INT TERM HUP

# ffmpeg says nothing at this log level unless something went wrong, and a
# write that failed at the end (a full disk) does not change its status.
run_ffmpeg() {
  if ! "$ffmpeg" -nostdin -hide_banner -loglevel error -y -framerate "$speed" -i "$frames/f%04d.png" "$@" \
      > "$work/ffmpeg.log" 2>&1 || [ -s "$work/ffmpeg.log" ]; then
    tc_die "ffmpeg failed: $(head -n 1 "$work/ffmpeg.log")"
  fi
}
if [ "$format" = gif ]; then
  # The palette from every frame first, so that no frame sits in memory
  # for long; without dithering the fills keep their exact colours.
  run_ffmpeg -vf "scale=$size,palettegen=stats_mode=full" "$work/palette.png"
  run_ffmpeg -i "$work/palette.png" -lavfi "[0:v]scale=$size[f];[f][1:v]paletteuse=dither=none" \
    -loop 0 -f gif "$part"
else
  # H.264 in 4:2:0 wants even sides.
  run_ffmpeg -vf "scale=$size,pad=ceil(iw/2)*2:ceil(ih/2)*2:color=white" -c:v libx264 -pix_fmt yuv420p \
    -crf 20 -movflags +faststart -f mp4 "$part"
fi
[ -s "$part" ] || tc_die "ffmpeg wrote nothing"
tc_publish "$part" "$dir/$base"
