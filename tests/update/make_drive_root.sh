#!/bin/sh
# usage: make_drive_root.sh ROOT CACHE
#
# Lays out a drive root for the update's tests: the installation with the
# sample data ending in August 2008 and the sample update packages of
# August (a month the data already hold), September and October 2008 in
# tidecharter/update_source, signed with the drive root's own sample key.
# Data and packages are built once into CACHE and copied from there.
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -eq 2 ] || { echo "usage: make_drive_root.sh ROOT CACHE" >&2; exit 2; }
root=$1
cache=$2
mkdir -p "$cache" "$root/tidecharter/data" "$root/tidecharter/update_source"
(
  flock 9
  /usr/bin/python3 "$top/installation/sampledata/make_sample_data.py" "$cache/data" > /dev/null
  /usr/bin/python3 "$top/installation/update/make_update_packages.py" \
    "$cache/data" "$cache/packages" 56 57 58 > /dev/null
) 9> "$cache/.lock"
cp "$cache"/data/*.nc "$root/tidecharter/data/"
cp "$cache"/packages/*.tar.gz "$root/tidecharter/update_source/"
sh "$top/installation/install.sh" "$root" > /dev/null
sh "$top/installation/update/install_update.sh" "$root" > /dev/null
# The sample source's key signs the packages copied in, as it signs those
# it builds.
sh "$top/installation/update/sample_source.sh" "$root" > /dev/null
sh "$top/installation/update/sign_update_packages.sh" "$root/tidecharter/update_signing" \
  "$root"/tidecharter/update_source/*.tar.gz > /dev/null
